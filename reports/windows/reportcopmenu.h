#pragma once
// "&CoP Display Options" of the results window: grid kind and interval, limits of stability,
// trace and ellipse switches, zoom by the square root of two, and copy. Each choice applies to the
// display of the current tab and is remembered under the reports key.
#include <QMenu>
#include <QPointer>

#include "balance/windows/kmxcopdisplay.h"

namespace tarn {

class ReportCoPMenu : public QMenu {
  Q_OBJECT
 public:
  explicit ReportCoPMenu(QWidget* parent = nullptr);

  // The display the items act on (null: the items do nothing); the ticks follow it.
  void setDisplay(KMXCoPDisplay* display);
  KMXCoPDisplay* display() const { return display_; }
  // The remembered choices applied to a display.
  static void applyStored(KMXCoPDisplay& display);
  void syncChecks();

  QList<QAction*> gridStyleActions;     // 0-4: Off, X, Y, XY, Ticks
  QList<QAction*> gridIntervalActions;  // 0-14, 7 being the separator
  QAction* actFullScreen;
  QAction* actLoS;
  QAction* actTrace;
  QAction* actTargetTrace;
  QAction* actEllipse;
  QAction* actZoomIn;
  QAction* actZoomOut;
  QAction* actRecenter;
  QAction* actClear;
  QAction* actCopy;

 private:
  QPointer<KMXCoPDisplay> display_;
};

// Grid interval of the menu entry index (0-14); 0 for the separator or an index outside.
double ReportGridStep(int index);
// The entry of a step (within 1e-9 m); -1 when none.
int ReportGridIndex(double step);

}  // namespace tarn
