#pragma once
// The main window: the title, the logo, the platform status and the five main commands. It only
// shows; every click, its activation and its closing go to the application object.
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace tarn::app {

class StationApp;

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
  explicit frmPMain(StationApp& app);

  void setCommandsEnabled(bool on);  // all five buttons
  void setBeginState(bool enabled, const QString& tooltip);
  // The access buttons (file management, reports reprint, options) shown or hidden by the logo.
  void showAccessButtons(bool fileManagement, bool reportsReprint, bool options);
  bool accessButtonsShown() const;
  void focusBegin();
  // After the splash: caption, system menu, minimise, maximise and sizing frame.
  void changeToNormalStyle();

  QLabel* lblTitle;
  QLabel* lblStatus;
  ClickableLabel* imgKMXLogo;
  QPushButton* cmdBegin;
  QPushButton* cmdFileMngm;
  QPushButton* cmdOptions;
  QPushButton* cmdReportReprint;
  QPushButton* cmdExit;

 protected:
  void closeEvent(QCloseEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  StationApp& app_;
};

}  // namespace tarn::app
