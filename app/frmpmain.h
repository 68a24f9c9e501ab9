#pragma once
// The main window: runs the start-up checks, offers the five main commands, follows the platform
// driver's events and ends the program in order. The decisions live in startupsequence.h and
// options/passwordgate.h.
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "balance/plate/plate.h"
#include "core/windows/frmpprogress.h"
#include "core/windows/frmpsplash.h"
#include "core/windows/htmlhelp.h"
#include "core/windows/showmodal.h"
#include "data/lists/list.h"
#include "options/passwordgate.h"

namespace tarn {
class KMX_HID_Devices;
class KMX_BalancePlate;
class KMTARNRQSF;
class frmPSplash;
class frmPProgress;
class CmdButtonColouring;
class SingleInstanceLock;
class ProcLog;
}  // namespace tarn

namespace tarn::app {

class ClickableLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* e) override;
};

class frmPMain : public QWidget {
  Q_OBJECT
 public:
  explicit frmPMain(QWidget* parent = nullptr);
  ~frmPMain() override;

  // The start-up sequence. False when the program must end (the window was never shown).
  bool Form_Load();
  // Checks run each time the window becomes active outside a test session.
  void Form_Activate();
  // The shutdown sequence; false when it was cancelled and the window stays.
  bool Form_Unload();

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

  int DialogExitButton() const { return dialogExitButton_; }
  void setDialogExitButton(int code) { dialogExitButton_ = code; }

  KMX_HID_Devices* plateDriver() const { return plateDriver_.get(); }
  KMTARNRQSF* subjectForms() const { return subjectForms_; }
  frmPProgress* progressWindow() const { return progress_; }
  KM_RQList* lists() const { return lists_.get(); }
  bool listsRefreshing() const { return listsRefreshing_; }
  const PasswordGate& passwordGate() const { return gate_; }
  bool shutdownAllowed() const { return shutdownAllowed_; }
  bool testSessionRunning() const { return sessionRunning_; }

  // The program lock after three wrong passwords waits here; tests replace the wait.
  using LockWait = std::function<void(int ms)>;
  void setLockWait(LockWait wait) { lockWait_ = std::move(wait); }

  // Automation clients learn when a list refresh begins and ends (ListRefreshStart and
  // ListRefreshEnd); the automation server installs these.
  using Notice = std::function<void()>;
  void setListRefreshNotices(Notice start, Notice end) {
    listRefreshStart_ = std::move(start);
    listRefreshEnd_ = std::move(end);
  }

  QLabel* lblTitle;
  QLabel* lblStatus;
  ClickableLabel* imgKMXLogo;
  QPushButton* cmdBegin;
  QPushButton* cmdFileMngm;
  QPushButton* cmdOptions;
  QPushButton* cmdReportReprint;
  QPushButton* cmdExit;

 signals:
  void idle();  // the window is up and waiting for the operator

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private slots:
  void prv_objPlateDriver_PlateListUpdateBegin();
  void prv_objPlateDriver_PlateArrived(const QString& devicePath, const QString& serialNumber);
  void prv_objPlateDriver_PlateNotResponding(const QString& devicePath, const QString& serialNumber);
  void prv_objPlateDriver_PlateRemoved(const QString& devicePath, const QString& serialNumber);
  void prv_objPlateDriver_PlateListUpdateDone(qint32 plates, qint32 hids, bool changed);

 public slots:
  // The list's refresh progress: (total, current) once per entry of each pass.
  void prv_objLists_RefreshDelOld(qint32 total, qint32 current);
  void prv_objLists_RefreshAddNew(qint32 total, qint32 current);
  void prv_objLists_RefreshUpdate(qint32 total, qint32 current);

 private:
  void buildControls();
  void setCommandsEnabled(bool on);
  void listProgress(const char* procedure, const QString& message, qint32 total, qint32 current);
  bool fnFileRecover(const QString& lastName, const QString& lastTemp);
  bool fnFileClose(bool noPrompt);
  void showLaterIssueNotice(const ProcLog& log, const QString& what);
  void applySubjectMonitor();
  void applyStartWithDesktop();
  void runActivationChecks(const ProcLog& log);

  class ListEvents;
  std::unique_ptr<SingleInstanceLock> instanceLock_;
  std::unique_ptr<KMX_HID_Devices> plateDriver_;
  QPointer<KMX_BalancePlate> plate_;
  KMTARNRQSF* subjectForms_ = nullptr;
  KMX_cShowModal showModal_;
  KMX_HTMLHelp help_;
  QPointer<frmPSplash> splash_;
  QPointer<frmPProgress> progress_;
  std::unique_ptr<KM_RQList> lists_;
  std::unique_ptr<ListEvents> listEvents_;
  Notice listRefreshStart_;
  Notice listRefreshEnd_;
  QElapsedTimer progressPump_;          // since the progress window last processed events
  const char* progressPass_ = nullptr;  // the pass whose first event was logged
  bool listsRefreshing_ = false;
  bool closePending_ = false;
  CmdButtonColouring* colouring_ = nullptr;
  PasswordGate gate_;
  LockWait lockWait_;
  int dialogExitButton_ = -99;
  quint32 startTick_ = 0;
  bool loaded_ = false;
  bool unloaded_ = false;
  bool activating_ = false;
  bool sessionRunning_ = false;
  bool shutdownAllowed_ = false;
};

}  // namespace tarn::app
