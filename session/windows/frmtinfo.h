#pragma once
// Step 3 of a session: the subject's identity, gender, date of birth and height, checked on Next.
// Nothing reaches the subject information until every check passes.
#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "data/subjectfile/subjectfile.h"

namespace tarn {

class frmTInfo : public QDialog {
  Q_OBJECT
 public:
  explicit frmTInfo(QWidget* parent = nullptr);
  ~frmTInfo() override;

  // Set PatientInfo: the subject information to show and, on Next, to write; null unloads.
  void SetPatientInfo(SubjectInfo* info);
  void setHeight(double metres);  // fHeight: the height offered
  double fHeight() const { return height_; }
  void setReadOnly(bool readOnly);  // bReadOnly
  void setSkipAddress(bool skip);   // bSkipAddress
  int DialogExitButton() const { return exit_; }

  void cmdNext_Click();
  void cmdCancel_Click();

  QGroupBox* fraInfo;
  QLineEdit* txtNameFirst;
  QLineEdit* txtNameMiddle;
  QLineEdit* txtNameLast;
  QLineEdit* txtPatientID;
  QRadioButton* optMale;
  QRadioButton* optFemale;
  QLineEdit* txtDOB;
  QLineEdit* txtPatientHeight;
  QGroupBox* fraAddress;
  QLineEdit* txtStreet;
  QLineEdit* txtCity;
  QLineEdit* txtState;
  QLineEdit* txtZip;
  QLineEdit* txtPhone;
  QLineEdit* txtEmail;
  QPlainTextEdit* txtNotes;
  QLabel* lblInstructions;
  QPushButton* cmdCancel;
  QPushButton* cmdNext;

 protected:
  void reject() override;

 private:
  bool fnDataSave(const QDate& dob, double heightM);
  void finish(int code);
  qint32 sex() const;

  SubjectInfo* info_ = nullptr;
  QButtonGroup* mchIsMale;
  double height_ = 0.0;
  bool readOnly_ = false;
  bool skipAddress_ = false;
  int unit_ = 3;
  int exit_ = -99;
};

}  // namespace tarn
