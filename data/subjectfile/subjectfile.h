#pragma once
// The subject data file (".kpf"): one SQLite database per subject holding the subject's
// information, visits, sessions and tests with their recorded samples.
//
// The file is read whole into an in-memory database when it is opened and is not touched again
// until a save, which writes a complete new file beside the target and renames it over the
// target, so an interrupted save leaves the previous file as it was.
//
// Collections are 1-based; an index outside 1..Count gives nullptr. Dates are day counts
// (core/clock.h); truth values are 16-bit, -1 for true.
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "balance/plate/plate.h"

struct sqlite3;

namespace tarn {

inline constexpr char kSubjectFileIdentification[] = "Kamrith Labs MARC";
inline constexpr qint16 kTrue = -1;
inline constexpr qint16 kFalse = 0;

// Values of the enumerated Longs; other values are stored and returned unchanged.
enum SubjectSex : qint32 { kSexFemale = 0, kSexMale = 1, kSexNotGiven = 2 };
enum SubjectAnswer : qint32 { kAnswerNotGiven = 0, kAnswerNo = 1, kAnswerYes = 2 };
enum SubjectSide : qint32 { kSideNotGiven = 0, kSideRight = 1, kSideLeft = 2, kSideBoth = 3 };

struct SubjectInfo {
  QString sNameFirst, sNameMiddle, sNameLast, sSubjectID;
  qint32 lIsMale = kSexNotGiven;
  double dtDoB = -36522.0;  // missing date
  QString sStreet, sCity, sState, sZip, sPhone, sFax, sEmail, sNotes;
  friend bool operator==(const SubjectInfo&, const SubjectInfo&) = default;
};

struct PhysInfo {
  double dHeight = 0;  // m
  double dMass = 0;    // kg
  qint32 lPhysImpaired = kAnswerNotGiven;
  QString sPhysImpairedSpecify;
  qint32 lBlind = kAnswerNotGiven;
  QString sBlindSpecify;
  qint32 lDeaf = kAnswerNotGiven;
  QString sDeafSpecify;
  qint32 lDominantSide = kSideNotGiven;
  qint32 lPregnant = kAnswerNotGiven;
  QString sNotes;
  friend bool operator==(const PhysInfo&, const PhysInfo&) = default;
};

struct MedContact {
  QString sName, sSpecialty, sUPIN, sCompany, sStreet, sCity, sState, sZip, sPhone, sFax, sEmail;
  friend bool operator==(const MedContact&, const MedContact&) = default;
};

struct MedContacts {
  MedContact referredBy;     // who sent the subject
  MedContact sendResultsTo;  // who receives the results
  friend bool operator==(const MedContacts&, const MedContacts&) = default;
};

struct OperatorInfo {
  QString sOperatorName, sTestingCity, sTestingState, sNotes;
  friend bool operator==(const OperatorInfo&, const OperatorInfo&) = default;
};

// Recorded samples of a balance test as the file keeps them.
using StoredTestData = PlateTestDataBuffer;

template <class T>
class Collection {
 public:
  qint32 Count() const { return static_cast<qint32>(items_.size()); }
  T* Item(qint32 index) const {
    return index >= 1 && index <= Count() ? items_[static_cast<size_t>(index - 1)].get() : nullptr;
  }
  T* ItemByID(const QString& id) const {
    for (const auto& p : items_)
      if (p->id() == id) return p.get();
    return nullptr;
  }
  qint32 IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].get() == item) return static_cast<qint32>(i + 1);
    return 0;
  }
  bool Remove(qint32 index) {
    if (!Item(index)) return false;
    items_.erase(items_.begin() + (index - 1));
    return true;
  }
  T* append(std::unique_ptr<T> p) {
    items_.push_back(std::move(p));
    return items_.back().get();
  }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  void clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

class Visit;
class Session;

class BalanceTest {
 public:
  explicit BalanceTest(Session* session) : session_(session) {}
  Session* session() const { return session_; }
  const QString& id() const { return sTestID; }
  QString sVisitID() const;
  QString sSessionID() const;

  QString sTestID;  // "B1" and a four-digit number
  QString sName;
  double dtDate = -36522.0;
  qint16 bIsDone = kFalse;

  // Conditions: indexes into the option lists of the test window, 1-based.
  qint32 lTestType = 0;  // KM_RQNormTestType
  qint32 lSurface = 1, lEyes = 1, lStance = 1, lArms = 1, lShoes = 1, lHead = 1, lGaze = 1;
  qint32 lBreathing = 1, lMentalTask = 1;
  QString sShoesSpecify, sOtherConditions;

  // Timing (Hz, s) and beeps.
  float fFrequency = 0, fPretest = 0, fOrigDuration = 0, fActDuration = 0;
  qint16 bBeepBegin = kFalse, bBeepEnd = kFalse;

