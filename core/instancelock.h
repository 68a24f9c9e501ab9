#pragma once
// One running station per computer: a lock file "KMTARNRQ.lck" in the common data folder. The
// lock is the kernel's advisory lock on that file, held for as long as the process lives, so a
// copy that crashed or was killed (even before it wrote anything into the file) leaves no lock
// behind. The file itself stays; it names the process that last held the lock.
#include <QString>

namespace tarn {
class SingleInstanceLock {
 public:
  enum class Outcome { NotTried, Acquired, HeldByOther, FolderUnusable };

  // The lock file in the given folder (the common data folder when empty).
  explicit SingleInstanceLock(const QString& folder = QString());
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // False when another running copy holds the lock, or when the folder cannot be created or
  // written (outcome() tells which).
  bool tryAcquire();
  void release();
  bool isHeld() const { return fd_ >= 0; }
  Outcome outcome() const { return outcome_; }
  QString lockPath() const { return path_; }
  QString folder() const { return folder_; }
  QString errorText() const { return error_; }  // why the lock could not be taken

 private:
  QString folder_;
  QString path_;
  int fd_ = -1;
  Outcome outcome_ = Outcome::NotTried;
  QString error_;
};
}  // namespace tarn
