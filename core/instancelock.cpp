#include "core/instancelock.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QSysInfo>

#include "core/folders.h"

namespace tarn {
namespace {
QString errnoText(int e) { return QString::fromLocal8Bit(::strerror(e)); }

// The first line of the lock file: the process id written by the holder (0 when unreadable).
qint64 ownerPid(int fd) {
  char buf[32] = {};
  const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
  return n > 0 ? QByteArray(buf, int(n)).split('\n').first().trimmed().toLongLong() : 0;
}
}  // namespace

SingleInstanceLock::SingleInstanceLock(const QString& folder)
    : folder_(folder.isEmpty() ? folders::commonDataFolder() : folder),
      path_(QDir(folder_).filePath(QStringLiteral("KMTARNRQ.lck"))) {}

SingleInstanceLock::~SingleInstanceLock() { release(); }

bool SingleInstanceLock::tryAcquire() {
  if (fd_ >= 0) return true;
  error_.clear();
  const auto unusable = [&](const QString& why) {
    outcome_ = Outcome::FolderUnusable;
    error_ = why;
    return false;
  };
  if (!folders::ensureFolder(folder_)) return unusable(errnoText(errno));
  // The station writes its log and list files here: a folder it cannot write is of no use.
  if (::access(folders::encodeName(folder_).constData(), W_OK | X_OK) != 0) return unusable(errnoText(errno));
  const QByteArray native = folders::encodeName(path_);
  // Only a process id: readable by everyone, so that another user's copy sees the lock too.
  int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0 && (errno == EACCES || errno == EPERM))
    fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return unusable(errnoText(errno));
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int e = errno;
    const qint64 pid = ownerPid(fd);
    ::close(fd);
    if (e != EWOULDBLOCK) return unusable(errnoText(e));
    outcome_ = Outcome::HeldByOther;
    error_ =
        pid > 0 ? QStringLiteral("held by process %1").arg(pid) : QStringLiteral("held by another process");
    return false;
  }
  // Ours now, whatever the file held before (an empty file of a copy killed at start included).
  const QByteArray info =
      QByteArray::number(qint64(::getpid())) + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
  if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, info.constData(), size_t(info.size()), 0) < 0) {
    // Only informative: the lock holds without it.
  }
  fd_ = fd;
  outcome_ = Outcome::Acquired;
  return true;
}

void SingleInstanceLock::release() {
  if (fd_ < 0) return;
  // The file stays: removing it would let a copy that opened it just before lock a file that no
  // longer has a name while a third copy locks a new one.
  ::close(fd_);
  fd_ = -1;
}
}  // namespace tarn
