#include "app/stationapp.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "app/frmpmain.h"
#include "app/logo.h"
#include "app/startupsequence.h"
#include "automation/kmtarnrqapp.h"
#include "balance/plate/plate.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/instancelock.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "core/startupchecks.h"
#include "core/version.h"
#include "core/windows/buttoncolouring.h"
#include "core/windows/frmpprogress.h"
#include "core/windows/frmpsplash.h"
#include "core/windows/subjectforms.h"
#include "data/lists/list.h"
#include "data/lists/listrefresh.h"
#include "files/windows/frmfmanager.h"
#include "options/passwordgate.h"
#include "options/windows/frmpoptions.h"
#include "reports/windows/frmrmanager.h"
#include "reports/windows/printentry.h"
#include "reports/windows/resultsentry.h"
#include "session/currentfile.h"
#include "session/windows/frmnotes.h"
#include "session/windows/testsession.h"
#include "support/strings/strings.h"

namespace tarn::app {

namespace {
constexpr char kModule[] = "frmPMain";
// The progress window repaints at least this often during a long list refresh.
constexpr qint64 kProgressPumpMs = 40;

MsgResult startupMessage(const QString& text, MsgIcon icon, MsgButtons buttons = MsgButtons::OK) {
  return showMessage(text, icon, buttons, kStartupHelpContext);
}
}  // namespace

// The list reports its refresh through this; the window's handlers carry the event names.
class StationApp::ListEvents : public KM_RQListEvents {
 public:
  explicit ListEvents(StationApp& w) : w_(w) {}
  void RefreshDelOld(qint32 total, qint32 current) override {
    w_.listProgress("prv_objLists_RefreshDelOld", Str(1050), total, current);
  }
  void RefreshAddNew(qint32 total, qint32 current) override {
    w_.listProgress("prv_objLists_RefreshAddNew", Str(1051), total, current);
  }
  void RefreshUpdate(qint32 total, qint32 current) override {
    w_.listProgress("prv_objLists_RefreshUpdate", Str(1052), total, current);
  }

