#include "app/frmpmain.h"

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

#include "app/logo.h"
#include "app/startupsequence.h"
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
#include "data/lists/listrefresh.h"
#include "options/windows/frmppassword.h"
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

void ClickableLabel::mouseReleaseEvent(QMouseEvent* e) {
  QLabel::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

// The list reports its refresh through this; the window's handlers carry the event names.
class frmPMain::ListEvents : public KM_RQListEvents {
 public:
  explicit ListEvents(frmPMain& w) : w_(w) {}
  void RefreshDelOld(qint32 total, qint32 current) override { w_.prv_objLists_RefreshDelOld(total, current); }
  void RefreshAddNew(qint32 total, qint32 current) override { w_.prv_objLists_RefreshAddNew(total, current); }
  void RefreshUpdate(qint32 total, qint32 current) override { w_.prv_objLists_RefreshUpdate(total, current); }

 private:
  frmPMain& w_;
};

frmPMain::frmPMain(QWidget* parent) : QWidget(parent) {
  setObjectName("frmPMain");
  // Until the start-up is through the window has no caption bar, like the splash it follows.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  buildControls();
  lockWait_ = [](int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
  };
}

frmPMain::~frmPMain() {
  if (loaded_ && !unloaded_) {
    // Destroyed without an orderly close (e.g. a test dropping the window): release, keep the log.
    if (plateDriver_) plateDriver_->PlateDevicesClose();
  }
  if (lists_) lists_->setEvents(nullptr);
  if (splash_) delete splash_;
  if (progress_) delete progress_;
}

void frmPMain::buildControls() {
  setStyleSheet(
      "#frmPMain { background: #f4f7fa; }"
      "QLabel#lblTitle { color: #1f4e79; font-size: 22pt; font-weight: 600; }"
      "QLabel#lblStatus { color: #ffffff; background: #3d6a8f; border-radius: 4px; padding: 6px 10px;"
      " font-size: 11pt; font-weight: 600; }"
      "QPushButton { min-height: 42px; font-size: 12pt; padding: 4px 18px; }");
  lblTitle = new QLabel(QStringLiteral("KM TARN™ RQ"), this);
  lblTitle->setObjectName("lblTitle");
  lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblTitle->setCursor(Qt::PointingHandCursor);
  lblTitle->installEventFilter(this);
  lblStatus = new QLabel(this);
  lblStatus->setObjectName("lblStatus");
  lblStatus->setAlignment(Qt::AlignCenter);
  imgKMXLogo = new ClickableLabel(this);
  imgKMXLogo->setObjectName("imgKMXLogo");
  imgKMXLogo->setPixmap(drawLogo(200));
  imgKMXLogo->setAlignment(Qt::AlignCenter);
  imgKMXLogo->setCursor(Qt::PointingHandCursor);

  cmdBegin = new QPushButton(QStringLiteral("Testi&ng"), this);
  cmdBegin->setObjectName("cmdBegin");
  cmdFileMngm = new QPushButton(QStringLiteral("&File Management"), this);
  cmdFileMngm->setObjectName("cmdFileMngm");
  cmdOptions = new QPushButton(QStringLiteral("&Options"), this);
  cmdOptions->setObjectName("cmdOptions");
  cmdReportReprint = new QPushButton(QStringLiteral("&Reports Reprint"), this);
  cmdReportReprint->setObjectName("cmdReportReprint");
  cmdExit = new QPushButton(QStringLiteral("E&xit"), this);
  cmdExit->setObjectName("cmdExit");

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(10);
  for (auto* b : {cmdBegin, cmdFileMngm, cmdReportReprint, cmdOptions}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(cmdExit);

  auto* left = new QVBoxLayout;
  left->addWidget(imgKMXLogo, 1);
  auto* body = new QHBoxLayout;
  body->setSpacing(24);
  body->addLayout(left, 1);
  body->addLayout(buttons, 1);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(24, 18, 24, 18);
  root->setSpacing(14);
  root->addWidget(lblTitle);
  root->addLayout(body, 1);
  root->addWidget(lblStatus);

  // Only an access password shows these (logo click).
  for (auto* b : {cmdFileMngm, cmdReportReprint, cmdOptions}) b->setVisible(false);

  connect(cmdBegin, &QPushButton::clicked, this, &frmPMain::cmdBegin_Click);
  connect(cmdFileMngm, &QPushButton::clicked, this, &frmPMain::cmdFileMngm_Click);
  connect(cmdOptions, &QPushButton::clicked, this, &frmPMain::cmdOptions_Click);
  connect(cmdReportReprint, &QPushButton::clicked, this, &frmPMain::cmdReportReprint_Click);
  connect(cmdExit, &QPushButton::clicked, this, &frmPMain::cmdExit_Click);
  connect(imgKMXLogo, &ClickableLabel::clicked, this, &frmPMain::imgKMXLogo_Click);
  resize(twipsToPixels(settings::MainWinPosW.def), twipsToPixels(settings::MainWinPosH.def));
}

bool frmPMain::eventFilter(QObject* watched, QEvent* e) {
  if (watched == lblTitle && e->type() == QEvent::MouseButtonRelease) {
    if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) lblTitle_Click();
  }
  return QWidget::eventFilter(watched, e);
}

// ---------------------------------------------------------------- start-up

bool frmPMain::Form_Load() {
  ProcLog log(kModule, "Form_Load");

  log.step("Checking for another instance");
  instanceLock_ = std::make_unique<SingleInstanceLock>();
  if (!instanceLock_->tryAcquire()) {
    log.step("Another copy holds " + instanceLock_->lockPath() + ": " + instanceLock_->errorText());
    startupMessage(kSecondInstanceText, MsgIcon::Exclamation);
    return false;
  }

  const QString common = folders::commonDataFolder();
  log.step("Checking for abnormal termination");
  folders::ensureFolder(common);
  if (eventlog::previousRunEndedAbnormally(common)) {
    const bool send =
        startupMessage(kAbnormalEndText, MsgIcon::Exclamation, MsgButtons::YesNo) == MsgResult::Yes;
    eventlog::handOffErrorLog(common, send);
  }

  eventlog::start(folders::withSlash(common) + eventlog::kLogFileName);
  eventlog::writeHeader(false);
  ProcLog load(kModule, "Form_Load");

  splash_ = new frmPSplash;
  splash_->centreOn(nullptr);
  splash_->show();
  splash_->raise();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  startTick_ = clock::tickCount();

  load.step("Making App Data Common File Path");
  folders::ensureFolder(folders::userDataFolder());

  load.step("Setting Icon");
  setWindowIcon(QIcon(drawLogo(64)));
  load.step("Loading Resources");
  setWindowTitle(productTitle());

  load.step("Creating KMTARNRQSF");
  subjectForms_ = new KMTARNRQSF(this);
  load.step("referencing KMTARNRQSF");
  load.step("Creating KMX_cShowModal");
  load.step("Creating KMX_HTMLHelp");
  if (!KMX_HTMLHelp::pageFor(0).isEmpty()) help_.setHelpFile(QStringLiteral("KMTARNRQ.chm"));

  load.step("Checking for new installation");
  if (IsNewInstallation()) {
    load.step("Initializing new installation");
    InitializeNewInstallation();
  } else {
    load.step("Verifiying Keys");
    if (!AccessKeysPresent()) {
      startupMessage(kTamperText, MsgIcon::Exclamation);
      return false;
    }
  }

  load.step("Restoring window position");
  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect screenGeo = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  const QRect work = screen ? screen->availableGeometry() : screenGeo;
  QRect placed = restoredPlacement(size(), screenGeo);
  load.step("Making sure window fits in the desktop");
  placed = fitToDesktop(placed, work);
  setGeometry(placed);

  load.step("Setting Subject's Monitor");
  applySubjectMonitor();

  load.step("Getting Font Smoothing Status");
  load.step("Font smoothing is left to the desktop's own setting");

  load.step("Getting screen color depth");
  const int subjectDepth = subjectForms_->ColorDepth();
  const int mainDepth = screen ? screen->depth() : 0;
  const DepthProblem depth = colourDepthProblem(subjectDepth, mainDepth);
  load.step(QStringLiteral("Color depth = %1").arg(subjectDepth ? subjectDepth : mainDepth));
  if (depth != DepthProblem::None) {
    startupMessage(colourDepthMessage(depth), MsgIcon::Exclamation);
    return false;
  }

  load.step("Setting Shutdown Privilege");
  shutdownAllowed_ = shutdownAvailable();

  applyStartWithDesktop();

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

  lblStatus->setText(kNoPlateText);
  load.step("Creating KMX_HID_Devices");
  plateDriver_ = CreatePlateDriver(this);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateListUpdateBegin, this,
          &frmPMain::prv_objPlateDriver_PlateListUpdateBegin);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateArrived, this,
          &frmPMain::prv_objPlateDriver_PlateArrived);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateNotResponding, this,
          &frmPMain::prv_objPlateDriver_PlateNotResponding);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateRemoved, this,
          &frmPMain::prv_objPlateDriver_PlateRemoved);
  connect(plateDriver_.get(), &KMX_HID_Devices::PlateListUpdateDone, this,
          &frmPMain::prv_objPlateDriver_PlateListUpdateDone);
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

  colouring_ = CmdButtonColouring::install(this);
  setWindowTitle(productTitle());

  load.step("Creating Mouse object");

  const qint32 delay = settings::read(settings::StartDelay);
  const qint64 elapsed = qint64(quint32(clock::tickCount() - startTick_));
  if (delay > 0 && elapsed < delay) QThread::msleep(quint64(delay - elapsed));

  load.step("Changing Form Style");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setGeometry(placed);

  load.step("Unloading Splash");
  if (splash_) {
    splash_->close();
    delete splash_;
  }
  loaded_ = true;
  Commands_Update();

  load.step("Checking recovery file");
  if (fnFileRecover(QString(), QString())) {
    load.step("Resuming Testing");
    QTimer::singleShot(0, this, &frmPMain::cmdBegin_Click);
  }
  load.completed();
  return true;
}

