#include "data/lists/listentry.h"

#include <QFileInfo>

#include <atomic>
#include <cmath>
#include <limits>

#include "balance/analysis/analysis.h"
#include "balance/norms/norms.h"
#include "balance/procedures/plausibility.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "data/records/recordio.h"
#include "data/records/storedanalysis.h"
#include "data/storage/olestg.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn {
namespace {

std::atomic<qint64> g_filesOpened{0};

// The entry's own stream beside those of the list file format: what the file system said of the
// subject file, whether it was damaged and which of its recordings are.
constexpr char kCheckStream[] = "Check";

const KM_RQSummarySet kNoSummary{};

// A stored count reserves room up to this many records at once; a damaged count claims anything.
constexpr qint32 kMaxReserved = 1024;

void readSummary(recordio::Reader& rd, KM_RQResultSummary& s) {
  rd.date(s.dtDate);
  rd.single(s.fValue);
  rd.long32(s.lClass);
}

void writeSummary(recordio::Writer& wr, const KM_RQResultSummary& s) {
  wr.date(s.dtDate);
  wr.single(s.fValue);
  wr.long32(s.lClass);
}

// A count read from a file; negative counts mean damage.
qint32 readCount(recordio::Reader& rd, const char* what) {
  qint32 n = 0;
  rd.long32(n);
  if (n < 0) throw StorageError(std::string("negative count of ") + what);
  return n;
}

void readSummaries(recordio::Reader& rd, std::vector<KM_RQSummarySet>& table, const char* what) {
  const qint32 n = readCount(rd, what);
  table.clear();
  for (qint32 k = 0; k < n; ++k) {  // grows as values arrive, so a bogus count costs nothing
    KM_RQSummarySet set;
    readSummary(rd, set.lowest);
    readSummary(rd, set.highest);
    readSummary(rd, set.first);
    readSummary(rd, set.last);
    table.push_back(set);
  }
}

void writeSummaries(recordio::Writer& wr, const std::vector<KM_RQSummarySet>& table) {
  wr.long32(static_cast<qint32>(table.size()));
  for (const KM_RQSummarySet& set : table) {
    writeSummary(wr, set.lowest);
    writeSummary(wr, set.highest);
    writeSummary(wr, set.first);
    writeSummary(wr, set.last);
  }
}

// The entry's "Data" stream, in order.
template <class IO, class Entry>
void entryData(IO& io, Entry& e, qint32& visits, qint32& sessions, double& created, double& edited,
               double& lastST, qint32& stVisits, qint32& stSessions) {
  io.text(e.sFileName);
  io.long32(e.lFileSize);
  io.single(e.fMinCoPFzForAnalysis);
  io.text(e.sSubjFName);
  io.text(e.sSubjMName);
  io.text(e.sSubjLName);
  io.text(e.sSubjID);
  io.long32(e.lIsMale);
  io.date(e.dtSubjDoB);
  io.dbl(e.dSubjHeight);
  io.long32(visits);
  io.long32(sessions);
  io.date(created);
  io.date(edited);
  io.date(lastST);
  io.long32(stVisits);
  io.long32(stSessions);
}

// Keeps a copied value only when a test can have it; says whether it could.
template <class T>
bool keep(plausible::Quantity q, T& v, T otherwise = T(0)) {
  if (plausible::isPlausible(q, static_cast<double>(v))) return true;
  v = otherwise;
  return false;
}
bool keep(plausible::Code c, qint32& v) {
  if (plausible::isPlausible(c, v)) return true;
  v = 0;
  return false;
}

// The settings and physical data copied into a balance record; values no test can have (a
// damaged subject file) are cleared, and the test counts as damaged.
bool keepPlausible(KM_RQListTestBalance& r) {
  using Q = plausible::Quantity;
  bool ok = keep(plausible::Code::TestType, r.lTestType);
  ok = keep(Q::Date, r.dtDate, clock::kMissingDate) && ok;
  ok = keep(Q::Frequency, r.fFrequency) && ok;
  for (float* s : {&r.fPretest, &r.fOrigDuration, &r.fActDuration}) ok = keep(Q::Seconds, *s) && ok;
  for (float* d : {&r.fLoSX, &r.fLoSY}) ok = keep(Q::Distance, *d) && ok;
  ok = keep(Q::Height, r.fHeight) && ok;
  return keep(Q::Mass, r.fWeight) && ok;
}

bool keepPlausible(KM_RQListTestVision& r) {
  using Q = plausible::Quantity;
  bool ok = keep(plausible::Code::Eye, r.lEye);
  ok = keep(plausible::Code::VisionClass, r.lAcuityClass) && ok;
  ok = keep(Q::Date, r.dtDate, clock::kMissingDate) && ok;
  ok = keep(Q::Seconds, r.dInterval) && ok;
  ok = keep(Q::Distance, r.dDistance) && ok;
  return keep(Q::Acuity, r.dAcuity) && ok;
}

qint32 clampLength(qint64 len) {
  if (len < 0) return 0;
  return len > std::numeric_limits<qint32>::max() ? std::numeric_limits<qint32>::max()
                                                  : static_cast<qint32>(len);
}

}  // namespace