 private:
  StationApp& w_;
};

StationApp::StationApp() { window_ = std::make_unique<frmPMain>(*this); }

StationApp::~StationApp() {
  if (loaded_ && !unloaded_) {
    // Destroyed without an orderly close (e.g. a test dropping the station): release, keep the log.
    if (plateDriver_) plateDriver_->PlateDevicesClose();
  }
  if (lists_) lists_->setEvents(nullptr);
  unloadForms();
  if (splash_) delete splash_;
  if (progress_) delete progress_;
  window_.reset();
}

// ---------------------------------------------------------------- start-up

bool StationApp::Form_Load() {
  ProcLog log(kModule, "Form_Load");

  log.step("Checking for another instance");
  instanceLock_ = std::make_unique<SingleInstanceLock>();
  if (!instanceLock_->tryAcquire()) {
    log.step("Lock " + instanceLock_->lockPath() + ": " + instanceLock_->errorText());
    // A common data folder that cannot be used is not a second copy, and says so.
    const QString folderProblem = InstanceLockNotice(*instanceLock_);
    startupMessage(folderProblem.isEmpty() ? Str(1010) : folderProblem, MsgIcon::Exclamation);
    return false;  // the running copy's log is not ours to touch
  }

  const QString common = folders::commonDataFolder();
  log.step("Checking for abnormal termination");
  folders::ensureFolder(common);
  if (eventlog::previousRunEndedAbnormally(common)) {
    const bool send = startupMessage(Str(1011), MsgIcon::Exclamation, MsgButtons::YesNo) == MsgResult::Yes;
    eventlog::handOffErrorLog(common, send);
  }

  eventlog::start(folders::withSlash(common) + eventlog::kLogFileName);
  eventlog::writeHeader(false);
  logStarted_ = true;
  ProcLog load(kModule, "Form_Load");

  if (!quietStart_) {
    splash_ = new frmPSplash;
    splash_->centreOn(nullptr);
    splash_->show();
    splash_->raise();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  startTick_ = clock::tickCount();

  load.step("Making App Data Common File Path");
  folders::ensureFolder(folders::userDataFolder());

  load.step("Setting Icon");
  window_->setWindowIcon(QIcon(drawLogo(64)));
  load.step("Loading Resources");
  window_->setWindowTitle(productTitle());

  load.step("Creating KMTARNRQSF");
  subjectForms_ = new KMTARNRQSF(this);
  load.step("referencing KMTARNRQSF");
  load.step("Creating KMX_cShowModal");
  load.step("Creating KMX_HTMLHelp");
  if (!KMX_HTMLHelp::pageFor(0).isEmpty()) help_.setHelpFile(QStringLiteral("KMTARNRQ.chm"));

  load.step("Checking the settings store");
  const settingsstore::Report store = settingsstore::startupCheck();
  if (store.health != settingsstore::Health::Sound) {
    const bool restored = store.health == settingsstore::Health::Restored;
    startupMessage(SettingsStoreNotice(store), restored ? MsgIcon::Information : MsgIcon::Exclamation);
    if (store.health == settingsstore::Health::Unwritable) return refuseStart(load, QString());
  }

  if (!CheckAccessKeysAtStartup(load)) return refuseStart(load, QString());  // it showed why

  load.step("Restoring window position");
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect screenGeo = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  const QRect work = screen ? screen->availableGeometry() : screenGeo;
  QRect placed = restoredPlacement(window_->size(), screenGeo);
  load.step("Making sure window fits in the desktop");
  placed = fitToDesktop(placed, work);
  window_->setGeometry(placed);

  load.step("Setting Subject's Monitor");
  applySubjectMonitor();

  load.step("Getting Font Smoothing Status");
  load.step("Font smoothing is left to the desktop's own setting");

  load.step("Getting screen color depth");
  const int subjectDepth = subjectForms_->ColorDepth();
  const int mainDepth = screen ? screen->depth() : 0;
  const DepthProblem depth = colourDepthProblem(subjectDepth, mainDepth);
  load.step(QStringLiteral("Color depth = %1").arg(subjectDepth ? subjectDepth : mainDepth));
  if (depth != DepthProblem::None) return refuseStart(load, colourDepthMessage(depth));

  load.step("Setting Shutdown Privilege");
  shutdownAllowed_ = shutdownAvailable();

  applyStartWithDesktop(load);

  if (settings::read(settings::NoClockCheckReminder) == 0) {
    const QDateTime now = clock::now();
    const double today = clock::toDays(now);
    if (NeedsClockReminder(today, settings::read(settings::LastClockCheck),
                           settings::read(settings::DaysBetweenClockCheck))) {
      load.step("Showing clock reminder");
      showMessage(clockReminderText(now), MsgIcon::Information, MsgButtons::OK, kStartupHelpContext);
      settings::write(settings::LastClockCheck, ClockCheckDay(today));
    }
  }

  window_->lblStatus->setText(Str(1013));
  load.step("Creating KMX_HID_Devices");
  plateDriver_ = CreatePlateDriver(this);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateListUpdateBegin, this,
          &StationApp::onPlateListUpdateBegin);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateArrived, this, &StationApp::onPlateArrived);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateNotResponding, this, &StationApp::onPlateNotResponding);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateRemoved, this, &StationApp::onPlateRemoved);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateListUpdateDone, this,
          &StationApp::onPlateListUpdateDone);
  load.step("prv_objPlateDriver.PlateDevicesOpen");
  plateDriver_->PlateDevicesOpen();
  load.step("Creating KMX_BalancePlate");
  plate_ = nullptr;  // chosen by the zeroing window when a test needs it

  load.step("Clearing temp files");
  removeTempFiles({QStringLiteral("*.img")});

  load.step("Creating Lists Object");
  lists_ = std::make_unique<KM_RQList>();
  listEvents_ = std::make_unique<ListEvents>(*this);
  lists_->setEvents(listEvents_.get());
  load.step("Refreshing Lists");
  Lists_Refresh();

  colouring_ = CmdButtonColouring::install(window_.get());
  window_->setWindowTitle(productTitle());

  load.step("Creating Mouse object");

  const qint32 delay = settings::read(settings::StartDelay);
  const qint64 elapsed = qint64(quint32(clock::tickCount() - startTick_));
  if (!quietStart_ && delay > 0 && elapsed < delay) QThread::msleep(quint64(delay - elapsed));

  load.step("Changing Form Style");
  window_->changeToNormalStyle();

  load.step("Unloading Splash");
  if (splash_) {
    splash_->close();
    delete splash_;
  }
  loaded_ = true;
  Commands_Update();

  createSession();
  load.step("Checking recovery file");
  if (session_->fnFileRecover()) {
    load.step("Resuming Testing");
    QTimer::singleShot(0, this, &StationApp::cmdBegin_Click);
  }
  load.completed();
  return true;
}

