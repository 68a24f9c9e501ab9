#pragma once
// One running station per computer: a lock file in the common data folder. A lock left behind
// by a process that died is taken over.
#include <QString>
#include <memory>

class QLockFile;

namespace tarn {
class SingleInstanceLock {
 public:
  // The lock file "KMTARNRQ.lck" in the given folder (the common data folder when empty).
  explicit SingleInstanceLock(const QString& folder = QString());
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  bool tryAcquire();  // false when another running copy holds it (or the folder is unusable)
  void release();
  bool isHeld() const;
  QString lockPath() const { return path_; }
  QString errorText() const;  // why the lock could not be taken

 private:
  QString path_;
  std::unique_ptr<QLockFile> lock_;
};
}  // namespace tarn
