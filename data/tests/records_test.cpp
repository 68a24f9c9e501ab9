// Balance and vision test records: stream layout, version rules, storage names, damaged data.
#include <gtest/gtest.h>

#include "data/records/testbalance.h"
#include "data/records/testvision.h"
#include "data/tests/data_testutil.h"
#include "data/tests/storage_testutil.h"

namespace tarn {
namespace {

using datatest::streamKinds;
using BalanceRecord = stgtest::MemoryRootTest;
using VisionRecord = stgtest::MemoryRootTest;

// Every member set, each float to its own value.
KM_RQListTestBalance sampleBalance() {
  KM_RQListTestBalance r;
  // clang-format off
  static_cast<KM_RQListTestBalanceData&>(r) = {
      .sName = "Normal Stability Eyes Open", .sVisitID = "V1", .sSessionID = "S2", .sTestID = "T3",
      .sPlate = "KMP-0042", .lTestType = 1, .dtDate = 45123.625, .fFrequency = 100, .fPretest = 5,
      .fOrigDuration = 20, .fActDuration = 19.99f, .lTotalSamples = 1999, .lValidSamples = 1990,
      .bIsInterrupted = true, .bIsFallen = false, .fXo = 0.001f, .fYo = 0.014f, .fLoSX = 0.027f,
      .fLoSY = 0.04f, .fMaxMLSway = 0.053f, .fMaxAPSway = 0.066f, .f95MLSway = 0.079f, .f95APSway = 0.092f,
      .f95MaxSway = 0.105f, .f95MinSway = 0.118f, .fMaxSway = 0.131f, .fAveSway = 0.144f, .fVMax = 0.157f,
      .fVAve = 0.17f, .fAMax = 0.183f, .fAAve = 0.196f, .fPlen = 0.209f, .f95Area = 0.222f,
      .fStability = 0.235f, .lStabilityClass = 3, .fSwayDirection = 0.248f, .fDirectionality = 0.261f,
      .fMinMaxRatio = 0.274f, .fFatigue = 0.287f, .fParP = 0.3f, .fHeight = 1.72f, .fWeight = 70.5f,
      .fBMI = 23.83f, .lBMIClass = 7, .bBMIEnabled = true, .sNotes = "wobbly \u00e9t\u00e9 \n second line"};
  // clang-format on
  return r;
}

void writeVersion(KMX_OLEStorage& sub, const QString& text, float number) {
  auto s = sub.CreateStream("Version");
  ASSERT_TRUE(s);
  s->Write(StgValue::fromString(text), true, true);
  s->Write(StgValue::fromSingle(number), true, true);
  s->Commit();
}

float storedVersion(KMX_OLEStorage& root, const QString& sub) {
  auto v = root.OpenStorage(sub, stgmode::Read)->OpenStream("Version", stgmode::Read);
  v->ReadNext();
  return v->ReadNext().toSingle();
}

TEST_F(BalanceRecord, RoundTripKeepsEveryMemberInTableOrder) {
  const KM_RQListTestBalance r = sampleBalance();
  KM_RQListTestBalance w = r;
  ASSERT_TRUE(w.Save(root.get(), "TestB 1"));
  // 1-5 texts, type, date, 8-11 timing, samples, flags, 16-34 measures, class, 36-43, BMI class, flag, notes.
  const QString expected =
      "SSSSSLT" + QString(4, 'F') + "LLBB" + QString(19, 'F') + "L" + QString(8, 'F') + "LBS";
  auto sub = root->OpenStorage("TestB 1", stgmode::Read);
  EXPECT_EQ(streamKinds(*sub, "Data").toStdString(), expected.toStdString());
  EXPECT_EQ(streamKinds(*sub, "Version").toStdString(), "SF");

  KM_RQListTestBalance back;
  ASSERT_TRUE(back.Load(root.get(), "TestB 1"));
  EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(back) == r);
  EXPECT_EQ(back.versionText(), "KM RQLists");
  EXPECT_FLOAT_EQ(back.versionNumber(), 1.0f);
  EXPECT_EQ(back.storageName(), "TestB 1");

  // Booleans are stored as 16-bit truth values, true = -1.
  auto st = sub->OpenStream("Data", stgmode::Read);
  for (int i = 0; i < 13; ++i) st->ReadNext();
  EXPECT_EQ(st->ReadNext().toBoolean16(), -1);
  EXPECT_EQ(st->ReadNext().toBoolean16(), 0);
}

TEST_F(BalanceRecord, VersionRules) {
  // Below 1: the data is not read, the members are reset and the load succeeds.
  auto old = root->CreateStorage("TestBalance");
  writeVersion(*old, "KM RQLists", 0.5f);
  ASSERT_TRUE(stgtest::writeStream(*old, "Data", {StgValue::fromString("should not be read")}));
  KM_RQListTestBalance r = sampleBalance();
  ASSERT_TRUE(r.Load(root.get(), ""));  // blank name on a fresh record: the default storage
  EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(r) == KM_RQListTestBalanceData{});
  EXPECT_FLOAT_EQ(r.versionNumber(), 0.5f);
  // Saving brings it up to 1.
  ASSERT_TRUE(r.Save(root.get(), ""));
  EXPECT_FLOAT_EQ(r.versionNumber(), 1.0f);
  EXPECT_FLOAT_EQ(storedVersion(*root, "TestBalance"), 1.0f);

