#include "data/lists/list.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/eventlog.h"
#include "core/folders.h"
#include "data/records/recordio.h"
#include "data/storage/olestg.h"

namespace tarn {
namespace {

constexpr qint64 kMemoryBlockBytes = 10240000;
constexpr qint64 kMemoryHeadroom = 1048576;

// Summary-information properties of a list file.
constexpr char kPropIdentification[] = "Subject";
constexpr char kPropTitle[] = "Title";
constexpr char kPropComments[] = "Comments";
constexpr const char* kPropEmpty[] = {"Author", "Keywords", "Template", "AppName"};

bool identificationMatches(const QString& stored, const QString& expected) {
  // The stored text must lie within the expected one; an empty text identifies nothing.
  return !stored.trimmed().isEmpty() && expected.contains(stored.trimmed(), Qt::CaseInsensitive);
}

bool isUnderweight(qint32 c) { return c == 1 || c == 6; }
bool isOverweight(qint32 c) { return c == 3 || c == 4 || c == 8 || c == 9; }

}  // namespace

KM_RQList::KM_RQList() : sVersion_(recordio::versionText()), fVersion_(recordio::kVersionNumber) {}

KM_RQList::~KM_RQList() = default;

bool KM_RQList::setDataPath(const QString& path) {
  const QString p = path.trimmed();
  if (p.isEmpty() || !QFileInfo(p).isDir()) return false;
  sDataPath_ = folders::withSlash(p);
  return true;
}

void KM_RQList::setDataExt(const QString& ext) {
  QString e = ext.trimmed();
  if (e.isEmpty()) return;
  if (!e.startsWith('.')) e.prepend('.');
  sDataExt_ = e;
}

const KM_RQListFile* KM_RQList::lfFile(qint32 index) const {
  if (index == 0) return &empty_;
  return index >= 1 && index <= lFilesCount() ? files_[static_cast<size_t>(index - 1)].get() : nullptr;
}

void KM_RQList::clear() {
  files_.clear();
  image_.reset();
  inImage_.clear();
  sLoadedDataPath_.clear();
  stats_ = Stats{};
  fMinCoPFz_ = 0;
  sVersion_ = recordio::versionText();
  fVersion_ = recordio::kVersionNumber;
}

KM_RQList::Header KM_RQList::header(const QString& path) const {
  return Header{stats_, fMinCoPFz_, path, lFilesCount(), sVersion_, fVersion_};
}

bool KM_RQList::isModified() const {
  if (!image_ || inImage_.size() != files_.size()) return true;
  for (const char in : inImage_)
    if (!in) return true;
  return !(header(sDataPath_) == imageHeader_);
}

void KM_RQList::entryMoved(size_t from) {
  for (size_t i = from; i < inImage_.size(); ++i) inImage_[i] = 0;
}

qint64 KM_RQList::approximateBytes() const {
  qint64 n = 0;
  for (const auto& f : files_) {
    n += static_cast<qint64>(sizeof(KM_RQListFile)) + 3 * static_cast<qint64>(sizeof(KM_RQSummarySet)) * 3;
    n += f->lTestBalanceCount() * static_cast<qint64>(sizeof(KM_RQListTestBalance) + 160);
    n += f->lTestVisionCount() * static_cast<qint64>(sizeof(KM_RQListTestVision) + 120);
    n += 2 * (f->sFileName.size() + f->sSubjFName.size() + f->sSubjLName.size() + f->sSubjMName.size() +
              f->sSubjID.size());
  }
  return n;
}

void KM_RQList::addToStats(const KM_RQListFile& e) {
  stats_.lVisitCount += e.lVisitCount();
  stats_.lSessionCount += e.lSessionCount();
  stats_.lSTVisitCount += e.lSTVisitCount();
  stats_.lSTSessionCount += e.lSTSessionCount();
  stats_.lSTTestBalanceCount += e.lTestBalanceCount();
  stats_.lSTTestVisionCount += e.lTestVisionCount();
  stats_.lSTTestBMICount += e.lTestBMICount();
  if (e.lSTSessionCount() > 0) ++stats_.lSTFilesCount;
  // Reduced: the worst class found is worse than Normal. Class 0 is no class at all (no date of
  // birth, no norms, a test never run or without enough samples), not a reduced result.
  if (e.lTestBalanceCount() > 0 && e.fBMinLowestStabClass() > 1) ++stats_.lSTBadBalanceFilesCount;
  if (e.lTestVisionCount() > 0 && e.fVMinLowestClass() > 1) ++stats_.lSTBadVisionFilesCount;
  if (e.lTestBMICount() > 0 && isUnderweight(e.fBMILowestClass(1))) ++stats_.lSTUnderweightFilesCount;
  if (e.lTestBMICount() > 0 && isOverweight(e.fBMIHighestClass(1))) ++stats_.lSTOverweightFilesCount;
}

qint32 KM_RQList::Refresh(float minCoPFz, const QString& dataPath, const QString& dataExt) {
  ProcLog log("KM_RQList", "Refresh",
              QStringLiteral("Path = %1, Ext = %2, Min Fz = %3").arg(dataPath, dataExt).arg(minCoPFz));
  if (!dataPath.trimmed().isEmpty() && !setDataPath(dataPath)) {
    // Scanning the previous folder instead would file its entries under this one's name.
    log.error("Data folder " + dataPath + " does not exist: nothing scanned");
    return -1;
  }
  setDataExt(dataExt);
  if (sDataPath_.isEmpty() || sDataExt_.isEmpty()) {
    log.error(QStringLiteral("No data folder or extension: nothing scanned"));
    return -1;
  }

  // What an interrupted save of a subject file left behind is health data nobody will use.
  if (const int removed = folders::removeSaveLeftovers(sDataPath_))
    log.step(QStringLiteral("Removed %1 files left by interrupted saves").arg(removed));

  // NTFS lists names in case-blind alphabetical order; keep that order on every file system.
  // Names are taken as the file system holds them, valid UTF-8 or not.
  log.step(QStringLiteral("Collecting Files"));
  const QStringList names = folders::filesEndingIn(sDataPath_, sDataExt_);
  QHash<QString, bool> remaining;  // name -> still collected
  remaining.reserve(names.size());
  for (const QString& n : names) remaining.insert(n, true);

  log.step(QStringLiteral("Removing Deleted Files"));
  for (qint32 i = 1; i <= lFilesCount();) {
    if (events_) events_->RefreshDelOld(lFilesCount(), i);
    auto it = remaining.find(files_[static_cast<size_t>(i - 1)]->sFileName);
    if (it != remaining.end() && it.value()) {
      it.value() = false;
      ++i;
    } else {
      files_.erase(files_.begin() + (i - 1));  // later entries move down; i is examined again
      if (inImage_.size() > static_cast<size_t>(i - 1)) {
        inImage_.erase(inImage_.begin() + (i - 1));
        entryMoved(static_cast<size_t>(i - 1));
      }
    }
  }

  log.step(QStringLiteral("Adding New Files"));
  QStringList added;
  for (const QString& n : names)
    if (remaining.value(n, false)) added << n;
  for (qint32 k = 1; k <= added.size(); ++k) {
    if (events_) events_->RefreshAddNew(static_cast<qint32>(added.size()), k);
    auto e = std::make_unique<KM_RQListFile>();
    e->sFileName = added[k - 1];
    files_.push_back(std::move(e));
    if (image_) inImage_.push_back(0);
  }

  fMinCoPFz_ = minCoPFz;
  stats_ = Stats{};

  log.step(QStringLiteral("Updating List Entries"));
  const KM_RQRefreshContext ctx = KM_RQRefreshContext::fromSettings();
  const qint32 n = lFilesCount();
  std::vector<size_t> jobs;  // entries that need their subject file read
  for (qint32 i = 0; i < n; ++i)
    if (!files_[static_cast<size_t>(i)]->isUpToDate(sDataPath_, minCoPFz))
      jobs.push_back(static_cast<size_t>(i));
  for (const size_t idx : jobs)
    if (idx < inImage_.size()) inImage_[idx] = 0;

  const unsigned hw = std::max(1u, std::thread::hardware_concurrency());
  const size_t threads =
      std::min<size_t>(workerThreads_ == 0 ? hw : static_cast<size_t>(workerThreads_), jobs.size());
  const QString path = sDataPath_;
  auto rebuildOne = [&](size_t idx) {
    if (stopRequested_.load()) return;  // left as it was: the next refresh reads it
    try {
      files_[idx]->rebuild(path, minCoPFz, ctx);
    } catch (const std::exception& e) {
      log.error(files_[idx]->sFileName + ": " + QString::fromUtf8(e.what()));
    }
  };

  if (threads <= 1) {
    size_t j = 0;
    for (qint32 i = 1; i <= n; ++i) {
      if (events_) events_->RefreshUpdate(n, i);
      if (j < jobs.size() && jobs[j] == static_cast<size_t>(i - 1)) rebuildOne(jobs[j++]);
      addToStats(*files_[static_cast<size_t>(i - 1)]);
    }
  } else {
    // Workers take the changed entries in list order; the calling thread reports progress in
    // order and waits for each entry before counting it, so listeners see a serial refresh.
    std::vector<char> done(jobs.size(), 0);
    std::mutex m;
    std::condition_variable cv;
    std::atomic<size_t> next{0};
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (size_t t = 0; t < threads; ++t) {
      pool.emplace_back([&] {
        for (size_t j = next.fetch_add(1); j < jobs.size(); j = next.fetch_add(1)) {
          rebuildOne(jobs[j]);
          {
            std::lock_guard lock(m);
            done[j] = 1;
          }
          cv.notify_all();
        }
      });
    }
    size_t j = 0;
    for (qint32 i = 1; i <= n; ++i) {
      if (events_) events_->RefreshUpdate(n, i);
      if (j < jobs.size() && jobs[j] == static_cast<size_t>(i - 1)) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return done[j] != 0; });
        ++j;
      }
      addToStats(*files_[static_cast<size_t>(i - 1)]);
    }
    for (auto& t : pool) t.join();
  }
  if (stopRequested_.exchange(false)) {
    // Entries that were not read keep their old stamp (or none) and are read next time.
    qint32 rebuilt = 0;
    for (const size_t idx : jobs) rebuilt += files_[idx]->isUpToDate(sDataPath_, minCoPFz) ? 1 : 0;
    log.step(QStringLiteral("Stopped: %1 entries, %2 rebuilt").arg(n).arg(rebuilt));
    log.completed();
    return rebuilt;
  }
  log.step(QStringLiteral("%1 entries, %2 rebuilt").arg(n).arg(jobs.size()));
  log.completed();
  return static_cast<qint32>(jobs.size());
}

