// Test and comment template files: the tagged layout byte for byte, editing, damaged files, failed
// saves, Windows-1252 text and the default sets.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/settingkeys.h"
#include "data/datasettings.h"
#include "data/templates/comments.h"
#include "data/templates/taggedio.h"
#include "data/templates/template.h"
#include "data/tests/data_testutil.h"

namespace tarn {
namespace {

using datatest::fileBytes;
using datatest::sandboxPath;
using datatest::writeBytes;

// Name "T€", editable, one vision item "A" with eye 3, interval 0.5 s and -2 in the last Long.
// Every value is tagged: 0300 Long, 0500 Double, 0800 text, 0b00 Boolean.
// clang-format off
const QByteArray kSmallTemplate = QByteArray::fromHex(
    "01000000" "080002005480" "0b00ffff" "030001000000"  // format, name, editable, count
    "030001000000" "0800010041"                          // item format, name
    "030001000000" "030003000000" "030000000000" "030000000000" "030000000000"
    "0500000000000000e03f" "05000000000000000000" "05000000000000000000" "05000000000000000000"
    "05000000000000000000"
    "030000000000" "030000000000" "030000000000" "030000000000" "0300feffffff");
// clang-format on

// Every truncation of a valid file is refused; check() sees what the failed Load left.
template <class File, class Check>
void expectTruncationsFail(const QByteArray& valid, const QString& path, Check check) {
  for (int n = 0; n < valid.size(); ++n) {
    writeBytes(path, valid.left(n));
    File f;
    EXPECT_FALSE(f.Load(path)) << n;
    check(f, n);
  }
}

TEST(TemplateFile, WritesAndReadsTheTaggedLayoutByteForByte) {
  KM_RQTemplate w;
  w.sName = QString::fromUtf8("T€");
  KM_RQTemplateItem* item = w.AddTest(KM_RQTemplateItem::kVision);
  ASSERT_NE(item, nullptr);
  item->sName = QStringLiteral("A");
  item->setEye(3);
  item->setIntervalSeconds(0.5);
  item->lLong[9] = -2;
  const QString path = sandboxPath(QStringLiteral("small.tef"));
  ASSERT_TRUE(w.Save(path));
  EXPECT_EQ(fileBytes(path).toHex(), kSmallTemplate.toHex());
  EXPECT_EQ(w.sFileName(), path);

  KM_RQTemplate t;
  ASSERT_TRUE(t.Load(QStringLiteral("  ") + path + QStringLiteral(" ")));
  EXPECT_EQ(t.sFileName(), path);  // trimmed
  EXPECT_EQ(t.sName, QString::fromUtf8("T€"));
  EXPECT_TRUE(t.bEditable);
  ASSERT_EQ(t.lTestCount(), 1);
  EXPECT_EQ(t.lTestCountVision(), 1);
  EXPECT_EQ(t.lTestCountBalance(), 0);
  item = t.tiTestItem(1);
  EXPECT_EQ(item->sName, QStringLiteral("A"));
  EXPECT_EQ(item->eye(), 3);
  EXPECT_DOUBLE_EQ(item->intervalSeconds(), 0.5);
  EXPECT_EQ(item->lLong[9], -2);
  EXPECT_EQ(t.tiTestItem(0)->sName, QString());
  EXPECT_EQ(t.tiTestItem(0)->lKind(), 0);
  EXPECT_EQ(t.tiTestItem(2), nullptr);
}

TEST(TemplateFile, CountsEachKindAndRoundTripsEveryValue) {
  KM_RQTemplate t;
  t.sName = QStringLiteral("Mixed");
  t.bEditable = false;
  for (int i = 0; i < 3; ++i) {
    KM_RQTemplateItem* b = t.AddTest(KM_RQTemplateItem::kBalance);
    b->sName = QStringLiteral("Balance %1").arg(i + 1);
    b->setSurface(kSurfaceFoam);
    b->setEyes(kEyesClosed);
    b->setBeepBegin(i == 1);
    b->setBeepEnd(true);
    b->setFrequencyHz(64.0 + i);
    b->setPreTestSeconds(5.25);
    b->setDurationSeconds(20.0 + i);
  }
  KM_RQTemplateItem* v = t.AddTest(KM_RQTemplateItem::kVision, 2);
  v->sName = QStringLiteral("Vision");
  v->setEye(2);
  v->setTestsPerSize(5);
  v->setCorrectAnswers(4);
  v->setFullScreenBackground(true);
  v->setDistance(3.5);
  v->setHighContrast(true);
  const QString path = sandboxPath(QStringLiteral("mixed.tef"));
  ASSERT_TRUE(t.Save(path));

  KM_RQTemplate back;
  ASSERT_TRUE(back.Load(path));
  EXPECT_EQ(back.lTestCount(), 4);
  EXPECT_EQ(back.lTestCountBalance(), 3);
  EXPECT_EQ(back.lTestCountVision(), 1);
  EXPECT_EQ(back.sName, QStringLiteral("Mixed"));
  EXPECT_FALSE(back.bEditable);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(*back.tiTestItem(i), *t.tiTestItem(i)) << i;
  EXPECT_EQ(back.tiTestItem(2)->sName, QStringLiteral("Vision"));
  EXPECT_TRUE(back.tiTestItem(3)->beepBegin());
  EXPECT_DOUBLE_EQ(back.tiTestItem(4)->durationSeconds(), 22.0);
}

TEST(TemplateEditing, InsertsDeletesAndMovesItems) {
  KM_RQTemplate t;
  const auto names = [&] {
    QStringList n;
    for (int i = 1; i <= t.lTestCount(); ++i) n << t.tiTestItem(i)->sName;
    return n.join(u',');
  };
  t.AddTest(KM_RQTemplateItem::kBalance)->sName = QStringLiteral("a");
  t.AddTest(KM_RQTemplateItem::kBalance, 99)->sName = QStringLiteral("c");  // beyond the end: appended
  t.AddTest(KM_RQTemplateItem::kVision, 2)->sName = QStringLiteral("b");
  t.AddTest(KM_RQTemplateItem::kBalance, 1)->sName = QStringLiteral("z");
  EXPECT_EQ(names(), QStringLiteral("z,a,b,c"));
  EXPECT_EQ(t.AddTest(7), nullptr);
  EXPECT_EQ(t.lTestCount(), 4);

  t.MoveTestUp(1);
  t.MoveTestDown(4);
  t.MoveTestUp(5);
  t.MoveTestDown(0);
  EXPECT_EQ(names(), QStringLiteral("z,a,b,c"));
  t.MoveTestUp(3);
  EXPECT_EQ(names(), QStringLiteral("z,b,a,c"));
  t.MoveTestDown(1);
  EXPECT_EQ(names(), QStringLiteral("b,z,a,c"));
  EXPECT_EQ(t.tiTestItem(1)->lKind(), KM_RQTemplateItem::kVision);

  t.DelTest(1);
  EXPECT_EQ(t.lTestCountVision(), 0);
  EXPECT_EQ(t.lTestCountBalance(), 3);
  t.DelTest(0);
  t.DelTest(4);
  EXPECT_EQ(names(), QStringLiteral("z,a,c"));

  KM_RQTemplateItem v;
  v.lLong[0] = KM_RQTemplateItem::kVision;
  v.sName = QStringLiteral("v");
  EXPECT_TRUE(t.setTestItem(2, v));
  EXPECT_FALSE(t.setTestItem(4, v));
  EXPECT_EQ(t.lTestCountVision(), 1);
  EXPECT_EQ(t.lTestCountBalance(), 2);
}

TEST(TemplateFile, MissingOrDamagedFilesGiveAnEmptyTemplate) {
  KM_RQTemplate missing;
  missing.AddTest(KM_RQTemplateItem::kBalance);
  missing.sName = QStringLiteral("old");
  missing.bEditable = false;
  EXPECT_FALSE(missing.Load(sandboxPath(QStringLiteral("none.tef"))));
  EXPECT_EQ(missing.lTestCount(), 0);
  EXPECT_EQ(missing.sName, QString());
  EXPECT_TRUE(missing.bEditable);
  EXPECT_EQ(missing.sFileName(), sandboxPath(QStringLiteral("none.tef")));

  const QString path = sandboxPath(QStringLiteral("bad.tef"));
  expectTruncationsFail<KM_RQTemplate>(kSmallTemplate, path, [](const KM_RQTemplate& t, int n) {
    EXPECT_EQ(t.lTestCount(), 0) << n;
    EXPECT_EQ(t.sName, QString()) << n;
  });
  struct Case {
    const char* what;
    int offset;
    QByteArray bytes;
  } cases[] = {
      {"file format 2", 0, QByteArray::fromHex("02000000")},
      {"name tagged as a Long", 4, QByteArray::fromHex("0300")},
      {"count of a million", 16, QByteArray::fromHex("40420f00")},
      {"negative count", 16, QByteArray::fromHex("ffffffff")},
      {"item format 9", 22, QByteArray::fromHex("09000000")},
      {"text longer than the file", 28, QByteArray::fromHex("ff00")},
  };
  for (const Case& c : cases) {
    QByteArray b = kSmallTemplate;
    b.replace(c.offset, c.bytes.size(), c.bytes);
    writeBytes(path, b);
    KM_RQTemplate t;
    EXPECT_FALSE(t.Load(path)) << c.what;
    EXPECT_EQ(t.lTestCount(), 0) << c.what;
  }
  // Trailing bytes after a complete template are ignored.
  writeBytes(path, kSmallTemplate + QByteArray("junk"));
  KM_RQTemplate t;
  EXPECT_TRUE(t.Load(path));
}

TEST(TemplateFile, ValuesNoTestCanHaveAreRefusedNotRun) {
  struct Case {
    const char* what;
    std::function<void(KM_RQTemplateItem&)> spoil;
    qint32 kind = KM_RQTemplateItem::kBalance;
  };
  const Case cases[] = {
      {"a plausible balance test", [](KM_RQTemplateItem&) {}},
      {"a plausible vision test", [](KM_RQTemplateItem&) {}, KM_RQTemplateItem::kVision},
      {"a test kind of 16777218", [](KM_RQTemplateItem& i) { i.lLong[0] = 16777218; }},
      {"a duration of 6e54 s", [](KM_RQTemplateItem& i) { i.setDurationSeconds(6e54); }},
      {"a frequency that is not a number", [](KM_RQTemplateItem& i) { i.setFrequencyHz(std::nan("")); }},
      {"a negative pre-test", [](KM_RQTemplateItem& i) { i.setPreTestSeconds(-5); }},
      {"a beep setting of 7", [](KM_RQTemplateItem& i) { i.lLong[3] = 7; }},
      {"an eye of 99", [](KM_RQTemplateItem& i) { i.setEye(99); }, KM_RQTemplateItem::kVision},
      {"a distance of 1e9 m", [](KM_RQTemplateItem& i) { i.setDistance(1e9); }, KM_RQTemplateItem::kVision},
      {"an interval of infinity", [](KM_RQTemplateItem& i) { i.setIntervalSeconds(INFINITY); },
       KM_RQTemplateItem::kVision},
  };
  const QString path = sandboxPath(QStringLiteral("spoiled.tef"));
  for (const Case& c : cases) {
    KM_RQTemplate t = MakeDefaultTestTemplate();
    KM_RQTemplateItem* item = t.AddTest(c.kind, 2);
    if (c.kind == KM_RQTemplateItem::kVision) {
      item->setEye(3);
      item->setDistance(3.0);
      item->setIntervalSeconds(2.0);
    } else {
      item->MakeCopy(*t.tiTestItem(1));
    }
    c.spoil(*item);
    ASSERT_TRUE(t.Save(path)) << c.what;
    KM_RQTemplate back;
    const bool plausible = QString(c.what).startsWith("a plausible");
    EXPECT_EQ(back.Load(path), plausible) << c.what;
    EXPECT_EQ(back.lTestCount(), plausible ? 5 : 0) << c.what;
    EXPECT_EQ(TemplateHasEnabledTests(path, true, true), plausible) << c.what;
  }
}

TEST(TemplateFile, FailedSaveKeepsTheOldFile) {
  const QString path = sandboxPath(QStringLiteral("keep.tef"));
  writeBytes(path, kSmallTemplate);
  KM_RQTemplate t;
  ASSERT_TRUE(t.Load(path));
  t.tiTestItem(1)->sName = QString(70000, QLatin1Char('x'));  // too long for a 16-bit count
  EXPECT_FALSE(t.Save());
  EXPECT_EQ(fileBytes(path), kSmallTemplate);
  EXPECT_FALSE(t.Save(testsupport::sandboxFolder()));  // a folder cannot be replaced by a file
  KM_RQTemplate unnamed;
  EXPECT_FALSE(unnamed.Save());
}

TEST(TaggedText, UsesWindows1252BothWays) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString text = tagged::fromCp1252(all.constData(), static_cast<int>(all.size()));
  EXPECT_EQ(text.at(0x80), QChar(0x20AC));
  EXPECT_EQ(text.at(0x99), QChar(0x2122));
  EXPECT_EQ(text.at(0x81), QLatin1Char('?'));  // no character there
  EXPECT_EQ(text.at(0xE9), QChar(0xE9));
  QByteArray expected = all;
  for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) expected[b] = '?';
  EXPECT_EQ(tagged::toCp1252(text), expected);
  EXPECT_EQ(tagged::toCp1252(QString::fromUtf8("TARN™ 中 😀")), QByteArray("TARN\x99 ? ?"));
}