  // Newer: the data is read, and a save keeps the newer version stream.
  KM_RQListTestBalance w = sampleBalance();
  ASSERT_TRUE(w.Save(root.get(), "T"));
  writeVersion(*root->OpenStorage("T", stgmode::ReadWrite), "KM RQLists 2", 2.0f);
  KM_RQListTestBalance n;
  ASSERT_TRUE(n.Load(root.get(), "T"));
  EXPECT_EQ(n.sNotes, w.sNotes);
  EXPECT_FLOAT_EQ(n.versionNumber(), 2.0f);
  n.sNotes = "changed";
  ASSERT_TRUE(n.Save(root.get(), ""));  // remembered name "T"
  EXPECT_EQ(root->OpenStorage("T")->OpenStream("Version")->ReadNext().toString(), "KM RQLists 2");
  EXPECT_FLOAT_EQ(storedVersion(*root, "T"), 2.0f);
  KM_RQListTestBalance again;
  ASSERT_TRUE(again.Load(root.get(), "T"));
  EXPECT_EQ(again.sNotes, "changed");
}

TEST_F(BalanceRecord, DamagedOrMissingDataFailsTheLoad) {
  KM_RQListTestBalance r;
  EXPECT_FALSE(r.Load(nullptr, "T"));
  EXPECT_FALSE(r.Save(nullptr, "T"));
  EXPECT_FALSE(r.Load(root.get(), "absent"));

  // Data ending after the plate name, a text where the test type belongs, no Version, no Data.
  const struct {
    const char* name;
    bool version;
    int texts;  // -1: no Data stream
  } cases[] = {{"Short", true, 5}, {"Kind", true, 6}, {"NoVersion", false, 0}, {"NoData", true, -1}};
  for (const auto& c : cases) {
    auto sub = root->CreateStorage(c.name);
    if (c.version) writeVersion(*sub, "KM RQLists", 1.0f);
    if (c.texts >= 0) {
      auto d = sub->CreateStream("Data");
      for (int i = 0; i < c.texts; ++i) d->Write(StgValue::fromString("x"));
      d->Commit();
    }
    EXPECT_FALSE(r.Load(root.get(), c.name)) << c.name;
  }
}

TEST_F(BalanceRecord, StorageNameRulesAndMakeCopy) {
  KM_RQListTestBalance r = sampleBalance();
  ASSERT_TRUE(r.Save(root.get(), "  "));
  EXPECT_TRUE(root->OpenStorage("TestBalance", stgmode::Read));
  ASSERT_TRUE(r.Save(root.get(), " Mine "));
  EXPECT_EQ(r.storageName(), "Mine");
  r.sName = "second";
  ASSERT_TRUE(r.Save(root.get(), ""));
  KM_RQListTestBalance back;
  ASSERT_TRUE(back.Load(root.get(), "Mine"));
  EXPECT_EQ(back.sName, "second");

  KM_RQListTestBalance copy;
  copy.MakeCopy(back);
  EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(copy) == back);
  EXPECT_EQ(copy.storageName(), "");  // the name stays with the original
}

TEST(RecordNames, WordBlankAndNumberWithoutLeadingZeros) {
  EXPECT_EQ(recordio::elementName("File", 1), "File 1");
  EXPECT_EQ(recordio::elementName("TestB", 10), "TestB 10");
  EXPECT_EQ(recordio::elementName("File", 0), "File 0");
  EXPECT_EQ(recordio::elementName("TestV", 2147483647), "TestV 2147483647");
  EXPECT_EQ(recordio::elementName("X", -2147483647 - 1), "X -2147483648");
}

TEST_F(VisionRecord, RoundTripLayoutAndDefaultName) {
  KM_RQListTestVision w;
  // clang-format off
  static_cast<KM_RQListTestVisionData&>(w) = {.sName = "Acuity Right", .sVisitID = "V1", .sSessionID = "S1",
      .sTestID = "T9", .dtDate = 45000.5, .lEye = 1, .dInterval = 1.5, .dDistance = 6, .lTestsPerSize = 5,
      .lCorrectAnswers = 3, .lFullScreen = -1, .lHighContrast = 0, .dAcuity = 0.8, .lAcuityClass = 2};
  // clang-format on
  ASSERT_TRUE(w.Save(root.get(), ""));
  EXPECT_EQ(streamKinds(*root->OpenStorage("TestVision"), "Data").toStdString(), "SSSSTLDDLLLLDL");
  KM_RQListTestVision back;
  ASSERT_TRUE(back.Load(root.get(), ""));
  EXPECT_TRUE(static_cast<const KM_RQListTestVisionData&>(back) == w);
  KM_RQListTestVision copy;
  copy.MakeCopy(back);
  EXPECT_TRUE(static_cast<const KM_RQListTestVisionData&>(copy) == w);
  EXPECT_EQ(copy.storageName(), "");
}

}  // namespace
}  // namespace tarn
