#include "core/instancelock.h"

#include <QDir>
#include <QLockFile>

#include "core/folders.h"

namespace tarn {
SingleInstanceLock::SingleInstanceLock(const QString& folder)
    : path_(QDir(folder.isEmpty() ? folders::commonDataFolder() : folder).filePath("KMTARNRQ.lck")),
      lock_(std::make_unique<QLockFile>(path_)) {
  // Never stale by age: a station may run for months. A dead owner is detected by its process id.
  lock_->setStaleLockTime(0);
}

SingleInstanceLock::~SingleInstanceLock() = default;

bool SingleInstanceLock::tryAcquire() {
  if (lock_->isLocked()) return true;
  folders::ensureFolder(QFileInfo(path_).absolutePath());
  return lock_->tryLock(0);
}

void SingleInstanceLock::release() { lock_->unlock(); }

bool SingleInstanceLock::isHeld() const { return lock_->isLocked(); }

QString SingleInstanceLock::errorText() const {
  switch (lock_->error()) {
    case QLockFile::NoError:
      return QString();
    case QLockFile::LockFailedError: {
      qint64 pid = 0;
      QString host, app;
      if (lock_->getLockInfo(&pid, &host, &app))
        return QStringLiteral("held by process %1 (%2) on %3").arg(pid).arg(app, host);
      return QStringLiteral("held by another process");
    }
    case QLockFile::PermissionError:
      return QStringLiteral("no permission to create %1").arg(QDir::toNativeSeparators(path_));
    case QLockFile::UnknownError:
      break;
  }
  return QStringLiteral("unknown error with %1").arg(QDir::toNativeSeparators(path_));
}
}  // namespace tarn