TEST(DefaultTemplate, HoldsTheFourStandardTestsWithTheStoredDefaults) {
  settings::write(settings::TestFrequency, 100000);
  settings::write(settings::TestBeepBegin, 1);
  const QString path = sandboxPath(QStringLiteral("KMTARNRQ.tef"));
  ASSERT_TRUE(CreateDefaultTestTemplate(path));
  KM_RQTemplate t;
  ASSERT_TRUE(t.Load(path));
  EXPECT_EQ(t.sName, QStringLiteral("KMTARNRQ"));
  ASSERT_EQ(t.lTestCountBalance(), 4);
  const qint32 surfaces[] = {kSurfacePlate, kSurfacePlate, kSurfaceFoam, kSurfaceFoam};
  const qint32 eyes[] = {kEyesOpen, kEyesClosed, kEyesOpen, kEyesClosed};
  for (int i = 1; i <= 4; ++i) {
    const KM_RQTemplateItem* item = t.tiTestItem(i);
    EXPECT_EQ(item->surface(), surfaces[i - 1]);
    EXPECT_EQ(item->eyes(), eyes[i - 1]);
    EXPECT_TRUE(item->beepBegin());
    EXPECT_TRUE(item->beepEnd());
    EXPECT_DOUBLE_EQ(item->frequencyHz(), 100.0);
    EXPECT_DOUBLE_EQ(item->preTestSeconds(), 5.0);
    EXPECT_DOUBLE_EQ(item->durationSeconds(), 20.0);
  }
  EXPECT_EQ(t.tiTestItem(4)->sName, QStringLiteral("Foam Surface - Eyes Closed"));

  EXPECT_TRUE(TemplateHasEnabledTests(path, true, false));
  EXPECT_FALSE(TemplateHasEnabledTests(path, false, true));
  EXPECT_FALSE(TemplateHasEnabledTests(sandboxPath(QStringLiteral("none.tef")), true, true));
}

