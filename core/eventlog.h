#pragma once
// The running event log: one step line per noteworthy step of every procedure,
// "<ticks>\t<module>\t<procedure>\t<step>". Each line reaches the file with its own write, so a
// process that is killed leaves every line it logged (inside a Batch, see below, all but the last
// block's). Logging never throws and never stops the
// program: when the file cannot be opened, logging is off and lastError() says why.
// Error events carry the prefix "[ERROR] " in front of their text; information events none.
// The first write that fails (a full disk) ends logging for the rest of the run; the operator is
// told once, on the window thread.
#include <QString>

namespace tarn {

enum class EventType { Error = 1, Information = 4 };

namespace eventlog {
inline constexpr char kLogFileName[] = "KMTARNRQ.log";
inline constexpr char kErrorLogFileName[] = "KMTARNRQError.log";
inline constexpr char kErrorPrefix[] = "[ERROR] ";

bool start(const QString& path);  // opens for appending; false (and logging off) when it cannot
void stop();
bool isRunning();
QString path();
QString lastError();  // why the log is off; empty while it runs
void logEvent(const QString& text, EventType type = EventType::Information);
void logStep(const char* module, const char* procedure, const QString& step);
void logError(const char* module, const char* procedure, const QString& text);  // "Error: <text>"
QString stepLine(const char* module, const char* procedure, const QString& step);
QString headerText(bool cleared);
// How a log line names a subject file: a short digest of its full path and its extension
// ("#3fa2c1d0.kpf"). The lines of one file stay together; the name, often the subject's, stays out.
QString privateFileName(
    const QString& path);  // "Application Version x.y.z - Log Started/Cleared at <date time>"
void writeHeader(bool cleared);
void clearLog();  // stop, delete, start again, "Log Cleared at" header

// Start-up and shutdown of the station (the log lives in the common data folder).
bool previousRunEndedAbnormally(const QString& folder);  // the log of the last run is still there
// On send: replaces any older error log by the left-over log and hands it to the mail service.
// Whatever the answer, the left-over log is deleted afterwards. Failures are ignored.
void handOffErrorLog(const QString& folder, bool send);
void endNormally();  // stop and delete the log: its absence marks a normal end

// While a batch is alive (on any thread), information lines are gathered and written in blocks
// of 64 KiB instead of one write each: for bulk work that runs without the operator, such as a
// list load, whose every record logs its steps. Error lines, the end of the last batch and
// stopping the log write what waits; so does a crash (its signal), so only a process killed
// outright can lose lines, at most one block.
class Batch {
 public:
  Batch();
  ~Batch();
  Batch(const Batch&) = delete;
  Batch& operator=(const Batch&) = delete;
};
}  // namespace eventlog

// Cheap "Begin" / step / "Procedure Completed" lines for one procedure.
class ProcLog {
 public:
  ProcLog(const char* module, const char* procedure, const QString& beginDetails = QString());
  void step(const QString& text) const;
  void error(const QString& text) const;  // logs "Error: <text>" as an error event
  void completed() const;                 // "Procedure Completed"
  const char* module() const { return module_; }
  const char* procedure() const { return procedure_; }

 private:
  const char* module_;
  const char* procedure_;
};

}  // namespace tarn
