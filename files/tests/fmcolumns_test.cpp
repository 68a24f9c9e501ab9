// The column catalogue and the column choice file "RQFMColumns.vcl".
#include <gtest/gtest.h>

#include <QtEndian>

#include "core/settingkeys.h"
#include "files/fmcolumns.h"
#include "files/tests/files_testutil.h"

namespace tarn::fm {
namespace {

using filestest::bytesOf;
using filestest::sandboxPath;
using filestest::writeBytes;

QByteArray le32(std::initializer_list<qint32> values) {
  QByteArray b;
  for (qint32 v : values) {
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
  }
  return b;
}

QVector<int> ids(std::initializer_list<int> v) { return QVector<int>(v); }

// The captions and the cell types are written independently; each caption's last word says
// what the cell holds.
TEST(FMColumns, CaptionsAndCellTypesAgreeForEveryColumn) {
  EXPECT_EQ(ColumnCaption(1), "Subject's ID");
  EXPECT_EQ(ColumnCaption(14), "First Binoc Vis Date");
  EXPECT_EQ(ColumnCaption(37), "Last Right Vis Acuity");
  EXPECT_EQ(ColumnCaption(41), "First NSEO");
  EXPECT_EQ(ColumnCaption(88), "Last PSEC Class");
  EXPECT_EQ(ColumnCaption(100), "Last BMI Class");
  EXPECT_TRUE(ColumnCaption(0).isEmpty());
  EXPECT_TRUE(ColumnCaption(101).isEmpty());
  for (int id = 14; id <= 100; ++id) {
    if (id == 38) continue;  // "Balance Tests"
    const QString c = ColumnCaption(id);
    SCOPED_TRACE(c.toStdString());
    const CellType t = ColumnType(id);
    if (c.endsWith("Class"))
      EXPECT_TRUE(t == (id >= 89 ? CellType::BMIClass : CellType::StabClass));
    else if (c.endsWith("Stability"))
      EXPECT_EQ(t, CellType::Percent);
    else if (c.endsWith("Acuity"))
      EXPECT_EQ(t, CellType::Acuity);
    else if (c.endsWith("Value"))
      EXPECT_EQ(t, CellType::BMIValue);
    else  // "... Vis Date", "First NSEO", "Lowest BMI": the date of that result
      EXPECT_EQ(t, CellType::ShortDate);
  }
}

TEST(FMColumns, ChoiceFileIsCreatedWithTheDefaultWhenMissingAndReadBack) {
  const QString path = sandboxPath("AppData/RQFMColumns.vcl");
  EXPECT_EQ(LoadColumnChoice(path), DefaultColumns());
  QByteArray expected = le32({100});
  for (int i = 1; i <= 100; ++i) expected += le32({i});
  EXPECT_EQ(bytesOf(path), expected);

  ASSERT_TRUE(WriteColumnsList(path, ids({40, 2, 1})));
  EXPECT_EQ(bytesOf(path), le32({3, 40, 2, 1}));
  EXPECT_EQ(LoadColumnChoice(path), ids({40, 2, 1}));
  EXPECT_EQ(QFile::permissions(path) & 0x0077, 0);  // the user's only

  // The setting names the file; its default lies in the user data folder.
  EXPECT_TRUE(ColumnsFilePath().endsWith("/RQFMColumns.vcl"));
}

TEST(FMColumns, DamagedOrUnknownChoicesGiveASensibleChoiceAndLeaveTheFile) {
  const QString path = sandboxPath("AppData/RQFMColumns.vcl");
  struct Case {
    const char* what;
    QByteArray bytes;
    QVector<int> expected;
  };
  const Case cases[] = {
      {"empty file", QByteArray(), DefaultColumns()},
      {"count larger than the file", le32({5, 1, 2}), DefaultColumns()},
      {"count smaller than the file", le32({1, 1, 2}), DefaultColumns()},
      {"negative count", le32({-1}), DefaultColumns()},
      {"odd length", le32({1, 3}) + "x", DefaultColumns()},
      {"no column", le32({0}), DefaultColumns()},
      {"only unknown columns", le32({2, 0, 101}), DefaultColumns()},
      {"unknown and repeated columns left out", le32({5, 7, 0, 3, 7, 250}), ids({7, 3})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeBytes(path, c.bytes));
    EXPECT_EQ(LoadColumnChoice(path), c.expected);
    EXPECT_EQ(bytesOf(path), c.bytes);
  }
}

}  // namespace
}  // namespace tarn::fm