void KM_RQSummarySet::add(double date, float value, qint32 cls) {
  const KM_RQResultSummary s{date, value, cls};
  if (value <= lowest.fValue) lowest = s;
  if (value >= highest.fValue) highest = s;
  if (date <= first.dtDate) first = s;
  if (date >= last.dtDate) last = s;
}

KM_RQSummarySet KM_RQSummarySet::rebuildStart() {
  KM_RQSummarySet s;
  s.lowest.fValue = 200.0f;
  s.highest.fValue = -1.0f;
  s.first.dtDate = kFirstDateStart;
  s.last.dtDate = clock::kMissingDate;
  return s;
}

KM_RQRefreshContext KM_RQRefreshContext::fromSettings() {
  KM_RQRefreshContext c;
  c.normsVersion = NormsVersion();
  c.stanceFactors = ReadStanceFactors();
  return c;
}

KM_RQListFile::KM_RQListFile() { reset(); }

void KM_RQListFile::reset() {
  sFileName.clear();
  clearContents();
  sVersion_ = recordio::versionText();
  fVersion_ = recordio::kVersionNumber;
}

void KM_RQListFile::clearContents() {
  lFileSize = 0;
  fMinCoPFzForAnalysis = 0;
  sSubjFName.clear();
  sSubjMName.clear();
  sSubjLName.clear();
  sSubjID.clear();
  lIsMale = 0;
  dtSubjDoB = 0;
  dSubjHeight = 0;
  lVisitCount_ = lSessionCount_ = lSTVisitCount_ = lSTSessionCount_ = lTestBMICount_ = 0;
  dtCreationDate_ = dtLastEditDate_ = dtLastSTDate_ = clock::kMissingDate;
  bSummary_.assign(kBalanceKinds, KM_RQSummarySet{});
  bmiSummary_.assign(kBMIKinds, KM_RQSummarySet{});
  vSummary_.assign(kVisionKinds, KM_RQSummarySet{});
  balance_.clear();
  vision_.clear();
  sStamp_.clear();
  bDamaged_ = false;
  sDamage_.clear();
  damagedTests_.clear();
}

bool KM_RQListFile::isBalanceTestDamaged(qint32 index) const {
  return std::find(damagedTests_.begin(), damagedTests_.end(), index) != damagedTests_.end();
}