template <class IO, class Self>
void KM_RQList::dataFields(IO& io, Self& self, QString& path) {
  auto& s = self.stats_;
  io.text(path);
  io.long32(s.lVisitCount);
  io.long32(s.lSessionCount);
  io.long32(s.lSTVisitCount);
  io.long32(s.lSTSessionCount);
  io.long32(s.lSTTestBalanceCount);
  io.long32(s.lSTTestVisionCount);
  io.long32(s.lSTTestBMICount);
  io.long32(s.lSTFilesCount);
  io.single(self.fMinCoPFz_);
  io.long32(s.lSTBadBalanceFilesCount);
  io.long32(s.lSTBadVisionFilesCount);
  io.long32(s.lSTUnderweightFilesCount);
  io.long32(s.lSTOverweightFilesCount);
}

bool KM_RQList::Load(KMX_OLEStorage* storage, const QString& name) {
  ProcLog log("KM_RQList", "Load", name);
  QString stgName;
  std::shared_ptr<KMX_OLEStorage> sub;
  switch (recordio::openForCollectionLoad(
      storage, name, sStorageName_, kDefaultStorageName, log, [this] { clear(); }, stgName, sub, sVersion_,
      fVersion_)) {
    case recordio::LoadStart::Failed:
      return false;
    case recordio::LoadStart::OldVersion:
      log.step(QStringLiteral("Old version: list left empty"));
      log.completed();
      return true;
    case recordio::LoadStart::Ready:
      break;
  }
  try {
    auto data = sub->OpenStream(QStringLiteral("Data"), stgmode::Read);
    if (!data) throw StorageError("missing stream Data");
    recordio::Reader rd(*data);
    // The caller names the folder; the stored one only tells a list of another folder apart.
    dataFields(rd, *this, sLoadedDataPath_);
    auto fileData = sub->OpenStream(QStringLiteral("FileData"), stgmode::Read);
    if (!fileData) throw StorageError("missing stream FileData");
    recordio::Reader rf(*fileData);
    qint32 count = 0;
    rf.long32(count);
    if (count < 0) throw StorageError("negative file count");
    for (qint32 i = 1; i <= count; ++i) {
      auto e = std::make_unique<KM_RQListFile>();
      if (!e->Load(sub.get(), recordio::elementName("File", i)))
        throw StorageError("entry " + std::to_string(i) + " unreadable");
      files_.push_back(std::move(e));
    }
  } catch (const StorageError& e) {
    log.error(stgName + ": " + QString::fromUtf8(e.what()));
    return false;
  }
  log.step(QStringLiteral("%1 entries").arg(lFilesCount()));
  log.completed();
  return true;
}

