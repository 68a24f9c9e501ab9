#include <gtest/gtest.h>

#include <QLocale>

#include "data/lists/list.h"
#include "session/choices.h"
#include "session/subjectinfo.h"
#include "session/tests/session_testutil.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

using namespace sessiontest;

TEST(SubjectInfoChecks, TheFirstFailingCheckSpeaksInOrder) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  const QDate today(2025, 3, 10);
  const SubjectInfoEntry good{"Ada", "B", "Lovelace", "", kSexFemale, "5/2/1961", "1.68"};
  struct Case {
    const char* name;
    std::function<void(SubjectInfoEntry&)> change;
    int check;
    SubjectInfoField field;
    int unit = 3;
  };
  const Case cases[] = {
      {"valid", [](SubjectInfoEntry&) {}, 0, SubjectInfoField::None},
      {"only an ID",
       [](SubjectInfoEntry& e) {
         e.first = e.last = " ";
         e.id = "A-17";
       },
       0, SubjectInfoField::None},
      {"first name only", [](SubjectInfoEntry& e) { e.last.clear(); }, 1, SubjectInfoField::LastName},
      {"no names, no ID", [](SubjectInfoEntry& e) { e.first.clear(), e.last.clear(); }, 1,
       SubjectInfoField::FirstName},
      {"no gender", [](SubjectInfoEntry& e) { e.sex = kSexNotGiven; }, 2, SubjectInfoField::Gender},
      {"no date of birth", [](SubjectInfoEntry& e) { e.dateOfBirth = "  "; }, 3,
       SubjectInfoField::DateOfBirth},
      {"not a date", [](SubjectInfoEntry& e) { e.dateOfBirth = "31/31/1961"; }, 4,
       SubjectInfoField::DateOfBirth},
      {"born today", [](SubjectInfoEntry& e) { e.dateOfBirth = "3/10/2025"; }, 0, SubjectInfoField::None},
      {"born tomorrow", [](SubjectInfoEntry& e) { e.dateOfBirth = "3/11/2025"; }, 5,
       SubjectInfoField::DateOfBirth},
      {"0.30 m", [](SubjectInfoEntry& e) { e.height = "0.30"; }, 0, SubjectInfoField::None},
      {"2.55 m", [](SubjectInfoEntry& e) { e.height = "2.55 m"; }, 0, SubjectInfoField::None},
      {"255 cm", [](SubjectInfoEntry& e) { e.height = "255"; }, 0, SubjectInfoField::None, 4},
      {"0.29 m", [](SubjectInfoEntry& e) { e.height = "0.29"; }, 6, SubjectInfoField::Height},
      {"2.56 m", [](SubjectInfoEntry& e) { e.height = "2.56"; }, 6, SubjectInfoField::Height},
      {"height in the wrong unit", [](SubjectInfoEntry& e) { e.height = "5' 7\""; }, 6,
       SubjectInfoField::Height},
      {"feet and inches", [](SubjectInfoEntry& e) { e.height = "5' 7\""; }, 0, SubjectInfoField::None, 1},
      {"everything wrong", [](SubjectInfoEntry& e) { e = {}; }, 1, SubjectInfoField::FirstName},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SubjectInfoEntry e = good;
    c.change(e);
    const SubjectInfoVerdict v = CheckSubjectInfo(e, c.unit, today);
    EXPECT_EQ(v.failedCheck, c.check);
    EXPECT_EQ(v.field, c.field);
    const int text[] = {0, 4230, 4231, 4232, 4233, 4233, 4234};
    EXPECT_EQ(v.message, c.check ? Str(text[c.check]) : QString());
  }
  const SubjectInfoVerdict v = CheckSubjectInfo(good, 3, today);
  EXPECT_EQ(v.dateOfBirth, QDate(1961, 5, 2));
  EXPECT_DOUBLE_EQ(v.heightM, 1.68);
  EXPECT_EQ(ShortDateText(QDate(1961, 5, 2)), "5/2/1961");
  EXPECT_EQ(ParseShortDate(u"5/2/61", today), QDate(1961, 5, 2)) << "a two-digit year lies in the past";
  EXPECT_EQ(ParseShortDate(u"5/2/24", today), QDate(2024, 5, 2));
  EXPECT_EQ(ParseShortDate(u"1961-05-02", today), QDate(1961, 5, 2));
}