// Values a rebuild can give: a list file whose entry holds others was damaged or made elsewhere,
// and what it says of a subject is not to be shown.
bool KM_RQListFile::cacheIsPlausible(QString* why) const {
  using plausible::Code;
  using plausible::isPlausible;
  using Q = plausible::Quantity;
  const auto bad = [&](const char* what) {
    *why = QString::fromLatin1(what);
    return false;
  };
  if (!isPlausible(Code::Sex, lIsMale) || !isPlausible(Q::Date, dtSubjDoB) ||
      !isPlausible(Q::Height, dSubjHeight))
    return bad("subject");
  for (const double d : {dtCreationDate_, dtLastEditDate_, dtLastSTDate_})
    if (!std::isnan(d) && !isPlausible(Q::Date, d)) return bad("dates");
  for (const qint32 n : {lVisitCount_, lSessionCount_, lSTVisitCount_, lSTSessionCount_, lTestBMICount_})
    if (!isPlausible(Q::Items, n)) return bad("counts");
  const auto summaries = [&](const std::vector<KM_RQSummarySet>& table, Code code) {
    for (const KM_RQSummarySet& set : table)
      for (const KM_RQResultSummary& r : {set.lowest, set.highest, set.first, set.last})
        if (!isPlausible(Q::Result, r.fValue) || !isPlausible(code, r.lClass) ||
            !isPlausible(Q::Date, r.dtDate))
          return false;
    return true;
  };
  if (!summaries(bSummary_, Code::StabilityClass) || !summaries(bmiSummary_, Code::BMIClass) ||
      !summaries(vSummary_, Code::VisionClass))
    return bad("summaries");
  for (const KM_RQListTestBalance& r : balance_) {
    if (!isPlausible(Code::TestType, r.lTestType) || !isPlausible(Code::StabilityClass, r.lStabilityClass) ||
        !isPlausible(Code::BMIClass, r.lBMIClass) || !isPlausible(Q::Stability, r.fStability) ||
        !isPlausible(Q::BMI, r.fBMI) || !isPlausible(Q::Height, r.fHeight) ||
        !isPlausible(Q::Mass, r.fWeight) || !isPlausible(Q::Frequency, r.fFrequency) ||
        !isPlausible(Q::Seconds, r.fPretest) || !isPlausible(Q::Seconds, r.fOrigDuration) ||
        !isPlausible(Q::Seconds, r.fActDuration) || !isPlausible(Q::Date, r.dtDate))
      return bad("balance test");
    for (const float m : {r.fXo,          r.fYo,       r.fLoSX,     r.fLoSY,          r.fMaxMLSway,
                          r.fMaxAPSway,   r.f95MLSway, r.f95APSway, r.f95MaxSway,     r.f95MinSway,
                          r.fMaxSway,     r.fAveSway,  r.fVMax,     r.fVAve,          r.fAMax,
                          r.fAAve,        r.fPlen,     r.f95Area,   r.fSwayDirection, r.fDirectionality,
                          r.fMinMaxRatio, r.fFatigue,  r.fParP})
      if (!std::isfinite(m)) return bad("balance measures");
  }
  for (const KM_RQListTestVision& r : vision_)
    if (!isPlausible(Code::Eye, r.lEye) || !isPlausible(Code::VisionClass, r.lAcuityClass) ||
        !isPlausible(Q::Acuity, r.dAcuity) || !isPlausible(Q::Seconds, r.dInterval) ||
        !isPlausible(Q::Distance, r.dDistance) || !isPlausible(Q::Date, r.dtDate))
      return bad("vision test");
  for (const qint32 i : damagedTests_)
    if (i < 1 || i > lTestBalanceCount()) return bad("damaged tests");
  return true;
}

const KM_RQListTestBalance* KM_RQListFile::ltTestBalanceItem(qint32 index) const {
  return index >= 1 && index <= lTestBalanceCount() ? &balance_[static_cast<size_t>(index - 1)] : nullptr;
}

const KM_RQListTestVision* KM_RQListFile::ltTestVisionItem(qint32 index) const {
  return index >= 1 && index <= lTestVisionCount() ? &vision_[static_cast<size_t>(index - 1)] : nullptr;
}

bool KM_RQListFile::setTestBalanceItem(qint32 index, const KM_RQListTestBalance& record) {
  if (index >= 1 && index <= lTestBalanceCount()) {
    balance_[static_cast<size_t>(index - 1)].MakeCopy(record);
  } else if (index == lTestBalanceCount() + 1) {
    balance_.emplace_back().MakeCopy(record);
  } else {
    return false;
  }
  return true;
}

bool KM_RQListFile::setTestVisionItem(qint32 index, const KM_RQListTestVision& record) {
  if (index >= 1 && index <= lTestVisionCount()) {
    vision_[static_cast<size_t>(index - 1)].MakeCopy(record);
  } else if (index == lTestVisionCount() + 1) {
    vision_.emplace_back().MakeCopy(record);
  } else {
    return false;
  }
  return true;
}

