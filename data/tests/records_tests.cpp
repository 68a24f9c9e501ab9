// Balance and vision test records: stream layout, version rules, storage names, damaged data.
#include <gtest/gtest.h>

#include "data/records/testbalance.h"
#include "data/records/testvision.h"
#include "data/storage/olestg.h"

namespace tarn {
namespace {

std::shared_ptr<KMX_OLEStorage> memoryRoot(KMX_OLEStgTool& tool) {
  const qint64 h = tool.AllocMemoryBlock();
  return tool.CreateRootStorageOnMemory("MEM_records", stgmode::CreateReplace, h);
}

KM_RQListTestBalance sampleBalance() {
  KM_RQListTestBalance r;
  r.sName = "Normal Stability Eyes Open";
  r.sVisitID = "V1";
  r.sSessionID = "S2";
  r.sTestID = "T3";
  r.sPlate = "KMP-0042";
  r.lTestType = 1;
  r.dtDate = 45123.625;
  r.fFrequency = 100;
  r.fPretest = 5;
  r.fOrigDuration = 20;
  r.fActDuration = 19.99f;
  r.lTotalSamples = 1999;
  r.lValidSamples = 1990;
  r.bIsInterrupted = true;
  r.bIsFallen = false;
  float v = 0.001f;
  for (float* f : {&r.fXo,
                   &r.fYo,
                   &r.fLoSX,
                   &r.fLoSY,
                   &r.fMaxMLSway,
                   &r.fMaxAPSway,
                   &r.f95MLSway,
                   &r.f95APSway,
                   &r.f95MaxSway,
                   &r.f95MinSway,
                   &r.fMaxSway,
                   &r.fAveSway,
                   &r.fVMax,
                   &r.fVAve,
                   &r.fAMax,
                   &r.fAAve,
                   &r.fPlen,
                   &r.f95Area,
                   &r.fStability,
                   &r.fSwayDirection,
                   &r.fDirectionality,
                   &r.fMinMaxRatio,
                   &r.fFatigue,
                   &r.fParP}) {
    *f = v;
    v += 0.013f;
  }
  r.lStabilityClass = 3;
  r.fHeight = 1.72f;
  r.fWeight = 70.5f;
  r.fBMI = 23.83f;
  r.lBMIClass = 7;
  r.bBMIEnabled = true;
  r.sNotes = "wobbly \u00e9t\u00e9 \n second line";
  return r;
}

// Stream kinds written down from the record table, one letter per value.
QString kinds(KMX_OLEStorage& root, const QString& sub, const QString& stream) {
  auto s = root.OpenStorage(sub, stgmode::Read);
  if (!s) return "no storage";
  auto st = s->OpenStream(stream, stgmode::Read);
  if (!st) return "no stream";
  QString out;
  for (;;) {
    const StgValue v = st->ReadNext();
    switch (v.type()) {
      case StgType::String:
        out += 'S';
        break;
      case StgType::Long:
        out += 'L';
        break;
      case StgType::Single:
        out += 'F';
        break;
      case StgType::Double:
        out += 'D';
        break;
      case StgType::Date:
        out += 'T';
        break;
      case StgType::Boolean:
        out += 'B';
        break;
      case StgType::Error:
        return out;
      default:
        out += '?';
    }
  }
}

void writeVersion(KMX_OLEStorage& sub, const QString& text, float number) {
  auto s = sub.CreateStream("Version");
  ASSERT_TRUE(s);
  s->Write(StgValue::fromString(text), true, true);
  s->Write(StgValue::fromSingle(number), true, true);
  s->Commit();
}

TEST(BalanceRecord, RoundTripKeepsEveryMemberInTableOrder) {
  KMX_OLEStgTool tool;
  auto root = memoryRoot(tool);
  const KM_RQListTestBalance r = sampleBalance();
  KM_RQListTestBalance w = r;
  ASSERT_TRUE(w.Save(root.get(), "TestB 1"));
  // 1-5 texts, type, date, 8-11 timing, samples, flags, 16-34 measures, class, 36-43, BMI class, flag, notes.
  const QString expected =
      "SSSSSLT" + QString(4, 'F') + "LLBB" + QString(19, 'F') + "L" + QString(8, 'F') + "LBS";
  EXPECT_EQ(expected.size(), 46);
  EXPECT_EQ(kinds(*root, "TestB 1", "Data").toStdString(), expected.toStdString());
  EXPECT_EQ(kinds(*root, "TestB 1", "Version").toStdString(), "SF");

  KM_RQListTestBalance back;
  ASSERT_TRUE(back.Load(root.get(), "TestB 1"));
  EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(back) == r);
  EXPECT_EQ(back.versionText(), "KM RQLists");
  EXPECT_FLOAT_EQ(back.versionNumber(), 1.0f);
  EXPECT_EQ(back.storageName(), "TestB 1");

