#pragma once
// Step 7 of a session until the results report window takes its place: every test of the session
// with its stability score and class. Next saves, OK leaves, Back returns to the tests.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "data/subjectfile/subjectfile.h"

namespace tarn {

class frmTSessionResults : public QDialog {
  Q_OBJECT
 public:
  frmTSessionResults(const SubjectFile& file, const Session& session, QWidget* parent = nullptr);
  ~frmTSessionResults() override;
  int DialogExitButton() const { return exit_; }

  QLabel* lblSubject;
  QLabel* lblSession;
  QTableWidget* grdResults;
  QLabel* lblInstructions;
  QPushButton* cmdCancel;
  QPushButton* cmdOK;
  QPushButton* cmdBack;
  QPushButton* cmdNext;

 protected:
  void reject() override;

 private:
  void finish(int code);
  int exit_ = -99;
};

// The texts of a stability class (1 to 5) and of a test's state, as the results list them.
QString StabilityClassText(qint32 cls);

}  // namespace tarn