const KM_RQSummarySet& KM_RQListFile::balanceAt(qint32 type) const {
  return type >= 1 && type <= kBalanceKinds && type <= static_cast<qint32>(bSummary_.size())
             ? bSummary_[static_cast<size_t>(type - 1)]
             : kNoSummary;
}

const KM_RQSummarySet& KM_RQListFile::bmiAt(qint32 kind) const {
  return kind >= 1 && kind <= static_cast<qint32>(bmiSummary_.size())
             ? bmiSummary_[static_cast<size_t>(kind - 1)]
             : kNoSummary;
}

const KM_RQSummarySet& KM_RQListFile::visionAt(qint32 eye) const {
  return eye >= 1 && eye <= kVisionKinds && eye <= static_cast<qint32>(vSummary_.size())
             ? vSummary_[static_cast<size_t>(eye - 1)]
             : kNoSummary;
}

float KM_RQListFile::fBMinLowestStability() const {
  float v = 200.0f;
  for (const auto& s : bSummary_) v = std::min(v, s.lowest.fValue);
  return v;
}

qint32 KM_RQListFile::fBMinLowestStabClass() const {
  qint32 c = -1;
  for (const auto& s : bSummary_) c = std::max(c, s.lowest.lClass);
  return c;
}

float KM_RQListFile::fBMaxHighestStability() const {
  float v = -1.0f;
  for (const auto& s : bSummary_) v = std::max(v, s.highest.fValue);
  return v;
}

qint32 KM_RQListFile::fBMaxHighestStabClass() const {
  qint32 c = 50;
  for (const auto& s : bSummary_) c = std::min(c, s.highest.lClass);
  return c;
}

float KM_RQListFile::fVMinLowestValue() const {
  float v = 200.0f;
  for (const auto& s : vSummary_) v = std::min(v, s.lowest.fValue);
  return v;
}

qint32 KM_RQListFile::fVMinLowestClass() const {
  qint32 c = -1;
  for (const auto& s : vSummary_) c = std::max(c, s.lowest.lClass);
  return c;
}

float KM_RQListFile::fVMaxHighestValue() const {
  float v = -1.0f;
  for (const auto& s : vSummary_) v = std::max(v, s.highest.fValue);
  return v;
}

qint32 KM_RQListFile::fVMaxHighestClass() const {
  qint32 c = 50;
  for (const auto& s : vSummary_) c = std::min(c, s.highest.lClass);
  return c;
}

