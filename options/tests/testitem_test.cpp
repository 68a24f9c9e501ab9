#include <gtest/gtest.h>

#include <QFile>

#include "core/settingkeys.h"
#include "core/settings.h"
#include "options/documentprint.h"
#include "options/monitorsize.h"
#include "options/resultrows.h"
#include "options/testitemform.h"
#include "options/tests/optionstest.h"
#include "support/strings/strings.h"
#include "testsupport/sandbox.h"

namespace tarn::options {
namespace {

constexpr int kMetres = 3;

TestItemForm balanceForm() {
  TestItemForm f;
  f.name = "Firm EO";
  f.surface = 1;
  f.eyes = 1;
  f.frequency = "64";
  f.preTest = "5";
  f.duration = "20";
  return f;
}

TestItemForm visionForm() {
  TestItemForm f;
  f.name = "Acuity";
  f.vision = true;
  f.eye = 3;
  f.interval = "1";
  f.distance = "3 m";
  f.testsPerSize = "5";
  f.correctAnswers = "3";
  return f;
}

TEST(TestItemChecks, BalanceItemInOrderWithTheirFields) {
  struct Case {
    const char* what;
    void (*change)(TestItemForm&);
    int message;  // 0: accepted
    ItemField field;
  };
  const Case cases[] = {
      {"as made", [](TestItemForm&) {}, 0, ItemField::None},
      {"blank name", [](TestItemForm& f) { f.name = "  "; }, 6371, ItemField::Name},
      {"no surface", [](TestItemForm& f) { f.surface = 0; }, 6372, ItemField::Surface},
      {"no eyes", [](TestItemForm& f) { f.eyes = 0; }, 6373, ItemField::Eyes},
      {"frequency text", [](TestItemForm& f) { f.frequency = "fast"; }, 6374, ItemField::Frequency},
      {"10 Hz", [](TestItemForm& f) { f.frequency = "10"; }, 6375, ItemField::Frequency},
      {"990 Hz", [](TestItemForm& f) { f.frequency = "990"; }, 6375, ItemField::Frequency},
      {"11 Hz", [](TestItemForm& f) { f.frequency = "11"; }, 0, ItemField::None},
      {"989 Hz", [](TestItemForm& f) { f.frequency = "989"; }, 0, ItemField::None},
      {"pre-test text", [](TestItemForm& f) { f.preTest = ""; }, 6376, ItemField::PreTest},
      {"pre-test -0.1", [](TestItemForm& f) { f.preTest = "-0.1"; }, 6377, ItemField::PreTest},
      {"pre-test 0", [](TestItemForm& f) { f.preTest = "0"; }, 0, ItemField::None},
      {"pre-test 601", [](TestItemForm& f) { f.preTest = "601"; }, 6388, ItemField::PreTest},
      {"duration text", [](TestItemForm& f) { f.duration = "20s"; }, 6378, ItemField::Duration},
      {"duration 19.9", [](TestItemForm& f) { f.duration = "19.9"; }, 6379, ItemField::Duration},
      {"duration 600", [](TestItemForm& f) { f.duration = "600"; }, 0, ItemField::None},
      {"duration 600.5", [](TestItemForm& f) { f.duration = "600.5"; }, 6389, ItemField::Duration},
      {"two faults: the first wins", [](TestItemForm& f) { f.eyes = 0, f.duration = "1"; }, 6373,
       ItemField::Eyes},
  };
  for (const Case& c : cases) {
    TestItemForm f = balanceForm();
    c.change(f);
    const ItemCheck r = checkTestItem(f, kMetres, 0.0);
    EXPECT_EQ(r.ok, c.message == 0) << c.what;
    EXPECT_EQ(r.message, c.message ? Str(c.message) : QString()) << c.what;
    EXPECT_EQ(r.field, c.field) << c.what;
  }
}

TEST(TestItemChecks, VisionItemInOrderWithTheMinimumDistance) {
  struct Case {
    const char* what;
    void (*change)(TestItemForm&);
    int message;
    ItemField field;
  };
  const Case cases[] = {
      {"as made", [](TestItemForm&) {}, 0, ItemField::None},
      {"no eye", [](TestItemForm& f) { f.eye = 0; }, 6380, ItemField::Eye},
      {"interval text", [](TestItemForm& f) { f.interval = "x"; }, 6381, ItemField::Interval},
      {"interval -1", [](TestItemForm& f) { f.interval = "-1"; }, 6382, ItemField::Interval},
      {"interval 0", [](TestItemForm& f) { f.interval = "0"; }, 0, ItemField::None},
      {"at the minimum", [](TestItemForm& f) { f.distance = "1.5"; }, 6383, ItemField::Distance},
      {"above it", [](TestItemForm& f) { f.distance = "1.51 m"; }, 0, ItemField::None},
      {"4 tests, 4 correct", [](TestItemForm& f) { f.testsPerSize = "4", f.correctAnswers = "4"; }, 0,
       ItemField::None},
      {"4 tests, 5 correct", [](TestItemForm& f) { f.testsPerSize = "4", f.correctAnswers = "5"; }, 6387,
       ItemField::CorrectAnswers},
      {"3 tests", [](TestItemForm& f) { f.testsPerSize = "3", f.correctAnswers = "3"; }, 6385,
       ItemField::TestsPerSize},
      {"tests text", [](TestItemForm& f) { f.testsPerSize = "4.5"; }, 6384, ItemField::TestsPerSize},
      {"correct text", [](TestItemForm& f) { f.correctAnswers = "three"; }, 6386, ItemField::CorrectAnswers},
      {"no correct answer", [](TestItemForm& f) { f.correctAnswers = "0"; }, 6392, ItemField::CorrectAnswers},
  };
  for (const Case& c : cases) {
    TestItemForm f = visionForm();
    c.change(f);
    const ItemCheck r = checkTestItem(f, kMetres, 1.5);
    EXPECT_EQ(r.ok, c.message == 0) << c.what;
    EXPECT_EQ(r.message, c.message ? Str(c.message) : QString()) << c.what;
    EXPECT_EQ(r.field, c.field) << c.what;
  }
  TestItemForm f = visionForm();
  f.distance = "3 ft";
  const ItemCheck wrongUnit = checkTestItem(f, kMetres, 0.0);
  EXPECT_FALSE(wrongUnit.ok);
  EXPECT_TRUE(wrongUnit.message.startsWith("The Test Distance \"3 ft\" cannot be read:\n"));
  EXPECT_EQ(distanceLabel(1.8827, kMetres), "Test Distance (Min. 1.88 m):");
  EXPECT_EQ(distanceLabel(0.0, kMetres), "Test Distance (Min. unknown):");
}

TEST(TestItemChecks, FormAndItemRoundTripBothKinds) {
  KM_RQTemplateItem balance =
      KM_RQTemplateItem::balanceFromDefaults("Foam Eyes Closed", kSurfaceFoam, kEyesClosed);
  TestItemForm f = formFromItem(balance, kMetres);
  EXPECT_EQ(f.frequency, "64");
  EXPECT_EQ(f.preTest, "5");
  EXPECT_EQ(f.duration, "20");
  EXPECT_EQ(f.surface, 2);
  f.frequency = "100,5";
  f.beepBegin = true;
  f.name = " Foam EC ";
  updateTestItem(f, kMetres, balance);
  EXPECT_EQ(balance.sName, "Foam EC");
  EXPECT_DOUBLE_EQ(balance.frequencyHz(), 100.5);
  EXPECT_TRUE(balance.beepBegin());
  EXPECT_TRUE(balance.isBalance());

  KM_RQTemplateItem vision;
  vision.lLong[0] = KM_RQTemplateItem::kVision;
  vision.setDistance(3.048);
  TestItemForm v = formFromItem(vision, 1);
  EXPECT_EQ(v.distance, "10' 0\"") << "shown in feet and inches";
  v.distance = "12'";
  v.eye = 2;
  v.testsPerSize = "6";
  v.correctAnswers = "4";
  v.highContrast = true;
  updateTestItem(v, 1, vision);
  EXPECT_NEAR(vision.distance(), 3.6576, 1e-9);
  EXPECT_EQ(vision.eye(), 2);
  EXPECT_EQ(vision.testsPerSize(), 6);
  EXPECT_EQ(vision.correctAnswers(), 4);
  EXPECT_TRUE(vision.highContrast());
}

TEST(MonitorSize, DiagonalAndMinimumDistanceArithmetic) {
  const Sides s = SidesFromDiagonal(17.0, 1024, 768);
  EXPECT_NEAR(s.width, 13.6, 1e-12);
  EXPECT_NEAR(s.height, 10.2, 1e-12);
  const Sides wide = SidesFromDiagonal(24.0, 1920, 1080);
  EXPECT_NEAR(wide.width / wide.height, 16.0 / 9.0, 1e-12);
  EXPECT_NEAR(DiagonalFromSides(wide.width, wide.height), 24.0, 1e-12);
  EXPECT_EQ(SidesFromDiagonal(17.0, 0, 768).width, 0.0);

  // 5 pixels of 0.2745 mm must subtend 300" x 10^-0.3 = 150.4": 1.88 m.
  EXPECT_NEAR(MinimumVisionDistance(527, 296, 1920, 1080, -30, 300, 5), 1.8827, 5e-4);
  // logMAR 0 doubles the angle and halves the distance; the coarser pixel axis counts.
  EXPECT_NEAR(MinimumVisionDistance(527, 296, 1920, 1080, 0, 300, 5), 1.8827 / std::pow(10.0, 0.3), 5e-4);
  EXPECT_NEAR(MinimumVisionDistance(527, 400, 1920, 1080, 0, 300, 5),
              MinimumVisionDistance(711, 400, 1920, 1080, 0, 300, 5), 1e-12);
  EXPECT_EQ(MinimumVisionDistance(0, 296, 1920, 1080, -30, 300, 5), 0.0) << "unknown size";
  EXPECT_EQ(MinimumVisionDistance(527, 296, -1, 1080, -30, 300, 5), 0.0) << "unknown resolution";

  settings::write(settings::MonitorWidthMM, 527);
  settings::write(settings::MonitorHeightMM, 296);
  settings::write(settings::MonitorResHor, 1920);
  settings::write(settings::MonitorResVert, 1080);
  EXPECT_NEAR(MinimumVisionDistanceFromSettings(), 1.8827, 5e-4);
}

TEST(ResultRows, TheSeventyTwoRowsFollowTheStoredOrder) {
  const ResultRow first = resultRow(0, RowUse::Documents);
  EXPECT_EQ(QStringList({first.report, first.age, first.test, first.result}),
            QStringList({"Internal", "Adult", "General", "Introduction"}));
  EXPECT_EQ(resultRow(24, RowUse::Notes).result, "Comments");
  const ResultRow r = resultRow(24 + 9, RowUse::Notes);  // subject's, "StabilASevere"
  EXPECT_EQ(QStringList({r.report, r.age, r.test, r.result}),
            QStringList({"Subject's", "Adult", "Balance", "Severely Reduced"}));
  const ResultRow last = resultRow(71, RowUse::Documents);  // "BMICOverweight" of the external report
  EXPECT_EQ(QStringList({last.report, last.age, last.test, last.result}),
            QStringList({"External", "Child/Teen", "BMI", "Overweight"}));
  EXPECT_EQ(resultRow(22, RowUse::Documents).result, "At Risk of Overweight");
  EXPECT_STREQ(settings::referralDoc(23).name, "BMICRiskOverweight");
}

TEST(DocumentPrint, RegisteredCommandFirstWithTheFileInItsPlace) {
  settings::write(settings::Key1, "x");  // the store exists
  SettingWriteString(Hive::ClassesRoot, ".pdf", QString(), "Clinic.Document");
  SettingWriteString(Hive::ClassesRoot, "Clinic.Document\\shell\\print\\command", QString(),
                     "\"/opt/viewer/bin/view pdf\" -print \"%1\"");
  EXPECT_EQ(DocumentPrintCommand("/docs/a b.pdf"),
            QStringList({"/opt/viewer/bin/view pdf", "-print", "/docs/a b.pdf"}));
  SettingWriteString(Hive::ClassesRoot, "Clinic.Document\\shell\\print\\command", QString(), "printit");
  EXPECT_EQ(DocumentPrintCommand("/docs/a.PDF"), QStringList({"printit", "/docs/a.PDF"}));
  const QStringList other = DocumentPrintCommand("/docs/letter.odt");
  EXPECT_TRUE(other.isEmpty() || other == QStringList({other.value(0), "/docs/letter.odt"}))
      << "unregistered: the system's print command, if any";
}

}  // namespace
}  // namespace tarn::options
