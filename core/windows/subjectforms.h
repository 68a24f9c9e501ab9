#pragma once
// The subject-forms component: the windows on the subject's monitor. It reports the monitors
// present, takes the chosen subject monitor (1-based, 0 = none), describes it for the colour-depth
// and monitor-change checks, and shows an idle screen there between tests.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QScreen;

namespace tarn {

class KMTARNRQSF : public QObject {
  Q_OBJECT
 public:
  explicit KMTARNRQSF(QObject* parent = nullptr);
  ~KMTARNRQSF() override;

  int MonitorCount() const;
  void setMonitor(int monitor);  // values outside 0..MonitorCount() become 0
  int Monitor() const { return monitor_; }

  QScreen* subjectScreen() const;  // nullptr when no subject monitor is chosen
  // The display the subject sees: the chosen monitor, else the primary one.
  QScreen* displayScreen() const;
  int ColorDepth() const;  // bits per pixel of the subject monitor; 0 when none is chosen
  QString DeviceName() const;
  QString DeviceString() const;
  int ResHor() const;  // pixels
  int ResVert() const;

  // Idle screen on the subject monitor; shown only when that monitor is not the operator's.
  void ShowIdle(QWidget* operatorWindow);
  void HideAll();
  QWidget* idleWindow() const { return idle_; }

 private:
  int monitor_ = 0;
  QPointer<QWidget> idle_;
};

}  // namespace tarn