bool KM_RQListFile::Load(KMX_OLEStorage* storage, const QString& name) {
  ProcLog log("KM_RQListFile", "Load", name);
  QString stgName;
  std::shared_ptr<KMX_OLEStorage> sub;
  switch (recordio::openForCollectionLoad(
      storage, name, sStorageName_, kDefaultStorageName, log, [this] { reset(); }, stgName, sub, sVersion_,
      fVersion_)) {
    case recordio::LoadStart::Failed:
      return false;
    case recordio::LoadStart::OldVersion:
      log.step(QStringLiteral("Old version: entry left empty"));
      log.completed();
      return true;
    case recordio::LoadStart::Ready:
      break;
  }
  try {
    auto open = [&](const QString& stream) {
      auto s = sub->OpenStream(stream, stgmode::Read);
      if (!s) throw StorageError("missing stream " + stream.toStdString());
      return s;
    };
    {
      auto s = open(QStringLiteral("Data"));
      recordio::Reader rd(*s);
      entryData(rd, *this, lVisitCount_, lSessionCount_, dtCreationDate_, dtLastEditDate_, dtLastSTDate_,
                lSTVisitCount_, lSTSessionCount_);
    }
    qint32 nBalance = 0;
    {
      auto s = open(QStringLiteral("Balance"));
      recordio::Reader rd(*s);
      readSummaries(rd, bSummary_, "test types");
      nBalance = readCount(rd, "balance tests");
      lTestBMICount_ = readCount(rd, "BMI tests");
    }
    balance_.reserve(size_t(std::min(nBalance, kMaxReserved)));
    for (qint32 i = 1; i <= nBalance; ++i) {
      KM_RQListTestBalance r;
      if (!r.Load(sub.get(), recordio::elementName("TestB", i)))
        throw StorageError("balance test " + std::to_string(i) + " unreadable");
      balance_.push_back(std::move(r));
    }
    {
      auto s = open(QStringLiteral("BMI"));
      recordio::Reader rd(*s);
      readSummaries(rd, bmiSummary_, "BMI kinds");
    }
    qint32 nVision = 0;
    {
      auto s = open(QStringLiteral("Vision"));
      recordio::Reader rd(*s);
      readSummaries(rd, vSummary_, "eyes");
      nVision = readCount(rd, "vision tests");
    }
    for (qint32 i = 1; i <= nVision; ++i) {
      KM_RQListTestVision r;
      if (!r.Load(sub.get(), recordio::elementName("TestV", i)))
        throw StorageError("vision test " + std::to_string(i) + " unreadable");
      vision_.push_back(std::move(r));
    }
    // Written by this program only; an entry without it (an older list file) is rebuilt once.
    if (auto s = sub->OpenStream(QStringLiteral("Check"), stgmode::Read)) {
      recordio::Reader rd(*s);
      qint32 damaged = 0;
      rd.text(sStamp_);
      rd.long32(damaged);
      rd.text(sDamage_);
      bDamaged_ = damaged != 0;
      const qint32 n = readCount(rd, "damaged tests");
      for (qint32 k = 0; k < n; ++k) rd.long32(damagedTests_.emplace_back());
    }
  } catch (const StorageError& e) {
    log.error(stgName + ": " + QString::fromUtf8(e.what()));
    return false;
  }
  QString why;
  if (!cacheIsPlausible(&why)) {
    // Kept by name only, so that the next refresh reads the subject file again.
    log.error(stgName + ": implausible values (" + why + "), the entry is read again from its file");
    clearContents();
  }
  log.completed();
  return true;
}

bool KM_RQListFile::Save(KMX_OLEStorage* storage, const QString& name) {
  ProcLog log("KM_RQListFile", "Save", name);
  QString stgName;
  auto sub = recordio::openForCollectionSave(storage, name, sStorageName_, kDefaultStorageName, log, stgName);
  if (!sub) return false;

  bool ok = recordio::writeVersionIfCurrent(*sub, sVersion_, fVersion_);
  auto writeStream = [&](const char* stream, auto&& body) {
    auto s = recordio::openOrCreateStream(*sub, QString::fromLatin1(stream));
    if (!s) {
      ok = false;
      return;
    }
    recordio::Writer wr(*s);
    body(wr);
    ok = wr.commit() && ok;
  };
  writeStream("Data", [&](recordio::Writer& wr) {
    entryData(wr, std::as_const(*this), lVisitCount_, lSessionCount_, dtCreationDate_, dtLastEditDate_,
              dtLastSTDate_, lSTVisitCount_, lSTSessionCount_);
  });
  writeStream("Balance", [&](recordio::Writer& wr) {
    writeSummaries(wr, bSummary_);
    wr.long32(lTestBalanceCount());
    wr.long32(lTestBMICount_);
  });
  for (qint32 i = 1; i <= lTestBalanceCount(); ++i)
    ok = balance_[static_cast<size_t>(i - 1)].Save(sub.get(), recordio::elementName("TestB", i)) && ok;
  writeStream("BMI", [&](recordio::Writer& wr) { writeSummaries(wr, bmiSummary_); });
  writeStream("Vision", [&](recordio::Writer& wr) {
    writeSummaries(wr, vSummary_);
    wr.long32(lTestVisionCount());
  });
  for (qint32 i = 1; i <= lTestVisionCount(); ++i)
    ok = vision_[static_cast<size_t>(i - 1)].Save(sub.get(), recordio::elementName("TestV", i)) && ok;
  writeStream(kCheckStream, [&](recordio::Writer& wr) {
    wr.text(sStamp_);
    wr.long32(bDamaged_ ? 1 : 0);
    wr.text(sDamage_);
    wr.long32(static_cast<qint32>(damagedTests_.size()));
    for (const qint32 i : damagedTests_) wr.long32(i);
  });
  if (!ok) log.error("Entry " + stgName + " not saved completely");
  log.completed();
  return ok;
}