  // Booleans are stored as 16-bit truth values, true = -1.
  auto st = root->OpenStorage("TestB 1", stgmode::Read)->OpenStream("Data", stgmode::Read);
  for (int i = 0; i < 13; ++i) st->ReadNext();
  EXPECT_EQ(st->ReadNext().toBoolean16(), -1);
  EXPECT_EQ(st->ReadNext().toBoolean16(), 0);
}

TEST(BalanceRecord, OldVersionLoadsResetAndSucceeds) {
  KMX_OLEStgTool tool;
  auto root = memoryRoot(tool);
  auto sub = root->CreateStorage("TestBalance");
  writeVersion(*sub, "KM RQLists", 0.5f);
  auto d = sub->CreateStream("Data");
  d->Write(StgValue::fromString("should not be read"));
  d->Commit();

  KM_RQListTestBalance r = sampleBalance();
  ASSERT_TRUE(r.Load(root.get(), ""));  // blank name on a fresh record: the default storage
  EXPECT_TRUE(static_cast<const KM_RQListTestBalanceData&>(r) == KM_RQListTestBalanceData{});
  EXPECT_FLOAT_EQ(r.versionNumber(), 0.5f);
}

TEST(BalanceRecord, NewerVersionReadsDataAndKeepsItsVersionStream) {
  KMX_OLEStgTool tool;
  auto root = memoryRoot(tool);
  KM_RQListTestBalance w = sampleBalance();
  ASSERT_TRUE(w.Save(root.get(), "T"));
  writeVersion(*root->OpenStorage("T", stgmode::ReadWrite), "KM RQLists 2", 2.0f);

  KM_RQListTestBalance r;
  ASSERT_TRUE(r.Load(root.get(), "T"));
  EXPECT_EQ(r.sNotes, w.sNotes);
  EXPECT_FLOAT_EQ(r.versionNumber(), 2.0f);
  r.sNotes = "changed";
  ASSERT_TRUE(r.Save(root.get(), ""));  // remembered name "T"

  auto v = root->OpenStorage("T", stgmode::Read)->OpenStream("Version", stgmode::Read);
  EXPECT_EQ(v->ReadNext().toString(), "KM RQLists 2");
  EXPECT_FLOAT_EQ(v->ReadNext().toSingle(), 2.0f);
  KM_RQListTestBalance again;
  ASSERT_TRUE(again.Load(root.get(), "T"));
  EXPECT_EQ(again.sNotes, "changed");
}

TEST(BalanceRecord, SaveBringsAnOldVersionUpToOne) {
  KMX_OLEStgTool tool;
  auto root = memoryRoot(tool);
  auto sub = root->CreateStorage("T");
  writeVersion(*sub, "KM RQLists", 0.5f);
  KM_RQListTestBalance r;
  ASSERT_TRUE(r.Load(root.get(), "T"));
  ASSERT_TRUE(r.Save(root.get(), "T"));
  EXPECT_FLOAT_EQ(r.versionNumber(), 1.0f);
  auto v = root->OpenStorage("T", stgmode::Read)->OpenStream("Version", stgmode::Read);
  v->ReadNext();
  EXPECT_FLOAT_EQ(v->ReadNext().toSingle(), 1.0f);
}

TEST(BalanceRecord, DamagedOrMissingDataFailsTheLoad) {
  KMX_OLEStgTool tool;
  auto root = memoryRoot(tool);
  KM_RQListTestBalance r;
  EXPECT_FALSE(r.Load(nullptr, "T"));
  EXPECT_FALSE(r.Save(nullptr, "T"));
  EXPECT_FALSE(r.Load(root.get(), "absent"));

  // Data ends after the plate name.
  auto sub = root->CreateStorage("Short");
  writeVersion(*sub, "KM RQLists", 1.0f);
  auto d = sub->CreateStream("Data");
  for (int i = 0; i < 5; ++i) d->Write(StgValue::fromString("x"));
  d->Commit();
  EXPECT_FALSE(r.Load(root.get(), "Short"));

  // A text where the test type belongs.
  auto sub2 = root->CreateStorage("Kind");
  writeVersion(*sub2, "KM RQLists", 1.0f);
  auto d2 = sub2->CreateStream("Data");
  for (int i = 0; i < 6; ++i) d2->Write(StgValue::fromString("x"));
  d2->Commit();
  EXPECT_FALSE(r.Load(root.get(), "Kind"));

  // No Version stream, and no Data stream.
  auto sub3 = root->CreateStorage("NoVersion");
  sub3->CreateStream("Data")->Commit();
  EXPECT_FALSE(r.Load(root.get(), "NoVersion"));
  auto sub4 = root->CreateStorage("NoData");
  writeVersion(*sub4, "KM RQLists", 1.0f);
  EXPECT_FALSE(r.Load(root.get(), "NoData"));
}

TEST(BalanceRecord, StorageNameRulesAndMakeCopy) {
  KMX_OLEStgTool tool;
  auto root = memoryRoot(tool);
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

TEST(VisionRecord, RoundTripLayoutAndDefaultName) {
  KMX_OLEStgTool tool;
  auto root = memoryRoot(tool);
  KM_RQListTestVision w;
  w.sName = "Acuity Right";
  w.sVisitID = "V1";
  w.sSessionID = "S1";
  w.sTestID = "T9";
  w.dtDate = 45000.5;
  w.lEye = 1;
  w.dInterval = 1.5;
  w.dDistance = 6;
  w.lTestsPerSize = 5;
  w.lCorrectAnswers = 3;
  w.lFullScreen = -1;
  w.lHighContrast = 0;
  w.dAcuity = 0.8;
  w.lAcuityClass = 2;
  ASSERT_TRUE(w.Save(root.get(), ""));
  EXPECT_EQ(kinds(*root, "TestVision", "Data").toStdString(), "SSSSTLDDLLLLDL");
  KM_RQListTestVision back;
  ASSERT_TRUE(back.Load(root.get(), ""));
  EXPECT_TRUE(static_cast<const KM_RQListTestVisionData&>(back) == w);
  KM_RQListTestVision copy;
  copy.MakeCopy(back);
  EXPECT_DOUBLE_EQ(copy.dAcuity, 0.8);
  EXPECT_EQ(copy.storageName(), "");
}

}  // namespace
}  // namespace tarn
