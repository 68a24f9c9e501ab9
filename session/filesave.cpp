#include "session/filesave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr char kModule[] = "mdifrmMain";
constexpr char kProc[] = "fnDataSave";

ReplaceStageHook& stageHook() {
  static ReplaceStageHook hook;
  return hook;
}

void stage(const QString& name) {
  if (const auto& hook = stageHook()) hook(name);
}

QByteArray enc(const QString& path) { return QFile::encodeName(path); }

bool present(const QString& path) {
  struct stat st {};
  return ::lstat(enc(path).constData(), &st) == 0;
}

void syncFolder(const QString& folder) {
  const int fd = ::open(enc(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Hidden names beside the target for the new contents and the generation that drops out. Both
// carry the process id, so leftovers of a process that died can be told from a save in progress.
QString sideName(const QFileInfo& target, const QString& what) {
  return target.absoluteDir().filePath(
      QStringLiteral(".%1.%2.%3.%4")
          .arg(target.fileName())
          .arg(::getpid())
          .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
          .arg(what));
}

// Removes what an interrupted save of this target left behind (its owner is gone).
void removeLeftovers(const QFileInfo& target) {
  const QString prefix = QStringLiteral(".%1.").arg(target.fileName());
  const QDir dir = target.absoluteDir();
  const QStringList names = dir.entryList(
      {prefix + QStringLiteral("*.new"), prefix + QStringLiteral("*.old")}, QDir::Files | QDir::Hidden);
  for (const QString& name : names) {
    const QStringList parts = name.mid(prefix.size()).split(QLatin1Char('.'));
    bool ok = false;
    const pid_t pid = parts.isEmpty() ? 0 : static_cast<pid_t>(parts.first().toLong(&ok));
    if (!ok || pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH)) QFile::remove(dir.filePath(name));
  }
}

// Copies source into a new file `copy` (mode `mode`) and syncs it. 0 or the errno of the failure;
// a failed copy is removed.
int copyInto(const QString& source, const QString& copy, mode_t mode) {
  const int in = ::open(enc(source).constData(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  const int out = ::open(enc(copy).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (out < 0) {
    const int e = errno;
    ::close(in);
    return e;
  }
  ::fchmod(out, mode);  // the umask must not widen or narrow it
  int error = 0;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error = errno;
      break;
    }
    if (n == 0) break;
    for (ssize_t done = 0; done < n && !error;) {
      const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0)
        error = w < 0 ? errno : ENOSPC;
      else
        done += w;
    }
    if (error) break;
  }
  if (!error && ::fsync(out) != 0) error = errno;
  if (::close(out) != 0 && !error) error = errno;
  ::close(in);
  if (error) ::unlink(enc(copy).constData());
  return error;
}

}  // namespace

QStringList BackupNames(const QString& subjectFile) {
  const QFileInfo info(subjectFile);
  const QString stem = info.absoluteDir().filePath(info.completeBaseName());
  return {stem + QStringLiteral(".bak"), stem + QStringLiteral(".bk1"), stem + QStringLiteral(".bk2"),
          stem + QStringLiteral(".bk3")};
}

QString FileErrorText(int error) {
  switch (error) {
    case ENOSPC:
    case EDQUOT:
      return Str(4020);
    case EFBIG:
      return Str(4021);
    case EROFS:
    case EACCES:
    case EPERM:
      return Str(4022);
    case ENOENT:
    case ENOTDIR:
      return Str(4023);
    default:
      return Str(4024).arg(QString::fromLocal8Bit(std::strerror(error)));
  }
}

ReplaceStageHook setReplaceStageHook(ReplaceStageHook hook) {
  return std::exchange(stageHook(), std::move(hook));
}

bool ReplaceWithBackups(const QString& source, const QString& target, QString* why) {
  ProcLog log(kModule, kProc, QStringLiteral("Replacing ") + target);
  const QFileInfo info(target);
  const QStringList backups = BackupNames(target);
  const auto fail = [&](int error, const QString& what) {
    const QString text = FileErrorText(error);
    log.error(QStringLiteral("%1: %2 (%3)").arg(what, text, QString::fromLocal8Bit(std::strerror(error))));
    if (why) *why = text;
    return false;
  };
  stage(QStringLiteral("begin"));
  if (!info.absoluteDir().exists()) return fail(ENOENT, QStringLiteral("Folder missing"));
  if (backups.contains(info.absoluteFilePath()))
    return fail(EINVAL, QStringLiteral("The file's name is one of its backup names"));
  removeLeftovers(info);

  // 1. The new contents beside the target, whole and synced, before anything else is touched.
  struct stat old {};
  const bool replacing = ::stat(enc(target).constData(), &old) == 0;
  const mode_t mode = replacing ? (old.st_mode & 07777) : 0600;
  const QString fresh = sideName(info, QStringLiteral("new"));
  if (const int e = copyInto(source, fresh, mode)) return fail(e, QStringLiteral("Copy of the working copy"));
  log.step(QStringLiteral("Working copy copied beside the file"));
  stage(QStringLiteral("copied"));

  // 2. Roll the generations; every move is remembered so that a failure can put it back.
  struct Move {
    QString from, to;
  };
  std::vector<Move> moved;
  const auto undo = [&] {
    for (auto it = moved.rbegin(); it != moved.rend(); ++it)
      ::rename(enc(it->to).constData(), enc(it->from).constData());
    ::unlink(enc(fresh).constData());
  };
  const QString dropped = sideName(info, QStringLiteral("old"));
  const Move roll[] = {
      {backups[3], dropped}, {backups[2], backups[3]}, {backups[1], backups[2]}, {backups[0], backups[1]}};
  const char* rolled[] = {".bk3", ".bk2", ".bk1", ".bak"};
  for (int i = 0; i < 4; ++i) {
    if (!present(roll[i].from)) continue;
    if (::rename(enc(roll[i].from).constData(), enc(roll[i].to).constData()) != 0) {
      const int e = errno;
      undo();
      return fail(e, QStringLiteral("Rolling ") + roll[i].from);
    }
    moved.push_back(roll[i]);
    stage(QStringLiteral("rolled ") + QLatin1String(rolled[i]));
  }

  // 3. The current file becomes ".bak" while keeping its own name: a second name for the same
  // contents where the file system allows it, else a synced copy.
  bool backedUp = false;
  if (replacing) {
    if (::link(enc(target).constData(), enc(backups[0]).constData()) != 0) {
      const int e = errno;
      if (e != EPERM && e != EOPNOTSUPP && e != EXDEV && e != EMLINK && e != ENOSYS) {
        undo();
        return fail(e, QStringLiteral("Keeping the previous version"));
      }
      const QString copy = sideName(info, QStringLiteral("new"));
      int ce = copyInto(target, copy, mode);
      if (!ce && ::rename(enc(copy).constData(), enc(backups[0]).constData()) != 0) {
        ce = errno;
        ::unlink(enc(copy).constData());
      }
      if (ce) {
        undo();
        return fail(ce, QStringLiteral("Keeping the previous version"));
      }
    }
    backedUp = true;
    stage(QStringLiteral("backed up"));
  }

  // 4. One rename puts the new version in place.
  if (::rename(enc(fresh).constData(), enc(target).constData()) != 0) {
    const int e = errno;
    if (backedUp) ::unlink(enc(backups[0]).constData());
    undo();
    return fail(e, QStringLiteral("Replacing the file"));
  }
  syncFolder(info.absolutePath());
  stage(QStringLiteral("replaced"));
  ::unlink(enc(dropped).constData());
  log.completed();
  return true;
}

}  // namespace tarn
