#pragma once
// The station as its automation clients see it: the main window's side of KM_TARNRQ_APP, the
// events wired to the session, the reports reprint, the list refresh and the shutdown, and the
// service on the session bus.
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "automation/automationhost.h"

namespace tarn {
class AutomationServer;
class AutomationBusService;
}  // namespace tarn

namespace tarn::app {

class StationApp;

class StationAutomation final : public AutomationHost {
 public:
  // The program started by the bus ends this long after its last client has gone, when its window
  // is hidden and no session runs.
  static constexpr int kIdleEndMs = 10000;
  static constexpr int kCloseWaitPollMs = 200;

  // activated: the session bus started the program; the main window stays hidden until a client
  // asks for it.
  StationAutomation(StationApp& station, bool activated);
  ~StationAutomation() override;

  // Offers the object on the session bus. Without a bus (or with the name taken) the station runs
  // on without automation; the reason is logged.
  bool startService();
  // How the program ends once its hidden window has unloaded (the entry's event loop); unset in
  // tests, where there is none.
  void setEndProgram(std::function<void()> end) { endProgram_ = std::move(end); }
  AutomationServer& server() { return *server_; }

  bool bAppStarted() const override;
  bool bAppVisible() const override;
  void setAppVisible(bool visible) override;
  bool bTestingEnabled() const override;
  void beginTest(const SessionStart& start) override;
  void unloadMainWindow() override;
  bool bFileAcceptable(const QString& fileName) const override;
  bool bSetFilePath(const QString& folder) override;
  const KM_RQList* lists() const override;
  CurrentSubjectFile* currentFile() const override;

 private:
  StationApp& station_;
  bool activated_;
  bool beginPending_ = false;
  QTimer idle_;
  QTimer closeWait_;
  std::function<void()> endProgram_;  // a close asked for during a session
  std::unique_ptr<AutomationServer> server_;
  std::unique_ptr<AutomationBusService> service_;
};

// What the entry does with its arguments: whether the bus started it (the activation argument).
bool startedByBus(const QStringList& arguments);
// "/REGISTER": installs the session bus's activation file for this executable. 0 on success.
int registerAutomation(const QString& executable);

}  // namespace tarn::app
