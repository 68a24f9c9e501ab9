#pragma once
// The application object: the composition root of the station. It creates, owns and wires every
// long-lived object (the single-instance lock, the platform driver and the plate in use, the
// data-folder list, the current subject file slot, the pointer, the subject forms, the modal
// display and help objects, the windows loaded for a step) and runs the main window's procedures:
// start-up, activation, the five commands, the platform and list events, and shutdown. The main
// window frmPMain only shows the commands and hands their clicks here.
//
// Procedures log under the system's names: module frmPMain, and mdifrmMain for the file routines.
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "core/windows/htmlhelp.h"
#include "core/windows/showmodal.h"
#include "core/wizard.h"
#include "options/windows/logogate.h"
#include "session/sessiondriver.h"
#include "support/windows/kmxmouse.h"

class QWidget;

namespace tarn {
class CurrentSubjectFile;
class TestSession;
class KMX_HID_Devices;
class KMX_BalancePlate;
class KMTARNRQSF;
class KM_RQList;
class frmPSplash;
class frmPProgress;
class CmdButtonColouring;
class SingleInstanceLock;
class ProcLog;
class AutomationServer;
}  // namespace tarn

namespace tarn::app {

class frmPMain;

class StationApp : public QObject {
  Q_OBJECT
 public:
  StationApp();
  ~StationApp() override;

  frmPMain* window() const { return window_.get(); }

  // The start-up sequence. False when the program must end; the window was then never shown and
  // the event log ended the orderly way (a log left behind always means a crash).
  bool Form_Load();
  // Checks run each time the main window becomes active outside a test session.
  void Form_Activate();
  // The shutdown sequence; false when it was cancelled and the window stays.
  bool Form_Unload();
  // The main window asks before it closes: true when it may (the unload ran or was not needed).
  bool closeRequested();
  int activations() const { return activations_; }  // how often Form_Activate ran its checks

  void Commands_Update();
  // Brings the data-folder list in line with the data folder; the five buttons stay disabled
  // until the caller runs Commands_Update.
  void Lists_Refresh();

  void cmdBegin_Click();
  void cmdFileMngm_Click();
  void cmdOptions_Click();
  void cmdReportReprint_Click();
  void cmdExit_Click();
  void lblTitle_Click();
  void imgKMXLogo_Click();

  // The wizard button code a step window leaves for the session driver.
  int DialogExitButton() const { return dialogExitButton_; }
  void setDialogExitButton(int code) { dialogExitButton_ = code; }

  // The long-lived objects, shared with the windows of a step.
  KMX_HID_Devices* plateDriver() const { return plateDriver_.get(); }
  KMX_BalancePlate* plate() const;
  void setPlate(KMX_BalancePlate* plate);
  KMTARNRQSF* subjectForms() const { return subjectForms_; }
  KM_RQList* lists() const { return lists_.get(); }
  bool unloaded() const { return unloaded_; }
  // Unattended runs: the results of every session are also printed into a PDF beside its file.
  void setReportPdfBesideFile(bool on) { reportPdfBesideFile_ = on; }
  KMX_Mouse& mouse() { return mouse_; }
  const KMX_cShowModal& showModal() const { return showModal_; }
  const KMX_HTMLHelp& help() const { return help_; }
  frmPProgress* progressWindow() const;
  bool listsRefreshing() const { return listsRefreshing_; }
  const PasswordGate& passwordGate() const { return logo_.gate(); }
  bool shutdownAllowed() const { return shutdownAllowed_; }
  bool testSessionRunning() const { return sessionRunning_; }

  // The current subject file: "Last Name" (the subject file) and "Last Temp" (its working copy)
  // mark it open for crash recovery; empty when no file is open.
  QString currentFileName() const;
  QString currentWorkingCopy() const;
  CurrentSubjectFile* currentFile() const { return currentFile_.get(); }
  TestSession* session() const { return session_.get(); }

  // A window loaded for one step; "Closing Forms" unloads the ones still loaded.
  void registerForm(QWidget* form);
  int loadedFormCount() const;

  // The program lock after three wrong passwords waits here; tests replace the wait.
  void setLockWait(LogoGate::LockWait wait) { logo_.setLockWait(std::move(wait)); }

  // Automation clients learn when a list refresh begins and ends (ListRefreshStart and
  // ListRefreshEnd); the automation server installs these.
  using Notice = std::function<void()>;
  void setListRefreshNotices(Notice start, Notice end) {
    listRefreshStart_ = std::move(start);
    listRefreshEnd_ = std::move(end);
  }
  // The automation clients: told by the session, the reports reprint and the shutdown (null: none).
  void setAutomation(AutomationServer* server) { automation_ = server; }
  // What a client supplied for the next press of the begin-test command.
  void setNextSessionStart(const SessionStart& start) { nextStart_ = start; }
  // A start by the session bus: no splash, no start delay; the window stays hidden until asked.
  void setQuietStart(bool quiet) { quietStart_ = quiet; }
  bool started() const { return loaded_ && !unloaded_; }

 signals:
  void idle();  // the main window is up and waiting for the operator

 private:
  class ListEvents;
  void onPlateListUpdateBegin();
  void onPlateArrived(const QString& devicePath, const QString& serialNumber);
  void onPlateNotResponding(const QString& devicePath, const QString& serialNumber);
  void onPlateRemoved(const QString& devicePath, const QString& serialNumber);
  void onPlateListUpdateDone(qint32 plates, qint32 hids, bool changed);
  void listProgress(const char* procedure, const QString& message, qint32 total, qint32 current);
  bool refuseStart(const ProcLog& log, const QString& text);
  void applySubjectMonitor();
  void applyStartWithDesktop(const ProcLog& log);
  // The units and monitor notices; true when the operator answered OK to go to the options.
  bool runActivationChecks(const ProcLog& log);
  void unloadForms();

  void createSession();

  std::unique_ptr<frmPMain> window_;
  std::unique_ptr<CurrentSubjectFile> currentFile_;
  std::unique_ptr<TestSession> session_;
  std::unique_ptr<SingleInstanceLock> instanceLock_;
  std::unique_ptr<KMX_HID_Devices> plateDriver_;
  QPointer<KMX_BalancePlate> plate_;
  KMTARNRQSF* subjectForms_ = nullptr;
  KMX_Mouse mouse_;
  KMX_cShowModal showModal_;
  KMX_HTMLHelp help_;
  QPointer<frmPSplash> splash_;
  QPointer<frmPProgress> progress_;
  std::unique_ptr<KM_RQList> lists_;
  std::unique_ptr<ListEvents> listEvents_;
  QList<QPointer<QWidget>> forms_;
  Notice listRefreshStart_;
  Notice listRefreshEnd_;
  AutomationServer* automation_ = nullptr;
  SessionStart nextStart_;
  bool quietStart_ = false;
  QElapsedTimer progressPump_;          // since the progress window last processed events
  const char* progressPass_ = nullptr;  // the pass whose first event was logged
  bool listsRefreshing_ = false;
  bool closePending_ = false;
  CmdButtonColouring* colouring_ = nullptr;
  LogoGate logo_;
  int dialogExitButton_ = kWizNone;
  quint32 startTick_ = 0;
  bool logStarted_ = false;
  bool loaded_ = false;
  bool unloaded_ = false;
  bool reportPdfBesideFile_ = false;
  bool activating_ = false;
  int activations_ = 0;
  bool sessionRunning_ = false;
  bool shutdownAllowed_ = false;
};

}  // namespace tarn::app