void frmPMain::applySubjectMonitor() {
  const int chosen =
      chooseSubjectMonitor(settings::read(settings::MonitorForSubject), subjectForms_->MonitorCount());
  subjectForms_->setMonitor(chosen);
}

void frmPMain::applyStartWithDesktop() {
  ProcLog log(kModule, "StartAutomatically");
  const bool on = settings::readBool(settings::StartAutomatically);
  log.step(on ? "Adding to startup" : "Removing from startup");
  if (!setStartWithDesktop(on, QCoreApplication::applicationFilePath()))
    log.error("Start-up entry could not be changed: " + autostartEntryPath());
  log.completed();
}

// ---------------------------------------------------------------- activation

void frmPMain::Form_Activate() {
  if (sessionRunning_ || activating_ || !loaded_ || unloaded_) return;
  activating_ = true;
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  eventlog::clearLog();
  ProcLog log(kModule, "Form_Activate");

  log.step("Checking FullScreen Status");
  QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
  const QRect screenGeo = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
  if (settings::readBool(settings::FullScreen)) {
    log.step("Going Full Screen");
    setGeometry(screenGeo);
    savePlacement(screenGeo);
  } else {
    log.step("Going Normal Size");
    setGeometry(normalSizePlacement(screenGeo));
  }

  runActivationChecks(log);

  log.step("calling RemoveOrphanVisionTests");
  log.step("Updating Commands");
  Commands_Update();
  log.step("if multimonitor, show subject's screensaver");
  subjectForms_->ShowIdle(this);
  log.step("Setting focus to this form");
  activateWindow();
  if (cmdBegin->isVisible() && cmdBegin->isEnabled()) cmdBegin->setFocus();
  QGuiApplication::restoreOverrideCursor();
  log.completed();
  activating_ = false;
}