TEST(SessionChoices, FileRowsFollowTheListAndTheHideSettings) {
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  const QString folder = dataFolder();
  writeSubjectFile(QDir(folder).filePath("b.kpf"), "Zeta");
  writeSubjectFile(QDir(folder).filePath("a.kpf"), "alpha");
  {
    SubjectFile f;
    ASSERT_TRUE(f.Open(QDir(folder).filePath("a.kpf")));
    f.subject.sNameMiddle = " Q ";
    f.subject.sSubjectID = "ID-1";
    f.subject.lIsMale = kSexMale;
    f.subject.dtDoB = clock::dateToDays(QDate(1990, 1, 1));
    ASSERT_TRUE(f.Save());
  }
  KM_RQList list;
  list.Refresh(10.0f, folder, ".kpf");
  ASSERT_EQ(list.lFilesCount(), 2);

  auto rows = FileChoiceRows(list, false, false, 4);
  EXPECT_EQ(FileChoiceTitles(), (QStringList{"ID", "Name", "Gender", "DoB", "Height"}));
  std::map<QString, FileChoiceRow> byFile;
  for (const auto& r : rows) byFile[r.fileName] = r;
  EXPECT_EQ(byFile["a.kpf"].cells[kFileColName], "alpha, Ada Q");
  EXPECT_EQ(byFile["a.kpf"].cells[kFileColGender], "M");
  EXPECT_EQ(byFile["b.kpf"].cells[kFileColGender], "F");
  EXPECT_EQ(byFile["a.kpf"].cells[kFileColID], "ID-1");
  EXPECT_EQ(byFile["a.kpf"].cells[kFileColDoB], ShortDateText(QDate(1990, 1, 1)));
  EXPECT_EQ(byFile["b.kpf"].cells[kFileColHeight], "168 cm");

  SortFileChoiceRows(rows, kFileColName, true);
  EXPECT_EQ(rows[0].fileName, "a.kpf") << "names sort without regard to case";
  SortFileChoiceRows(rows, kFileColDoB, true);
  EXPECT_EQ(rows[0].fileName, "b.kpf") << "dates sort by date";
  SortFileChoiceRows(rows, kFileColDoB, false);
  EXPECT_EQ(rows[0].fileName, "a.kpf");

  for (const auto& r : FileChoiceRows(list, true, true, 3)) {
    EXPECT_EQ(r.cells[kFileColID], "(Hidden)");
    EXPECT_EQ(r.cells[kFileColName], "(Hidden)");
    EXPECT_FALSE(r.fileName.isEmpty()) << "a hidden row can still be opened";
  }
}

TEST(SessionChoices, TemplateRowsShowCountsAndRefuseWhatCannotBeRead) {
  const QString folder = QDir(dataFolder()).filePath("templates");
  QDir().mkpath(folder);
  KM_RQTemplate t = MakeDefaultTestTemplate();
  t.AddTest(KM_RQTemplateItem::kVision)->sName = "Acuity";
  ASSERT_TRUE(t.Save(QDir(folder).filePath("b.tef")));
  KM_RQTemplate empty;
  empty.sName = "Empty";
  ASSERT_TRUE(empty.Save(QDir(folder).filePath("c.tef")));
  QFile bad(QDir(folder).filePath("a.tef"));
  ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
  bad.write("\x01\x00\x00\x00garbage", 11);
  bad.close();
  QFile(QDir(folder).filePath("notes.txt")).open(QIODevice::WriteOnly);

  const auto rows = TemplateChoiceRows(folder, ".tef");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].cells[kTplColName], "a.tef (cannot be read)");
  EXPECT_FALSE(rows[0].choosable());
  EXPECT_EQ((QStringList{rows[1].cells[0], rows[1].cells[1], rows[1].cells[2], rows[1].cells[3]}),
            (QStringList{"2", "KMTARNRQ", "1", "4"}));
  EXPECT_TRUE(rows[1].choosable());
  EXPECT_FALSE(rows[2].choosable()) << "a template without tests makes no session";
}

}  // namespace
}  // namespace tarn