// Name "N", editable false, highest index 1: two comments "x" and "-".
// clang-format off
const QByteArray kSmallComments =
    QByteArray::fromHex("01000000" "080001004e" "0b000000" "030001000000" "0800010078" "080001002d");
// clang-format on

TEST(CommentTemplate, ReadsAndWritesTheLayoutByteForByteAndRoundTripsAFullSet) {
  const QString path = sandboxPath(QStringLiteral("small.cof"));
  writeBytes(path, kSmallComments);
  KM_RQTComments c;
  ASSERT_TRUE(c.Load(path));
  EXPECT_EQ(c.sName, QStringLiteral("N"));
  EXPECT_FALSE(c.bEditable);
  EXPECT_EQ(c.lTestCount(), 1);
  EXPECT_EQ(c.sComment(0), QStringLiteral("x"));
  EXPECT_EQ(c.sComment(2), QString());
  c.setComment(5, QStringLiteral("ignored"));
  const QString copy = sandboxPath(QStringLiteral("copy.cof"));
  ASSERT_TRUE(c.Save(copy));
  EXPECT_EQ(fileBytes(copy), kSmallComments);

  // A full set, with text outside ASCII.
  KM_RQTComments full;
  full.sName = QStringLiteral("Clinic");
  for (int i = 0; i <= 71; ++i) full.setComment(i, QStringLiteral("Note %1 – ü").arg(i));
  ASSERT_TRUE(full.Save(copy));
  KM_RQTComments back;
  ASSERT_TRUE(back.Load(copy));
  EXPECT_EQ(back.sFileName(), copy);
  for (int i = 0; i <= 71; ++i) EXPECT_EQ(back.sComment(i), full.sComment(i)) << i;
}