  // Plate and the zero the test was taken with.
  QString sPlate, sPlateSerial;
  qint16 bSouthernHemisphere = kFalse;
  qint32 lZeroDurationMs = 0, lExcitationMv = 0, lZeroSurface = 0;
  double dtZeroDate = -36522.0;  // missing: no zero
  float fZeroAve1 = 0, fZeroAve2 = 0, fZeroAve3 = 0;
  float fZeroSD1 = 0, fZeroSD2 = 0, fZeroSD3 = 0;
  float fZeroRMS1 = 0, fZeroRMS2 = 0, fZeroRMS3 = 0;

  // Results as computed when the test ended; fLoSX and fLoSY are the base limits of stability.
  qint32 lTotalSamples = 0, lValidSamples = 0;
  qint16 bIsInterrupted = kFalse, bIsFallen = kFalse;
  float fXo = 0, fYo = 0, fLoSX = 0, fLoSY = 0, fMaxMLSway = 0, fMaxAPSway = 0, f95MLSway = 0;
  float f95APSway = 0, f95MaxSway = 0, f95MinSway = 0, fMaxSway = 0, fAveSway = 0, fVMax = 0, fVAve = 0;
  float fAMax = 0, fAAve = 0, fPlen = 0, f95Area = 0, fStability = 0;
  qint32 lStabilityClass = 0;
  float fSwayDirection = 0, fDirectionality = 0, fMinMaxRatio = 0, fFatigue = 0, fParP = 0;
  float fHeight = 0, fWeight = 0, fBMI = 0;
  qint32 lBMIClass = 0;
  qint16 bBMIEnabled = kTrue;
  QString sNotes;

  // What the samples were recorded and analysed with: the plate's rotation and tilt angles (rad)
  // and the force threshold ("CoP Threshold F (N)", positive). Files written before these were
  // stored read them as 0; a threshold of 0 means the caller's current one.
  float fRotation = 0, fTilt1 = 0, fTilt2 = 0;
  float fCoPThresholdF = 0;

  bool hasZero() const;
  // The recorded samples, or nullptr when none were recorded.
  std::shared_ptr<const KMX_PlateTestData> TestData() const { return data_; }
  void SetTestData(const KMX_PlateTestData& data) { SetTestData(PlateTestDataBuffer::copyOf(data)); }
  void SetTestData(std::shared_ptr<const StoredTestData> data) {
    data_ = std::move(data);
    damagedChecksum_.reset();
  }
  void ClearTestData() { SetTestData(nullptr); }
  // The samples did not match the checksum stored with them when the file was read: they are
  // damaged and give no results. They are kept, and saved again with the checksum they came
  // with, so that they stay damaged.
  bool samplesDamaged() const { return damagedChecksum_.has_value(); }
  // Drops samples, measures and the done and fallen flags (a test about to be run again).
  void ClearResults();
  void ClearZero();  // forgets the zero the test was taken with

  std::shared_ptr<const StoredTestData> storedData() const { return data_; }
  void copyValuesFrom(const BalanceTest& other);  // every value and the samples, not the session

 private:
  friend class SubjectFile;
  Session* session_;
  std::shared_ptr<const StoredTestData> data_;
  std::optional<quint64> damagedChecksum_;  // the stored checksum the samples failed
};

class VisionTest {
 public:
  explicit VisionTest(Session* session) : session_(session) {}
  Session* session() const { return session_; }
  const QString& id() const { return sTestID; }
  QString sVisitID() const;
  QString sSessionID() const;

  QString sTestID;  // "W1" and a four-digit number
  QString sName;
  double dtDate = -36522.0;
  qint16 bIsDone = kFalse;
  qint32 lEye = 3;       // KM_RQVNormTestType
  double dInterval = 0;  // s between images
  double dDistance = 0;  // m
  qint32 lTestsPerSize = 0, lCorrectAnswers = 0;
  qint32 lFullScreen = 0, lHighContrast = 0;
  double dAcuity = 0;
  qint32 lAcuityClass = 0;  // KM_RQVNormsClass
  QString sNotes;

 private:
  Session* session_;
};

class Session {
 public:
  explicit Session(Visit* visit) : visit_(visit) {}
  Visit* visit() const { return visit_; }
  const QString& id() const { return sSessionID; }

  QString sSessionID;  // "S1" and a four-digit number
  QString sName;
  double dtDate = -36522.0;
  QString sEvaluation, sIntervention;
  OperatorInfo kmOperator;  // this program's operator data
  OperatorInfo sgOperator;  // the sibling program's

  const Collection<BalanceTest>& BalanceTests() const { return balance_; }
  const Collection<VisionTest>& VisionTests() const { return vision_; }
  qint32 BalanceTestCount() const { return balance_.Count(); }
  qint32 VisionTestCount() const { return vision_.Count(); }
  BalanceTest* BalanceTestItem(qint32 index) const { return balance_.Item(index); }
  VisionTest* VisionTestItem(qint32 index) const { return vision_.Item(index); }
  BalanceTest* BalanceTestByID(const QString& id) const { return balance_.ItemByID(id); }
  VisionTest* VisionTestByID(const QString& id) const { return vision_.ItemByID(id); }
  // New tests get the next free number shared by both kinds, so the numbers keep session order.
  BalanceTest* AddBalanceTest();
  VisionTest* AddVisionTest();
  bool RemoveBalanceTest(qint32 index) { return balance_.Remove(index); }
  bool RemoveVisionTest(qint32 index) { return vision_.Remove(index); }
  qint32 nextTestNumber() const;

