#include "reports/progress.h"

#include <QDate>
#include <algorithm>
#include <cmath>

#include "balance/norms/norms.h"
#include "core/clock.h"
#include "data/lists/listentry.h"

namespace tarn {
namespace {

bool missingDate(double d) { return d == clock::kMissingDate || std::isnan(d) || d == 0; }

bool sameLimits(const ClassLimits& a, const ClassLimits& b) {
  return a.L1 == b.L1 && a.L2 == b.L2 && a.L3 == b.L3 && a.L4 == b.L4;
}

// Bands of one test type from `from` to `to`: the limits only change on birthdays, so each stretch
// between two birthdays takes the limits of its middle, and equal neighbours are merged.
std::vector<ProgressBand> bandsFor(double birth, qint32 type, double from, double to, int version) {
  std::vector<double> cuts{from};
  const QDate born = clock::fromDays(birth).date();
  for (int y = 0; y < 150; ++y) {
    const double d = clock::dateToDays(born.addYears(y));
    if (d > from && d < to) cuts.push_back(d);
    if (d >= to) break;
  }
  cuts.push_back(to);
  std::vector<ProgressBand> bands;
  for (size_t i = 0; i + 1 < cuts.size(); ++i) {
    ProgressBand b;
    b.from = cuts[i];
    b.to = cuts[i + 1];
    const double mid = (b.from + b.to) / 2;
    if (!NormsLookup(AgeInYears(birth, mid), type, b.limits.L1, b.limits.L2, b.limits.L3, b.limits.L4,
                     version))
      continue;
    if (!bands.empty() && bands.back().to == b.from && sameLimits(bands.back().limits, b.limits)) {
      bands.back().to = b.to;
    } else {
      bands.push_back(b);
    }
  }
  return bands;
}

}  // namespace

int ProgressData::pointCount() const {
  int n = 0;
  for (const ProgressSeries& s : series) n += int(s.points.size());
  return n;
}

ProgressData BuildProgress(const KM_RQListFile& entry, int normsVersion) {
  ProgressData d;
  d.normsVersion = normsVersion;
  d.hasBirth = !missingDate(entry.dtSubjDoB);
  for (int t = 0; t < 4; ++t) d.series[size_t(t)].type = t + 1;
  double first = 0, last = 0;
  bool any = false;
  for (qint32 i = 1; i <= entry.lTestBalanceCount(); ++i) {
    const KM_RQListTestBalance* r = entry.ltTestBalanceItem(i);
    if (!r || r->lTestType < 1 || r->lTestType > 4 || missingDate(r->dtDate) || !ListRecordHasResults(*r))
      continue;
    ProgressPoint p;
    p.date = r->dtDate;
    p.score = StabilityScorePercent(r->fStability);
    p.name = r->sName;
    if (const auto limits = LimitsForTest(entry.dtSubjDoB, r->dtDate, r->lTestType, normsVersion))
      p.cls = limits->classOf(r->fStability);
    d.series[size_t(r->lTestType - 1)].points.push_back(p);
    first = any ? std::min(first, p.date) : p.date;
    last = any ? std::max(last, p.date) : p.date;
    any = true;
  }
  if (!any) {
    d.from = d.to = 0;
    return d;
  }
  // Some room either side, at least a month in all, so a single test sits inside the plot.
  const double pad = std::max(15.0, (last - first) * 0.05);
  d.from = std::floor(first - pad);
  d.to = std::ceil(last + pad);
  for (ProgressSeries& s : d.series) {
    std::stable_sort(s.points.begin(), s.points.end(),
                     [](const ProgressPoint& a, const ProgressPoint& b) { return a.date < b.date; });
    double low = 100;
    for (const ProgressPoint& p : s.points) low = std::min(low, p.score);
    if (d.hasBirth) s.bands = bandsFor(entry.dtSubjDoB, s.type, d.from, d.to, normsVersion);
    for (const ProgressBand& b : s.bands) low = std::min(low, b.limits.L4);
    // A multiple of 10 at least 5 points below every score and limit, so the profound band shows.
    s.scoreMin = std::clamp(std::floor((low - 5.0) / 10.0) * 10.0, 0.0, 90.0);
  }
  return d;
}

}  // namespace tarn
