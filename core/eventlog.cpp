#include "core/eventlog.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <atomic>
#include <charconv>
#include <cstring>
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
// Lines gathered while a batch runs, written when this many bytes are waiting.
constexpr size_t kBatchBytes = 64 * 1024;

struct LogState {
  std::mutex mutex;
  int fd = -1;
  QString path;
  QString lastError = QStringLiteral("The event log has not been started.");
  bool writeFailed = false;  // once a write failed, nothing more is written in this run
  int batches = 0;           // batches alive
  // Lines of a batch not yet written: a fixed block, so that a crash can still write it out.
  char pending[kBatchBytes];
  size_t pendingBytes = 0;
};
std::atomic<bool> g_running{false};  // the log is open: a cheap test before any line is made

// A crash during a batch writes the lines still waiting, then lets the signal take its course.
// Only async-signal-safe calls here; the lines are the last the program logged.
std::atomic<int> g_crashFd{-1};
std::atomic<const char*> g_crashData{nullptr};
std::atomic<size_t> g_crashBytes{0};

void onFatalSignal(int sig) {
  const int fd = g_crashFd.load();
  const char* p = g_crashData.load();
  size_t left = g_crashBytes.load();
  while (fd >= 0 && p && left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= size_t(n);
  }
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

void installCrashWriter() {
  static const bool installed = [] {
    for (const int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
      struct sigaction old {};
      // A handler someone else put there (a debugging tool) is left alone.
      if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
      struct sigaction sa {};
      sa.sa_handler = onFatalSignal;
      sigemptyset(&sa.sa_mask);
      sa.sa_flags = SA_RESETHAND;
      ::sigaction(sig, &sa, nullptr);
    }
    return true;
  }();
  (void)installed;
}

void publishPending(const LogState& s) {
  g_crashBytes.store(0);
  g_crashData.store(s.pending);
  g_crashFd.store(s.fd);
  g_crashBytes.store(s.pendingBytes);
}

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
      g_running.store(false, std::memory_order_relaxed);
      g_crashFd.store(-1);
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

// Writes the lines a batch gathered.
void flushPending(LogState& s) {
  if (s.pendingBytes == 0) return;
  const QByteArray block = QByteArray::fromRawData(s.pending, qsizetype(s.pendingBytes));
  s.pendingBytes = 0;
  publishPending(s);
  if (s.fd >= 0) writeLine(s, block);
}

void closeLocked(LogState& s) {
  flushPending(s);
  if (s.fd >= 0) ::close(s.fd);
  s.fd = -1;
  g_running.store(false, std::memory_order_relaxed);
  g_crashFd.store(-1);
}

// One line, whole (text ends with its line feed): written at once, or gathered while a batch runs.
void appendLocked(LogState& s, const char* text, size_t bytes, bool urgent) {
  if (s.fd < 0) return;
  if (s.batches > 0 && !urgent && bytes <= kBatchBytes) {
    if (s.pendingBytes + bytes > kBatchBytes) flushPending(s);
    if (s.fd < 0) return;
    std::memcpy(s.pending + s.pendingBytes, text, bytes);
    s.pendingBytes += bytes;
    publishPending(s);
    return;
  }
  flushPending(s);
  if (s.fd >= 0) writeLine(s, QByteArray::fromRawData(text, qsizetype(bytes)));
}

bool startLocked(LogState& s, const QString& file) {
  closeLocked(s);
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
  g_running.store(true, std::memory_order_relaxed);
  g_crashFd.store(s.fd);
  installCrashWriter();
  return true;
}
}  // namespace

Batch::Batch() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  ++s.batches;
}

Batch::~Batch() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (--s.batches == 0) flushPending(s);
}

bool start(const QString& file) {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  return startLocked(s, file);
}

void stop() {
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  closeLocked(s);
  if (!s.writeFailed) s.lastError = QStringLiteral("The event log has been stopped.");
}

bool isRunning() { return g_running.load(std::memory_order_relaxed); }

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
  if (!isRunning()) return;
  QByteArray line;
  if (type == EventType::Error) line = kErrorPrefix;
  line += text.toUtf8();
  line += '\n';
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  appendLocked(s, line.constData(), size_t(line.size()), type == EventType::Error);
}

QString stepLine(const char* module, const char* procedure, const QString& step) {
  return QString::number(clock::tickCount()) + '\t' + QLatin1String(module) + '\t' +
         QLatin1String(procedure) + '\t' + step;
}

namespace {
// A step line made straight in UTF-8, as stepLine() gives it: the commonest line of all. lead, a
// plain ASCII text, goes in front of the step text. Lines of ASCII that fit are made on the stack.
void logStepLine(const char* module, const char* procedure, const char* lead, QStringView step,
                 EventType type) {
  char buf[512];
  constexpr size_t kRoom = sizeof buf - 1;  // the line feed always fits
  size_t n = 0;
  auto put = [&](const char* text) {  // leaves room for the tabs between the parts
    const size_t len = qstrnlen(text, n + 8 < kRoom ? kRoom - 8 - n : 0);
    std::memcpy(buf + n, text, len);
    n += len;
  };
  if (type == EventType::Error) put(kErrorPrefix);
  n = size_t(std::to_chars(buf + n, buf + n + 16, clock::tickCount()).ptr - buf);
  buf[n++] = '\t';
  put(module);
  buf[n++] = '\t';
  put(procedure);
  buf[n++] = '\t';
  put(lead);
  QByteArray spill;  // a long or non-ASCII step
  const char16_t* u = step.utf16();
  const qsizetype units = step.size();
  qsizetype i = 0;
  while (i < units && n < kRoom && u[i] < 0x80) buf[n++] = char(u[i++]);
  if (i < units) {
    spill = QByteArray(buf, qsizetype(n)) + step.mid(i).toUtf8();
    spill += '\n';
  } else {
    buf[n++] = '\n';
  }
  LogState& s = state();
  std::lock_guard lock(s.mutex);
  if (spill.isEmpty())
    appendLocked(s, buf, n, type == EventType::Error);
  else
    appendLocked(s, spill.constData(), size_t(spill.size()), type == EventType::Error);
}
}  // namespace

void logStep(const char* module, const char* procedure, const QString& step) {
  if (!isRunning()) return;  // keep the common case of a stopped log cheap
  logStepLine(module, procedure, "", step, EventType::Information);
}

void logError(const char* module, const char* procedure, const QString& text) {
  if (!isRunning()) return;
  logStepLine(module, procedure, "Error: ", text, EventType::Error);
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
    closeLocked(s);
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
    closeLocked(s);
    if (!s.writeFailed) s.lastError = QStringLiteral("The event log has been stopped.");
    file = s.path;
  }
  if (!file.isEmpty()) QFile::remove(file);
}
}  // namespace eventlog

ProcLog::ProcLog(const char* module, const char* procedure, const QString& beginDetails)
    : module_(module), procedure_(procedure) {
  if (!eventlog::isRunning()) return;
  // Callers pass either ", File = x" or "File = x"; both read "Begin, File = x".
  const bool separated =
      beginDetails.isEmpty() || beginDetails.startsWith(',') || beginDetails.startsWith(' ');
  eventlog::logStepLine(module_, procedure_, separated ? "Begin" : "Begin, ", beginDetails,
                        EventType::Information);
}

void ProcLog::step(const QString& text) const { eventlog::logStep(module_, procedure_, text); }

void ProcLog::error(const QString& text) const { eventlog::logError(module_, procedure_, text); }

void ProcLog::completed() const {
  eventlog::logStep(module_, procedure_, QStringLiteral("Procedure Completed"));
}

}  // namespace tarn