 private:
  friend class SubjectFile;
  Visit* visit_;
  Collection<BalanceTest> balance_;
  Collection<VisionTest> vision_;
};

class Visit {
 public:
  Visit() = default;
  const QString& id() const { return sVisitID; }

  QString sVisitID;  // "V1" and a four-digit number
  QString sName;
  double dtDate = -36522.0;
  double dtTimeBegin = -36522.0;
  double dtTimeEnd = -36522.0;
  PhysInfo phys;
  MedContacts contacts;

  const Collection<Session>& Sessions() const { return sessions_; }
  qint32 SessionCount() const { return sessions_.Count(); }
  Session* SessionItem(qint32 index) const { return sessions_.Item(index); }
  Session* SessionByID(const QString& id) const { return sessions_.ItemByID(id); }
  Session* AddSession();  // dated now, with the next free ID
  bool RemoveSession(qint32 index) { return sessions_.Remove(index); }

 private:
  friend class SubjectFile;
  Collection<Session> sessions_;
};

class SubjectFile {
 public:
  SubjectFile();
  ~SubjectFile();
  SubjectFile(const SubjectFile&) = delete;
  SubjectFile& operator=(const SubjectFile&) = delete;

  // Reads the whole file; false with LastError() when it is missing, not a subject file, damaged,
  // or carries another identification. A failed open leaves the object closed.
  bool Open(const QString& path,
            const QString& identification = QString::fromLatin1(kSubjectFileIdentification));
  // The same from the bytes of a file (path only names it in messages).
  bool OpenBytes(const QByteArray& bytes, const QString& identification, const QString& path = QString());
  // A new empty file in memory; nothing is written until Save.
  bool CreateEmpty(const QString& identification = QString::fromLatin1(kSubjectFileIdentification));
  // Writes everything to path (blank: the file name in use) as one transaction and replaces the
  // file atomically; sets the last-edit date. On failure the file on disk is unchanged.
  bool Save(const QString& path = QString());
  void Close();

  // Whether path names an existing file this component opens with the identification: the
  // acceptability check of the session driver and of the file manager's import. The reason for a
  // refusal goes to *why when given.
  static bool IsAcceptable(const QString& path,
                           const QString& identification = QString::fromLatin1(kSubjectFileIdentification),
                           QString* why = nullptr);

  bool IsOpen() const { return db_ != nullptr; }
  const QString& FileName() const { return fileName_; }
  const QString& LastError() const { return lastError_; }

  // File properties.
  const QString& sIdentification() const { return identification_; }
  double dtCreationDate() const { return creationDate_; }
  double dtLastEditDate() const { return lastEditDate_; }
  QString sTitle;   // shown by file browsers: the subject's name
  QString sAuthor;  // the program that wrote the file

  SubjectInfo subject;

  const Collection<Visit>& Visits() const { return visits_; }
  qint32 VisitCount() const { return visits_.Count(); }
  Visit* VisitItem(qint32 index) const { return visits_.Item(index); }
  Visit* VisitByID(const QString& id) const { return visits_.ItemByID(id); }
  Visit* AddVisit();  // dated now, with the next free ID
  bool RemoveVisit(qint32 index) { return visits_.Remove(index); }
  qint32 SessionCount() const;  // over all visits

  // Test seam: called after the new file was written and synced and before it replaces the
  // target; returning false makes the save fail there (as a crash or full disk would).
  using BeforeRenameHook = std::function<bool(const QString& tempPath)>;
  static void setBeforeRenameHook(BeforeRenameHook hook);

  // 2: the plate angles and threshold of each test and a checksum of its samples. Files of
  // version 1 are read with those as 0 and unchecked, and written as version 2.
  static constexpr int kSchemaVersion = 2;

  // The checksum stored with a recording: 64 bits over its frequency, date, count and the
  // three channels as stored (little-endian float32 each). Each 8-byte word goes in through
  // steps that can be undone, so any one changed word changes it.
  static quint64 SamplesChecksum(double frequency, double acquired, qint64 count, const void* fz,
                                 const void* m1, const void* m2);

 private:
  bool fail(const QString& text);
  bool readAll(int version);
  bool writeAll();
  void resetContents();

  sqlite3* db_ = nullptr;
  QString fileName_;
  QString lastError_;
  QString identification_;
  double creationDate_ = -36522.0;
  double lastEditDate_ = -36522.0;
  Collection<Visit> visits_;
};

}  // namespace tarn
