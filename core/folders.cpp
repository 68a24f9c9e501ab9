#include "core/folders.h"

#include <cstdio>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <mutex>

#include "core/eventlog.h"

namespace tarn::folders {
namespace {
constexpr char kProductPath[] = "Kamrith Labs/TARN RQ";
constexpr char kSharedCommonFolder[] = "/var/lib/kamrith-labs/tarnrq";
constexpr char kModule[] = "modFolders";

QString sandboxHome() {
  const QByteArray h = qgetenv("TARNRQ_HOME");
  if (h.isEmpty()) return QString();
  return QDir::cleanPath(QString::fromLocal8Bit(h));
}

QString firstLocation(QStandardPaths::StandardLocation loc, const QString& fallback) {
  const QString p = QStandardPaths::writableLocation(loc);
  return p.isEmpty() ? QDir::homePath() + fallback : p;
}

QString errnoText(int e) { return QString::fromLocal8Bit(::strerror(e)); }

std::mutex g_tempMutex;
QString g_tempProblem;

// Why the folder cannot serve as the private temporary folder; empty when it can.
QString privateFolderProblem(const QByteArray& native) {
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0) return errnoText(errno);
  if (S_ISLNK(st.st_mode)) return QStringLiteral("it is a symbolic link");
  if (!S_ISDIR(st.st_mode)) return QStringLiteral("it is not a folder");
  if (st.st_uid != ::geteuid()) return QStringLiteral("it belongs to user %1").arg(st.st_uid);
  if ((st.st_mode & 077) != 0)
    return QStringLiteral("others may use it (mode %1)").arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
  return QString();
}

// A usable runtime folder of the user: ours, a real folder, closed to others.
QString runtimeFolder() {
  const QString r = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
  if (r.isEmpty() || !QDir::isAbsolutePath(r)) return QString();
  return privateFolderProblem(encodeName(r)).isEmpty() ? QDir::cleanPath(r) : QString();
}

bool processAlive(qint64 pid) {
  if (pid <= 0 || pid > 0x7fffffff) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Decodes one UTF-8 sequence at p (strictly: no overlong forms, surrogates or values past
// U+10FFFF); the code point, or -1 when the bytes are not one.
int decodeOne(const unsigned char* p, qsizetype left, int* length) {
  const unsigned char b = p[0];
  int n = 0;
  char32_t c = 0;
  char32_t min = 0;
  if (b < 0x80) {
    *length = 1;
    return b;
  } else if ((b & 0xE0) == 0xC0) {
    n = 2, c = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    n = 3, c = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    n = 4, c = b & 0x07, min = 0x10000;
  } else {
    return -1;
  }
  if (left < n) return -1;
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return -1;
    c = (c << 6) | (p[i] & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
  *length = n;
  return static_cast<int>(c);
}
}  // namespace

QString documentsFolder() {
  const QString home = sandboxHome();
  const QString f =
      home.isEmpty() ? firstLocation(QStandardPaths::DocumentsLocation, "/Documents") : home + "/Documents";
  ensureFolder(f);  // the shell hands it out created
  return f;
}

QString userDataFolder() {
  const QString home = sandboxHome();
  if (!home.isEmpty()) return home + "/AppData/" + kProductPath;
  return firstLocation(QStandardPaths::GenericDataLocation, "/.local/share") + "/" + kProductPath;
}

QString commonDataFolder() {
  const QString home = sandboxHome();
  if (!home.isEmpty()) return home + "/CommonData/" + kProductPath;
  // A shared folder only when the installation provides one; a user cannot create it.
  if (::access(kSharedCommonFolder, W_OK | X_OK) == 0) return kSharedCommonFolder;
  QString state = QString::fromLocal8Bit(qgetenv("XDG_STATE_HOME"));
  if (state.isEmpty() || !QDir::isAbsolutePath(state)) state = QDir::homePath() + "/.local/state";
  return QDir::cleanPath(state) + "/" + kProductPath;
}

QString tempFolder() {
  const QString home = sandboxHome();
  QString f;
  if (!home.isEmpty()) {
    f = home + "/Temp";
  } else {
    const QString runtime = runtimeFolder();
    f = runtime.isEmpty() ? QDir::tempPath() + "/tarnrq-" + QString::number(::geteuid())
                          : runtime + "/tarnrq";
  }
  const QByteArray native = encodeName(f);
  // mkdir itself never follows a link planted under the name; the checks below catch one.
  if (::mkdir(native.constData(), 0700) != 0 && errno == ENOENT) ensureFolder(f);
  QString problem = privateFolderProblem(native);
  std::lock_guard lock(g_tempMutex);
  if (!problem.isEmpty()) {
    problem = QStringLiteral("The temporary folder %1 is refused: %2").arg(f, problem);
    if (problem != g_tempProblem) eventlog::logError(kModule, "TempFolder", problem);
    g_tempProblem = problem;
    return QString();
  }
  g_tempProblem.clear();
  return f;
}

QString tempFolderProblem() {
  std::lock_guard lock(g_tempMutex);
  return g_tempProblem;
}

int removeTempFiles(const QStringList& patterns) {
  const QString folder = tempFolder();
  if (folder.isEmpty()) return 0;
  QList<QRegularExpression> wanted;
  for (const QString& p : patterns)
    wanted << QRegularExpression(
        QRegularExpression::wildcardToRegularExpression(p, QRegularExpression::UnanchoredWildcardConversion));
  const int dirFd = ::open(encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    const QString name = decodeName(QByteArray(e->d_name));
    if (!std::any_of(wanted.begin(), wanted.end(),
                     [&](const QRegularExpression& re) { return re.match(name).hasMatch(); }))
      continue;
    struct stat st {};
    // Judged and removed relative to the folder already opened, never through a link.
    if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) continue;
    if (::unlinkat(dirFd, e->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

QString settingsStorePath() {
  const QString home = sandboxHome();
  if (!home.isEmpty()) return home + "/Config/settings.sqlite";
  return firstLocation(QStandardPaths::GenericConfigLocation, "/.config") + "/" + kProductPath +
         "/settings.sqlite";
}

QString programFolder() {
  if (QCoreApplication::instance()) return QCoreApplication::applicationDirPath();
  return QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
}

QString withSlash(const QString& folder) {
  if (folder.isEmpty() || folder.endsWith('/') || folder.endsWith('\\')) return folder;
  return folder + '/';
}

bool ensureFolder(const QString& folder) {
  if (folder.isEmpty()) return false;
  const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
  QStringList missing;
  for (QString level = clean; !QFileInfo::exists(level);) {
    missing.prepend(level);
    const QString up = QFileInfo(level).path();
    if (up == level) break;
    level = up;
  }
  for (const QString& level : missing) {
    if (::mkdir(encodeName(level).constData(), 0700) != 0 && errno != EEXIST) return false;
  }
  return QFileInfo(clean).isDir();
}

QString hiddenTempPath(const QString& target) {
  const QFileInfo info(target);
  return info.absoluteDir().filePath(
      QStringLiteral(".%1.%2.%3.tmp")
          .arg(info.fileName())
          .arg(::getpid())
          .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

bool createPrivateFile(const QString& path, QString* error) {
  const int fd = ::open(encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (error) *error = errnoText(errno);
    return false;
  }
  ::close(fd);
  return true;
}

void makePrivate(const QString& path) {
  const QByteArray native = encodeName(path);
  struct stat st {};
  if (::lstat(native.constData(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
    ::chmod(native.constData(), st.st_mode & 0700);
}

bool writePrivateFile(const QString& path, const QByteArray& bytes, QString* error) {
  const auto failed = [&](const QString& why) {
    if (error) *error = QStringLiteral("cannot write %1: %2").arg(path, why);
    return false;
  };
  QString temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = hiddenTempPath(path);
    fd = ::open(encodeName(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return failed(errnoText(errno));
  const QByteArray nativeTemp = encodeName(temp);
  const char* p = bytes.constData();
  qsizetype left = bytes.size();
  int e = 0;
  while (left > 0 && e == 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      e = n < 0 ? errno : EIO;
      break;
    }
    p += n;
    left -= n;
  }
  if (e == 0 && ::fsync(fd) != 0) e = errno;
  if (::close(fd) != 0 && e == 0) e = errno;
  if (e == 0 && ::rename(nativeTemp.constData(), encodeName(path).constData()) != 0) e = errno;
  if (e != 0) {
    ::unlink(nativeTemp.constData());
    return failed(errnoText(e));
  }
  return true;
}

int removeSaveLeftovers(const QString& folder) {
  static const QRegularExpression leftover(QStringLiteral("^\\..+\\.(\\d{1,10})\\.[0-9a-f]{8}\\.tmp$"));
  const int dirFd = ::open(encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return 0;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return 0;
  }
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] != '.') continue;
    const QRegularExpressionMatch m = leftover.match(decodeName(QByteArray(e->d_name)));
    if (!m.hasMatch() || processAlive(m.captured(1).toLongLong())) continue;
    struct stat st {};
    if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlinkat(dirFd, e->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

QByteArray encodeName(const QString& path) {
  QByteArray out;
  out.reserve(path.size());
  const qsizetype n = path.size();
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t u = path.at(i).unicode();
    const bool lowSurrogate = u >= 0xDC00 && u <= 0xDFFF;
    const bool paired = lowSurrogate && i > 0 && QChar::isHighSurrogate(path.at(i - 1).unicode());
    if (lowSurrogate && !paired && u >= 0xDC80 && u <= 0xDCFF) {
      out.append(static_cast<char>(u - 0xDC00));  // a byte kept from an undecodable name
      continue;
    }
    char32_t c = u;
    if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(path.at(i + 1).unicode())) {
      c = QChar::surrogateToUcs4(u, path.at(i + 1).unicode());
      ++i;
    } else if (QChar::isSurrogate(u)) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out.append(static_cast<char>(c));
    } else if (c < 0x800) {
      out.append(static_cast<char>(0xC0 | (c >> 6)));
      out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.append(static_cast<char>(0xE0 | (c >> 12)));
      out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.append(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.append(static_cast<char>(0xF0 | (c >> 18)));
      out.append(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.append(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.append(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

QString decodeName(const QByteArray& native) {
  QString out;
  out.reserve(native.size());
  const auto* p = reinterpret_cast<const unsigned char*>(native.constData());
  const qsizetype n = native.size();
  for (qsizetype i = 0; i < n;) {
    int len = 0;
    const int c = decodeOne(p + i, n - i, &len);
    if (c < 0) {
      out.append(QChar(static_cast<char16_t>(0xDC00 + p[i])));
      ++i;
      continue;
    }
    out.append(QString::fromUcs4(reinterpret_cast<const char32_t*>(&c), 1));
    i += len;
  }
  return out;
}

ReadResult readFile(const QString& path, qint64 maxBytes, QByteArray* bytes, QString* error) {
  const int fd = ::open(encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int e = errno;
    if (error) *error = errnoText(e);
    return e == ENOENT || e == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
  }
  struct stat st {};
  ReadResult r = ReadResult::Read;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = QStringLiteral("not a file");
    r = S_ISDIR(st.st_mode) ? ReadResult::Missing : ReadResult::Failed;
  } else if (st.st_size > maxBytes) {
    r = ReadResult::TooLarge;
  } else {
    bytes->resize(static_cast<qsizetype>(st.st_size));
    qsizetype got = 0;
    while (got < bytes->size()) {
      const ssize_t n = ::read(fd, bytes->data() + got, static_cast<size_t>(bytes->size() - got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      got += n;
    }
    if (got != bytes->size()) {
      if (error) *error = errnoText(errno ? errno : EIO);
      r = ReadResult::Failed;
    }
  }
  ::close(fd);
  return r;
}

namespace {
QString stampText(const struct stat& st) {
  // "dev:ino:size:mtime.ns:ctime.ns", formatted in one go: a refresh takes one per subject file.
  char text[128];
  const int n = std::snprintf(
      text, sizeof text, "%llu:%llu:%lld:%lld.%09lld:%lld.%09lld", static_cast<unsigned long long>(st.st_dev),
      static_cast<unsigned long long>(st.st_ino), static_cast<long long>(st.st_size),
      static_cast<long long>(st.st_mtim.tv_sec), static_cast<long long>(st.st_mtim.tv_nsec),
      static_cast<long long>(st.st_ctim.tv_sec), static_cast<long long>(st.st_ctim.tv_nsec));
  return n > 0 ? QString::fromLatin1(text, std::min<int>(n, int(sizeof text) - 1)) : QString();
}
}  // namespace

QString fileStamp(const QString& path) {
  struct stat st {};
  return ::stat(encodeName(path).constData(), &st) == 0 ? stampText(st) : QString();
}

QString fileStamp(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? stampText(st) : QString();
}

qint64 fileSize(const QString& path) {
  struct stat st {};
  return ::stat(encodeName(path).constData(), &st) == 0 ? qint64(st.st_size) : -1;
}

QStringList filesEndingIn(const QString& folder, const QString& suffix) {
  QStringList out;
  DIR* dir = ::opendir(encodeName(folder).constData());
  if (!dir) return out;
  const int dirFd = ::dirfd(dir);
  while (const dirent* e = ::readdir(dir)) {
    const QString name = decodeName(QByteArray(e->d_name));
    if (!name.endsWith(suffix, Qt::CaseInsensitive)) continue;
    // The directory says what most entries are; links and file systems that do not say are asked.
    struct stat st {};
    if (e->d_type != DT_REG && (::fstatat(dirFd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))) continue;
    out << name;
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
    const int r = a.compare(b, Qt::CaseInsensitive);
    return r != 0 ? r < 0 : a < b;
  });
  return out;
}
}  // namespace tarn::folders
