#include "app/automationhost.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "app/frmpmain.h"
#include "app/stationapp.h"
#include "automation/activationfile.h"
#include "automation/dbusservice.h"
#include "automation/kmtarnrqapp.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "session/currentfile.h"

namespace tarn::app {

namespace {
constexpr char kModule[] = "frmPMain";
}

StationAutomation::StationAutomation(StationApp& station, bool activated)
    : station_(station), activated_(activated), server_(std::make_unique<AutomationServer>(*this)) {
  station_.setAutomation(server_.get());
  station_.setListRefreshNotices([this] { server_->ListRefreshStart(); },
                                 [this] { server_->ListRefreshEnd(); });
  station_.setQuietStart(activated);
  closeWait_.setInterval(kCloseWaitPollMs);
  QObject::connect(&closeWait_, &QTimer::timeout, station_.window(), [this] {
    if (!station_.testSessionRunning() && !beginPending_) unloadMainWindow();
  });
}

StationAutomation::~StationAutomation() {
  service_.reset();
  // The station may outlive its automation: nothing it keeps may point at the server any more.
  if (CurrentSubjectFile* f = station_.currentFile()) f->setNotices(nullptr);
  station_.setAutomation(nullptr);
  station_.setListRefreshNotices({}, {});
}

bool StationAutomation::startService() {
  service_ = std::make_unique<AutomationBusService>(*server_, QDBusConnection::sessionBus());
  // Started by a client and never shown, the program has no use once its clients are gone. A script
  // calls once per command, so it is given a while to come back before the program ends.
  idle_.setSingleShot(true);
  idle_.setInterval(kIdleEndMs);
  QObject::connect(&idle_, &QTimer::timeout, station_.window(), [this] {
    if (service_ && service_->instanceCount() == 0 && station_.started() && !station_.window()->isVisible() &&
        !station_.testSessionRunning() && !beginPending_)
      unloadMainWindow();
  });
  service_->onLastClientGone = [this] {
    if (activated_) idle_.start();
  };
  QString why;
  if (service_->start(&why)) return true;
  eventlog::logError(kModule, "Form_Load", "The automation server is not offered: " + why);
  service_.reset();
  return false;
}

bool StationAutomation::bAppStarted() const { return station_.started(); }
bool StationAutomation::bAppVisible() const { return station_.window()->isVisible(); }

void StationAutomation::setAppVisible(bool visible) {
  if (!station_.started()) return;
  if (visible) {
    station_.window()->show();
    station_.window()->raise();
  } else {
    station_.window()->hide();
  }
}

bool StationAutomation::bTestingEnabled() const {
  return station_.started() && !beginPending_ && !station_.testSessionRunning() &&
         station_.window()->cmdBegin->isEnabled();
}

// The wizard runs modally for minutes: it starts once the client has its answer.
void StationAutomation::beginTest(const SessionStart& start) {
  beginPending_ = true;
  station_.setNextSessionStart(start);
  QTimer::singleShot(0, station_.window(), [this] {
    beginPending_ = false;
    station_.cmdBegin_Click();
  });
}

void StationAutomation::unloadMainWindow() {
  if (station_.testSessionRunning() || beginPending_) {
    // The session's windows are modal and own the file: the close waits for the session to end.
    if (!closeWait_.isActive()) {
      eventlog::logStep(kModule, "AppClose", "Testing in progress: closing when it ends");
      closeWait_.start();
    }
    return;
  }
  closeWait_.stop();
  const bool wasVisible = station_.window()->isVisible();
  // A hidden window's closing does not end the event loop by itself.
  if (station_.window()->close() && !wasVisible && endProgram_) endProgram_();
}

bool StationAutomation::bFileAcceptable(const QString& fileName) const {
  return CurrentSubjectFile::fnFileIsAcceptable(fileName);
}

bool StationAutomation::bSetFilePath(const QString& folder) {
  if (!station_.started() || station_.testSessionRunning() || station_.listsRefreshing()) return false;
  const QFileInfo info(folder);
  if (!info.isDir()) return false;
  eventlog::logStep(kModule, "bSetFilePath", folder);
  settings::write(settings::LastPath, QDir::cleanPath(info.absoluteFilePath()) + '/');
  station_.Lists_Refresh();
  station_.Commands_Update();
  return true;
}

// A list being refreshed is not read: its entries are being rebuilt.
const KM_RQList* StationAutomation::lists() const {
  return station_.listsRefreshing() ? nullptr : station_.lists();
}
CurrentSubjectFile* StationAutomation::currentFile() const { return station_.currentFile(); }

bool startedByBus(const QStringList& arguments) {
  return arguments.contains(QLatin1String(automation::kActivatedArgument));
}

int registerAutomation(const QString& executable) {
  QString why;
  if (automation::installActivationFile(QFileInfo(executable).absoluteFilePath(), &why)) return 0;
  std::fprintf(stderr, "The automation server could not be registered: %s\n", qPrintable(why));
  return 1;
}

}  // namespace tarn::app
