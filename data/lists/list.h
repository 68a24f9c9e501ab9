#pragma once
// The catalogue of the data folder: one entry per subject file found there and statistics over
// all of them, cached in a list file so that a refresh only re-reads files that changed.
#include <QString>
#include <QtGlobal>

#include <atomic>
#include <memory>
#include <vector>

#include "data/lists/listentry.h"

namespace tarn {

class KMX_OLEStorage;

// Progress of a refresh, delivered on the thread that called Refresh, in pass order:
// (total, current) with current counting from 1.
class KM_RQListEvents {
 public:
  virtual ~KM_RQListEvents() = default;
  virtual void RefreshDelOld(qint32 total, qint32 current) = 0;  // each existing entry checked
  virtual void RefreshAddNew(qint32 total, qint32 current) = 0;  // each new file added
  virtual void RefreshUpdate(qint32 total, qint32 current) = 0;  // each entry refreshed
};

inline constexpr char kListIdentification[] = "Kamrith Labs MARC";

class KM_RQList {
 public:
  static constexpr char kDefaultStorageName[] = "List";

  KM_RQList();
  ~KM_RQList();

  // Folder of the subject files, kept with a trailing separator; only an existing folder is taken.
  const QString& sDataPath() const { return sDataPath_; }
  bool setDataPath(const QString& path);
  // Extension of subject files, kept with a leading ".".
  const QString& sDataExt() const { return sDataExt_; }
  void setDataExt(const QString& ext);
  const QString& sFileName() const { return sFileName_; }

  qint32 lFilesCount() const { return static_cast<qint32>(files_.size()); }
  // 1..lFilesCount; index 0 is an empty entry that is never listed; nullptr otherwise.
  const KM_RQListFile* lfFile(qint32 index) const;
  float fMinCoPFzForAnalysis() const { return fMinCoPFz_; }

  qint32 lVisitCount() const { return stats_.lVisitCount; }
  qint32 lSessionCount() const { return stats_.lSessionCount; }
  qint32 lSTVisitCount() const { return stats_.lSTVisitCount; }
  qint32 lSTSessionCount() const { return stats_.lSTSessionCount; }
  qint32 lSTTestBalanceCount() const { return stats_.lSTTestBalanceCount; }
  qint32 lSTTestVisionCount() const { return stats_.lSTTestVisionCount; }
  qint32 lSTTestBMICount() const { return stats_.lSTTestBMICount; }
  qint32 lSTFilesCount() const { return stats_.lSTFilesCount; }
  qint32 lSTBadBalanceFilesCount() const { return stats_.lSTBadBalanceFilesCount; }
  qint32 lSTBadVisionFilesCount() const { return stats_.lSTBadVisionFilesCount; }
  qint32 lSTUnderweightFilesCount() const { return stats_.lSTUnderweightFilesCount; }
  qint32 lSTOverweightFilesCount() const { return stats_.lSTOverweightFilesCount; }

  // Listener of the refresh progress (not owned; may be null).
  void setEvents(KM_RQListEvents* events) { events_ = events; }
  // Threads that rebuild changed entries: 0 = one per processor, 1 = all on the calling thread.
  // The results and the order of the events do not depend on it.
  void setWorkerThreads(int n) { workerThreads_ = n < 0 ? 0 : n; }
  // Asks the running (or the next) Refresh to read no further subject files: the program is
  // ending. Entries not yet read keep what they had and are read by the refresh after it. Safe
  // from any thread.
  void requestStop() { stopRequested_.store(true); }

  // The list file: load with the expected identification (a missing, damaged or foreign file
  // leaves the list empty and returns false), save (blank path: the one last used). A list that
  // already is what the file holds reads nothing; a save writes only what differs from the file.
  bool FileLoad(const QString& path,
                const QString& identification = QString::fromLatin1(kListIdentification));
  bool FileSave(const QString& path = QString());

  // The data folder the list file last loaded says it caches (empty when none was loaded). The
  // caller names the folder; this only tells a list file of another folder from the right one.
  const QString& sLoadedDataPath() const { return sLoadedDataPath_; }

  // The list's storage inside a list file.
  bool Load(KMX_OLEStorage* storage, const QString& name = QString());
  bool Save(KMX_OLEStorage* storage, const QString& name = QString());

  // Brings the list in line with the folder. Returns the number of entries rebuilt from their
  // subject files, or -1 when nothing was scanned: no folder or extension known, or a folder
  // given that does not exist (the list then stays as it was).
  qint32 Refresh(float minCoPFz, const QString& dataPath, const QString& dataExt);

  // Clears entries and statistics (path and extension stay).
  void clear();

  // Something would differ in the list file from what was last loaded from or saved to it.
  bool isModified() const;

  // Memory held by the entries, roughly; for the statistics of the tools.
  qint64 approximateBytes() const;

 private:
  struct Stats {
    qint32 lVisitCount = 0, lSessionCount = 0, lSTVisitCount = 0, lSTSessionCount = 0;
    qint32 lSTTestBalanceCount = 0, lSTTestVisionCount = 0, lSTTestBMICount = 0, lSTFilesCount = 0;
    qint32 lSTBadBalanceFilesCount = 0, lSTBadVisionFilesCount = 0;
    qint32 lSTUnderweightFilesCount = 0, lSTOverweightFilesCount = 0;
    bool operator==(const Stats&) const = default;
  };
  // What the list's own streams hold besides the entries.
  struct Header {
    Stats stats;
    float minCoPFz = 0;
    QString path;
    qint32 files = 0;
    QString version;
    float versionNumber = 0;
    bool operator==(const Header&) const = default;
  };
  template <class IO, class Self>
  static void dataFields(IO& io, Self& self, QString& path);
  void addToStats(const KM_RQListFile& e);
  Header header(const QString& path) const;
  bool saveHeader(KMX_OLEStorage& sub);
  bool saveChanged(KMX_OLEStorage& root, const QString& name);
  void entryMoved(size_t from);  // entries from this index on no longer match the image

  QString sDataPath_;
  QString sDataExt_;
  QString sFileName_;
  float fMinCoPFz_ = 0;
  Stats stats_;
  std::vector<std::unique_ptr<KM_RQListFile>> files_;
  KM_RQListFile empty_;
  KM_RQListEvents* events_ = nullptr;
  int workerThreads_ = 0;
  std::atomic<bool> stopRequested_{false};
  QString sLoadedDataPath_;
  QString sVersion_;
  float fVersion_;
  QString sStorageName_;

  // The list file as last loaded or saved, in memory: a save puts only what changed into it.
  // inImage_[i] says whether entry i + 1 is the one its [File i + 1] holds.
  std::shared_ptr<KMX_OLEStorage> image_;
  std::vector<char> inImage_;
  Header imageHeader_;
  QString imageIdentification_;  // the identification the image was read with or written under
};

}  // namespace tarn