void frmPMain::runActivationChecks(const ProcLog& log) {
  QStringList parts;
  log.step("Checking for measurement units");
  if (unitsNeverChosen()) parts << kUnitsNotice;
  log.step("Checking for changed monitor");
  const MonitorIdentity current{subjectForms_->DeviceName(), subjectForms_->DeviceString(),
                                subjectForms_->ResHor(), subjectForms_->ResVert()};
  if (monitorChanged(current)) parts << kMonitorNotice;
  if (parts.isEmpty()) return;
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  const MsgResult r = showMessage(parts.join("\n\n"), MsgIcon::Exclamation, MsgButtons::OKCancel);
  QGuiApplication::restoreOverrideCursor();
  if (r == MsgResult::OK) {
    log.step("calling mnuTOptions_Click");
    cmdOptions_Click();
  }
}

// ---------------------------------------------------------------- commands

void frmPMain::setCommandsEnabled(bool on) {
  for (auto* b : {cmdBegin, cmdFileMngm, cmdOptions, cmdReportReprint, cmdExit}) b->setEnabled(on);
}

void frmPMain::Commands_Update() {
  ProcLog log(kModule, "Commands_Update");
  if (listsRefreshing_) {
    // A platform event arriving while the list refreshes: the refresh's caller updates them.
    log.step("List refresh running: left to its caller");
    log.completed();
    return;
  }
  for (auto* b : {cmdExit, cmdOptions, cmdFileMngm, cmdReportReprint}) b->setEnabled(true);
  const BeginDecision d = decideBegin();
  cmdBegin->setEnabled(d.enabled);
  cmdBegin->setToolTip(d.tooltip);
  log.completed();
}

void frmPMain::showLaterIssueNotice(const ProcLog& log, const QString& what) {
  log.step("Not available in this version");
  showMessage(notAvailableText(what), MsgIcon::Information);
}