void KM_RQListFile::MakeCopy(const KM_RQListFile& source) {
  sFileName = source.sFileName;
  lFileSize = source.lFileSize;
  fMinCoPFzForAnalysis = source.fMinCoPFzForAnalysis;
  sSubjFName = source.sSubjFName;
  sSubjMName = source.sSubjMName;
  sSubjLName = source.sSubjLName;
  sSubjID = source.sSubjID;
  lIsMale = source.lIsMale;
  dtSubjDoB = source.dtSubjDoB;
  dSubjHeight = source.dSubjHeight;
  lVisitCount_ = source.lVisitCount_;
  lSessionCount_ = source.lSessionCount_;
  lSTVisitCount_ = source.lSTVisitCount_;
  lSTSessionCount_ = source.lSTSessionCount_;
  lTestBMICount_ = source.lTestBMICount_;
  dtCreationDate_ = source.dtCreationDate_;
  dtLastEditDate_ = source.dtLastEditDate_;
  dtLastSTDate_ = source.dtLastSTDate_;
  bSummary_ = source.bSummary_;
  bmiSummary_ = source.bmiSummary_;
  vSummary_ = source.vSummary_;
  balance_.assign(source.balance_.size(), KM_RQListTestBalance{});
  for (size_t i = 0; i < balance_.size(); ++i) balance_[i].MakeCopy(source.balance_[i]);
  vision_.assign(source.vision_.size(), KM_RQListTestVision{});
  for (size_t i = 0; i < vision_.size(); ++i) vision_[i].MakeCopy(source.vision_[i]);
  sStamp_ = source.sStamp_;
  bDamaged_ = source.bDamaged_;
  sDamage_ = source.sDamage_;
  damagedTests_ = source.damagedTests_;
}

qint64 KM_RQListFile::subjectFilesOpened() { return g_filesOpened.load(); }

bool KM_RQListFile::isUpToDate(const QString& dataPath, float minCoPFz, qint64* currentLength) const {
  const QString path = folders::withSlash(dataPath) + sFileName;
  const QString stamp = folders::fileStamp(path);
  if (currentLength) *currentLength = folders::fileSize(path);
  return !sStamp_.isEmpty() && stamp == sStamp_ && minCoPFz == fMinCoPFzForAnalysis;
}

bool KM_RQListFile::Refresh(const QString& dataPath, float minCoPFz) {
  return Refresh(dataPath, minCoPFz, KM_RQRefreshContext::fromSettings());
}

bool KM_RQListFile::Refresh(const QString& dataPath, float minCoPFz, const KM_RQRefreshContext& ctx) {
  ProcLog log("KM_RQListFile", "Refresh",
              eventlog::privateFileName(folders::withSlash(dataPath) + sFileName));
  if (isUpToDate(dataPath, minCoPFz)) {
    log.step(QStringLiteral("Up to date"));
    log.completed();
    return true;
  }
  rebuild(dataPath, minCoPFz, ctx);
  log.completed();
  return false;
}

void KM_RQListFile::rebuild(const QString& dataPath, float minCoPFz, const KM_RQRefreshContext& ctx) {
  const QString path = folders::withSlash(dataPath) + sFileName;
  ProcLog log("KM_RQListFile", "Rebuild", eventlog::privateFileName(path));
  // Taken before reading: a file changed meanwhile no longer matches and is read again next time.
  const QString stamp = folders::fileStamp(path);
  {
    SubjectFile file;
    g_filesOpened.fetch_add(1);
    if (file.Open(path, QString::fromLatin1(kSubjectFileIdentification))) {
      log.step(QStringLiteral("Subject file opened"));
      clearContents();
      fillFrom(file, minCoPFz, ctx);
    } else {
      // Nothing of an older state of the file is shown as if it were current: only its name
      // and that it is damaged. The stamp below stops retries until the file changes.
      log.error(QStringLiteral("Cannot open the subject file"));
      clearContents();
      bDamaged_ = true;
      sDamage_ = file.LastError();
    }
    file.Close();
  }
  sStamp_ = stamp;
  lFileSize = clampLength(std::max<qint64>(folders::fileSize(path), 0));
  fMinCoPFzForAnalysis = minCoPFz;
  log.completed();
}