void StationApp::applySubjectMonitor() {
  const int chosen =
      chooseSubjectMonitor(settings::read(settings::MonitorForSubject), subjectForms_->MonitorCount());
  subjectForms_->setMonitor(chosen);
}

// Start-up step 14, also run when the options window closes: the desktop's start-up entry.
void StationApp::applyStartWithDesktop(const ProcLog& log) {
  const bool on = settings::readBool(settings::StartAutomatically);
  log.step(on ? "Adding to startup" : "Removing from startup");
  if (!setStartWithDesktop(on, QCoreApplication::applicationFilePath()))
    log.error("Start-up entry could not be changed: " + autostartEntryPath());
}

// ---------------------------------------------------------------- activation

void StationApp::Form_Activate() {
  if (sessionRunning_ || activating_ || !loaded_ || unloaded_) return;
  activating_ = true;
  ++activations_;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  eventlog::clearLog();
  ProcLog log(kModule, "Form_Activate");

  log.step("Checking FullScreen Status");
  QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
  const QRect screenGeo = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  if (settings::readBool(settings::FullScreen)) {
    log.step("Going Full Screen");
    window_->setGeometry(screenGeo);
    savePlacement(screenGeo);
  } else {
    log.step("Going Normal Size");
    window_->setGeometry(normalSizePlacement(screenGeo));
  }

  if (runActivationChecks(log)) {
    log.step("calling mnuTOptions_Click");
    cmdOptions_Click();
  }

  log.step("calling RemoveOrphanVisionTests");
  if (session_) session_->RemoveOrphanVisionTests();
  log.step("Updating Commands");
  Commands_Update();
  log.step("if multimonitor, show subject's screensaver");
  subjectForms_->ShowIdle(window_.get());
  log.step("Setting focus to this form");
  window_->focusBegin();
  QGuiApplication::restoreOverrideCursor();
  log.completed();
  activating_ = false;
}

bool StationApp::runActivationChecks(const ProcLog& log) {
  QStringList parts;
  log.step("Checking for measurement units");
  if (unitsNeverChosen()) parts << Str(1014);
  log.step("Checking for changed monitor");
  const MonitorIdentity current{subjectForms_->DeviceName(), subjectForms_->DeviceString(),
                                subjectForms_->ResHor(), subjectForms_->ResVert()};
  if (monitorChanged(current)) parts << Str(1015);
  if (parts.isEmpty()) return false;
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  const MsgResult r = showMessage(parts.join("\n\n"), MsgIcon::Exclamation, MsgButtons::OKCancel);
  QGuiApplication::restoreOverrideCursor();
  return r == MsgResult::OK;
}

// ---------------------------------------------------------------- commands

void StationApp::Commands_Update() {
  ProcLog log(kModule, "Commands_Update");
  if (listsRefreshing_) {
    // A platform event arriving while the list refreshes: the refresh's caller updates them.
    log.step("List refresh running: left to its caller");
    log.completed();
    return;
  }
  window_->setCommandsEnabled(true);
  const BeginDecision d = decideBegin(log);
  window_->setBeginState(d.enabled, d.tooltip);
  log.completed();
}

