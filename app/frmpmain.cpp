#include "app/frmpmain.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "app/logo.h"
#include "app/startupsequence.h"
#include "app/stationapp.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"

namespace tarn::app {

void ClickableLabel::mouseReleaseEvent(QMouseEvent* e) {
  QLabel::mouseReleaseEvent(e);
  if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) emit clicked();
}

frmPMain::frmPMain(StationApp& app) : app_(app) {
  setObjectName("frmPMain");
  // Until the start-up is through the window has no caption bar, like the splash it follows.
  setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
  setStyleSheet(
      "#frmPMain { background: #f4f7fa; }"
      "QLabel#lblTitle { color: #1f4e79; font-size: 22pt; font-weight: 600; }"
      "QLabel#lblStatus { color: #ffffff; background: #3d6a8f; border-radius: 4px; padding: 6px 10px;"
      " font-size: 11pt; font-weight: 600; }"
      "QPushButton { min-height: 42px; font-size: 12pt; padding: 4px 18px; }");
  lblTitle = new QLabel(Str(1000), this);
  lblTitle->setObjectName("lblTitle");
  lblTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  lblTitle->setCursor(Qt::PointingHandCursor);
  lblTitle->installEventFilter(this);
  lblStatus = new QLabel(this);
  lblStatus->setObjectName("lblStatus");
  lblStatus->setAlignment(Qt::AlignCenter);
  imgKMXLogo = new ClickableLabel(this);
  imgKMXLogo->setObjectName("imgKMXLogo");
  imgKMXLogo->setPixmap(drawLogo(200));
  imgKMXLogo->setAlignment(Qt::AlignCenter);
  imgKMXLogo->setCursor(Qt::PointingHandCursor);

  cmdBegin = new QPushButton(Str(1001), this);
  cmdBegin->setObjectName("cmdBegin");
  cmdFileMngm = new QPushButton(Str(1002), this);
  cmdFileMngm->setObjectName("cmdFileMngm");
  cmdOptions = new QPushButton(Str(1003), this);
  cmdOptions->setObjectName("cmdOptions");
  cmdReportReprint = new QPushButton(Str(1004), this);
  cmdReportReprint->setObjectName("cmdReportReprint");
  cmdExit = new QPushButton(Str(1005), this);
  cmdExit->setObjectName("cmdExit");

  auto* buttons = new QVBoxLayout;
  buttons->setSpacing(10);
  for (auto* b : {cmdBegin, cmdFileMngm, cmdReportReprint, cmdOptions}) buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(cmdExit);

  auto* left = new QVBoxLayout;
  left->addWidget(imgKMXLogo, 1);
  auto* body = new QHBoxLayout;
  body->setSpacing(24);
  body->addLayout(left, 1);
  body->addLayout(buttons, 1);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(24, 18, 24, 18);
  root->setSpacing(14);
  root->addWidget(lblTitle);
  root->addLayout(body, 1);
  root->addWidget(lblStatus);

  // Only an access password shows these (logo click).
  for (auto* b : {cmdFileMngm, cmdReportReprint, cmdOptions}) b->setVisible(false);

  connect(cmdBegin, &QPushButton::clicked, &app_, &StationApp::cmdBegin_Click);
  connect(cmdFileMngm, &QPushButton::clicked, &app_, &StationApp::cmdFileMngm_Click);
  connect(cmdOptions, &QPushButton::clicked, &app_, &StationApp::cmdOptions_Click);
  connect(cmdReportReprint, &QPushButton::clicked, &app_, &StationApp::cmdReportReprint_Click);
  connect(cmdExit, &QPushButton::clicked, &app_, &StationApp::cmdExit_Click);
  connect(imgKMXLogo, &ClickableLabel::clicked, &app_, &StationApp::imgKMXLogo_Click);
  resize(twipsToPixels(settings::MainWinPosW.def), twipsToPixels(settings::MainWinPosH.def));
}

void frmPMain::setCommandsEnabled(bool on) {
  for (auto* b : {cmdBegin, cmdFileMngm, cmdOptions, cmdReportReprint, cmdExit}) b->setEnabled(on);
}

void frmPMain::setBeginState(bool enabled, const QString& tooltip) {
  cmdBegin->setEnabled(enabled);
  cmdBegin->setToolTip(tooltip);
}

void frmPMain::showAccessButtons(bool fileManagement, bool reportsReprint, bool options) {
  cmdFileMngm->setVisible(fileManagement);
  cmdReportReprint->setVisible(reportsReprint);
  cmdOptions->setVisible(options);
}

bool frmPMain::accessButtonsShown() const {
  return !cmdFileMngm->isHidden() && !cmdReportReprint->isHidden() && !cmdOptions->isHidden();
}

void frmPMain::focusBegin() {
  activateWindow();
  if (cmdBegin->isVisible() && cmdBegin->isEnabled()) cmdBegin->setFocus();
}

void frmPMain::changeToNormalStyle() {
  const QRect placed = geometry();
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setGeometry(placed);
}

bool frmPMain::eventFilter(QObject* watched, QEvent* e) {
  if (watched == lblTitle && e->type() == QEvent::MouseButtonRelease) {
    if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton) app_.lblTitle_Click();
  }
  return QWidget::eventFilter(watched, e);
}

void frmPMain::closeEvent(QCloseEvent* e) {
  if (app_.closeRequested())
    e->accept();
  else
    e->ignore();
}

// Every return to the main window (after a modal window, after a session) runs the activation.
void frmPMain::changeEvent(QEvent* e) {
  QWidget::changeEvent(e);
  if (e->type() == QEvent::ActivationChange && isActiveWindow()) app_.Form_Activate();
}

}  // namespace tarn::app
