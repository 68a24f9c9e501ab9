#include "options/monitorsize.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "balance/balancesettings.h"
#include "core/settingkeys.h"

namespace tarn::options {

Sides SidesFromDiagonal(double diagonal, int resHor, int resVert) {
  if (resHor <= 0 || resVert <= 0 || !(diagonal > 0.0)) return {};
  const double r = static_cast<double>(resHor) / resVert;
  const double height = diagonal / std::sqrt(r * r + 1.0);
  return {height * r, height};
}

double DiagonalFromSides(double width, double height) { return std::hypot(width, height); }

double MinimumVisionDistance(double widthMM, double heightMM, int resHor, int resVert,
                             qint32 minLogMARHundreds, qint32 normalMARSeconds, qint32 smallestImgPix) {
  if (!(widthMM > 0.0) || !(heightMM > 0.0) || resHor <= 0 || resVert <= 0 || normalMARSeconds <= 0 ||
      smallestImgPix <= 0)
    return 0.0;
  const double pitchMM = std::max(widthMM / resHor, heightMM / resVert);
  const double sizeM = smallestImgPix * pitchMM / 1000.0;
  const double thetaSeconds = normalMARSeconds * std::pow(10.0, minLogMARHundreds / 100.0);
  const double theta = thetaSeconds / 3600.0 * std::numbers::pi / 180.0;
  return sizeM / (2.0 * std::tan(theta / 2.0));
}

double MinimumVisionDistanceFromSettings() {
  return MinimumVisionDistance(
      settings::read(settings::MonitorWidthMM), settings::read(settings::MonitorHeightMM),
      settings::read(settings::MonitorResHor), settings::read(settings::MonitorResVert),
      settings::read(settings::VisionMinLogMAR), settings::read(settings::VisionNormalMAR),
      settings::read(settings::VisionSmallestImgPix));
}

}  // namespace tarn::options
