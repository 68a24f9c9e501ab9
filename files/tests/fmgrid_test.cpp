// The grid: what each cell shows, how the columns sort, and the data export that must write
// exactly what the grid shows.
#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/settingkeys.h"
#include "data/lists/listentry.h"
#include "files/dataexport.h"
#include "files/filessettings.h"
#include "files/fmcells.h"
#include "files/fmmodel.h"
#include "files/fmsortproxy.h"
#include "files/tests/files_testutil.h"
#include "testsupport/scripteddialogs.h"
#include "testsupport/scriptedmessages.h"

namespace tarn::fm {
namespace {

using filestest::bytesOf;
using filestest::makeFolder;
using filestest::sandboxPath;
using filestest::writeBytes;
using liststest::addBalance;
using liststest::addVision;
using liststest::swayRecording;

constexpr double kTestDay = 45000.25;

// One NSEC test, binocular and right-eye acuities, 1.80 m and 75 kg.
QString writeMixedFile(const QString& folder) {
  SubjectFile f;
  EXPECT_TRUE(f.CreateEmpty());
  f.subject.sNameFirst = "Ann";
  f.subject.sNameLast = "Doe";
  f.subject.sSubjectID = "ID-1";
  f.subject.lIsMale = kSexFemale;
  f.subject.dtDoB = 29221.0;  // 1 January 1980
  Visit* v = f.AddVisit();
  v->phys.dHeight = 1.80;
  v->phys.dMass = 75;
  Session* s = v->AddSession();
  addBalance(s, 2, kTestDay, swayRecording(0.002, 0.003, kTestDay));
  addVision(s, 3, kTestDay, 0.8, 1);
  addVision(s, 1, kTestDay, 0.5, 2);
  const QString path = QDir(folder).filePath("mixed.kpf");
  EXPECT_TRUE(f.Save(path));
  return path;
}

TEST(FMCells, SmallCellsAsASpreadsheetUserExpects) {
  EXPECT_EQ(SubjectNameCell("Doe", "Ann", "B."), "Doe, Ann B.");
  EXPECT_EQ(SubjectNameCell(" Doe ", "Ann", ""), "Doe, Ann");
  EXPECT_EQ(SubjectNameCell("Doe", "", ""), "Doe");
  EXPECT_EQ(SubjectNameCell("", "Ann", "B."), "Ann B.");
  EXPECT_EQ(SexCell(1), "M");
  EXPECT_EQ(SexCell(-1), "M");
  EXPECT_EQ(SexCell(0), "F");
  EXPECT_EQ(SexCell(2), "");
  struct Acuity {
    double value;
    int notation;
    const char* text;
  };
  for (const Acuity& a : {Acuity{0.8, 1, "20/25"}, Acuity{1.0, 1, "20/20"}, Acuity{0.8, 2, "8/10  "},
                          Acuity{0.63, 2, "6.3/10  "}, Acuity{0.8, 3, "0.10 Log(MAR)"},
                          Acuity{1.0, 3, "0.00 Log(MAR)"}, Acuity{0.0, 1, ""}}) {
    EXPECT_EQ(AcuityText(a.value, a.notation), a.text) << a.value << " " << a.notation;
  }
  EXPECT_EQ(StabilityClassText(1), "Healthy Balance");
  EXPECT_EQ(StabilityClassText(5), "Profoundly Red.");
  EXPECT_EQ(StabilityClassText(0), "");
  EXPECT_EQ(BMIClassText(3), "At risk of overweight");
  EXPECT_EQ(BMIClassText(9), "Obese");
  EXPECT_EQ(BMIClassText(5), "");
}

TEST(FMCells, SummaryColumnsReadTheirKindAndKindsWithoutTestsStayEmpty) {
  const QString folder = makeFolder("data");
  writeMixedFile(folder);
  auto list = filestest::listOf(folder);
  ASSERT_EQ(list->lFilesCount(), 1);
  const KM_RQListFile& e = *list->lfFile(1);
  CellFormat f = CellFormat::fromSettings();
  f.lengthUnit = 3;
  f.acuityNotation = settings::kAcuitySnellen;
  auto cell = [&](int id) { return CellText(e, id, f); };
  const QString day = f.locale.toString(clock::fromDays(kTestDay).date(), f.shortDate);

  EXPECT_EQ(cell(1), "ID-1");
  EXPECT_EQ(cell(2), "Doe, Ann");
  EXPECT_EQ(cell(3), "F");
  EXPECT_EQ(cell(4), f.locale.toString(QDate(1980, 1, 1), f.shortDate));
  EXPECT_EQ(cell(5), "1.80 m");
  EXPECT_TRUE(cell(6).startsWith(f.locale.toString(QDate::currentDate(), f.shortDate)));  // created now
  EXPECT_TRUE(cell(8).startsWith(day + ' '));
  EXPECT_EQ(cell(13), "2");
  EXPECT_EQ(cell(38), "1");
  // Binocular first, then left (no test), then right.
  for (int id = 14; id <= 21; ++id) EXPECT_EQ(cell(id), id % 2 == 0 ? day : "20/25") << id;
  for (int id = 22; id <= 29; ++id) EXPECT_EQ(cell(id), "") << id;
  for (int id = 30; id <= 37; ++id) EXPECT_EQ(cell(id), id % 2 == 0 ? day : "20/40") << id;
  // NSEO has no test; NSEC's four results are the one test.
  for (int id = 41; id <= 52; ++id) EXPECT_EQ(cell(id), "") << id;
  const QString stability = QString::number(e.fBFirstStability(2) * 100.0, 'f', 1) + '%';
  const QString cls = StabilityClassText(e.fBFirstStabClass(2));
  ASSERT_FALSE(cls.isEmpty());
  for (int id = 53; id <= 64; ++id)
    EXPECT_EQ(cell(id), (id - 53) % 3 == 0 ? day : (id - 53) % 3 == 1 ? stability : cls) << id;
  for (int id = 65; id <= 88; ++id) EXPECT_EQ(cell(id), "") << id;
  EXPECT_EQ(cell(39), stability);
  EXPECT_EQ(cell(40), cls);
  for (int id = 89; id <= 100; ++id)
    EXPECT_EQ(cell(id), (id - 89) % 3 == 0 ? day : (id - 89) % 3 == 1 ? "23.1" : "Normal") << id;

  // An entry never read from its file shows its counts (and the female sex value 0), nothing else.
  KM_RQListFile blank;
  blank.sFileName = "x.kpf";
  for (int id = 1; id <= kColumnCount; ++id) {
    const CellType t = ColumnType(id);
    EXPECT_EQ(CellText(blank, id, f), t == CellType::Count ? "0" : id == 3 ? "F" : "") << id;
  }
}

// Entries made by hand: only the subject's members matter for these columns.
struct HandEntries {
  std::vector<std::unique_ptr<KM_RQListFile>> owned;
  std::vector<const KM_RQListFile*> view;
  void add(const char* file, const char* id, const char* last, double height) {
    auto e = std::make_unique<KM_RQListFile>();
    e->sFileName = file;
    e->sSubjID = id;
    e->sSubjLName = last;
    e->dSubjHeight = height;
    view.push_back(e.get());
    owned.push_back(std::move(e));
  }
};

QStringList fileOrder(const QAbstractItemModel& m) {
  QStringList out;
  for (int r = 0; r < m.rowCount(); ++r) out << m.index(r, 0).data(FileManagerModel::FileNameRole).toString();
  return out;
}

TEST(FMSort, ValuesByValueTextsAlphabeticallyEmptyCellsLastTiesInListOrder) {
  HandEntries h;
  h.add("a", "S10", "brown", 1.80);
  h.add("b", "s2", "Adams", 0.0);  // no height
  h.add("c", "", "adams", 0.95);   // no ID
  h.add("d", "S1", "Zeta", 1.75);
  h.add("e", "S9", "", 1.80);  // no name; same height as a
  FileManagerModel model;
  model.setColumns({1, 2, 5});
  model.setEntries(h.view);
  FileManagerSortProxy proxy;
  proxy.setSourceModel(&model);
  struct Case {
    int column;
    Qt::SortOrder order;
    QStringList files;
  };
  const Case cases[] = {
      {0, Qt::AscendingOrder, {"d", "b", "e", "a", "c"}},   // S1 s2 S9 S10, empty last
      {0, Qt::DescendingOrder, {"a", "e", "b", "d", "c"}},  // empty still last
      {1, Qt::AscendingOrder, {"b", "c", "a", "d", "e"}},   // Adams = adams keeps list order
      {1, Qt::DescendingOrder, {"d", "a", "b", "c", "e"}},
      {2, Qt::AscendingOrder, {"c", "d", "a", "e", "b"}},  // 0.95 < 1.75 < 1.80 (a, e tied)
      {2, Qt::DescendingOrder, {"a", "e", "d", "c", "b"}},
  };
  for (const Case& c : cases) {
    proxy.sort(c.column, c.order);
    EXPECT_EQ(fileOrder(proxy), c.files) << c.column << " " << c.order;
  }
  // The sort follows the rows that stay when one goes, and a new column choice.
  ASSERT_TRUE(model.removeFile("d"));
  EXPECT_EQ(fileOrder(proxy), (QStringList{"a", "e", "c", "b"}));
  model.setColumns({2});
  proxy.sort(0, Qt::AscendingOrder);
  EXPECT_EQ(fileOrder(proxy), (QStringList{"b", "c", "a", "e"}));
}

// The file as a table: BOM stripped, lines split at CR LF, cells at tabs.
QList<QStringList> readExport(const QString& path) {
  QByteArray b = bytesOf(path);
  EXPECT_TRUE(b.startsWith("\xEF\xBB\xBF"));
  b = b.mid(3);
  EXPECT_TRUE(b.endsWith("\r\n"));
  QList<QStringList> rows;
  for (const QString& line : QString::fromUtf8(b).split("\r\n", Qt::SkipEmptyParts)) {
    EXPECT_FALSE(line.contains('\n') || line.contains('\r'));
    rows << line.split('\t');
  }
  return rows;
}

struct ExportFixture : ::testing::Test {
  void SetUp() override {
    folder = makeFolder("data");
    filestest::writeSubject(folder, "one.kpf", "Ørsted");
    writeMixedFile(folder);
    filestest::writeSubject(folder, "three.kpf", "Zeta");
    list = filestest::listOf(folder);
    model.loadFromList(*list);
    proxy.setSourceModel(&model);
    proxy.sort(1, Qt::DescendingOrder);  // by name: Zeta, Ørsted, Doe
  }
  QString folder;
  std::unique_ptr<KM_RQList> list;
  FileManagerModel model;
  FileManagerSortProxy proxy;
};

TEST_F(ExportFixture, WritesExactlyTheGridsHeadersAndChosenRows) {
  ScriptedFileDialogs dialogs;
  ScriptedMessages messages;
  const QString out = sandboxPath("out/export");  // typed without extension
  dialogs.answer(out);
  ASSERT_TRUE(ExportData(proxy, {0, 2}));
  EXPECT_EQ(dialogs.requests().at(0).title, "KM TARN™ RQ - Data Export");
  EXPECT_EQ(settings::read(settings::LastDataExportPath), sandboxPath("out"));
  const QList<QStringList> table = readExport(out + ".csv");
  ASSERT_EQ(table.size(), 3);
  for (int c = 0; c < proxy.columnCount(); ++c) {
    EXPECT_EQ(table[0].value(c), proxy.headerData(c, Qt::Horizontal).toString());
    EXPECT_EQ(table[1].value(c), proxy.index(0, c).data().toString()) << c;
    EXPECT_EQ(table[2].value(c), proxy.index(2, c).data().toString()) << c;
  }
  EXPECT_EQ(table[0].size(), kColumnCount);
  EXPECT_EQ(table[1].value(1), "Zeta, Ann");
  EXPECT_EQ(table[2].value(1), "Doe, Ann");
  EXPECT_EQ(messages.requests().size(), 0);
}

TEST_F(ExportFixture, AnExistingFileIsAppendedToReplacedOrKept) {
  ScriptedFileDialogs dialogs;
  ScriptedMessages messages;
  const QString out = sandboxPath("out/export.csv");
  model.setColumns({2});  // one column: lines without a tab
  proxy.sort(0, Qt::DescendingOrder);
  dialogs.cancel();
  EXPECT_FALSE(ExportData(proxy, {0}));
  EXPECT_FALSE(QFileInfo::exists(out));

  dialogs.answer(out);
  ASSERT_TRUE(ExportData(proxy, {0}));
  const QByteArray first = bytesOf(out);
  EXPECT_EQ(first,
            "\xEF\xBB\xBF"
            "Subject's Name\r\nZeta, Ann\r\n");

  dialogs.answer(out);
  messages.answer(MsgResult::Cancel);
  EXPECT_FALSE(ExportData(proxy, {1}));
  EXPECT_EQ(bytesOf(out), first);

  dialogs.answer(out);
  messages.answer(MsgResult::Yes);  // append: a second header before the new rows
  ASSERT_TRUE(ExportData(proxy, {1}));
  EXPECT_EQ(bytesOf(out), first + QString("Subject's Name\r\nØrsted, Ann\r\n").toUtf8());

  dialogs.answer(out);
  messages.answer(MsgResult::No);  // the old file goes first
  ASSERT_TRUE(ExportData(proxy, {2}));
  EXPECT_EQ(bytesOf(out),
            "\xEF\xBB\xBF"
            "Subject's Name\r\nDoe, Ann\r\n");
  ASSERT_EQ(messages.requests().size(), 3);
  EXPECT_EQ(messages.requests()[1].text,
            "A file with the same name already exists!\nDo you want to append the data to it?");
  EXPECT_EQ(messages.requests()[1].defaultButton, 2);  // No
}

TEST_F(ExportFixture, NothingIsWrittenToAReadOnlyPlaceOrWithoutRows) {
  ScriptedFileDialogs dialogs;
  ScriptedMessages messages;
  filestest::ReadOnlyFolder ro("ro");
  if (ro.ok()) {
    dialogs.answer(QDir(ro.path()).filePath("x.csv"));
    EXPECT_FALSE(ExportData(proxy, {0}));
    EXPECT_EQ(messages.texts().value(0),
              "The Location you selected for the exported data file is Read-Only!\nPlease select a different "
              "location!");
  }
  messages.clear();
  EXPECT_FALSE(ExportData(proxy, {}));
  EXPECT_EQ(messages.texts().size(), 1);
  EXPECT_EQ(dialogs.pending(), 0);
  EXPECT_EQ(dialogs.unexpected(), 0);
}

}  // namespace
}  // namespace tarn::fm
