// Streams: tagged values in order, replace-on-write, failed reads and value conversions.
#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
}  // namespace tarn