void frmPMain::Lists_Refresh() {
  ProcLog log(kModule, "Lists_Refresh");
  if (listsRefreshing_) {
    log.step("Already refreshing");
    log.completed();
    return;
  }
  setCommandsEnabled(false);
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
  if (!progress_) progress_ = new frmPProgress(this);
  progressPass_ = nullptr;
  progressPump_.invalidate();

  listsRefreshing_ = true;
  const ListsRefreshResult r = ListsRefresh(*lists_, params);
  listsRefreshing_ = false;

  log.step("List file = " + r.listFile);
  log.step(QStringLiteral("Entries = %1, Rebuilt = %2").arg(lists_->lFilesCount()).arg(r.rebuilt));
  if (r.missingFolder) {
    log.error("The data folder does not exist: " + params.dataPath);
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
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

void frmPMain::cmdBegin_Click() {
  ProcLog log(kModule, "cmdBegin_Click");
  showLaterIssueNotice(log, QStringLiteral("Testing"));
  log.completed();
}

void frmPMain::cmdFileMngm_Click() {
  ProcLog log(kModule, "cmdFileMngm_Click");
  dialogExitButton_ = -99;
  showLaterIssueNotice(log, QStringLiteral("File Management"));
  log.completed();
}

void frmPMain::cmdReportReprint_Click() {
  ProcLog log(kModule, "cmdReportReprint_Click");
  showLaterIssueNotice(log, QStringLiteral("Reports Reprint"));
  log.completed();
}

void frmPMain::cmdOptions_Click() {
  ProcLog log(kModule, "cmdOptions_Click");
  setCommandsEnabled(false);
  const QString lastPath = settings::read(settings::LastPath);
  showLaterIssueNotice(log, QStringLiteral("The Options window"));
  applySubjectMonitor();
  applyStartWithDesktop();
  if (colouring_) colouring_->reload();
  if (settings::read(settings::LastPath) != lastPath) Lists_Refresh();
  Commands_Update();
  log.completed();
}

void frmPMain::cmdExit_Click() {
  ProcLog log(kModule, "cmdExit_Click", QString());
  close();
}

void frmPMain::lblTitle_Click() {
  ProcLog log(kModule, "lblTitle_Click");
  frmPSplash splash;
  splash.centreOn(this);
  splash.show();
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  const qint32 delay = settings::read(settings::StartDelay);
  if (delay > 0) QThread::msleep(quint64(delay));
  splash.close();
  log.completed();
}

void frmPMain::imgKMXLogo_Click() {
  ProcLog log(kModule, "imgKMXLogo_Click");
  if (!cmdFileMngm->isHidden() && !cmdReportReprint->isHidden() && !cmdOptions->isHidden()) {
    log.step("Hide Buttons");
    for (auto* b : {cmdFileMngm, cmdReportReprint, cmdOptions}) b->setVisible(false);
    log.completed();
    return;
  }
  log.step("Prompt for password");
  frmPPassword dlg(this);
  dlg.txtPassword->clear();
  const int code = showModal_.ShowModal(dlg);
  if (code != QDialog::Accepted) {
    log.step("Cancelled");
    log.completed();
    return;
  }
  const QString text = dlg.txtPassword->text();
  log.step(text.isEmpty() ? "No password returned" : "Hash password");
  log.step("Compare password");
  const PasswordGate::Outcome o = gate_.check(text);
  if (o.level == AccessLevel::Administrator) {
    for (auto* b : {cmdFileMngm, cmdReportReprint, cmdOptions}) b->setVisible(true);
  } else if (o.level == AccessLevel::Operator) {
    cmdReportReprint->setVisible(true);
  } else if (o.lock) {
    showMessage("Invalid Password!\nThe program will be locked for 1 minute!", MsgIcon::Exclamation);
    log.step("Program locked");
    hide();
    lockWait_(PasswordGate::kLockMs);
    show();
    log.step("Program unlocked");
  } else if (o.counted) {
    showMessage("Invalid Password!", MsgIcon::Exclamation);
  }
  if (colouring_) colouring_->reload();
  log.completed();
}

// ---------------------------------------------------------------- platform and list events

void frmPMain::prv_objPlateDriver_PlateListUpdateBegin() {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateListUpdateBegin", QString());
}

void frmPMain::prv_objPlateDriver_PlateArrived(const QString& path, const QString& serial) {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateArrived", serial + ", " + path);
}

void frmPMain::prv_objPlateDriver_PlateNotResponding(const QString& path, const QString& serial) {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateNotResponding", serial + ", " + path);
}

void frmPMain::prv_objPlateDriver_PlateRemoved(const QString& path, const QString& serial) {
  eventlog::logStep(kModule, "prv_objPlateDriver_PlateRemoved", serial + ", " + path);
}

void frmPMain::prv_objPlateDriver_PlateListUpdateDone(qint32 plates, qint32 hids, bool changed) {
  ProcLog log(kModule, "prv_objPlateDriver_PlateListUpdateDone",
              QStringLiteral("Plates = %1, HIDs = %2, Changed = %3").arg(plates).arg(hids).arg(changed));
  const int count = plateDriver_ ? plateDriver_->PlateCount() : 0;
  if (count == 0) {
    lblStatus->setText(kNoPlateText);
  } else {
    KMX_BalancePlate* first = plateDriver_->Plate(1);
    QString text = QStringLiteral("FORCE PLATFORM READY – ") + (first ? first->Name() : QString());
    if (count > 1) text += QStringLiteral(" (+%1 more)").arg(count - 1);
    lblStatus->setText(text);
  }
  Commands_Update();
  log.completed();
}

void frmPMain::listProgress(const char* procedure, const QString& message, qint32 total, qint32 current) {
  const bool newPass = progressPass_ != procedure;
  if (newPass) {
    progressPass_ = procedure;
    eventlog::logStep(kModule, procedure, message + QStringLiteral(" (%1 files)").arg(total));
  }
  if (!progress_) progress_ = new frmPProgress(this);
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

void frmPMain::prv_objLists_RefreshDelOld(qint32 total, qint32 current) {
  listProgress("prv_objLists_RefreshDelOld", QStringLiteral("Removing Deleted Files ..."), total, current);
}
void frmPMain::prv_objLists_RefreshAddNew(qint32 total, qint32 current) {
  listProgress("prv_objLists_RefreshAddNew", QStringLiteral("Adding New Files ..."), total, current);
}
void frmPMain::prv_objLists_RefreshUpdate(qint32 total, qint32 current) {
  listProgress("prv_objLists_RefreshUpdate", QStringLiteral("Updating List Entries ..."), total, current);
}

// ---------------------------------------------------------------- subject file hand-over

bool frmPMain::fnFileRecover(const QString& lastName, const QString& lastTemp) {
  ProcLog log("mdifrmMain", "fnFileRecover", "File = " + lastName);
  const QString name = lastName.isEmpty() ? settings::read(settings::LastName) : lastName;
  const QString temp = lastTemp.isEmpty() ? settings::read(settings::LastTemp) : lastTemp;
  log.step("Verify File is OK");
  const QFileInfo fi(temp);
  if (temp.isEmpty() || !fi.isFile() || fi.size() == 0) {
    log.step("No good Temp file exists");
    log.completed();
    return false;
  }
  log.step("Unsaved file found: " + temp);
  log.step("Not available in this version");
  showMessage(QStringLiteral("An unsaved subject file was found:\n") + name +
                  QStringLiteral("\n\nRecovering it is not available in this version of TARN™ RQ."),
              MsgIcon::Information);
  log.completed();
  return false;
}

bool frmPMain::fnFileClose(bool noPrompt) {
  ProcLog log("mdifrmMain", "fnFileClose", QStringLiteral("NoPrompt = %1").arg(noPrompt));
  // No subject file can be open before the testing session exists: nothing to close.
  log.completed();
  return false;
}

// ---------------------------------------------------------------- shutdown

void frmPMain::closeEvent(QCloseEvent* e) {
  if (listsRefreshing_) {
    // A termination signal or timed close during the refresh: close once the list is saved.
    closePending_ = true;
    e->ignore();
    return;
  }
  if (unloaded_ || !loaded_ || Form_Unload()) {
    e->accept();
  } else {
    e->ignore();
  }
}

bool frmPMain::Form_Unload() {
  ProcLog log(kModule, "Form_Unload");
  log.step("Closing file");
  if (fnFileClose(false)) {
    log.step("Closing file - Cancelled by user");
    return false;
  }
  log.step("Closing Down");
  log.step("Closing Servers");
  log.step("Closing Forms");
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
  if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
    savePlacement(geometry());

  log.step("Unreferencing Objects");
  log.step("Removing Temporary Files");
  const int removed = removeTempFiles({QStringLiteral("*.tmp"), QStringLiteral("*.img")});
  log.step(QStringLiteral("Removed %1 temporary files").arg(removed));
  log.step("Procedure completed");

  if (settings::readBool(settings::ShutWindowsOnExit) && shutdownAllowed_) {
    if (!requestPowerOff()) log.error("The power-off request was refused");
  }
  unloaded_ = true;
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
