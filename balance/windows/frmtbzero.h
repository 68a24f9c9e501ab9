#pragma once
// The zeroing window: the plate for the coming test, the judgement of the zero it holds, a new
// zero and its quality. A wizard step: Next (1), Back (-1) or Cancel (0).
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "balance/procedures/zerocontroller.h"

namespace tarn {

class KMTARNRQSF;
class SubjectMirror;
struct BalanceTestRun;

class frmTBZero : public QDialog {
  Q_OBJECT
 public:
  // run: the test of this step (its surface; its data is erased after a new zero on consent).
  // forms: the subject-forms object (may be null).
  frmTBZero(KMX_HID_Devices* driver, BalanceTestRun* run, KMTARNRQSF* forms = nullptr,
            QWidget* parent = nullptr);
  ~frmTBZero() override;

  ZeroController& controller() { return *zc_; }
  int DialogExitButton() const { return exit_; }

  QComboBox* cmbPlates;
  QLabel* lblExcitation;
  QLabel* lblFreqTxt;
  QLineEdit* txtDuration;
  QGroupBox* fraValues;
  QLabel* lblValue[3][4];  // per channel: average code, average V, RMS code, SNR
  QLabel* lblStatus;
  QLabel* lblInstructions;
  QProgressBar* prgZero;
  QPushButton* cmdCancel;
  QPushButton* cmdBack;
  QPushButton* cmdNext;
  QPushButton* cmdAcquire;
  QPushButton* cmdRedoZero;
  QTimer* Timer1;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void reject() override;

 private:
  void updateForm();
  void fillPlates();
  void cmdAcquire_Click();
  void cmdNext_Click();
  void Timer1_Timer();
  void finish(int code);

  ZeroController* zc_;
  BalanceTestRun* run_;
  QPointer<KMTARNRQSF> forms_;
  SubjectMirror* subject_ = nullptr;
  int exit_ = -99;
};

}  // namespace tarn
