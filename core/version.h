#pragma once
// The station's version, shown on the splash and written into every log header.
#include <QString>

namespace tarn {
inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRevision = 0;

inline QString versionText() {
  return QString::number(kVersionMajor) + '.' + QString::number(kVersionMinor) + '.' +
         QString::number(kVersionRevision);
}
}  // namespace tarn