TEST(CommentTemplate, MissingOrDamagedFileGivesSeventyTwoDashes) {
  KM_RQTComments c;
  c.setComment(3, QStringLiteral("changed"));
  c.bEditable = false;
  EXPECT_FALSE(c.Load(sandboxPath(QStringLiteral("none.cof"))));
  EXPECT_EQ(c.lTestCount(), 71);
  for (int i = 0; i <= 71; ++i) EXPECT_EQ(c.sComment(i), QStringLiteral("-"));
  EXPECT_EQ(c.sComment(72), QString());
  EXPECT_TRUE(c.bEditable);

  const QString path = sandboxPath(QStringLiteral("bad.cof"));
  expectTruncationsFail<KM_RQTComments>(kSmallComments, path, [](const KM_RQTComments& d, int n) {
    EXPECT_EQ(d.lTestCount(), 71) << n;
    EXPECT_EQ(d.sComment(0), QStringLiteral("-")) << n;
  });
  QByteArray huge = kSmallComments;
  huge.replace(15, 4, QByteArray::fromHex("ffffff7f"));
  writeBytes(path, huge);
  KM_RQTComments d;
  EXPECT_FALSE(d.Load(path));

  // A count that fits in the file but no template has: fifty thousand empty comments.
  tagged::Writer w;
  tagged::writeHead(w, 1, {QStringLiteral("Absurd"), true, 50000});
  for (int i = 0; i <= 50000; ++i) w.writeString(QString());
  writeBytes(path, w.bytes());
  KM_RQTComments e;
  EXPECT_FALSE(e.Load(path));
  EXPECT_EQ(e.lTestCount(), 71);
  EXPECT_EQ(e.sName, QString());
}

