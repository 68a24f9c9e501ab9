#pragma once
// The static test window: instructions and live CoP for the subject, the commands of the test
// for the operator, preliminary results at the end. A wizard step ending with Next, OK, Back or
// Cancel (core/wizard.h); the run it returns is the operator's copy, changed only when saved.
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <functional>

#include "balance/procedures/statictest.h"
#include "balance/windows/copdisplaymenu.h"
#include "balance/windows/kmxcopdisplay.h"
#include "core/wizard.h"

namespace tarn {

class KMTARNRQSF;
class SubjectMirror;

class frmTBStatic : public QDialog {
  Q_OBJECT
 public:
  frmTBStatic(KMX_BalancePlate* plate, KMX_HID_Devices* driver, KMTARNRQSF* forms = nullptr,
              QWidget* parent = nullptr);
  ~frmTBStatic() override;

  // Set BalanceTest: works on a copy. showNext/showOK: which save buttons the step offers.
  void setBalanceTest(const BalanceTestRun& run, bool showNext = true, bool showOK = false);
  // The test notes are edited by the dialog of whoever runs the test (true: notes changed and
  // kept). Without an editor the Notes button is hidden.
  using NotesEditor = std::function<bool(QWidget* parent, QString& notes)>;
  void setNotesEditor(NotesEditor editor);
  // The saved run (valid after Next or OK).
  const BalanceTestRun& balanceTest() const { return saved_; }
  int DialogExitButton() const { return exit_; }
  StaticTestController& controller() { return *ctl_; }

  QLabel* lblTitle;
  QLabel* lblInstructions;
  QLabel* lblTime;
  QLabel* lblStatus;
  QLabel* lblHelp;
  QLabel* lblPointer;
  KMXCoPDisplay* copDisplay;
  CoPDisplayOptionsMenu* mnuCoPDisplay;
  QLabel* lblResultsHeading;  // heading and, for a partial or failed test, why
  QLabel* lblScore;           // stability score and class, in the class colour
  QTextBrowser* txtResults;   // the other measures, label and value per row
  QPushButton *cmdOK, *cmdCancel, *cmdBack, *cmdNext;
  QPushButton *cmdPracticeStart, *cmdPracticeStop, *cmdRecenter, *cmdAcquire, *cmdStopTest, *cmdRedoTest;
  QPushButton *cmdSwitchView, *cmdDisplay, *cmdUnableToComplete, *cmdNotes;
  QCheckBox* chkFallen;
  QPushButton *cmdReplay, *cmdReplayPause, *cmdReplayUnpause, *cmdReplayStop;
  QScrollBar* hscReplaySpeed;
  QLabel* lblReplaySpeedVal;
  QPlainTextEdit* txtNotes;
  QTimer* tmrReplay;
  SubjectMirror* subjectScreen() const { return subject_; }

  // Replay
  void cmdReplay_Click();
  void setReplaySpeed(int percent);
  bool replaying() const { return replay_.running(); }
  const CoPReplay& replay() const { return replay_; }
  // Moves the replay on by ms of real time (the replay timer measures it; tests give it).
  void advanceReplay(double ms);

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void reject() override;

 private:
  void updateForm();
  void updateInstructions();
  void updateTime();
  void updateResults();
  void displayStart();
  void showFinished();
  void recenter();
  void tmrReplay_Timer();
  void stopReplay();
  void cmdSwitchView_Click();
  void cmdNotes_Click();
  void leave(WizardButton code);
  void syncSubject();
  InstructionButtonNames buttonNames() const;

  StaticTestController* ctl_;
  QPointer<KMTARNRQSF> forms_;
  SubjectMirror* subject_ = nullptr;
  BalanceTestRun saved_;
  bool showNext_ = true, showOK_ = false;
  int exit_ = kWizNone;
  QWidget* resultsSpacer_ = nullptr;
  CoPReplay replay_;
  QElapsedTimer replayClock_;
  bool replayEnded_ = false;  // the replay reached the end of the recording
  NotesEditor notesEditor_;
};

}  // namespace tarn