void KM_RQListFile::fillFrom(const SubjectFile& file, float minCoPFz, const KM_RQRefreshContext& ctx) {
  sSubjFName = file.subject.sNameFirst;
  sSubjMName = file.subject.sNameMiddle;
  sSubjLName = file.subject.sNameLast;
  sSubjID = file.subject.sSubjectID;
  lIsMale = file.subject.lIsMale;
  dtSubjDoB = file.subject.dtDoB;
  // The subject's current height: that of the latest visit.
  dSubjHeight = file.VisitCount() > 0 ? file.VisitItem(file.VisitCount())->phys.dHeight : 0.0;
  fMinCoPFzForAnalysis = minCoPFz;
  keep(plausible::Code::Sex, lIsMale);
  keep(plausible::Quantity::Date, dtSubjDoB, clock::kMissingDate);
  keep(plausible::Quantity::Height, dSubjHeight);

  lVisitCount_ = file.VisitCount();
  lSessionCount_ = 0;
  for (const auto& v : file.Visits()) lSessionCount_ += v->SessionCount();
  dtCreationDate_ = file.dtCreationDate();
  dtLastEditDate_ = file.dtLastEditDate();

  bSummary_.assign(kBalanceKinds, KM_RQSummarySet::rebuildStart());
  bmiSummary_.assign(kBMIKinds, KM_RQSummarySet::rebuildStart());
  vSummary_.assign(kVisionKinds, KM_RQSummarySet::rebuildStart());
  balance_.clear();
  vision_.clear();
  lTestBMICount_ = 0;
  dtLastSTDate_ = clock::kMissingDate;
  lSTVisitCount_ = 0;
  lSTSessionCount_ = 0;

  const StoredAnalysisSettings analysis{minCoPFz, ctx.stanceFactors, ctx.normsVersion};
  for (const auto& visit : file.Visits()) {
    bool visitHasTests = false;
    for (const auto& session : visit->Sessions()) {
      if (session->BalanceTestCount() + session->VisionTestCount() > 0) {
        visitHasTests = true;
        ++lSTSessionCount_;
      }
      for (const auto& t : session->BalanceTests()) {
        KM_RQListTestBalance& r = balance_.emplace_back();
        r.sName = t->sName;
        r.sVisitID = visit->sVisitID;
        r.sSessionID = session->sSessionID;
        r.sTestID = t->sTestID;
        r.sPlate = t->sPlate;
        r.lTestType = t->lTestType;
        r.dtDate = t->dtDate;
        r.fFrequency = t->fFrequency;
        r.fPretest = t->fPretest;
        r.fOrigDuration = t->fOrigDuration;
        r.fActDuration = t->fActDuration;
        r.lTotalSamples = t->lTotalSamples;
        r.lValidSamples = t->lValidSamples;
        r.bIsInterrupted = t->bIsInterrupted != 0;
        r.bIsFallen = t->bIsFallen != 0;
        r.sNotes = t->sNotes;
        r.fHeight = static_cast<float>(visit->phys.dHeight);
        r.fWeight = static_cast<float>(visit->phys.dMass);
        r.bBMIEnabled = true;

        // Settings no test can have, or a recording no platform can give (AnalyseStoredTest):
        // damage, shown as such and never analysed, classed or summarised.
        const bool plausibleValues = keepPlausible(r);
        StoredTestAnalysis a;
        if (plausibleValues) {
          a = AnalyseStoredTest(*t, dtSubjDoB, analysis);
        } else {
          a.state = StoredTestState::Damaged;
          a.losX = t->fLoSX;
          a.losY = t->fLoSY;
        }
        r.fLoSX = static_cast<float>(a.losX);
        r.fLoSY = static_cast<float>(a.losY);
        const bool run = a.state != StoredTestState::NotRun;
        if (a.state == StoredTestState::Damaged) {
          damagedTests_.push_back(lTestBalanceCount());
          // No numbers from damaged samples: counted as recorded, nothing valid, no measures.
          const auto data = t->TestData();
          r.lTotalSamples = data ? data->Count() : 0;
          r.lValidSamples = 0;
          r.fActDuration = 0;
        } else if (run) {
          const AnalysisResult& res = a.result;
          r.lTotalSamples = res.lTotalSamples;
          r.lValidSamples = res.lValidSamples;
          r.fActDuration = static_cast<float>(res.fDuration);
        }
        if (a.measured()) {
          const AnalysisResult& res = a.result;
          r.fXo = static_cast<float>(res.fXo);
          r.fYo = static_cast<float>(res.fYo);
          r.fMaxMLSway = static_cast<float>(res.fRangeML);
          r.fMaxAPSway = static_cast<float>(res.fRangeAP);
          r.f95MLSway = static_cast<float>(res.f95MLSway);
          r.f95APSway = static_cast<float>(res.f95APSway);
          r.f95MaxSway = static_cast<float>(res.f95MaxSway);
          r.f95MinSway = static_cast<float>(res.f95MinSway);
          r.fMaxSway = static_cast<float>(res.fRadialMax);
          r.fAveSway = static_cast<float>(res.fRadialAve);
          r.fVMax = static_cast<float>(res.fVMax);
          r.fVAve = static_cast<float>(res.fVAve);
          r.fAMax = static_cast<float>(res.fAMax);
          r.fAAve = static_cast<float>(res.fAAve);
          r.fPlen = static_cast<float>(res.fPathLength);
          r.f95Area = static_cast<float>(res.f95Area);
          r.fStability = static_cast<float>(res.fStability);
          r.fSwayDirection = static_cast<float>(res.fSwayDirection);
          r.fDirectionality = static_cast<float>(res.fDirectionality);
          r.fMinMaxRatio = static_cast<float>(res.fMinMaxRatio);
          r.fFatigue = static_cast<float>(res.fFatigue);
          r.fParP = static_cast<float>(res.fParP);
          r.lStabilityClass = a.stabilityClass ? static_cast<qint32>(*a.stabilityClass) : 0;
        }
        const bool hasBMI = run && a.state != StoredTestState::Damaged && r.fHeight > 0 && r.fWeight > 0;
        if (hasBMI) {
          r.fBMI = static_cast<float>(double(r.fWeight) / (double(r.fHeight) * double(r.fHeight)));
          const auto cls = ClassifyBMI(r.fBMI, dtSubjDoB, r.dtDate, lIsMale);
          r.lBMIClass = cls ? static_cast<qint32>(*cls) : 0;
        }

        // Tests never run: see fillFrom in the header.
        if (a.measured() && r.lTestType >= 1 && r.lTestType <= kBalanceKinds)
          bSummary_[static_cast<size_t>(r.lTestType - 1)].add(r.dtDate, r.fStability, r.lStabilityClass);
        if (hasBMI) {
          ++lTestBMICount_;
          bmiSummary_[0].add(r.dtDate, r.fBMI, r.lBMIClass);
        }
        if (run) dtLastSTDate_ = std::max(dtLastSTDate_, r.dtDate);
      }
      for (const auto& t : session->VisionTests()) {
        KM_RQListTestVision& r = vision_.emplace_back();
        r.sName = t->sName;
        r.sVisitID = visit->sVisitID;
        r.sSessionID = session->sSessionID;
        r.sTestID = t->sTestID;
        r.dtDate = t->dtDate;
        r.lEye = t->lEye;
        r.dInterval = t->dInterval;
        r.dDistance = t->dDistance;
        r.lTestsPerSize = t->lTestsPerSize;
        r.lCorrectAnswers = t->lCorrectAnswers;
        r.lFullScreen = t->lFullScreen;
        r.lHighContrast = t->lHighContrast;
        r.dAcuity = t->dAcuity;
        r.lAcuityClass = t->lAcuityClass;
        if (keepPlausible(r) && t->bIsDone != 0) {
          if (r.lEye >= 1 && r.lEye <= kVisionKinds)
            vSummary_[static_cast<size_t>(r.lEye - 1)].add(r.dtDate, static_cast<float>(r.dAcuity),
                                                           r.lAcuityClass);
          dtLastSTDate_ = std::max(dtLastSTDate_, r.dtDate);
        }
      }
    }
    if (visitHasTests) ++lSTVisitCount_;
  }
}

}  // namespace tarn
