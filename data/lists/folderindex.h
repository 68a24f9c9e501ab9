#pragma once
// The folder index "RQFoldLst.lst": a profile file (sections and key=value lines) that maps each
// data folder to the list file that caches it.
//
// Several processes (the station, tarnrq-list, a second user's station on a shared folder) may
// refresh lists at once. Whoever reads the index to change it or to name a new list file holds
// the index lock while doing so, and a new list file is made with an exclusive create, so no two
// data folders ever share a list file and no mapping is lost.
#include <QString>
#include <QStringList>

namespace tarn::folderindex {

inline constexpr char kIndexFileName[] = "RQFoldLst.lst";
inline constexpr char kLockFileName[] = "RQFoldLst.lck";
inline constexpr char kSection[] = "KMTARNRQFolders";

// The index lock of the folder holding the index: an advisory lock on kLockFileName, waited for
// up to a few seconds (others hold it only for a moment) and released when the object goes.
class IndexLock {
 public:
  explicit IndexLock(const QString& folder);
  ~IndexLock();
  IndexLock(const IndexLock&) = delete;
  IndexLock& operator=(const IndexLock&) = delete;
  bool locked() const { return fd_ >= 0; }
  const QString& error() const { return error_; }

 private:
  int fd_ = -1;
  QString error_;
};

// Value of key in section, or def when the file, the section or the key is missing. Sections
// compare without case; keys are data-folder paths and compare exactly, as the file system does.
QString readValue(const QString& indexPath, const QString& section, const QString& key, const QString& def);
// Sets key=value in section, keeping every other line; the file is replaced whole or not at all.
// A key that a line cannot hold as it is (a line break, a leading quote) is written quoted, with
// backslash escapes.
bool writeValue(const QString& indexPath, const QString& section, const QString& key, const QString& value);
// Every value of the section; false when the index exists but cannot be read.
bool readValues(const QString& indexPath, const QString& section, QStringList* values);

// Makes a new, empty list file in folder and returns its name: prefix, six digits from 000001
// up, ext ("." prefixed when missing), the first name whose file did not exist. Empty (with
// *error) when every number is taken or the folder cannot be written.
QString newListFileName(const QString& folder, const QString& prefix, const QString& ext,
                        QString* error = nullptr);

// Deletes list files of folder named as newListFileName names them that the index does not
// name (left by a refresh that was interrupted, or by a folder mapped anew). Call it holding the
// index lock. Nothing is deleted when the index cannot be read. Returns the number deleted.
int removeOrphanListFiles(const QString& folder, const QString& indexPath, const QString& section,
                          const QString& prefix, const QString& ext);

}  // namespace tarn::folderindex
