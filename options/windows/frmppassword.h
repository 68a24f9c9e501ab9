#pragma once
// The access password prompt of the logo click.
#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace tarn {

class frmPPassword : public QDialog {
  Q_OBJECT
 public:
  explicit frmPPassword(QWidget* parent = nullptr);
  QGroupBox* fraPassword;
  QLineEdit* txtPassword;
  QPushButton* cmdOK;
  QPushButton* cmdCancel;
};

}  // namespace tarn
