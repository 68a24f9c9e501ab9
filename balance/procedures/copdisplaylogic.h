#pragma once
// Arithmetic behind the CoP display and its options menu, kept apart from the widget.
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

namespace tarn {

// Grid styles of the display, in the order of the "&Grid" submenu.
enum class CoPGridStyle : qint32 { Off = 0, X = 1, Y = 2, XY = 3, Ticks = 4 };
QString GridStyleMenuText(CoPGridStyle style);

// The "&Interval" submenu. Items are numbered from 1 with the separator between the metric and
// the inch steps counted, as the item number is what "CoP Grid Spacing" stores.
struct GridIntervalItem {
  qint32 index = 0;
  QString text;      // empty for the separator
  double stepM = 0;  // 0 for the separator
};
const std::vector<GridIntervalItem>& GridIntervalItems();
// Step for a stored item number; nullopt for the separator or a number outside the menu.
std::optional<double> GridStepForItem(qint32 index);
// The item whose step is this one (within 1e-9 m); 0 when none.
qint32 GridItemForStep(double stepM);

// Replay timer: 1000 / (fs × speed / 100) ms, rounded; nullopt (interval unchanged) for a speed
// below 1 or no frequency.
std::optional<int> ReplayIntervalMs(double fs, int speedPercent);
// "100%" or "Paused".
QString ReplaySpeedText(int speedPercent, bool paused);

// CoP of one sample as the live display and the replay draw it: valid when Fz (rounded to single)
// is at or below the negated threshold; x = −M2/Fz, y = M1/Fz, turned by the plate's rotation.
struct CoPTransform {
  float thrFz = -10.0f;  // negated threshold
  double cosPhi = 1.0, sinPhi = 0.0;
  bool rotate = false;
  static CoPTransform make(float thrFz, float rotation);
  bool apply(float fz, float m1, float m2, double& x, double& y) const;
};

}  // namespace tarn
