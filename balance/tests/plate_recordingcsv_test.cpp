// The one reader of recorded tests (replay platform and tarnrq-analyse): the files it takes, the
// channels it finds in them, and every kind of file it must refuse.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "balance/plate/recordingcsv.h"
#include "testsupport/sandbox.h"

namespace tarn {
namespace {

QString writeFile(const QString& name, const QByteArray& bytes) {
  const QString path = QDir(testsupport::sandboxFolder()).filePath(name);
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write(bytes);
  return path;
}

using Layout = RecordingLayout;

TEST(RecordingCsv, FindsTheThreeChannelsOfEveryAcceptedForm) {
  struct Case {
    const char* what;
    Layout layout;
    bool positiveFz;
    QByteArray text;
    Layout found;
  };
  // Two samples each: Fz −600 and −610, M1 1.25 and −1, M2 0.5 and 0.75 once read.
  const Case cases[] = {
      {"three columns", Layout::FzM1M2, false, "Fz,M1,M2\n-600,1.25,0.5\n-610,-1,0.75\n", Layout::FzM1M2},
      {"six columns, positive Fz, CR LF, units", Layout::FxFyFzMxMyMz, true,
       "Fx_N,Fy_N,Fz_N,Mx_Nm,My_Nm,Mz_Nm\r\n1,2,600,-1.25,-0.5,3\r\n1,2,610,1,-0.75,3\r\n",
       Layout::FxFyFzMxMyMz},
      {"named in any order, time skipped, semicolons", Layout::Auto, false,
       "time_s;M2 (Nm);Fz [N];M1\n0;0.5;-600;1.25\n0.01;0.75;-610;-1\n", Layout::FzM1M2},
      {"tabs, quotes, plus signs, blank lines, byte order mark", Layout::Auto, false,
       "\xEF\xBB\xBF\"Fz\"\t\"Mx\"\t\"My\"\n\n\"-600\"\t+1.25\t5e-1\n\n-610\t-1\t0.75\n\n",
       Layout::FxFyFzMxMyMz},
      {"six named columns read by name", Layout::Auto, false,
       "Mz,My,Mx,Fz,Fy,Fx\n3,0.5,1.25,-600,2,1\n3,0.75,-1,-610,2,1\n", Layout::FxFyFzMxMyMz},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordingCsv rec;
    QString error;
    ASSERT_TRUE(ReadRecordingCsv(writeFile("ok.csv", c.text), {c.layout, c.positiveFz}, rec, error))
        << error.toStdString();
    EXPECT_EQ(rec.layout, c.found);
    EXPECT_EQ(rec.fz, (std::vector<float>{-600, -610}));
    EXPECT_EQ(rec.m1, (std::vector<float>{1.25f, -1}));
    EXPECT_EQ(rec.m2, (std::vector<float>{0.5f, 0.75f}));
  }
}

TEST(RecordingCsv, RefusesWhatNoPlateSendsWithAClearMessageAndLeavesTheResultAlone) {
  struct Case {
    const char* name;
    Layout layout;
    QByteArray text;
    const char* message;
  };
  const Case cases[] = {
      {"empty.csv", Layout::Auto, "\n\n", "is empty"},
      {"noheader.csv", Layout::Auto, "-700,1,2\n-701,1,2\n", "has no header row"},
      {"unknown.csv", Layout::Auto, "a,b,c\n1,2,3\n", "has the columns \"a,b,c\"; expected Fz,M1,M2 or Fx"},
      {"twice.csv", Layout::Auto, "Fz,M1,M2,M1\n-700,1,2,3\n", "expected Fz,M1,M2 or"},
      {"mixed.csv", Layout::Auto, "Fz,M1,My\n-700,1,2\n", "expected Fz,M1,M2 or"},
      {"extra.csv", Layout::Auto, "Fz,M1,M2,Load\n-700,1,2,3\n", "expected"},
      // A time column that a fixed layout would read as Fz.
      {"timed.csv", Layout::FzM1M2, "Time,Fz,M1,M2\n0,-700,1,2\n",
       "has the columns \"Time,Fz,M1,M2\"; expected Fz,M1,M2."},
      {"order.csv", Layout::FzM1M2, "M1,Fz,M2\n1,-700,2\n", "expected Fz,M1,M2."},
      {"narrow.csv", Layout::FxFyFzMxMyMz, "Fz,M1,M2\n-700,1,2\n", "expected Fx,Fy,Fz,Mx,My,Mz."},
      {"ragged.csv", Layout::FzM1M2, "Fz,M1,M2\n-700,1,2\n-700,1\n", "line 3, has 2 values instead of 3"},
      {"wide.csv", Layout::FzM1M2, "Fz,M1,M2\n-700,1,2\n-700,1,2,0\n", "line 3, has 4 values instead of 3"},
      {"text.csv", Layout::FzM1M2, "Fz,M1,M2\n-700,1,2\n-700,x1,2\n",
       "line 3, column 2 (M1): \"x1\" is not a number"},
      {"blank.csv", Layout::FzM1M2, "Fz,M1,M2\n-700,,2\n", "line 2, column 2 (M1): \"\" is not a number"},
      {"nan.csv", Layout::FzM1M2, "Fz,M1,M2\n-700,nan,2\n", "is not a number"},
      {"inf.csv", Layout::FzM1M2, "Fz,M1,M2\n-700,1,inf\n", "column 3 (M2): \"inf\" is not a number"},
      // Fits a double but no single-precision sample.
      {"huge.csv", Layout::FxFyFzMxMyMz, "Fx,Fy,Fz,Mx,My,Mz\n0,0,-700,1,2,0\n0,0,-700,1e39,2,0\n",
       "line 3, column 4 (Mx): 1e39 is more than a force platform can report"},
      {"headonly.csv", Layout::Auto, "Fz,M1,M2\n\n", "holds no samples"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    RecordingCsv rec;
    rec.fz = {42};
    QString error;
    EXPECT_FALSE(ReadRecordingCsv(writeFile(k.name, k.text), {k.layout, false}, rec, error));
    EXPECT_TRUE(error.contains(QString::fromUtf8(k.message))) << error.toStdString();
    EXPECT_TRUE(error.contains(QString::fromLatin1(k.name))) << error.toStdString();
    EXPECT_EQ(rec.fz, std::vector<float>{42});
  }
  QString error;
  RecordingCsv rec;
  EXPECT_FALSE(ReadRecordingCsv(QDir(testsupport::sandboxFolder()).filePath("missing.csv"), {}, rec, error));
  EXPECT_TRUE(error.startsWith("Cannot open the recording \"missing.csv\""));
  EXPECT_FALSE(ReadRecordingCsv(testsupport::sandboxFolder(), {}, rec, error));
  EXPECT_TRUE(error.startsWith("Cannot open the recording"));
}

TEST(RecordingCsv, MessagesNeverRepeatControlCharactersFromTheFile) {
  // Escape sequences, a bell, a carriage return and a right-to-left override in the quoted cell
  // and header, and a long cell: the message stays one plain line of reasonable length.
  const QByteArray cell = "\x1b[2J\x1b]0;owned\x07\rabc\xE2\x80\xAE" + QByteArray(500, 'z');
  const QByteArray files[] = {"Fz,M1,M2\n-700," + cell + ",2\n", "Fz,M1,\x1b[31mM2\x7f\n-700,1,2\n",
                              "Fz,M1,M2\n-700,1,1e39" + cell + "\n"};
  for (const QByteArray& text : files) {
    RecordingCsv rec;
    QString error;
    ASSERT_FALSE(ReadRecordingCsv(writeFile("esc\x1b[1m.csv", text), {Layout::FzM1M2, false}, rec, error));
    SCOPED_TRACE(error.toStdString());
    EXPECT_LT(error.size(), 250);
    for (const QChar c : error) {
      EXPECT_TRUE(c.isPrint()) << "U+" << std::hex << static_cast<int>(c.unicode());
      if (!c.isPrint()) break;
    }
  }
  EXPECT_EQ(PrintableExcerpt(QStringLiteral("a\tb\u202Ec%2"), 40), QStringLiteral("a?b?c%2"));
  EXPECT_EQ(PrintableExcerpt(QString(50, 'x'), 40), QString(40, 'x') + "...");
}

}  // namespace
}  // namespace tarn
