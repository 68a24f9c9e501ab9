#include "options/windows/frmppassword.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/messages.h"
#include "core/windows/buttoncolouring.h"

namespace tarn {

frmPPassword::frmPPassword(QWidget* parent) : QDialog(parent) {
  setObjectName("frmPPassword");
  setWindowTitle(productTitle());
  auto* layout = new QVBoxLayout(this);
  fraPassword = new QGroupBox(QStringLiteral("Enter Password"), this);
  fraPassword->setObjectName("fraPassword");
  auto* inner = new QVBoxLayout(fraPassword);
  txtPassword = new QLineEdit(fraPassword);
  txtPassword->setObjectName("txtPassword");
  txtPassword->setEchoMode(QLineEdit::Password);
  txtPassword->setMinimumWidth(260);
  inner->addWidget(txtPassword);
  layout->addWidget(fraPassword);
  auto* buttons = new QHBoxLayout;
  cmdOK = new QPushButton(QStringLiteral("&OK"), this);
  cmdOK->setObjectName("cmdOK");
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
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
