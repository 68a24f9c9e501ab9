#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <csignal>
#include <functional>

#include "balance/balancesettings.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "options/optionsmodel.h"
#include "options/tests/optionstest.h"
#include "support/strings/strings.h"
#include "support/units/units.h"
#include "testsupport/childprocess.h"
#include "testsupport/sandbox.h"
#include "testsupport/scriptedmessages.h"

namespace tarn::options {
namespace {
namespace s = tarn::settings;

const std::vector<DisplayInfo> kDisplays = {{"DP-1", "Maker A 24", 1920, 1080},
                                            {"HDMI-1", "Maker B 17", 1024, 768}};

// Every value a page holds, one line each, so that two models can be compared whole.
QStringList fingerprint(OptionsModel& m) {
  QStringList f;
  auto b = [](bool v) { return QString(v ? "1" : "0"); };
  for (bool v : m.program.switches) f << "program " + b(v);
  for (int u : m.program.units) f << "unit " + QString::number(u);
  f << "folder " + m.program.dataFolder;
  for (int k = 0; k < s::kReportKinds; ++k) {
    f << "kind " + b(m.reports.kinds[k]);
    for (bool v : m.reports.items[k]) f << "item " + b(v);
  }
  for (bool v : m.reports.switches) f << "report " + b(v);
  f << "printer " + m.reports.printer
    << QString("paper %1 quality %2 color %3")
           .arg(m.reports.paper)
           .arg(m.reports.quality)
           .arg(m.reports.color)
    << "copies " + m.reports.copies;
  for (const NoteSet& n : m.notes.sets) {
    f << "set " + QFileInfo(n.fileName).fileName() + " " + n.notes.sName;
    for (int i = 0; i <= n.notes.lTestCount(); ++i) f << n.notes.sComment(i);
  }
  f << "set selected " + QString::number(m.notes.selected);
  for (const QString& d : m.docs.files) f << "doc " + d;
  f << "doc path " + m.docs.lastPath;
  f << "subject " + QString::number(m.monitor.subjectMonitor);
  for (const QString& t : m.monitor.size) f << "size " + t;
  f << "platform " + m.platform.excitation + " " + m.platform.duration + " " + m.platform.maxAge + " " +
           m.platform.maxNoise + " " + b(m.platform.allowNoisy);
  for (bool v : m.tests.enabled) f << "enabled " + b(v);
  for (const TemplateEntry& t : m.tests.templates) {
    f << "template " + QFileInfo(t.fileName).fileName() + " " + t.tpl.sName;
    for (int i = 1; i <= t.tpl.lTestCount(); ++i) {
      const KM_RQTemplateItem& it = *t.tpl.tiTestItem(i);
      f << QString("%1 %2 %3 %4 %5 %6")
               .arg(it.sName)
               .arg(it.lKind())
               .arg(it.lLong[1])
               .arg(it.lLong[2])
               .arg(it.dDouble[0])
               .arg(it.dDouble[1]);
    }
  }
  f << "template selected " + QString::number(m.tests.selected);
  f << "keys " + m.passwords.key1 + " " + m.passwords.key2;
  return f;
}

class Options : public ::testing::Test {
 protected:
  testing::CheapDigest digest;
  QString home = testsupport::sandboxFolder();

