#include "options/windows/frmppassword.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/messages.h"
#include "core/windows/buttoncolouring.h"
#include "support/strings/strings.h"

namespace tarn {

frmPPassword::frmPPassword(QWidget* parent) : QDialog(parent) {
  setObjectName("frmPPassword");
  setWindowTitle(productTitle());
  auto* layout = new QVBoxLayout(this);
  fraPassword = new QGroupBox(Str(6294), this);
  fraPassword->setObjectName("fraPassword");
  auto* inner = new QVBoxLayout(fraPassword);
  txtPassword = new QLineEdit(fraPassword);
  txtPassword->setObjectName("txtPassword");
  txtPassword->setEchoMode(QLineEdit::Password);
  txtPassword->setMinimumWidth(260);
  inner->addWidget(txtPassword);
  layout->addWidget(fraPassword);
  auto* buttons = new QHBoxLayout;
  cmdOK = new QPushButton(Str(6001), this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(Str(6002), this);
  cmdCancel->setObjectName("cmdCancel");
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  layout->addLayout(buttons);
  connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
  txtPassword->setFocus();
  CmdButtonColouring::install(this);
}

}  // namespace tarn
