#pragma once
// The running event log: one step line per noteworthy step of every procedure,
// "<ticks>\t<module>\t<procedure>\t<step>".
#include <QString>

namespace tarn {

enum class EventType { Error = 1, Information = 4 };

namespace eventlog {
bool start(const QString& path);  // opens for appending; false (and logging off) when it cannot
void stop();
bool isRunning();
QString path();
void logEvent(const QString& text, EventType type = EventType::Information);
void logStep(const char* module, const char* procedure, const QString& step);
void writeHeader(bool cleared);  // "Application Version x.y.z - Log Started/Cleared at <date time>"
void clearLog();                 // stop, delete, start again, "Log Cleared at" header
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