bool KM_RQList::Save(KMX_OLEStorage* storage, const QString& name) {
  ProcLog log("KM_RQList", "Save", name);
  QString stgName;
  auto sub = recordio::openForCollectionSave(storage, name, sStorageName_, kDefaultStorageName, log, stgName);
  if (!sub) return false;

  bool ok = saveHeader(*sub);
  for (qint32 i = 1; i <= lFilesCount(); ++i)
    ok = files_[static_cast<size_t>(i - 1)]->Save(sub.get(), recordio::elementName("File", i)) && ok;
  ok = sub->Commit(stgcommit::Default) && ok;
  if (!ok) log.error("List " + stgName + " not saved completely");
  log.completed();
  return ok;
}

bool KM_RQList::saveHeader(KMX_OLEStorage& sub) {
  bool ok = recordio::writeVersionIfCurrent(sub, sVersion_, fVersion_);
  if (auto s = recordio::openOrCreateStream(sub, QStringLiteral("Data"))) {
    recordio::Writer wr(*s);
    QString path = sDataPath_;
    dataFields(wr, *this, path);
    ok = wr.commit() && ok;
  } else {
    ok = false;
  }
  if (auto s = recordio::openOrCreateStream(sub, QStringLiteral("FileData"))) {
    recordio::Writer wr(*s);
    wr.long32(lFilesCount());
    ok = wr.commit() && ok;
  } else {
    ok = false;
  }
  return ok;
}

