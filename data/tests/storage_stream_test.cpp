// Streams: tagged values in order, replace-on-write, failed reads and value conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "data/storage/olestg.h"
#include "data/tests/storage_testutil.h"

namespace tarn {
namespace {

using stgtest::writeStream;
using StorageStream = stgtest::MemoryRootTest;

TEST(StorageValue, ConversionsAcceptOwnTypeAndExactWideningsOnly) {
  EXPECT_EQ(StgValue::fromInteger(-7).toLong(), -7);
  EXPECT_EQ(StgValue::fromBoolean(true).toLong(), -1);
  EXPECT_EQ(StgValue::fromBoolean(true).toBoolean16(), -1);
  EXPECT_EQ(StgValue::fromBoolean(false).toBoolean16(), 0);
  EXPECT_DOUBLE_EQ(StgValue::fromSingle(0.5f).toDouble(), 0.5);
  EXPECT_DOUBLE_EQ(StgValue::fromDate(36526.25).toDouble(), 36526.25);
  EXPECT_DOUBLE_EQ(StgValue::fromDouble(2.0).toDate(), 2.0);

  EXPECT_THROW(StgValue::fromSingle(1.0f).toLong(), StorageError);
  EXPECT_THROW(StgValue::fromDouble(1.0).toSingle(), StorageError);
  EXPECT_THROW(StgValue::fromLong(70000).toInteger(), StorageError);
  EXPECT_THROW(StgValue::fromString("12").toLong(), StorageError);
  EXPECT_THROW(StgValue::fromLong(1).toString(), StorageError);
  EXPECT_THROW(StgValue::fromLong(1).toBool(), StorageError);
  EXPECT_THROW(StgValue().toDouble(), StorageError);

  const StgValue err = StgValue::error("gone");
  EXPECT_TRUE(err.isError());
  try {
    err.toLong();
    FAIL() << "an error value converted";
  } catch (const StorageError& e) {
    EXPECT_STREQ(e.what(), "gone");
  }
}

TEST_F(StorageStream, AllSevenTypesComeBackInOrderAndType) {
  const QString text =
      QString::fromUtf8("Zoë ü \xF0\x9F\x98\x80 tab\tend") + QChar(0xD800);  // lone surrogate too
  const std::vector<StgValue> values = {StgValue::fromString(text),
                                        StgValue::fromString(QString()),
                                        StgValue::fromLong(std::numeric_limits<qint32>::min()),
                                        StgValue::fromLong(std::numeric_limits<qint32>::max()),
                                        StgValue::fromInteger(-32768),
                                        StgValue::fromSingle(-3.4028235e38f),
                                        StgValue::fromSingle(1.17549435e-38f),
                                        StgValue::fromDouble(-0.0),
                                        StgValue::fromDouble(std::numeric_limits<double>::quiet_NaN()),
                                        StgValue::fromDate(-36522.0),  // 1 Jan 1800, the missing date
                                        StgValue::fromBoolean(true),
                                        StgValue::fromBoolean(false)};
  {
    auto s = root->CreateStream("Data", stgmode::CreateReplace);
    ASSERT_TRUE(s);
    for (const StgValue& v : values) ASSERT_TRUE(s->Write(v, true, false));
    ASSERT_TRUE(s->Commit(0));
  }
  auto s = root->OpenStream("Data", stgmode::Read);
  ASSERT_TRUE(s);
  for (const StgValue& want : values) {
    const StgValue got = s->ReadNext(want.type());
    ASSERT_FALSE(got.isError()) << got.errorText().toStdString();
    EXPECT_TRUE(got == want) << stgTypeName(want.type());
  }
  EXPECT_TRUE(s->atEnd());
  EXPECT_EQ(s->ReadNext().type(), StgType::Error);
}

// Short texts that repeat are shared between reads; every read must still give its own text,
// whether it was met before, differs only in its last unit, or is long.
TEST_F(StorageStream, TextsComeBackExactlyWhetherRepeatedOrNot) {
  QStringList texts;
  for (int k = 0; k < 600; ++k) texts << QString("Visit %1").arg(k % 7) << QString("T%1").arg(k) << QString();
  texts << QString(40, QChar('x')) << QString(41, QChar('x')) << QString(300, QChar(0x00E9))
        << QString(40, QChar('x')) << "Visit 3";
  {
    auto s = root->CreateStream("Texts", stgmode::CreateReplace);
    for (const QString& t : texts) ASSERT_TRUE(s->Write(StgValue::fromString(t)));
  }
  for (int pass = 0; pass < 2; ++pass) {
    auto s = root->OpenStream("Texts");
    for (qsizetype k = 0; k < texts.size(); ++k) {
      QString got;
      if (pass == 0)
        ASSERT_TRUE(s->ReadString(got)) << k;
      else
        got = s->ReadNext().toString();
      ASSERT_EQ(got, texts[k]) << k;
    }
  }
}

TEST_F(StorageStream, FlagsTravelWithEachValue) {
  {
    auto s = root->CreateStream("Version");
    s->Write(StgValue::fromString("KM RQLists"), true, true);
    s->Write(StgValue::fromSingle(1.0f), true, false);
  }  // released without Commit: the values are kept all the same
  auto s = root->OpenStream("Version");
  const StgValue a = s->ReadNext();
  const StgValue b = s->ReadNext();
  EXPECT_EQ(a.toString(), "KM RQLists");
  EXPECT_TRUE(a.flagA() && a.flagB());
  EXPECT_FLOAT_EQ(b.toSingle(), 1.0f);
  EXPECT_TRUE(b.flagA() && !b.flagB());
}

TEST_F(StorageStream, WritingAStreamOpenedReadWriteReplacesItsContents) {
  ASSERT_TRUE(
      writeStream(*root, "Data", {StgValue::fromLong(1), StgValue::fromLong(2), StgValue::fromLong(3)}));

  // Opened read/write but only read: contents stay.
  {
    auto s = root->OpenStream("Data", stgmode::ReadWrite);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->ReadNext().toLong(), 1);
  }
  {
    auto s = root->OpenStream("Data", stgmode::ReadWrite);
    ASSERT_TRUE(s->Write(StgValue::fromString("only")));
    ASSERT_TRUE(s->Write(StgValue::fromLong(9)));
    ASSERT_TRUE(s->Commit(0));
  }
  auto s = root->OpenStream("Data", stgmode::Read);
  EXPECT_EQ(s->ReadNext().toString(), "only");
  EXPECT_EQ(s->ReadNext().toLong(), 9);
  EXPECT_TRUE(s->ReadNext().isError());

