#include "files/filemove.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <vector>

#include "support/strings/strings.h"

namespace tarn::fm {
namespace {

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

QByteArray enc(const QString& p) { return QFile::encodeName(p); }

QByteArray folderOf(const QByteArray& path) {
  const int slash = path.lastIndexOf('/');
  if (slash < 0) return QByteArrayLiteral(".");
  return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

void syncFolder(const QByteArray& folder) {
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

// Renames without replacing an existing target. Falls back to link and unlink where the file
// system does not know the flag.
int renameNoReplace(const char* from, const char* to) {
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  if (::link(from, to) != 0) return -1;
  ::unlink(from);
  return 0;
}

int renameInto(const char* from, const char* to, bool replace) {
  return replace ? ::rename(from, to) : renameNoReplace(from, to);
}

bool writeAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = ENOSPC;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// The copy into a synced temporary beside the target, which then takes the target's name.
FileOpResult copyThroughTemporary(const QByteArray& src, const QByteArray& dst, bool replace) {
  FileOpResult r;
  const int in = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    r.error = errnoText(errno);
    return r;
  }
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    r.error = S_ISREG(st.st_mode) ? errnoText(errno) : Str(5090);
    ::close(in);
    return r;
  }
  const QByteArray folder = folderOf(dst);
  const QByteArray base = dst.mid(dst.lastIndexOf('/') + 1);
  QByteArray tmpl = folder + "/.~" + base + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int out = ::mkostemp(name.data(), O_CLOEXEC);
  if (out < 0) {
    r.error = errnoText(errno);
    ::close(in);
    return r;
  }
  ::fchmod(out, S_IRUSR | S_IWUSR);
  int failure = 0;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failure = errno;
      break;
    }
    if (n == 0) break;
    if (!writeAll(out, buffer.data(), static_cast<size_t>(n))) {
      failure = errno;
      break;
    }
  }
  if (!failure) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
    if (::fsync(out) != 0) failure = errno;
  }
  if (::close(out) != 0 && !failure) failure = errno;
  ::close(in);
  if (!failure && renameInto(name.data(), dst.constData(), replace) != 0) failure = errno;
  if (failure) {
    ::unlink(name.data());
    r.error = errnoText(failure);
    return r;
  }
  syncFolder(folder);
  r.done = true;
  return r;
}

}  // namespace

FileOpResult CopyFileSafely(const QString& source, const QString& target, bool replace) {
  return copyThroughTemporary(enc(source), enc(target), replace);
}

FileOpResult MoveFileSafely(const QString& source, const QString& target, bool replace) {
  const QByteArray src = enc(source), dst = enc(target);
  FileOpResult r;
  if (renameInto(src.constData(), dst.constData(), replace) == 0) {
    syncFolder(folderOf(dst));
    syncFolder(folderOf(src));
    r.done = r.sourceRemoved = true;
    return r;
  }
  if (errno != EXDEV) {
    r.error = errnoText(errno);
    return r;
  }
  // Different file systems: the source goes only once the copy is safely on disk.
  r = copyThroughTemporary(src, dst, replace);
  if (!r.done) return r;
  if (::unlink(src.constData()) != 0) {
    r.error = errnoText(errno);
    return r;
  }
  syncFolder(folderOf(src));
  r.sourceRemoved = true;
  return r;
}

bool IsFolderWritable(const QString& folder) {
  if (!QFileInfo(folder).isDir()) return false;
  QByteArray tmpl = enc(folder) + "/.~probe.XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(name.data());
  return true;
}

bool IsDestinationReadOnly(const QString& path) {
  const QFileInfo fi(path);
  if (!IsFolderWritable(fi.absolutePath())) return true;
  return fi.exists() && (fi.isDir() || !fi.isWritable());
}

bool IsSameFile(const QString& a, const QString& b) {
  struct stat sa {
  }, sb{};
  if (::stat(enc(a).constData(), &sa) != 0 || ::stat(enc(b).constData(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

}  // namespace tarn::fm