// Into the image of the list file: the list's own streams and the entries that are not there
// as they are now; [File n] storages past the end go.
bool KM_RQList::saveChanged(KMX_OLEStorage& root, const QString& name) {
  ProcLog log("KM_RQList", "Save", name);
  auto sub = root.OpenStorage(name, stgmode::ReadWrite);
  if (!sub) {
    log.error("Storage " + name + " not found");
    return false;
  }
  bool ok = saveHeader(*sub);
  qint32 written = 0;
  for (qint32 i = 1; i <= lFilesCount(); ++i) {
    if (inImage_[static_cast<size_t>(i - 1)]) continue;
    ok = files_[static_cast<size_t>(i - 1)]->Save(sub.get(), recordio::elementName("File", i)) && ok;
    ++written;
  }
  for (qint32 i = lFilesCount() + 1; i <= imageHeader_.files; ++i)
    ok = sub->DestroyElement(recordio::elementName("File", i)) && ok;
  ok = sub->Commit(stgcommit::Default) && ok;
  log.step(QStringLiteral("%1 entries written").arg(written));
  if (!ok) log.error("List " + name + " not saved completely");
  log.completed();
  return ok;
}

bool KM_RQList::FileLoad(const QString& path, const QString& identification) {
  ProcLog log("KM_RQList", "FileLoad", path);
  KMX_OLEStgTool tool;
  const QString p = path.trimmed();
  // The list already holds exactly what the file holds (it was read from or written to it, and
  // neither side changed since): reading it again would give the same list.
  if (image_ && p == sFileName_ && identification == imageIdentification_ && !isModified() &&
      image_->IsSavedIn(p)) {
    sLoadedDataPath_ = imageHeader_.path;
    log.step(QStringLiteral("The list is the list file as it is: nothing read"));
    log.completed();
    return true;
  }
  if (p.isEmpty() || !QFileInfo(p).isFile() || !tool.IsStorageFile(p)) {
    log.step(QStringLiteral("No list file: the list starts empty"));
    clear();
    return false;
  }
  bool loaded = false;
  const qint64 len = QFileInfo(p).size();
  const qint64 block = tool.AllocMemoryBlock(kMemoryBlockBytes, 0);
  tool.ResizeMemoryBlock(block, std::llround(static_cast<double>(len) / 4096.0) * 4096 + kMemoryHeadroom);
  std::shared_ptr<KMX_OLEStorage> root;
  {
    // The file's image becomes the memory root as it is: nothing is copied element by element.
    root = tool.LoadRootStorageOnMemory("MEM_" + p, block, p);
    if (root) {
      if (!root->OpenSummaryInfo()) {
        log.error(QStringLiteral("Summary information unreadable"));
      } else {
        const QString stored = root->GetSummaryProperty(QString::fromLatin1(kPropIdentification));
        if (identificationMatches(stored, identification)) {
          loaded = Load(root.get(), QString::fromLatin1(kDefaultStorageName));
          imageIdentification_ = identification;
        } else {
          log.error("Foreign file, identification \"" + stored + "\"");
        }
      }
    } else {
      log.error(QStringLiteral("Cannot read the list file"));
    }
  }
  sFileName_ = p;
  tool.ReleaseMemoryBlock(block);
  if (!loaded) {
    log.step(QStringLiteral("Nothing loaded: the list starts empty"));
    clear();
  } else {
    // Kept for the next save. An entry whose cache was turned away holds less than its storage.
    image_ = std::move(root);
    inImage_.assign(files_.size(), 1);
    for (size_t i = 0; i < files_.size(); ++i)
      if (files_[i]->fileStamp().isEmpty()) inImage_[i] = 0;
    imageHeader_ = header(sLoadedDataPath_);
  }
  log.completed();
  return loaded;
}