void StationApp::Lists_Refresh() {
  ProcLog log(kModule, "Lists_Refresh");
  if (listsRefreshing_) {
    log.step("Already refreshing");
    log.completed();
    return;
  }
  window_->setCommandsEnabled(false);
  if (!lists_) {
    lists_ = std::make_unique<KM_RQList>();
    listEvents_ = std::make_unique<ListEvents>(*this);
    lists_->setEvents(listEvents_.get());
  }
  log.step("Reading List Parameters");
  ListsRefreshParams params = ListsRefreshParams::fromSettings();
  log.step("Data folder = " + params.dataPath + ", Ext = " + params.dataExt +
           QStringLiteral(", CoP Threshold = %1").arg(params.minCoPFz));
  params.onStart = [this, &log] {
    log.step("Raising ListRefreshStart");
    if (listRefreshStart_) listRefreshStart_();
  };
  params.onEnd = [this, &log] {
    log.step("Raising ListRefreshEnd");
    if (listRefreshEnd_) listRefreshEnd_();
  };

  // The progress window is loaded here and appears with the first progress event, so that an
  // empty or unchanged folder does not flash a window.
  log.step("Loading Progress window");
  if (!progress_) progress_ = new frmPProgress(window_.get());
  progressPass_ = nullptr;
  progressPump_.invalidate();

  listsRefreshing_ = true;
  const ListsRefreshResult r = ListsRefresh(*lists_, params);
  listsRefreshing_ = false;

  log.step("List file = " + r.listFile);
  log.step(QStringLiteral("Entries = %1, Rebuilt = %2").arg(lists_->lFilesCount()).arg(r.rebuilt));
  if (r.missingFolder) {
    log.error("The data folder does not exist");
    showMessage(Str(2701).arg(QDir::toNativeSeparators(params.dataPath)), MsgIcon::Exclamation);
  } else if (!r.ok) {
    log.error("The list file could not be written: " + r.listFile);
  }
  log.step("Unloading Progress window");
  if (progress_) {
    const bool shown = progress_->isVisible();
    progress_->close();
    delete progress_;
    // At start-up the splash delay sleeps next: repaint what the progress window covered now.
    if (shown && splash_ && splash_->isVisible()) {
      splash_->repaint();
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
  }
  progressPass_ = nullptr;
  log.completed();
  if (closePending_) {
    closePending_ = false;
    QTimer::singleShot(0, window_.get(), &QWidget::close);
  }
}

void StationApp::cmdBegin_Click() {
  ProcLog log(kModule, "cmdBegin_Click");
  if (!session_ || session_->running()) {
    log.completed();
    return;
  }
  window_->setCommandsEnabled(false);
  sessionRunning_ = true;
  session_->cmdBegin_Click(std::exchange(nextStart_, SessionStart{}));
  sessionRunning_ = false;
  dialogExitButton_ = session_->DialogExitButton();
  Commands_Update();
  log.completed();
}

// The session's windows over the long-lived objects; the results of step 7 in the results window.
void StationApp::createSession() {
  currentFile_ = std::make_unique<CurrentSubjectFile>();
  TestSessionContext ctx;
  ctx.plateDriver = plateDriver_.get();
  ctx.lastPlate = &plate_;
  ctx.lists = lists_.get();
  ctx.subjectForms = subjectForms_;
  ctx.mouse = &mouse_;
  ctx.currentFile = currentFile_.get();
  ctx.notices = automation_;
  ctx.parent = window_.get();
  ctx.listsRefresh = [this] { Lists_Refresh(); };
  ctx.mainWindowVisible = [this] { return window_->isVisible(); };
  ctx.resultsWindow = [this](QWidget* parent, const SubjectFile&, const Session& session) {
    // The window writes renamed tests, notes and texts into the open file object.
    SubjectFile* file = currentFile_->file();
    if (!file) return int(kWizCancel);
    // An unattended run leaves its report, the ticked families, as a PDF beside the subject file.
    if (reportPdfBesideFile_) PrintReportsToPdfAutomatically(ReportPdfBeside(currentFile_->sFileName()));
    const SessionResultsOutcome r = ShowSessionResults(parent, *file, session, EditTestName);
    if (reportPdfBesideFile_) StopPrintingReportsToPdfAutomatically();
    if (r.dataChanged) currentFile_->setDataChanged(true);
    return r.button;
  };
  session_ = std::make_unique<TestSession>(std::move(ctx));
}

void StationApp::cmdFileMngm_Click() {
  ProcLog log(kModule, "cmdFileMngm_Click");
  dialogExitButton_ = kWizNone;
  FileManagerHooks hooks;
  hooks.refreshList = [this] { Lists_Refresh(); };
  ShowFileManager(*lists_, window_.get(), hooks);
  Commands_Update();
  log.completed();
}

void StationApp::cmdReportReprint_Click() {
  ProcLog log(kModule, "cmdReportReprint_Click");
  {
    frmRManager manager(lists_.get(), window_.get());
    manager.setRenameEditor(EditTestName);
    manager.setNotices(automation_);
    showModal_.ShowModal(manager);
  }
  Commands_Update();
  log.completed();
}

void StationApp::cmdOptions_Click() {
  ProcLog log(kModule, "cmdOptions_Click");
  window_->setCommandsEnabled(false);
  const QString lastPath = settings::read(settings::LastPath);
  ShowOptionsWindow(window_.get());
  runActivationChecks(log);  // told again, but not sent back into the window just left
  applySubjectMonitor();
  applyStartWithDesktop(log);
  if (colouring_) colouring_->reload();
  if (settings::read(settings::LastPath) != lastPath) Lists_Refresh();
  Commands_Update();
  log.completed();
}

void StationApp::cmdExit_Click() {
  eventlog::logStep(kModule, "cmdExit_Click", QString());
  window_->close();
}

void StationApp::lblTitle_Click() {
  ProcLog log(kModule, "lblTitle_Click");
  frmPSplash splash;
  splash.centreOn(window_.get());
  splash.show();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const qint32 delay = settings::read(settings::StartDelay);
  if (delay > 0) QThread::msleep(quint64(delay));
  splash.close();
  log.completed();
}

void StationApp::imgKMXLogo_Click() {
  ProcLog log(kModule, "imgKMXLogo_Click");
  if (window_->accessButtonsShown()) {
    log.step("Hide Buttons");
    window_->showAccessButtons(false, false, false);
    log.completed();
    return;
  }
  const AccessLevel level = logo_.askPassword(window_.get(), log);
  if (level == AccessLevel::Administrator)
    window_->showAccessButtons(true, true, true);
  else if (level == AccessLevel::Operator)
    window_->cmdReportReprint->setVisible(true);
  if (colouring_) colouring_->reload();
  log.completed();
}

// ---------------------------------------------------------------- platform and list events

void StationApp::onPlateListUpdateBegin() {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateListUpdateBegin", QString());
}

void StationApp::onPlateArrived(const QString& path, const QString& serial) {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateArrived", serial + ", " + path);
}

void StationApp::onPlateNotResponding(const QString& path, const QString& serial) {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateNotResponding", serial + ", " + path);
}

void StationApp::onPlateRemoved(const QString& path, const QString& serial) {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateRemoved", serial + ", " + path);
}

void StationApp::onPlateListUpdateDone(qint32 plates, qint32 hids, bool changed) {
  ProcLog log(kModule, "prv_objPlateDriver_PlateListUpdateDone",
              QStringLiteral("Plates = %1, HIDs = %2, Changed = %3").arg(plates).arg(hids).arg(changed));
  const int count = plateDriver_ ? plateDriver_->PlateCount() : 0;
  if (count == 0) {
    window_->lblStatus->setText(Str(1013));
  } else {
    KMX_BalancePlate* first = plateDriver_->Plate(1);
    QString text = Str(1020).arg(first ? first->Name() : QString());
    if (count > 1) text += Str(1021).arg(count - 1);
    window_->lblStatus->setText(text);
  }
  // The options window, if open, follows the plates and monitors present.
  if (auto* options = frmPOptions::openWindow(); options && options->isVisible()) options->UpdateMonitor();
  Commands_Update();
  log.completed();
}

void StationApp::listProgress(const char* procedure, const QString& message, qint32 total, qint32 current) {
  const bool newPass = progressPass_ != procedure;
  if (newPass) {
    progressPass_ = procedure;
    eventlog::logStep(kModule, procedure, message + QStringLiteral(" (%1 files)").arg(total));
  }
  if (!progress_) progress_ = new frmPProgress(window_.get());
  progress_->lblMessage->setText(message);
  if (!progress_->isVisible()) {
    if (splash_ && splash_->isVisible()) {
      // Over the splash's empty lower part, so that the product title stays readable.
      progress_->adjustSize();
      const QRect sp = splash_->frameGeometry();
      progress_->move(sp.center().x() - progress_->width() / 2,
                      sp.top() + sp.height() * 3 / 4 - progress_->height() / 2);
    }
    progress_->show();
    progress_->raise();
  }
  // Repaint at the start of each pass and then at a steady rate, not once per file.
  if (newPass || !progressPump_.isValid() || progressPump_.elapsed() >= kProgressPumpMs || current == total) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    progressPump_.start();
  }
}

