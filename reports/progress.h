#pragma once
// Progress over time: the stability score of every stored test of each test type by date, over the
// five class bands of the norms for the subject's age on each date. Built from the subject's entry
// of the data-folder list alone, so it needs no subject file to be opened.
#include <QString>
#include <array>
#include <vector>

#include "reports/reportformat.h"

namespace tarn {

class KM_RQListFile;

struct ProgressPoint {
  double date = 0;   // day count
  double score = 0;  // percent, one decimal as reports show it
  qint32 cls = 0;    // class against the bands of that date; 0 without a date of birth
  QString name;      // the test's name
};

// Class limits that hold from one date to another (the subject's age band stays the same).
struct ProgressBand {
  double from = 0, to = 0;
  ClassLimits limits;
};

struct ProgressSeries {
  qint32 type = 0;                    // 1-4: NSEO, NSEC, PSEO, PSEC
  std::vector<ProgressPoint> points;  // by date
  std::vector<ProgressBand> bands;    // consecutive, covering from..to; empty without a birth date
  double scoreMin = 0;                // lower edge of its plot (percent); the top is 100
};

struct ProgressData {
  std::array<ProgressSeries, 4> series;
  double from = 0, to = 0;  // date range of the plots
  bool hasBirth = false;
  int normsVersion = 0;
  int pointCount() const;
};

// Tests without results (too few samples, given up) and tests of type Other are left out.
ProgressData BuildProgress(const KM_RQListFile& entry, int normsVersion);

}  // namespace tarn