TEST(DefaultComments, TakeEachSetsSliceOfTheStringTable) {
  const StringLookup text = [](int id) { return QStringLiteral("#%1").arg(id); };
  const KM_RQTComments empty = MakeDefaultComments(0, text);
  EXPECT_EQ(empty.sName, QStringLiteral("#2455"));
  for (int i = 0; i <= 71; ++i) EXPECT_EQ(empty.sComment(i), QStringLiteral("-"));

  // Set, comment index, expected string id: each block's first and last entries.
  const struct {
    int set, index, id;
  } cases[] = {{1, 24, 20310}, {1, 25, 20311}, {1, 26, 20450}, {1, 30, 20720}, {1, 39, 20729},
               {1, 40, 20710}, {1, 44, 20715}, {1, 47, 20718}, {1, 48, 21310}, {5, 24, 20350},
               {5, 26, 20470}, {5, 30, 20900}, {5, 40, 20790}, {5, 71, 21798}};
  for (const auto& c : cases)
    EXPECT_EQ(MakeDefaultComments(c.set, text).sComment(c.index), QStringLiteral("#%1").arg(c.id))
        << c.set << ":" << c.index;
  const KM_RQTComments generic = MakeDefaultComments(1, text);
  EXPECT_EQ(generic.sName, QStringLiteral("#2456"));
  EXPECT_EQ(generic.sComment(0), QStringLiteral("-"));
  EXPECT_EQ(generic.sComment(23), QStringLiteral("-"));
  EXPECT_EQ(MakeDefaultComments(5, text).sName, QStringLiteral("#2460"));
}

}  // namespace
}  // namespace tarn
