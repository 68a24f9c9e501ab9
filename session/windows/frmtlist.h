#pragma once
// Step 5 of a session: the session's tests, run one by one (zero, then the static test), renamed
// by a right click on the name, and the way on to the results. The decisions are the list's logic
// (session/testlist.h); this window shows them and forwards the operator's clicks.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace tarn {

class TestListModel;

class frmTList : public QDialog {
  Q_OBJECT
 public:
  explicit frmTList(QWidget* parent = nullptr);
  ~frmTList() override;

  // The file, visit and session, through the list's logic (not owned).
  void SetModel(TestListModel* model);
  int DialogExitButton() const { return exit_; }

  void Update_List();
  void cmdDoTest_Click();
  void cmdCancel_Click();

  QLabel* lblTests;
  QTableWidget* grdTests;
  QLabel* lblInstructions;
  QPushButton* cmdCancel;
  QPushButton* cmdBack;
  QPushButton* cmdNext;
  QPushButton* cmdDoTest;

 protected:
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void reject() override;

 private:
  void grdTests_ChangeSel();
  void setCommands();
  void scheduleActivation();
  void Form_Activate();
  void finish(int code);

  TestListModel* model_ = nullptr;
  bool running_ = false;
  bool activationPending_ = false;
  int exit_ = -99;
};

}  // namespace tarn