// A refused start ends the orderly way: the log it began is removed like at a normal end, so that a
// log left behind always means a crash.
bool StationApp::refuseStart(const ProcLog& log, const QString& text) {
  if (!text.isEmpty()) startupMessage(text, MsgIcon::Exclamation);
  log.step("Start refused");
  if (splash_) delete splash_;
  if (logStarted_) eventlog::endNormally();
  return false;
}

KMX_BalancePlate* StationApp::plate() const { return plate_; }
void StationApp::setPlate(KMX_BalancePlate* plate) { plate_ = plate; }
frmPProgress* StationApp::progressWindow() const { return progress_; }

QString StationApp::currentFileName() const { return settings::read(settings::LastName); }
QString StationApp::currentWorkingCopy() const { return settings::read(settings::LastTemp); }

void StationApp::registerForm(QWidget* form) {
  forms_.removeAll(nullptr);
  if (form && !forms_.contains(form)) forms_.append(form);
}

int StationApp::loadedFormCount() const {
  int n = 0;
  for (const auto& f : forms_) n += f ? 1 : 0;
  return n;
}

void StationApp::unloadForms() {
  for (const auto& f : forms_)
    if (f) delete f.data();
  forms_.clear();
}

// ---------------------------------------------------------------- shutdown

bool StationApp::closeRequested() {
  if (listsRefreshing_) {
    // A termination signal or timed close during the refresh: close once the list is saved,
    // which is at once after the subject file being read now.
    closePending_ = true;
    if (lists_) lists_->requestStop();
    return false;
  }
  return unloaded_ || !loaded_ || Form_Unload();
}

