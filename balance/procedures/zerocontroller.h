#pragma once
// What the zeroing window does, without the window: the plate choice, the judgement of the held
// zero, a new zero and its quality, and the plate's errors.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <optional>

#include "balance/plate/plate.h"
#include "balance/procedures/zerojudge.h"

namespace tarn {

struct BalanceTestRun;

class ZeroController : public QObject {
  Q_OBJECT
 public:
  explicit ZeroController(KMX_HID_Devices* driver, QObject* parent = nullptr);
  ~ZeroController() override;

  void setSurface(qint32 surface);  // of the coming test
  qint32 surface() const { return surface_; }

  // The plates offered for choice, "<name> (<serial>)", in driver order.
  QStringList plateTexts() const;
  int plateCount() const;
  // 1-based index into the list; 0 chooses none. The plate of the last zero is chosen at start,
  // else the only plate when there is just one.
  void choosePlate(int index);
  int chosenIndex() const;
  KMX_BalancePlate* plate() const { return plate_; }

  ZeroStatus status() const;
  ZeroPhase phase() const;
  QString instructions() const;
  bool acquiring() const { return acquiring_; }
  // Share of the running zero acquired so far (0..1), by the plate's clock.
  double progress() const;
  // The wizard may move on: a plate is chosen, its zero is valid and no zero is running.
  bool canProceed() const;
  // Values of the latest zero to show: the one just acquired, kept or refused (a refused zero's
  // values show the operator why), else the one in force.
  std::optional<PlateZero> shownZero() const;
  bool shownZeroRefused() const { return shownRefused_; }

  // Whether the zeroing step is the one running. Only then are the plate's events answered: once
  // the wizard has moved on, an error belongs to the step that runs now and is told only there.
  void setStepRunning(bool running);
  bool stepRunning() const { return stepRunning_; }

  // Starts a zero of durationMs; false (with the reason logged) when it cannot start.
  bool acquire(qint32 durationMs);
  // The Next check: the test of this step holds data taken with another zero. Asks before the
  // data is erased; false keeps the window open.
  bool dataOK(BalanceTestRun* run);

 signals:
  void changed();  // status, instructions or buttons to refresh
  void plateListChanged();
  void zeroFinished(bool accepted);
  void proceedRequested();  // "ProceedAutomatically": an accepted zero moves the wizard on

 private:
  void onZeroDone(QVariant ave, QVariant sd, QVariant rms);
  void onPlateError(PlateError error);
  void onListUpdated();
  void attach(KMX_BalancePlate* plate);
  void endAcquisition();
  ZeroContext context() const;

  QPointer<KMX_HID_Devices> driver_;
  QPointer<KMX_BalancePlate> plate_;
  QList<QMetaObject::Connection> plateConnections_;
  qint32 surface_ = 1;
  bool acquiring_ = false;
  bool completed_ = false;  // a zero finished since the window opened
  bool stepRunning_ = true;
  bool settling() const;
  QTimer* settleWatch_;  // refreshes the window once the plate has settled after a reset
  std::optional<PlateZero> shown_;
  bool shownRefused_ = false;
};

}  // namespace tarn