  OptionsModel loaded() {
    OptionsModel m(kDisplays, 1);
    m.LoadSettings();
    return m;
  }
  // A model that passes every check without a message.
  OptionsModel valid() {
    OptionsModel m = loaded();
    m.program.units = {3, 3, 3};
    m.monitor.size[kWidthMM] = "527";
    m.monitor.size[kHeightMM] = "296";
    for (int i = kFirstPrintedNote; i <= KM_RQTComments::kDefaultCount; ++i)
      m.notes.sets[m.notes.selected].notes.setComment(i, "note");
    return m;
  }
  QString templateFolder() const { return folders::userDataFolder(); }
};

TEST_F(Options, LoadingWritesNothingAndOffersTheStationsDefaults) {
  OptionsModel m = loaded();
  EXPECT_FALSE(QFile::exists(folders::settingsStorePath())) << "reading needs no store";
  EXPECT_TRUE(testing::folderSnapshot(templateFolder()).isEmpty());
  EXPECT_EQ(m.program.units, (std::array<int, 3>{kUnitNotChosen, kUnitNotChosen, kUnitNotChosen}))
      << "units never chosen show none";
  EXPECT_EQ(m.program.dataFolder, folders::documentsFolder());
  EXPECT_EQ(m.platform.excitation, "2.500");
  EXPECT_EQ(m.platform.duration, "5.000");
  EXPECT_EQ(m.platform.maxAge, "600");
  EXPECT_EQ(m.platform.maxNoise, "4096");
  EXPECT_EQ(m.reports.copies, "1");
  ASSERT_EQ(m.tests.templates.size(), 1u);
  EXPECT_EQ(QFileInfo(m.tests.templates[0].fileName).fileName(), "KMTARNRQ.tef");
  EXPECT_EQ(m.tests.templates[0].tpl.lTestCountBalance(), 4);
  EXPECT_EQ(m.tests.selected, 0);
  ASSERT_EQ(m.notes.sets.size(), 2u);
  EXPECT_EQ(m.notes.sets[0].notes.sName, "Default");
  EXPECT_EQ(QFileInfo(m.notes.sets[0].fileName).fileName(), "KMTARNRQ.cof");
  EXPECT_EQ(m.notes.sets[1].notes.sName, "No Notes");
  EXPECT_EQ(QFileInfo(m.notes.sets[1].fileName).fileName(), "KMTARNRQ1.cof");
  EXPECT_EQ(m.notes.selected, 0);
}

// Changes every value of every page. Returns the data folder it chose.
QString changeEverything(OptionsModel& m, const QString& home) {
  for (bool& v : m.program.switches) v = !v;
  m.program.units = {1, 4, 5};
  const QString data = home + "/Clinic Data";
  QDir().mkpath(data);
  m.program.dataFolder = data + "/";
  for (auto& kind : m.reports.items)
    for (bool& v : kind) v = !v;
  for (bool& v : m.reports.kinds) v = !v;
  for (bool& v : m.reports.switches) v = !v;
  m.reports.printer = "Front Desk Laser";
  m.reports.paper = kPaperA4;
  m.reports.quality = -2;
  m.reports.copies = "3";
  m.reports.color = false;

  m.addNoteSet(2, "Hearing Centre");
  m.setNote(30, "See your physician within a week.");
  m.setNote(31, "");
  m.setDocument(1, home + "/docs/intro.pdf");
  m.setDocument(72, home + "/letters/bmi child.pdf");
  m.removeDocument(1);

  EXPECT_TRUE(m.chooseSubjectMonitor(2));
  m.monitor.size[kDiagonalIn] = "17";
  EXPECT_TRUE(m.leaveSizeField(kDiagonalIn));

  m.platform = {"1.250", "2.000", "120", "2000", false};
  for (bool& v : m.tests.enabled) v = !v;
  m.tests.enabled[kEnableBalance] = true;
  m.addTemplate();
  EXPECT_TRUE(m.renameTemplate("Falls Clinic"));
  EXPECT_EQ(m.insertBalance(0), 1);
  EXPECT_EQ(m.insertVision(1), 1);
  m.changeAdministratorPassword("admin pw", "admin pw");
  return data;
}

TEST_F(Options, EveryPageRoundTripsThroughTheStore) {
  ScriptedMessages msgs{MsgResult::OK, MsgResult::OK, MsgResult::OK};
  OptionsModel m = loaded();
  const QString data = changeEverything(m, home);
  Page page = Page::Passwords;
  ASSERT_TRUE(m.fnDataSave(&page)) << msgs.texts().join("\n").toStdString();
  EXPECT_EQ(msgs.texts(), QStringList{Str(6313)}) << "the new set lacks most notes";

  // The values as the rest of the station reads them.
  EXPECT_EQ(s::read(s::FullScreen), -1);
  EXPECT_EQ(s::read(s::AllowTestTemplate), 0);
  EXPECT_EQ(s::read(s::NoClockCheckReminder), -1);
  EXPECT_EQ(s::read(s::StartAutomatically), -1);
  EXPECT_EQ(s::read(s::UnitsForce), 1);
  EXPECT_EQ(s::read(s::UnitsMass), 4);
  EXPECT_EQ(s::read(s::UnitsLength), 5);
  EXPECT_EQ(s::read(s::LastPath), data) << "stored without a trailing separator";
  EXPECT_EQ(s::read(s::ReportInternal), 0);
  EXPECT_EQ(s::read(s::ReportSubject), -1);
  EXPECT_EQ(s::read(s::reportPage(s::ReportKind::Internal, s::ReportPage::Referrals)), -1);
  EXPECT_EQ(s::read(s::reportPage(s::ReportKind::External, s::ReportPage::Cover)), 0);
  EXPECT_EQ(s::read(s::HipaaCompliant), 0);
  EXPECT_EQ(s::read(s::LockReports), -1);
  EXPECT_EQ(s::read(s::ReportPrinter), "Front Desk Laser");
  EXPECT_EQ(s::read(s::ReportPaper), kPaperA4);
  EXPECT_EQ(s::read(s::ReportQuality), -2);
  EXPECT_EQ(s::read(s::ReportCopies), 3);
  EXPECT_EQ(s::read(s::ReportColor), kColorMonochrome);
  EXPECT_EQ(s::read(s::CommentsFile), "KMTARNRQ2.cof");
  EXPECT_EQ(s::read(s::referralDoc(1)), "");
  EXPECT_EQ(s::read(s::referralDoc(s::ReportKind::External, 23)), home + "/letters/bmi child.pdf");
  EXPECT_EQ(s::read(s::ReferralLastPath), home + "/letters");
  EXPECT_EQ(s::read(s::MonitorForSubject), 2);
  EXPECT_EQ(s::read(s::MonitorDevName), "HDMI-1");
  EXPECT_EQ(s::read(s::MonitorDevString), "Maker B 17");
  EXPECT_EQ(s::read(s::MonitorResHor), 1024);
  EXPECT_EQ(s::read(s::MonitorResVert), 768);
  EXPECT_EQ(s::read(s::MonitorWidthMM), 345);     // 13.6 in
  EXPECT_EQ(s::read(s::MonitorHeightMM), 259);    // 10.2 in
  EXPECT_EQ(s::read(s::MonitorDiagonalMM), 432);  // 17 in
  EXPECT_EQ(s::read(s::ZeroExcitation), 1250);
  EXPECT_EQ(s::read(s::ZeroDuration), 2000);
  EXPECT_EQ(s::read(s::ZeroMaxAge), 120);
  EXPECT_EQ(s::read(s::ZeroMaxNoise), 2000);
  EXPECT_EQ(s::read(s::ZeroAllowNoisy), 0);
  EXPECT_EQ(s::read(s::EnableVision), 0);
  EXPECT_EQ(s::read(s::EnableBalance), -1);
  EXPECT_EQ(s::read(s::TemplateFile), "KMTARNRQ1.tef");
  EXPECT_EQ(s::read(s::Key1), AccessDigest("admin pw"));
  EXPECT_FALSE(QString(testing::storeDump().join('\n')).contains("|Key2|"))
      << "an unchanged digest is not written";

  // A new window shows exactly what was saved (the folder without its trailing separator).
  OptionsModel again = loaded();
  m.program.dataFolder = data;
  EXPECT_EQ(fingerprint(again), fingerprint(m));
}

TEST_F(Options, CancelAfterEveryChangeWritesNothing) {
  {
    ScriptedMessages msgs{MsgResult::OK, MsgResult::OK, MsgResult::OK};
    OptionsModel first = loaded();
    first.program.units = {3, 3, 3};
    first.monitor.size[kWidthMM] = "300";
    first.monitor.size[kHeightMM] = "200";
    ASSERT_TRUE(first.fnDataSave(nullptr));  // a station with files and settings
  }
  const QStringList store = testing::storeDump();
  const QStringList files = testing::folderSnapshot(templateFolder());
  ASSERT_FALSE(store.isEmpty());
  ASSERT_EQ(files.size(), 3) << "a template and two note sets";
  {
    OptionsModel m = loaded();
    changeEverything(m, home);
    m.deleteTemplate(0);
    m.deleteNoteSet(1);
  }  // Cancel: the window drops the model
  EXPECT_EQ(testing::storeDump(), store);
  EXPECT_EQ(testing::folderSnapshot(templateFolder()), files);
}

TEST_F(Options, EachCheckRefusesWithItsMessageAndPage) {
  struct Case {
    const char* what;
    std::function<void(OptionsModel&)> change;
    QString message;
    Page page;
  };
  const Case cases[] = {
      {"force unit", [](OptionsModel& m) { m.program.units[kUnitForce] = kUnitNotChosen; }, Str(6300),
       Page::Program},
      {"length unit", [](OptionsModel& m) { m.program.units[kUnitLength] = kUnitNotChosen; }, Str(6300),
       Page::Program},
      {"folder", [](OptionsModel& m) { m.program.dataFolder = "  "; }, Str(6301), Page::Program},
      {"missing folder", [](OptionsModel& m) { m.program.dataFolder = "/nonexistent/tarn"; },
       Str(6317).arg("/nonexistent/tarn"), Page::Program},
      {"copies 0", [](OptionsModel& m) { m.reports.copies = "0"; }, Str(6075), Page::Reports},
      {"copies 100", [](OptionsModel& m) { m.reports.copies = "100"; }, Str(6075), Page::Reports},
      {"copies 2.5", [](OptionsModel& m) { m.reports.copies = "2.5"; }, Str(6075), Page::Reports},
      {"note set name", [](OptionsModel& m) { m.renameNoteSet(" "); }, Str(6107), Page::ReportNotes},
      {"width", [](OptionsModel& m) { m.monitor.size[kWidthMM].clear(); }, Str(6302), Page::Monitors},
      {"height", [](OptionsModel& m) { m.monitor.size[kHeightMM].clear(); }, Str(6302), Page::Monitors},
      {"width text", [](OptionsModel& m) { m.monitor.size[kWidthMM] = "wide"; },
       Str(6200).arg("Horizontal Size of the Image (mm):", ParseLength(u"wide", 5).error), Page::Monitors},
      {"excitation text", [](OptionsModel& m) { m.platform.excitation = "2.5 V"; }, Str(6303),
       Page::ForcePlatform},
      {"excitation 0.49", [](OptionsModel& m) { m.platform.excitation = "0.49"; }, Str(6304),
       Page::ForcePlatform},
      {"excitation 5.001", [](OptionsModel& m) { m.platform.excitation = "5.001"; }, Str(6304),
       Page::ForcePlatform},
      {"duration text", [](OptionsModel& m) { m.platform.duration = ""; }, Str(6305), Page::ForcePlatform},
      {"duration 0.999", [](OptionsModel& m) { m.platform.duration = "0.999"; }, Str(6306),
       Page::ForcePlatform},
      {"duration 61", [](OptionsModel& m) { m.platform.duration = "61"; }, Str(6229), Page::ForcePlatform},
      {"max age text", [](OptionsModel& m) { m.platform.maxAge = "ten"; }, Str(6307), Page::ForcePlatform},
      {"max age 59", [](OptionsModel& m) { m.platform.maxAge = "59"; }, Str(6308), Page::ForcePlatform},
      {"max age 86401", [](OptionsModel& m) { m.platform.maxAge = "86401"; }, Str(6230), Page::ForcePlatform},
      {"noise text", [](OptionsModel& m) { m.platform.maxNoise = "1e"; }, Str(6309), Page::ForcePlatform},
      {"noise 127", [](OptionsModel& m) { m.platform.maxNoise = "127"; }, Str(6310), Page::ForcePlatform},
      {"noise 1000001", [](OptionsModel& m) { m.platform.maxNoise = "1000001"; }, Str(6231),
       Page::ForcePlatform},
      {"template name", [](OptionsModel& m) { m.renameTemplate(""); }, Str(6261), Page::Tests},
  };
  for (const Case& c : cases) {
    OptionsModel m = valid();
    c.change(m);
    ScriptedMessages msgs;
    Page page = Page::Passwords;
    EXPECT_FALSE(m.fnDataOK(&page)) << c.what;
    EXPECT_EQ(page, c.page) << c.what;
    ASSERT_EQ(msgs.requests().size(), 1) << c.what;
    EXPECT_EQ(msgs.texts().at(0), c.message) << c.what;
    EXPECT_EQ(msgs.requests().at(0).icon, MsgIcon::Exclamation) << c.what;
  }
  EXPECT_TRUE(testing::storeDump().isEmpty());
}

TEST_F(Options, LimitsAreInclusiveWhereTheRulesSaySo) {
  const std::function<void(OptionsModel&)> accepted[] = {
      [](OptionsModel& m) { m.platform.excitation = "0.5"; },
      [](OptionsModel& m) { m.platform.excitation = "5"; },
      [](OptionsModel& m) { m.platform.excitation = "4,75"; },  // a decimal comma reads as a point
      [](OptionsModel& m) { m.platform.duration = "1"; },
      [](OptionsModel& m) { m.platform.maxAge = "60"; },
      [](OptionsModel& m) { m.platform.maxNoise = "128"; },
      [](OptionsModel& m) { m.reports.copies = "99"; },
  };
  for (const auto& change : accepted) {
    OptionsModel m = valid();
    change(m);
    ScriptedMessages msgs;
    EXPECT_TRUE(m.fnDataOK(nullptr)) << msgs.texts().join("|").toStdString();
  }
}

TEST_F(Options, WarningsGoBackToTheirPageUnlessAccepted) {
  struct Case {
    const char* what;
    std::function<void(OptionsModel&)> change;
    int message;
    Page page;
  };
  const Case cases[] = {
      {"read-only data folder", [](OptionsModel& m) { m.program.dataFolder = "/proc"; }, 6311, Page::Program},
      {"no note set", [](OptionsModel& m) { m.notes.selected = -1; }, 6312, Page::ReportNotes},
      {"note missing", [](OptionsModel& m) { m.setNote(71, "-"); }, 6313, Page::ReportNotes},
      {"no test kind",
       [](OptionsModel& m) {
         m.tests.enabled = {false, false, false, true};  // weight alone runs no test
       },
       6314, Page::Tests},
      {"no template", [](OptionsModel& m) { m.tests.selected = -1; }, 6315, Page::Tests},
      {"empty template", [](OptionsModel& m) { m.addTemplate(); }, 6316, Page::Tests},
  };
  for (const Case& c : cases) {
    for (MsgResult answer : {MsgResult::Cancel, MsgResult::OK}) {
      OptionsModel m = valid();
      c.change(m);
      ScriptedMessages msgs{answer};
      Page page = Page::Passwords;
      EXPECT_EQ(m.fnDataOK(&page), answer == MsgResult::OK) << c.what;
      EXPECT_EQ(page, answer == MsgResult::OK ? Page::Passwords : c.page) << c.what;
      ASSERT_EQ(msgs.requests().size(), 1) << c.what;
      EXPECT_EQ(msgs.texts().at(0), Str(c.message)) << c.what;
      EXPECT_EQ(msgs.requests().at(0).icon, MsgIcon::Information);
      EXPECT_EQ(msgs.requests().at(0).buttons, MsgButtons::OKCancel);
      EXPECT_EQ(msgs.requests().at(0).defaultButton, 2) << "Cancel is the default";
    }
  }
}

TEST_F(Options, RestoreDefaultsChangesOnlyTheForcePlatformPage) {
  OptionsModel m = valid();
  changeEverything(m, home);
  QStringList before = fingerprint(m);
  m.restoreDefaults();
  QStringList after = fingerprint(m);
  const auto isPlatform = [](const QString& line) { return line.startsWith("platform "); };
  EXPECT_EQ(after.filter("platform ").value(0), "platform 2.500 5.000 600 4096 1");
  before.removeIf(isPlatform);
  after.removeIf(isPlatform);
  EXPECT_EQ(after, before);
}

// ------------------------------------------------------------------ monitors

TEST_F(Options, MonitorSizesConvertBetweenTwinFieldsAndFromTheDiagonal) {
  ScriptedMessages msgs;
  OptionsModel m = loaded();
  ASSERT_TRUE(m.chooseSubjectMonitor(2));  // 1024 x 768: 4:3
  auto& f = m.monitor.size;
  f[kDiagonalIn] = "17";
  ASSERT_TRUE(m.leaveSizeField(kDiagonalIn));
  EXPECT_EQ(f[kWidthIn], "13.6");
  EXPECT_EQ(f[kHeightIn], "10.2");
  EXPECT_EQ(f[kDiagonalMM], "432");
  EXPECT_EQ(f[kWidthMM], "345");
  f[kWidthMM] = "400 mm";
  ASSERT_TRUE(m.leaveSizeField(kWidthMM));
  EXPECT_EQ(f[kWidthIn], "15.7");
  EXPECT_EQ(f[kWidthMM], "400");
  EXPECT_EQ(f[kDiagonalMM], "477") << "two sides give the diagonal";
  f[kHeightIn] = "10\"";
  ASSERT_TRUE(m.leaveSizeField(kHeightIn));
  EXPECT_EQ(f[kHeightMM], "254");
  f[kHeightIn] = "";
  ASSERT_TRUE(m.leaveSizeField(kHeightIn));
  EXPECT_EQ(f[kHeightMM], "") << "an emptied field empties its twin";
  EXPECT_TRUE(msgs.requests().isEmpty());

  f[kWidthIn] = "12 cm";
  EXPECT_FALSE(m.leaveSizeField(kWidthIn));
  f[kWidthIn] = "0";
  EXPECT_FALSE(m.leaveSizeField(kWidthIn));
  ASSERT_EQ(msgs.requests().size(), 2);
  EXPECT_TRUE(msgs.texts().at(0).startsWith("\"Horizontal Size of the Image (in):\" cannot be read:\n"));
  EXPECT_EQ(msgs.texts().at(1), "\"Horizontal Size of the Image (in):\" MUST be greater than 0!");
  EXPECT_EQ(f[kWidthMM], "400") << "a refused entry leaves the twin";
}

TEST_F(Options, SubjectDisplayChoiceRefusesDisplayOne) {
  ScriptedMessages msgs;
  OptionsModel m = loaded();
  EXPECT_EQ(m.subjectDisplayText(), "Not Selected");
  EXPECT_EQ(m.calibratedDisplay()->name, "DP-1") << "without a subject display: the primary one";
  EXPECT_EQ(m.resolutionText(), "1920 x 1080");
  EXPECT_FALSE(m.chooseSubjectMonitor(1));
  EXPECT_FALSE(m.chooseSubjectMonitor(3));
  EXPECT_EQ(msgs.texts(), QStringList({"For Subject's Use Select Any Display but 1 ",
                                       "For Subject's Use Select Any Display but 1 "}));
  EXPECT_EQ(m.monitor.subjectMonitor, 0);
  EXPECT_TRUE(m.chooseSubjectMonitor(2));
  EXPECT_EQ(m.subjectDisplayText(), "Secondary Monitor - HDMI-1");
  EXPECT_EQ(m.subjectDisplayNumberText(), "2");
  EXPECT_EQ(m.resolutionText(), "1024 x 768");
  OptionsModel primaryIsSecond(kDisplays, 2);
  primaryIsSecond.LoadSettings();
  primaryIsSecond.chooseSubjectMonitor(2);
  EXPECT_EQ(primaryIsSecond.subjectDisplayText(), "Primary Monitor - HDMI-1");

  s::write(s::MonitorForSubject, 3);
  OptionsModel gone = loaded();
  EXPECT_EQ(gone.subjectDisplayText(), "(No Longer Present)");
  EXPECT_EQ(gone.calibratedDisplay(), nullptr);
}

TEST_F(Options, StoredSizesShowOnlyForTheDisplayTheyWereMeasuredOn) {
  s::write(s::MonitorForSubject, 2);
  s::write(s::MonitorDevName, "HDMI-1");
  s::write(s::MonitorDevString, "Maker B 17");
  s::write(s::MonitorResHor, 1024);
  s::write(s::MonitorResVert, 768);
  s::write(s::MonitorWidthMM, 345);
  s::write(s::MonitorHeightMM, 259);
  s::write(s::MonitorDiagonalMM, 432);
  OptionsModel m = loaded();
  EXPECT_EQ(m.monitor.size,
            (std::array<QString, kSizeFieldCount>{"13.6", "345", "10.2", "259", "17.0", "432"}));
  s::write(s::MonitorResHor, 1280);  // measured at another resolution
  EXPECT_EQ(loaded().monitor.size, (std::array<QString, kSizeFieldCount>{}));
  s::write(s::MonitorResHor, 1024);
  OptionsModel other = loaded();
  ScriptedMessages msgs;
  other.chooseSubjectMonitor(0);  // back to the primary display: not the one measured
  EXPECT_EQ(other.monitor.size, (std::array<QString, kSizeFieldCount>{}));
}

// ------------------------------------------------------------------ templates and note sets

// Little-endian tagged values built by hand, to hold the files to their layout.
struct Bytes {
  QByteArray b;
  void raw(qint32 v) { b.append(reinterpret_cast<const char*>(&v), 4); }
  void type(quint16 t) { b.append(reinterpret_cast<const char*>(&t), 2); }
  void lng(qint32 v) { type(3), raw(v); }
  void dbl(double v) { type(5), b.append(reinterpret_cast<const char*>(&v), 8); }
  void boolean(bool v) {
    type(11);
    const qint16 x = v ? -1 : 0;
    b.append(reinterpret_cast<const char*>(&x), 2);
  }
  void str(const QByteArray& s) {
    type(8);
    const quint16 n = static_cast<quint16>(s.size());
    b.append(reinterpret_cast<const char*>(&n), 2);
    b.append(s);
  }
};

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

TEST_F(Options, TemplateEditingIsSavedInTheTemplateFileLayout) {
  OptionsModel m = valid();
  m.addTemplate();
  m.renameTemplate("Falls");
  EXPECT_EQ(m.insertBalance(5), 1) << "beyond the items: appended";
  EXPECT_EQ(m.insertVision(1), 1) << "inserted before the selected row";
  EXPECT_EQ(m.moveTest(1, false), 2);
  EXPECT_EQ(m.moveTest(1, true), 1) << "the first cannot move up";
  KM_RQTemplateItem edited = *m.selectedTemplate()->tpl.tiTestItem(1);
  ASSERT_TRUE(edited.isBalance());
  edited.sName = "Foam EC 30";
  edited.setDurationSeconds(30);
  edited.setBeepBegin(true);
  ASSERT_TRUE(m.replaceTest(1, edited));
  EXPECT_EQ(m.testStatusText(edited), "Enabled");
  m.removeTest(2);  // the vision item
  ScriptedMessages msgs;
  ASSERT_TRUE(m.fnDataSave(nullptr)) << msgs.texts().join("|").toStdString();

  Bytes x;
  x.raw(1);
  x.str("Falls");
  x.boolean(true);
  x.lng(1);
  x.lng(1);  // item format
  x.str("Foam EC 30");
  for (qint32 v : {2, 2, 2, 1, 1}) x.lng(v);  // balance, foam, eyes closed, beeps
  for (double v : {64.0, 5.0, 30.0, 0.0, 0.0}) x.dbl(v);
  for (int i = 0; i < 5; ++i) x.lng(0);
  const QString file = QDir(templateFolder()).filePath("KMTARNRQ1.tef");
  EXPECT_EQ(fileBytes(file).toHex(), x.b.toHex());
  KM_RQTemplate back;
  ASSERT_TRUE(back.Load(file));
  EXPECT_EQ(back.sName, "Falls");
  EXPECT_EQ(back.lTestCountBalance(), 1);
  EXPECT_EQ(s::read(s::TemplateFile), "KMTARNRQ1.tef");
  EXPECT_TRUE(TemplateHasEnabledTests(file, true, false));
}

TEST_F(Options, NoteSetsAreSavedInTheCommentFileLayoutAndDeletedAtOK) {
  {
    ScriptedMessages msgs{MsgResult::OK};
    OptionsModel first = valid();
    ASSERT_TRUE(first.fnDataSave(nullptr));
  }
  OptionsModel m = valid();
  ASSERT_EQ(m.notes.sets.size(), 2u);
  const QString noNotes = m.notes.sets[1].fileName;
  ASSERT_TRUE(QFile::exists(noNotes));
  m.deleteNoteSet(1);
  EXPECT_EQ(m.addNoteSet(0, " Ward 3 "), 1);
  EXPECT_EQ(QFileInfo(m.notes.sets[1].fileName).fileName(), "KMTARNRQ2.cof")
      << "the name of a set deleted in this session is not reused";
  m.setNote(24, "Adult comment");
  m.setNote(71, "Overweight child");
  ScriptedMessages msgs{MsgResult::OK};
  ASSERT_TRUE(m.fnDataSave(nullptr));
  EXPECT_FALSE(QFile::exists(noNotes));
  EXPECT_EQ(s::read(s::CommentsFile), "KMTARNRQ2.cof");

  const QString file = m.notes.sets[1].fileName;
  Bytes x;
  x.raw(1);
  x.str("Ward 3");
  x.boolean(true);
  x.lng(71);
  for (int i = 0; i <= 71; ++i) x.str(i == 24 ? "Adult comment" : i == 71 ? "Overweight child" : "-");
  EXPECT_EQ(fileBytes(file).toHex(), x.b.toHex());
  KM_RQTComments back;
  ASSERT_TRUE(back.Load(file));
  EXPECT_EQ(back.sComment(71), "Overweight child");
}

TEST_F(Options, AFileThatCannotBeWrittenKeepsTheOldOneAndTheSettings) {
  {
    ScriptedMessages msgs{MsgResult::OK};
    OptionsModel first = valid();
    ASSERT_TRUE(first.fnDataSave(nullptr));
  }
  const QStringList store = testing::storeDump();
  const QStringList files = testing::folderSnapshot(templateFolder());
  OptionsModel m = valid();
  m.platform.maxAge = "900";
  m.renameTemplate("Renamed");
  m.insertBalance(0);
  // A full disk: no file may grow past a few bytes while the window saves.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit tiny = old;
  tiny.rlim_cur = 16;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
  ScriptedMessages msgs;
  Page page = Page::Program;
  const bool saved = m.fnObjectUpdate(&page);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(saved);
  EXPECT_EQ(page, Page::Tests);
  ASSERT_EQ(msgs.requests().size(), 1);
  EXPECT_EQ(msgs.texts().at(0), Str(6318).arg("Renamed", m.tests.templates[0].fileName));
  EXPECT_EQ(testing::folderSnapshot(templateFolder()), files) << "the old file is intact, no stray file";
  EXPECT_EQ(testing::storeDump(), store) << "no setting was written";
}

TEST_F(Options, AStoreThatRefusesWritesChangesNothing) {
  {
    ScriptedMessages msgs{MsgResult::OK};
    OptionsModel first = valid();
    ASSERT_TRUE(first.fnDataSave(nullptr));
  }
  // The store runs out of room (a child whose files cannot grow past 1 KB, as on a full disk).
  const QStringList store = testing::storeDump();
  const QStringList files = testing::folderSnapshot(templateFolder());
  settingsstore::closeConnection();
  const int code = testsupport::runInChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{1024, 1024};
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) return 2;
    OptionsModel m = valid();
    changeEverything(m, home);
    ScriptedMessages msgs;
    Page page = Page::Tests;
    if (m.fnObjectUpdate(&page)) return 3;
    if (page != Page::Program || msgs.requests().size() != 1) return 4;
    const QString text = msgs.texts().at(0);
    return text.startsWith("The settings could not be saved:\n") && text.endsWith("No setting was changed.")
               ? 0
               : 5;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(testing::storeDump(), store);
  EXPECT_EQ(testing::folderSnapshot(templateFolder()), files);
}

TEST_F(Options, UnreadableFilesAreListedLockedAndLeftAlone) {
  QDir().mkpath(templateFolder());
  QFile bad(QDir(templateFolder()).filePath("Broken.tef"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("not a template");
  bad.close();
  ScriptedMessages msgs{MsgResult::OK};
  OptionsModel m = valid();
  ASSERT_EQ(m.tests.templates.size(), 1u) << "the broken file counts: no default is offered";
  m.tests.selected = 0;
  EXPECT_EQ(m.tests.templates[0].tpl.sName, "Broken (unreadable)");
  EXPECT_EQ(m.insertBalance(0), 0);
  EXPECT_FALSE(m.renameTemplate("x"));
  m.tests.selected = -1;
  ASSERT_TRUE(m.fnDataSave(nullptr));
  EXPECT_EQ(fileBytes(bad.fileName()), "not a template");
}

TEST_F(Options, EveryTextIdOfTheTablesExists) {
  QList<int> ids;
  for (const Switch& sw : kProgramSwitches) ids << sw.captionId;
  for (const UnitChoice& u : kUnitChoices) ids << u.captionId << u.choicesId;
  for (int id : kReportKindCaptions) ids << id;
  for (int id : kReportItemCaptions) ids << id;
  for (const Switch& sw : kReportSwitches) ids << sw.captionId;
  for (const Switch& sw : kTestKinds) ids << sw.captionId;
  for (int p = 0; p < kPageCount; ++p) ids << pageCaptionId(static_cast<Page>(p));
  for (int id : ids) EXPECT_TRUE(StrExists(id)) << id;
  EXPECT_EQ(choiceList(Str(6037)), QStringList({"lb", "oz", "kg (SI)", "g (CGS)"}));
  EXPECT_EQ(choiceList(Str(6039)).size(), 5);
}

}  // namespace
}  // namespace tarn::options