bool StationApp::Form_Unload() {
  ProcLog log(kModule, "Form_Unload");
  log.step("Closing file");
  if (session_ && session_->fnFileClose(false)) {
    log.step("Closing file - Cancelled by user");
    return false;
  }
  if (automation_ && automation_->HasClients()) {
    log.step("RaiseEventAppQueryClose");
    if (!automation_->AppQueryClose()) {
      log.step("Closing cancelled by server");
      showMessage(Str(7000), MsgIcon::Exclamation);
      return false;
    }
    log.step("RaiseEventAppClose");
    automation_->AppClose();
  }
  log.step("Closing Down");
  log.step("Closing Servers");
  log.step("Closing Forms");
  unloadForms();
  subjectForms_->HideAll();
  if (progress_) delete progress_;
  if (splash_) delete splash_;
  log.step("Unreferencing last used plate");
  plate_ = nullptr;
  log.step("Closing all plates");
  if (plateDriver_) plateDriver_->PlateDevicesClose();
  log.step("Unreferencing plate driver");
  if (plateDriver_) plateDriver_->disconnect(this);
  plateDriver_.reset();

  log.step("Saving Window Position/size");
  if (!(window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
    savePlacement(window_->geometry());
  mouse_.Show();  // the pointer as the desktop had it

  log.step("Unreferencing Objects");
  log.step("Removing Temporary Files");
  const int removed = removeTempFiles({QStringLiteral("*.tmp"), QStringLiteral("*.img")});
  log.step(QStringLiteral("Removed %1 temporary files").arg(removed));
  log.step("Procedure completed");

  if (settings::readBool(settings::ShutWindowsOnExit) && shutdownAllowed_) {
    if (!requestPowerOff()) log.error("The power-off request was refused");
  }
  unloaded_ = true;
  // What the settings hold at a normal end is what a damaged store is restored to.
  settingsstore::keepGoodCopy();
  const QByteArray keep = qgetenv("TARNRQ_KEEP_LOG_COPY");
  if (!keep.isEmpty()) {
    const QString copy = QString::fromLocal8Bit(keep);
    QFile::remove(copy);
    QFile::copy(eventlog::path(), copy);
  }
  eventlog::endNormally();
  return true;
}

}  // namespace tarn::app