bool KM_RQList::FileSave(const QString& path) {
  const QString p = path.trimmed().isEmpty() ? sFileName_ : path.trimmed();
  ProcLog log("KM_RQList", "FileSave", p);
  if (p.isEmpty()) {
    log.step(QStringLiteral("No list file named"));
    log.completed();
    return false;
  }
  if (image_ && p == sFileName_ && inImage_.size() == files_.size()) {
    if (!isModified() && image_->IsSavedIn(p)) {
      log.step(QStringLiteral("List unchanged: the file is not written again"));
      log.completed();
      return true;
    }
    if (saveChanged(*image_, QString::fromLatin1(kDefaultStorageName)) && image_->WriteToFile(p)) {
      inImage_.assign(files_.size(), 1);
      imageHeader_ = header(sDataPath_);
      log.completed();
      return true;
    }
    // The image may now hold part of the changes: the list is written whole below.
    log.error(QStringLiteral("The changes could not be written alone: the list is written whole"));
  }
  image_.reset();
  inImage_.clear();
  KMX_OLEStgTool tool;
  const QFileInfo fi(p);
  const qint64 len = fi.exists() ? fi.size() : 0;
  const qint64 block = tool.AllocMemoryBlock(kMemoryBlockBytes, 0);
  tool.ResizeMemoryBlock(block, std::llround(static_cast<double>(len) / 4096.0) * 4096 + kMemoryHeadroom);
  bool ok = false;
  {
    auto root = tool.CreateRootStorageOnMemory("MEM_" + p, stgmode::CreateReplace, block, 0, true);
    if (!root) {
      log.error(QStringLiteral("Cannot create the memory image"));
    } else {
      root->OpenSummaryInfo();
      root->SetSummaryProperty(QString::fromLatin1(kPropIdentification),
                               QString::fromLatin1(kListIdentification));
      root->SetSummaryProperty(QString::fromLatin1(kPropTitle), QStringLiteral("File List"));
      root->SetSummaryProperty(QString::fromLatin1(kPropComments),
                               QStringLiteral("Kamrith Labs TARN RQ Subject's File List"));
      for (const char* prop : kPropEmpty) root->SetSummaryProperty(QString::fromLatin1(prop), QString());
      const bool image = root->WriteSummaryInfo() &&
                         Save(root.get(), QString::fromLatin1(kDefaultStorageName)) &&
                         root->Commit(stgcommit::Overwrite);
      if (!image) {
        // The old file stays as it was.
        log.error(QStringLiteral("The list could not be written into the memory image"));
      } else {
        folders::ensureFolder(fi.absolutePath());
        // The memory image, summary information included, replaces the old file whole, so the
        // old one is never half gone.
        ok = root->WriteToFile(p);
        if (!ok) log.error("Cannot write " + p);
      }
    }
    if (ok) {
      image_ = std::move(root);
      inImage_.assign(files_.size(), 1);
      imageHeader_ = header(sDataPath_);
      imageIdentification_ = QString::fromLatin1(kListIdentification);
    }
  }
  tool.ReleaseMemoryBlock(block);
  if (ok) sFileName_ = p;
  log.completed();
  return ok;
}

}  // namespace tarn