  // Create over an existing stream starts empty.
  auto fresh = root->CreateStream("data", stgmode::CreateReplace);
  ASSERT_TRUE(fresh);
  EXPECT_TRUE(fresh->atEnd());
}

TEST_F(StorageStream, FailedReadsGiveErrorValuesAndRefusedWritesChangeNothing) {
  ASSERT_TRUE(writeStream(*root, "Data", {StgValue::fromSingle(2.5f), StgValue::fromLong(4)}));
  auto s = root->OpenStream("Data", stgmode::Read);

  // Asked for a Long where a Single was written: an error, and the value is used up.
  const StgValue wrong = s->ReadNext(StgType::Long);
  ASSERT_TRUE(wrong.isError());
  EXPECT_THROW(wrong.toLong(), StorageError);
  EXPECT_TRUE(wrong.errorText().contains("expected Long, found Single")) << wrong.errorText().toStdString();

  EXPECT_EQ(s->ReadNext(StgType::Long).toLong(), 4);
  const StgValue past = s->ReadNext(StgType::Long);
  EXPECT_TRUE(past.errorText().contains("past the end"));
  EXPECT_THROW(past.toLong(), StorageError);

  // Writes into a read-only stream, and of empty or error values, are refused and change nothing.
  EXPECT_FALSE(s->Write(StgValue::fromLong(6)));
  auto rw = root->OpenStream("Data", stgmode::ReadWrite);
  EXPECT_FALSE(rw->Write(StgValue()));
  EXPECT_FALSE(rw->Write(StgValue::error("x")));
  EXPECT_FLOAT_EQ(root->OpenStream("Data", stgmode::Read)->ReadNext().toSingle(), 2.5f);
}

// The loaders' direct reads take exactly what the value conversions take, give the same values,
// and leave a value they cannot take where it is, so that the long way reports the same reason.
TEST_F(StorageStream, DirectReadsAgreeWithTheValueConversions) {
  const StgValue values[] = {StgValue::fromString(QString::fromUtf8("Zoë")),
                             StgValue::fromLong(-70000),
                             StgValue::fromInteger(-7),
                             StgValue::fromSingle(0.1f),
                             StgValue::fromDouble(2.5e-300),
                             StgValue::fromDate(45000.75),
                             StgValue::fromBoolean(true),
                             StgValue::fromBoolean(false)};
  {
    auto all = root->CreateStream("All");
    ASSERT_TRUE(all);
    for (const StgValue& v : values) ASSERT_TRUE(all->Write(v));
    ASSERT_TRUE(all->Commit());
  }
  // Each kind of read, once the direct way and once the long way (ReadNext and a conversion).
  struct Kind {
    const char* name;
    std::function<bool(KMX_OLEStream&, QString&)> direct;
    std::function<QString(const StgValue&)> converted;
  };
  auto num = [](double v) { return QString::number(v, 'g', 17); };
  const Kind kinds[] = {
      {"text", [](KMX_OLEStream& s, QString& out) { return s.ReadString(out); },
       [](const StgValue& v) { return v.toString(); }},
      {"long",
       [](KMX_OLEStream& s, QString& out) {
         qint32 x = 0;
         const bool ok = s.ReadLong(x);
         out = QString::number(x);
         return ok;
       },
       [](const StgValue& v) { return QString::number(v.toLong()); }},
      {"single",
       [&](KMX_OLEStream& s, QString& out) {
         float x = 0;
         const bool ok = s.ReadSingle(x);
         out = num(x);
         return ok;
       },
       [&](const StgValue& v) { return num(v.toSingle()); }},
      {"double",
       [&](KMX_OLEStream& s, QString& out) {
         double x = 0;
         const bool ok = s.ReadDouble(x);
         out = num(x);
         return ok;
       },
       [&](const StgValue& v) { return num(v.toDouble()); }},
      {"date",
       [&](KMX_OLEStream& s, QString& out) {
         double x = 0;
         const bool ok = s.ReadDate(x);
         out = num(x);
         return ok;
       },
       [&](const StgValue& v) { return num(v.toDate()); }},
      {"bool",
       [](KMX_OLEStream& s, QString& out) {
         bool x = false;
         const bool ok = s.ReadBool(x);
         out = x ? "1" : "0";
         return ok;
       },
       [](const StgValue& v) { return QString(v.toBool() ? "1" : "0"); }},
  };
  for (const Kind& kind : kinds) {
    auto direct = root->OpenStream("All");
    auto longWay = root->OpenStream("All");
    ASSERT_TRUE(direct && longWay);
    for (const StgValue& v : values) {
      SCOPED_TRACE(std::string(kind.name) + " of a " + stgTypeName(v.type()));
      QString got;
      const bool taken = kind.direct(*direct, got);
      QString expected;
      bool converts = true;
      try {
        expected = kind.converted(longWay->ReadNext());
      } catch (const StorageError&) {
        converts = false;
      }
      EXPECT_EQ(taken, converts);
      if (taken && converts) {
        EXPECT_EQ(got, expected);
      }
      if (!taken) {  // left in place: the long way reads it next
        EXPECT_EQ(direct->ReadNext(), v);
      }
    }
    QString nothing;
    EXPECT_FALSE(kind.direct(*direct, nothing));  // past the end
    EXPECT_TRUE(direct->ReadNext().isError());
  }
}

}  // namespace
}  // namespace tarn
