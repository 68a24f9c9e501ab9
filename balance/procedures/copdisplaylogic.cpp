#include "balance/procedures/copdisplaylogic.h"

#include <cmath>

namespace tarn {

QString GridStyleMenuText(CoPGridStyle style) {
  switch (style) {
    case CoPGridStyle::Off:
      return "&Off";
    case CoPGridStyle::X:
      return "&X";
    case CoPGridStyle::Y:
      return "&Y";
    case CoPGridStyle::XY:
      return "XY";
    case CoPGridStyle::Ticks:
      return "&Ticks";
  }
  return QString();
}

const std::vector<GridIntervalItem>& GridIntervalItems() {
  static const std::vector<GridIntervalItem> items = [] {
    std::vector<GridIntervalItem> v;
    const char* mm[] = {"50 mm", "25 mm", "10 mm", "5 mm", "2.5 mm", "1 mm", "0.5 mm"};
    const double mmStep[] = {0.05, 0.025, 0.01, 0.005, 0.0025, 0.001, 0.0005};
    qint32 i = 1;
    for (int k = 0; k < 7; ++k) v.push_back({i++, mm[k], mmStep[k]});
    v.push_back({i++, QString(), 0.0});
    const char* in[] = {"2 in", "1 in", "1/2 in", "1/4 in", "1/8 in", "1/16 in", "1/32 in"};
    const double inStep[] = {0.0508, 0.0254, 0.0254 / 2, 0.0254 / 4, 0.0254 / 8, 0.0254 / 16, 0.0254 / 32};
    for (int k = 0; k < 7; ++k) v.push_back({i++, in[k], inStep[k]});
    return v;
  }();
  return items;
}

std::optional<double> GridStepForItem(qint32 index) {
  for (const auto& item : GridIntervalItems())
    if (item.index == index && item.stepM > 0) return item.stepM;
  return std::nullopt;
}

qint32 GridItemForStep(double stepM) {
  for (const auto& item : GridIntervalItems())
    if (item.stepM > 0 && std::abs(item.stepM - stepM) < 1e-9) return item.index;
  return 0;
}

std::optional<int> ReplayIntervalMs(double fs, int speedPercent) {
  if (speedPercent < 1 || !(fs > 0)) return std::nullopt;
  return static_cast<int>(std::lround(1000.0 / (fs * speedPercent / 100.0)));
}

QString ReplaySpeedText(int speedPercent, bool paused) {
  return paused ? QString("Paused") : QString::number(speedPercent) + "%";
}

CoPTransform CoPTransform::make(float thrFz, float rotation) {
  CoPTransform t;
  t.thrFz = thrFz;
  t.rotate = rotation != 0.0f;
  t.cosPhi = std::cos(double(rotation));
  t.sinPhi = std::sin(double(rotation));
  return t;
}

bool CoPTransform::apply(float fz, float m1, float m2, double& x, double& y) const {
  if (!(fz <= thrFz)) return false;
  const double xp = -double(m2) / fz, yp = double(m1) / fz;
  if (rotate) {
    x = xp * cosPhi + yp * sinPhi;
    y = -xp * sinPhi + yp * cosPhi;
  } else {
    x = xp;
    y = yp;
  }
  return true;
}

}  // namespace tarn
