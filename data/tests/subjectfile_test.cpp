// Subject files: every member saved and read back, numbering, clearing, refused and damaged
// files, interrupted and failed saves.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>

#include "core/clock.h"
#include "data/subjectfile/subjectfile.h"
#include "data/tests/data_testutil.h"

namespace tarn {
namespace {

using datatest::fileBytes;
using datatest::sandboxPath;
using datatest::writeBytes;

// Every persisted member, listed independently of the file code so a member that is not
// written or read back shows up here.
// clang-format off
#define SUBJECT_FIELDS(X) \
  X(sNameFirst) X(sNameMiddle) X(sNameLast) X(sSubjectID) X(lIsMale) X(dtDoB) X(sStreet) X(sCity) \
  X(sState) X(sZip) X(sPhone) X(sFax) X(sEmail) X(sNotes)
#define PHYS_FIELDS(X) \
  X(dHeight) X(dMass) X(lPhysImpaired) X(sPhysImpairedSpecify) X(lBlind) X(sBlindSpecify) X(lDeaf) \
  X(sDeafSpecify) X(lDominantSide) X(lPregnant) X(sNotes)
#define CONTACT_FIELDS(X) \
  X(sName) X(sSpecialty) X(sUPIN) X(sCompany) X(sStreet) X(sCity) X(sState) X(sZip) X(sPhone) X(sFax) X(sEmail)
#define OPERATOR_FIELDS(X) X(sOperatorName) X(sTestingCity) X(sTestingState) X(sNotes)
#define VISIT_FIELDS(X) X(sVisitID) X(sName) X(dtDate) X(dtTimeBegin) X(dtTimeEnd)
#define SESSION_FIELDS(X) X(sSessionID) X(sName) X(dtDate) X(sEvaluation) X(sIntervention)
#define BALANCE_FIELDS(X) \
  X(sTestID) X(sName) X(dtDate) X(bIsDone) X(lTestType) X(lSurface) X(lEyes) X(lStance) X(lArms) X(lShoes) \
  X(lHead) X(lGaze) X(lBreathing) X(lMentalTask) X(sShoesSpecify) X(sOtherConditions) X(fFrequency) \
  X(fPretest) X(fOrigDuration) X(fActDuration) X(bBeepBegin) X(bBeepEnd) X(sPlate) X(sPlateSerial) \
  X(bSouthernHemisphere) X(lZeroDurationMs) X(lExcitationMv) X(lZeroSurface) X(dtZeroDate) \
  X(fZeroAve1) X(fZeroAve2) X(fZeroAve3) X(fZeroSD1) X(fZeroSD2) X(fZeroSD3) X(fZeroRMS1) \
  X(fZeroRMS2) X(fZeroRMS3) X(lTotalSamples) X(lValidSamples) X(bIsInterrupted) X(bIsFallen) \
  X(fXo) X(fYo) X(fLoSX) X(fLoSY) X(fMaxMLSway) X(fMaxAPSway) X(f95MLSway) X(f95APSway) \
  X(f95MaxSway) X(f95MinSway) X(fMaxSway) X(fAveSway) X(fVMax) X(fVAve) X(fAMax) X(fAAve) X(fPlen) \
  X(f95Area) X(fStability) X(lStabilityClass) X(fSwayDirection) X(fDirectionality) X(fMinMaxRatio) \
  X(fFatigue) X(fParP) X(fHeight) X(fWeight) X(fBMI) X(lBMIClass) X(bBMIEnabled) X(sNotes) \
  X(fRotation) X(fTilt1) X(fTilt2) X(fCoPThresholdF)
#define VISION_FIELDS(X) \
  X(sTestID) X(sName) X(dtDate) X(bIsDone) X(lEye) X(dInterval) X(dDistance) X(lTestsPerSize) \
  X(lCorrectAnswers) X(lFullScreen) X(lHighContrast) X(dAcuity) X(lAcuityClass) X(sNotes)
// clang-format on

// Distinct non-default values by member type; truth values become -1.
void fillOne(QString& v, int& n) { v = QStringLiteral("t%1 äé€™\n\"'").arg(n++); }
void fillOne(qint32& v, int& n) { v = 1000 + n++; }
void fillOne(qint16& v, int& n) {
  v = -1;
  ++n;
}
void fillOne(float& v, int& n) { v = 0.1f * static_cast<float>(n++) + 1.0e-7f; }
void fillOne(double& v, int& n) { v = 40000.0 + n++ / 7.0; }

#define FILL(m) fillOne(o.m, n);
#define SAME(m) EXPECT_EQ(a.m, b.m) << #m;

// clang-format off
void fillSubject(SubjectInfo& o, int& n) { SUBJECT_FIELDS(FILL) }
void sameSubject(const SubjectInfo& a, const SubjectInfo& b) { SUBJECT_FIELDS(SAME) }
void fillPhys(PhysInfo& o, int& n) { PHYS_FIELDS(FILL) }
void samePhys(const PhysInfo& a, const PhysInfo& b) { PHYS_FIELDS(SAME) }
void fillContact(MedContact& o, int& n) { CONTACT_FIELDS(FILL) }
void sameContact(const MedContact& a, const MedContact& b) { CONTACT_FIELDS(SAME) }
void fillOperator(OperatorInfo& o, int& n) { OPERATOR_FIELDS(FILL) }
void sameOperator(const OperatorInfo& a, const OperatorInfo& b) { OPERATOR_FIELDS(SAME) }
void fillVisit(Visit& o, int& n) { VISIT_FIELDS(FILL) }
void sameVisit(const Visit& a, const Visit& b) { VISIT_FIELDS(SAME) }
void fillSession(Session& o, int& n) { SESSION_FIELDS(FILL) }
void sameSession(const Session& a, const Session& b) { SESSION_FIELDS(SAME) }
void fillBalance(BalanceTest& o, int& n) { BALANCE_FIELDS(FILL) o.bBMIEnabled = kFalse; }  // default true
void sameBalance(const BalanceTest& a, const BalanceTest& b) { BALANCE_FIELDS(SAME) }
void fillVision(VisionTest& o, int& n) { VISION_FIELDS(FILL) }
void sameVision(const VisionTest& a, const VisionTest& b) { VISION_FIELDS(SAME) }  // clang-format on

PlateTestDataBuffer awkwardSamples() {
  // clang-format off
  const float special[] = {0.0f, -0.0f, std::numeric_limits<float>::denorm_min(),
                           std::numeric_limits<float>::infinity(),
                           std::bit_cast<float>(0x7fc12345u),  // NaN with a payload
                           -712.3456f, std::numeric_limits<float>::max()};
  // clang-format on
  PlateTestDataBuffer s(64.0f, 46000.5);
  for (int i = 0; i < 1280; ++i)
    s.append(special[i % 7] - static_cast<float>(i), std::sin(i * 0.01f) * 3.3f, special[(i + 3) % 7]);
  return s;
}

void expectSameBits(const KMX_PlateTestData& a, const KMX_PlateTestData& b) {
  ASSERT_EQ(a.Count(), b.Count());
  EXPECT_EQ(a.Frequency(), b.Frequency());
  EXPECT_EQ(a.DateTime(), b.DateTime());
  for (int c = 0; c < 3; ++c)
    for (qint32 i = 0; i < a.Count(); ++i)
      ASSERT_EQ(std::bit_cast<quint32>(a.Sample(c, i)), std::bit_cast<quint32>(b.Sample(c, i)))
          << c << ":" << i;
}

// A file with two visits, the second with two sessions, every value set.
void buildFull(SubjectFile& f, int& n) {
  ASSERT_TRUE(f.CreateEmpty());
  fillSubject(f.subject, n);
  f.sTitle = QStringLiteral("Title");
  f.sAuthor = QStringLiteral("Author");
  for (int v = 0; v < 2; ++v) {
    Visit* visit = f.AddVisit();
    fillVisit(*visit, n);
    fillPhys(visit->phys, n);
    fillContact(visit->contacts.referredBy, n);
    fillContact(visit->contacts.sendResultsTo, n);
    for (int s = 0; s <= v; ++s) {
      Session* session = visit->AddSession();
      fillSession(*session, n);
      fillOperator(session->kmOperator, n);
      fillOperator(session->sgOperator, n);
      for (int t = 0; t < 2; ++t) fillBalance(*session->AddBalanceTest(), n);
      fillVision(*session->AddVisionTest(), n);
    }
  }
}

TEST(SubjectFileRoundTrip, EveryValueComesBackAndStaysWhenSavedAgain) {
  clock::setNow(QDateTime(QDate(2026, 3, 4), QTime(10, 0)));
  SubjectFile f;
  int n = 0;
  buildFull(f, n);
  const PlateTestDataBuffer samples = awkwardSamples();
  f.VisitItem(2)->SessionItem(2)->BalanceTestItem(1)->SetTestData(samples);
  const QString p = sandboxPath(QStringLiteral("full.kpf"));
  clock::setNow(QDateTime(QDate(2026, 3, 5), QTime(11, 30)));
  ASSERT_TRUE(f.Save(p)) << f.LastError().toStdString();
  EXPECT_EQ(f.FileName(), p);

  SubjectFile g;
  ASSERT_TRUE(g.Open(p)) << g.LastError().toStdString();
  clock::setNow(QDateTime());
  EXPECT_EQ(g.sIdentification(), QStringLiteral("Kamrith Labs MARC"));
  EXPECT_EQ(g.dtCreationDate(), clock::toDays(QDateTime(QDate(2026, 3, 4), QTime(10, 0))));
  EXPECT_EQ(g.dtLastEditDate(), clock::toDays(QDateTime(QDate(2026, 3, 5), QTime(11, 30))));
  EXPECT_EQ(g.sTitle, QStringLiteral("Title"));
  EXPECT_EQ(g.sAuthor, QStringLiteral("Author"));
  sameSubject(f.subject, g.subject);
  ASSERT_EQ(g.VisitCount(), 2);
  EXPECT_EQ(g.SessionCount(), 3);
  for (int v = 1; v <= 2; ++v) {
    const Visit& a = *f.VisitItem(v);
    const Visit& b = *g.VisitItem(v);
    sameVisit(a, b);
    samePhys(a.phys, b.phys);
    sameContact(a.contacts.referredBy, b.contacts.referredBy);
    sameContact(a.contacts.sendResultsTo, b.contacts.sendResultsTo);
    ASSERT_EQ(b.SessionCount(), v);
    for (int s = 1; s <= v; ++s) {
      const Session& sa = *a.SessionItem(s);
      const Session& sb = *b.SessionItem(s);
      sameSession(sa, sb);
      sameOperator(sa.kmOperator, sb.kmOperator);
      sameOperator(sa.sgOperator, sb.sgOperator);
      ASSERT_EQ(sb.BalanceTestCount(), 2);
      ASSERT_EQ(sb.VisionTestCount(), 1);
      for (int t = 1; t <= 2; ++t) sameBalance(*sa.BalanceTestItem(t), *sb.BalanceTestItem(t));
      sameVision(*sa.VisionTestItem(1), *sb.VisionTestItem(1));
      EXPECT_EQ(sb.BalanceTestItem(1)->sVisitID(), b.sVisitID);
      EXPECT_EQ(sb.VisionTestItem(1)->sSessionID(), sb.sSessionID);
    }
  }
  const auto stored = g.VisitItem(2)->SessionItem(2)->BalanceTestItem(1)->TestData();
  ASSERT_NE(stored, nullptr);
  expectSameBits(samples, *stored);
  EXPECT_EQ(g.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->TestData(), nullptr);

  // Saved again into the file it was opened from, the recording stays; any non-zero truth value
  // is stored as -1.
  g.subject.sNameLast = QStringLiteral("Second");
  g.VisitItem(2)->SessionItem(2)->BalanceTestItem(1)->bIsFallen = 1;
  ASSERT_TRUE(g.Save());
  SubjectFile h;
  ASSERT_TRUE(h.Open(p));
  EXPECT_EQ(h.subject.sNameLast, QStringLiteral("Second"));
  const BalanceTest& again = *h.VisitItem(2)->SessionItem(2)->BalanceTestItem(1);
  EXPECT_EQ(again.bIsFallen, -1);
  ASSERT_NE(again.TestData(), nullptr);
  expectSameBits(samples, *again.TestData());
}

TEST(SubjectFileModel, NumbersFindsAndRemovesInOneBasedOrder) {
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  Visit* v1 = f.AddVisit();
  Visit* v2 = f.AddVisit();
  EXPECT_EQ(v1->sVisitID, QStringLiteral("V10001"));
  EXPECT_EQ(v2->sVisitID, QStringLiteral("V10002"));
  EXPECT_EQ(f.VisitItem(0), nullptr);
  EXPECT_EQ(f.VisitItem(3), nullptr);
  EXPECT_EQ(f.VisitByID(QStringLiteral("V10002")), v2);
  Session* s = v2->AddSession();
  EXPECT_EQ(s->sSessionID, QStringLiteral("S10001"));
  EXPECT_EQ(s->visit(), v2);
  // Balance and vision tests share one running number, so the numbers keep the session order.
  EXPECT_EQ(s->AddBalanceTest()->sTestID, QStringLiteral("B10001"));
  EXPECT_EQ(s->AddVisionTest()->sTestID, QStringLiteral("W10002"));
  EXPECT_EQ(s->AddBalanceTest()->sTestID, QStringLiteral("B10003"));
  EXPECT_EQ(s->BalanceTestByID(QStringLiteral("B10003")), s->BalanceTestItem(2));
  EXPECT_EQ(s->VisionTestByID(QStringLiteral("B10003")), nullptr);
  EXPECT_TRUE(s->RemoveBalanceTest(1));
  EXPECT_FALSE(s->RemoveBalanceTest(2));
  EXPECT_EQ(s->BalanceTestItem(1)->sTestID, QStringLiteral("B10003"));
  EXPECT_EQ(s->AddBalanceTest()->sTestID, QStringLiteral("B10004"));

  EXPECT_TRUE(f.RemoveVisit(1));
  EXPECT_EQ(f.AddVisit()->sVisitID, QStringLiteral("V10003"));
  const QString p = sandboxPath(QStringLiteral("model.kpf"));
  ASSERT_TRUE(f.Save(p));
  SubjectFile g;
  ASSERT_TRUE(g.Open(p));
  ASSERT_EQ(g.VisitCount(), 2);
  EXPECT_EQ(g.VisitItem(1)->sVisitID, QStringLiteral("V10002"));
  EXPECT_EQ(g.VisitItem(1)->SessionItem(1)->BalanceTestCount(), 2);
  EXPECT_EQ(g.VisitItem(2)->SessionCount(), 0);
}

TEST(SubjectFileModel, ClearingResultsAndZeroKeepsTheSettings) {
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  BalanceTest* t = f.AddVisit()->AddSession()->AddBalanceTest();
  int n = 0;
  fillBalance(*t, n);
  t->SetTestData(awkwardSamples());
  const BalanceTest before = *t;
  t->ClearResults();
  EXPECT_EQ(t->TestData(), nullptr);
  EXPECT_EQ(std::tuple(t->bIsDone, t->bIsFallen, t->fStability, t->lTotalSamples, t->dtDate),
            std::tuple(0, 0, 0.0f, 0, clock::kMissingDate));
  EXPECT_EQ(std::tie(t->fFrequency, t->lStance, t->sName, t->fHeight),
            std::tie(before.fFrequency, before.lStance, before.sName, before.fHeight));
  EXPECT_TRUE(t->hasZero());
  t->ClearZero();
  EXPECT_FALSE(t->hasZero());
  EXPECT_EQ(t->sPlate, before.sPlate);
}

TEST(SubjectFileOpen, RefusesAnotherIdentificationAndFilesThatAreNotSubjectFiles) {
  struct Case {
    const char* name;
    std::function<void(const QString&)> make;  // nothing made: the name does not exist
    const char* message;                       // part of the refusal
  };
  const Case cases[] = {
      {"other.kpf",
       [](const QString& p) {
         SubjectFile f;
         ASSERT_TRUE(f.CreateEmpty(QStringLiteral("Other Maker FILE")));
         ASSERT_TRUE(f.Save(p));
       },
       "Other Maker FILE"},
      {"missing.kpf", nullptr, "does not exist"},
      {"garbage.kpf", [](const QString& p) { writeBytes(p, QByteArray(5000, 'x')); }, "not a subject file"},
      {"empty.kpf", [](const QString& p) { writeBytes(p, QByteArray()); }, "not a subject file"},
      {"folder.kpf", [](const QString& p) { QDir().mkpath(p); }, "does not exist"},
      // A valid SQLite database of someone else's, wearing our identification.
      {"foreign.kpf",
       [](const QString& p) {
         datatest::execSql(p,
                           "CREATE TABLE properties(name TEXT, value); INSERT INTO properties VALUES("
                           "'Identification', 'Kamrith Labs MARC'); PRAGMA user_version = 1;");
       },
       "not a subject file"},
  };
  SubjectFile g;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString p = sandboxPath(QString::fromLatin1(c.name));
    if (c.make) c.make(p);
    EXPECT_FALSE(g.Open(p));
    EXPECT_FALSE(g.IsOpen());
    EXPECT_TRUE(g.LastError().contains(QLatin1String(c.message))) << g.LastError().toStdString();
  }
  // The other maker's file is sound: it opens when its identification is asked for.
  EXPECT_TRUE(g.Open(sandboxPath(QStringLiteral("other.kpf")), QStringLiteral("Other Maker FILE")));
}

TEST(SubjectFileOpen, DamagedFilesFailCleanly) {
  SubjectFile f;
  int n = 0;
  buildFull(f, n);
  f.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->SetTestData(awkwardSamples());
  const QString good = sandboxPath(QStringLiteral("good.kpf"));
  ASSERT_TRUE(f.Save(good));
  const QByteArray bytes = fileBytes(good);
  const QString p = sandboxPath(QStringLiteral("damaged.kpf"));
  SubjectFile g;
  for (qsizetype cut :
       {qsizetype(16), qsizetype(100), qsizetype(4096), bytes.size() / 2, bytes.size() - 4096}) {
    writeBytes(p, bytes.left(cut));
    EXPECT_FALSE(g.Open(p)) << cut;
    EXPECT_FALSE(g.IsOpen());
    EXPECT_FALSE(g.LastError().isEmpty());
  }
  // Overwriting pages with noise must never crash; most such files are refused.
  for (qsizetype at = 4096; at + 512 < bytes.size(); at += 4096) {
    QByteArray b = bytes;
    for (int i = 0; i < 512; ++i) b[at + i] = static_cast<char>((i * 37 + at) & 0xff);
    writeBytes(p, b);
    if (g.Open(p)) g.Close();
  }

  struct Case {
    const char* sql;
    const char* expected;
  } cases[] = {
      {"UPDATE balance_samples SET sample_count = sample_count + 1", "damaged"},
      {"UPDATE balance_samples SET m2 = x'00'", "damaged"},
      {"PRAGMA user_version = 3", "newer version"},
      {"DELETE FROM subject", "damaged"},
      {"PRAGMA foreign_keys = OFF; INSERT INTO session(id, visit, position) VALUES (99, 77, 1)", "damaged"},
      {"CREATE TABLE extra(x)", "not a subject file"},
      {"DELETE FROM properties WHERE name = 'Identification'", "damaged"},
  };
  for (const Case& c : cases) {
    QFile::remove(p);
    ASSERT_TRUE(QFile::copy(good, p));
    datatest::execSql(p, c.sql);
    EXPECT_FALSE(g.Open(p)) << c.sql;
    EXPECT_TRUE(g.LastError().contains(QLatin1String(c.expected)))
        << c.sql << ": " << g.LastError().toStdString();
  }
}

TEST(SubjectFileOpen, DamagedSamplesInAnIntactFileMakeADamagedTest) {
  // 64 bytes flipped inside a recording: the file itself stays sound, so only the checksum
  // stored with the samples tells.
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  Session* s = f.AddVisit()->AddSession();
  PlateTestDataBuffer samples(100.0f, 45000.5);
  for (int i = 0; i < 2000; ++i) samples.append(-700.0f, 7.0f + 0.25f * (i % 40), 3.5f);
  s->AddBalanceTest()->SetTestData(samples);
  s->AddBalanceTest()->SetTestData(samples);
  const QString p = sandboxPath(QStringLiteral("flipped.kpf"));
  ASSERT_TRUE(f.Save(p));
  datatest::flipBytesAfter(p, QByteArray(reinterpret_cast<const char*>(samples.channel(1)), 400), 100, 64);

  SubjectFile g;
  ASSERT_TRUE(g.Open(p)) << g.LastError().toStdString();
  const BalanceTest* hit = g.VisitItem(1)->SessionItem(1)->BalanceTestItem(1);
  const BalanceTest* other = g.VisitItem(1)->SessionItem(1)->BalanceTestItem(2);
  EXPECT_TRUE(hit->samplesDamaged());
  EXPECT_FALSE(other->samplesDamaged());
  ASSERT_NE(hit->TestData(), nullptr);  // kept as they are
  EXPECT_NE(hit->TestData()->Sample(1, 30), samples.Sample(1, 30));

  // Saved again, they stay damaged; new samples in their place are sound.
  ASSERT_TRUE(g.Save());
  SubjectFile h;
  ASSERT_TRUE(h.Open(p));
  EXPECT_TRUE(h.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->samplesDamaged());
  h.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->SetTestData(samples);
  ASSERT_TRUE(h.Save());
  ASSERT_TRUE(g.Open(p));
  EXPECT_FALSE(g.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->samplesDamaged());
}

TEST(SubjectFileOpen, FilesOfTheFirstVersionReadWithoutAnglesAndAreWrittenAsTheCurrentOne) {
  const QString p = sandboxPath(QStringLiteral("old.kpf"));
  ASSERT_TRUE(QFile::copy(datatest::corpusDir("subjectfile_reader").filePath("small.kpf"), p));
  QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
  SubjectFile f;
  ASSERT_TRUE(f.Open(p)) << f.LastError().toStdString();
  const BalanceTest* t = f.VisitItem(1)->SessionItem(1)->BalanceTestItem(1);
  EXPECT_EQ(std::tuple(t->fRotation, t->fTilt1, t->fTilt2, t->fCoPThresholdF),
            std::tuple(0.f, 0.f, 0.f, 0.f));
  EXPECT_FALSE(t->samplesDamaged());
  const PlateTestDataBuffer samples = *PlateTestDataBuffer::copyOf(*t->TestData());
  f.VisitItem(1)->SessionItem(1)->BalanceTestItem(1)->fRotation = 0.25f;
  ASSERT_TRUE(f.Save()) << f.LastError().toStdString();

  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(p).constData(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
  EXPECT_EQ(sqlite3_column_int(st, 0), SubjectFile::kSchemaVersion);
  sqlite3_finalize(st);
  sqlite3_close(db);
  SubjectFile g;
  ASSERT_TRUE(g.Open(p)) << g.LastError().toStdString();
  const BalanceTest* back = g.VisitItem(1)->SessionItem(1)->BalanceTestItem(1);
  EXPECT_EQ(back->fRotation, 0.25f);
  EXPECT_FALSE(back->samplesDamaged());
  expectSameBits(samples, *back->TestData());
}

TEST(SubjectFileSave, InterruptedSaveLeavesThePreviousFile) {
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  f.subject.sNameLast = QStringLiteral("Before");
  const QString p = sandboxPath(QStringLiteral("subject.kpf"));
  ASSERT_TRUE(f.Save(p));
  const QByteArray before = fileBytes(p);

  f.subject.sNameLast = QStringLiteral("After");
  f.AddVisit();
  QString seenTemp;
  SubjectFile::setBeforeRenameHook([&](const QString& temp) {
    seenTemp = temp;
    return false;  // the program dies between writing the new file and renaming it
  });
  EXPECT_FALSE(f.Save());
  SubjectFile::setBeforeRenameHook({});
  EXPECT_FALSE(f.LastError().isEmpty());
  EXPECT_EQ(QFileInfo(seenTemp).absolutePath(), QFileInfo(p).absolutePath());
  EXPECT_FALSE(QFile::exists(seenTemp));
  EXPECT_EQ(fileBytes(p), before);
  EXPECT_EQ(QDir(testsupport::sandboxFolder()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"subject.kpf"});
  SubjectFile g;
  ASSERT_TRUE(g.Open(p));
  EXPECT_EQ(g.subject.sNameLast, QStringLiteral("Before"));
  EXPECT_EQ(g.VisitCount(), 0);

  ASSERT_TRUE(f.Save());
  ASSERT_TRUE(g.Open(p));
  EXPECT_EQ(g.subject.sNameLast, QStringLiteral("After"));
  EXPECT_EQ(g.VisitCount(), 1);
}

TEST(SubjectFileSave, UnwritableTargetFailsAndTheDataStaysOpen) {
  SubjectFile f;
  EXPECT_FALSE(f.Save(sandboxPath(QStringLiteral("closed.kpf"))));  // nothing open
  ASSERT_TRUE(f.CreateEmpty());
  EXPECT_FALSE(f.Save());  // no name yet
  f.subject.sNameFirst = QStringLiteral("Kept");
  EXPECT_FALSE(f.Save(sandboxPath(QStringLiteral("no/such/folder/x.kpf"))));
  EXPECT_FALSE(f.LastError().isEmpty());
  EXPECT_TRUE(f.IsOpen());
  const QString p = sandboxPath(QStringLiteral("x.kpf"));
  ASSERT_TRUE(f.Save(p));
  SubjectFile g;
  ASSERT_TRUE(g.Open(p));
  EXPECT_EQ(g.subject.sNameFirst, QStringLiteral("Kept"));
  EXPECT_EQ(g.subject.dtDoB, clock::kMissingDate);
  EXPECT_EQ(g.subject.lIsMale, kSexNotGiven);
}

TEST(SubjectFileSave, TheFileIsTheUsersAloneWhateverTheUmaskOrTheFileItReplaces) {
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  const QString p = sandboxPath(QStringLiteral("perm.kpf"));
  const mode_t old = ::umask(0);
  ASSERT_TRUE(f.Save(p));
  ::umask(old);
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(p).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0644), 0);
  ASSERT_TRUE(f.Save());
  ASSERT_EQ(::stat(QFile::encodeName(p).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u) << "health data never becomes readable by others";
}

TEST(SubjectFileOpen, AFileWithACostlyCheckOfItsOwnIsRefusedAtOnce) {
  SubjectFile f;
  ASSERT_TRUE(f.CreateEmpty());
  const QString p = sandboxPath(QStringLiteral("hostile.kpf"));
  ASSERT_TRUE(f.Save(p));
  // Rows whose CHECK constraint costs many milliseconds each: checking them all takes most of a
  // minute. The constraint is planted in the schema afterwards, as a hostile file would have it.
  datatest::execSql(p,
                    "CREATE TABLE pad(x INTEGER);"
                    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000)"
                    " INSERT INTO pad SELECT i FROM n;"
                    "PRAGMA writable_schema = ON;"
                    "UPDATE sqlite_schema SET sql = 'CREATE TABLE pad(x INTEGER CHECK("
                    "length(printf(''%.*c'', 1000000 + x, ''x'')) > x))' WHERE name = 'pad';");
  QElapsedTimer t;
  t.start();
  SubjectFile g;
  EXPECT_FALSE(g.Open(p));
  EXPECT_LT(t.elapsed(), 5000) << "the station would not start for as long";
  EXPECT_TRUE(g.LastError().contains("not a subject file")) << g.LastError().toStdString();
}

}  // namespace
}  // namespace tarn
