#include "core/eventlog.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <mutex>

#include "core/clock.h"
#include "core/folders.h"
#include "core/mail.h"
#include "core/messages.h"
#include "core/version.h"
#include "support/strings/strings.h"

namespace tarn {
namespace eventlog {
namespace {
struct LogState {
  std::mutex mutex;
  int fd = -1;
  QString path;
  QString lastError = QStringLiteral("The event log has not been started.");
  bool writeFailed = false;  // once a write failed, nothing more is written in this run
};

LogState& state() {
  static LogState s;
  return s;
}

// The operator learns once that the log stopped; shown on the window thread, never from inside
// a log call (which may run on a worker thread or hold locks).
void tellOperator(const QString& why) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return;
  QMetaObject::invokeMethod(
      app, [why] { showMessage(Str(1900).arg(why), MsgIcon::Exclamation); }, Qt::QueuedConnection);
}

// One write per line: with O_APPEND the line lands whole, and it is in the file as soon as the
// call returns, so a killed process loses nothing it logged. A log that cannot grow (a full disk)
// must not take the last free space from the subject files: the first failed write ends logging.
void writeLine(LogState& s, const QByteArray& line) {
  const char* p = line.constData();
  qsizetype left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(s.fd, p, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const QString why = QString::fromLocal8Bit(::strerror(n < 0 ? errno : EIO));
      ::close(s.fd);
      s.fd = -1;
      s.writeFailed = true;
      s.lastError = QStringLiteral("The event log %1 could not be written: %2")
                        .arg(QDir::toNativeSeparators(s.path), why);
      tellOperator(why);
      return;
    }
    p += n;
    left -= n;
  }
}

bool startLocked(LogState& s, const QString& file) {
  if (s.fd >= 0) ::close(s.fd);
  s.fd = -1;
  s.path = file;
  if (file.isEmpty()) {
    s.lastError = QStringLiteral("No event log file was given.");
    return false;
  }
  if (s.writeFailed) return false;  // s.lastError keeps the write failure
  folders::ensureFolder(QFileInfo(file).absolutePath());
  const QByteArray native = folders::encodeName(file);
  // The log names what the station did with whose files: the user's alone.
  s.fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (s.fd < 0) {
    s.lastError = QStringLiteral("The event log %1 cannot be opened: %2")
                      .arg(QDir::toNativeSeparators(file), QString::fromLocal8Bit(::strerror(errno)));
    return false;
  }
  struct stat st {};
  if (::fstat(s.fd, &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 077) != 0)
    ::fchmod(s.fd, st.st_mode & 0700);
  s.lastError.clear();
  return true;
}
}  // namespace

bool start(const QString& file) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  return startLocked(s, file);
}

void stop() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (s.fd >= 0) ::close(s.fd);
  s.fd = -1;
  if (!s.writeFailed) s.lastError = QStringLiteral("The event log has been stopped.");
}

bool isRunning() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  return s.fd >= 0;
}

QString path() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  return s.path;
}

QString lastError() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  return s.lastError;
}

void logEvent(const QString& text, EventType type) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (s.fd < 0) return;
  QByteArray line;
  if (type == EventType::Error) line = kErrorPrefix;
  line += text.toUtf8();
  line += '\n';
  writeLine(s, line);
}

QString stepLine(const char* module, const char* procedure, const QString& step) {
  return QString::number(clock::tickCount()) + '\t' + QLatin1String(module) + '\t' +
         QLatin1String(procedure) + '\t' + step;
}

void logStep(const char* module, const char* procedure, const QString& step) {
  if (!isRunning()) return;  // keep the common case of a stopped log cheap
  logEvent(stepLine(module, procedure, step), EventType::Information);
}

void logError(const char* module, const char* procedure, const QString& text) {
  if (!isRunning()) return;
  logEvent(stepLine(module, procedure, QStringLiteral("Error: ") + text), EventType::Error);
}

QString headerText(bool cleared) {
  return QStringLiteral("Application Version ") + versionText() +
         (cleared ? QStringLiteral(" - Log Cleared at ") : QStringLiteral(" - Log Started at ")) +
         clock::generalDateText(clock::now());
}

QString privateFileName(const QString& path) {
  const QByteArray digest = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256).toHex();
  const QString suffix = QFileInfo(path).suffix();
  return QLatin1Char('#') + QString::fromLatin1(digest.left(8)) +
         (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

void writeHeader(bool cleared) { logEvent(headerText(cleared)); }

void clearLog() {
  LogState& s = state();
  {
    std::lock_guard lock(s.mutex);
    if (s.path.isEmpty()) return;
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
    QFile::remove(s.path);
    if (!startLocked(s, s.path)) {
      // Logging stopped after a failed write: an empty log still marks the run as not yet ended.
      if (s.writeFailed) folders::createPrivateFile(s.path);
      return;
    }
  }
  writeHeader(true);
}

bool previousRunEndedAbnormally(const QString& folder) {
  return QFileInfo::exists(QDir(folder).filePath(kLogFileName));
}

void handOffErrorLog(const QString& folder, bool send) {
  const QDir dir(folder);
  const QString log = dir.filePath(kLogFileName);
  if (send) {
    const QString errorLog = dir.filePath(kErrorLogFileName);
    QFile::remove(errorLog);
    if (QFile::rename(log, errorLog)) mail::sendErrorLog(errorLog);
  }
  QFile::remove(log);
}

void endNormally() {
  QString file;
  {
    LogState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
    if (!s.writeFailed) s.lastError = QStringLiteral("The event log has been stopped.");
    file = s.path;
  }
  if (!file.isEmpty()) QFile::remove(file);
}
}  // namespace eventlog

ProcLog::ProcLog(const char* module, const char* procedure, const QString& beginDetails)
    : module_(module), procedure_(procedure) {
  if (!eventlog::isRunning()) return;
  QString text = QStringLiteral("Begin");
  if (!beginDetails.isEmpty()) {
    // Callers pass either ", File = x" or "File = x"; both read "Begin, File = x".
    if (!beginDetails.startsWith(',') && !beginDetails.startsWith(' ')) text += QStringLiteral(", ");
    text += beginDetails;
  }
  eventlog::logStep(module_, procedure_, text);
}

void ProcLog::step(const QString& text) const { eventlog::logStep(module_, procedure_, text); }

void ProcLog::error(const QString& text) const { eventlog::logError(module_, procedure_, text); }

void ProcLog::completed() const {
  eventlog::logStep(module_, procedure_, QStringLiteral("Procedure Completed"));
}

}  // namespace tarn
