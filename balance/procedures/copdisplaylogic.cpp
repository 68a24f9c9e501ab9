#include "balance/procedures/copdisplaylogic.h"

#include <algorithm>
#include <cmath>

#include "balance/analysis/analysis.h"
#include "balance/plate/plate.h"
#include "balance/procedures/balancetestrun.h"
#include "support/strings/strings.h"

namespace tarn {

QString GridStyleMenuText(CoPGridStyle style) {
  switch (style) {
    case CoPGridStyle::Off:
      return Str(3530);
    case CoPGridStyle::X:
      return Str(3531);
    case CoPGridStyle::Y:
      return Str(3532);
    case CoPGridStyle::XY:
      return Str(3533);
    case CoPGridStyle::Ticks:
      return Str(3534);
  }
  return QString();
}

const std::vector<GridIntervalItem>& GridIntervalItems() {
  static const std::vector<GridIntervalItem> items = [] {
    std::vector<GridIntervalItem> v;
    const QStringList mm = Str(3540).split('|');
    const double mmStep[] = {0.05, 0.025, 0.01, 0.005, 0.0025, 0.001, 0.0005};
    qint32 i = 1;
    for (int k = 0; k < 7; ++k) v.push_back({i++, mm[k], mmStep[k]});
    v.push_back({i++, QString(), 0.0});
    const QStringList in = Str(3541).split('|');
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
  return paused ? Str(3325) : QString::number(speedPercent) + "%";
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

// ---- Scale and geometry ----

double FeedbackScale::toDisplay(double r) const {
  if (!active()) return r / outer;
  if (r <= inner) return innerShare * r / inner;
  return innerShare + (1.0 - innerShare) * (r - inner) / (outer - inner);
}

double FeedbackScale::fromDisplay(double f) const {
  if (!active()) return f * outer;
  if (f <= innerShare) return f / innerShare * inner;
  return inner + (f - innerShare) / (1.0 - innerShare) * (outer - inner);
}

std::optional<CoPEllipse> AnalysisEllipse(const AnalysisResult& r) {
  if (!(r.f95MaxSway > 0.0) || !(r.f95MinSway >= 0.0)) return std::nullopt;
  return CoPEllipse{r.fXo, r.fYo, r.f95MaxSway / 2.0, r.f95MinSway / 2.0, r.fSwayDirection};
}

namespace {
constexpr double kMinFinishedWidth = 0.02;
double liveWidth(double losX, double losY) { return kLiveWidthFactor * std::max(losX, losY); }
}  // namespace

CoPDisplayGeometry LiveDisplayGeometry(const BalanceTestRun& run, const StanceFactors& k, double xo,
                                       double yo) {
  CoPDisplayGeometry g;
  StanceLimits(run.conditions.stance, run.losX, run.losY, k, g.losX, g.losY);
  g.xo = g.losXo = xo;
  g.yo = g.losYo = yo;
  g.width = liveWidth(g.losX, g.losY);
  // Narrow limits (one foot) leave less room: the true-scale part never takes more than half.
  g.feedbackInner = std::min(kFeedbackInnerM, 0.25 * g.width);
  return g;
}

std::optional<CoPDisplayGeometry> FinishedDisplayGeometry(const BalanceTestRun& run, const StanceFactors& k) {
  if (!run.enoughSamples()) return std::nullopt;
  const AnalysisResult& r = run.result;
  CoPDisplayGeometry g;
  double losX = r.fLoSX, losY = r.fLoSY;
  if (!(losX > 0 && losY > 0)) StanceLimits(run.conditions.stance, run.losX, run.losY, k, losX, losY);
  g.losX = losX;
  g.losY = losY;
  g.xo = g.losXo = r.fXo;
  g.yo = g.losYo = r.fYo;
  // The whole sway with a margin, never closer than 2 cm nor wider than the live display.
  g.width = std::clamp(kLiveWidthFactor * 2.0 * r.fRadialMax, kMinFinishedWidth, liveWidth(losX, losY));
  g.ellipse = AnalysisEllipse(r);
  return g;
}

// ---- Replay ----

QString TestTimeText(double seconds) { return Str(3243) + "\n" + QString::number(seconds, 'f', 1) + " s"; }

bool CoPReplay::start(std::shared_ptr<const KMX_PlateTestData> data, const CoPTransform& transform) {
  stop();
  if (!data || data->Count() <= 0 || !(data->Frequency() > 0)) return false;
  data_ = std::move(data);
  transform_ = transform;
  count_ = data_->Count();
  fs_ = data_->Frequency();
  return true;
}

void CoPReplay::setSpeed(int percent) {
  if (percent >= 1) speed_ = percent;
}

void CoPReplay::stop() {
  data_.reset();
  paused_ = false;
  next_ = 0;
  due_ = 0;
}

bool CoPReplay::advance(double ms, const Sink& sink) {
  if (!data_ || paused_ || !(ms > 0)) return false;
  // As many samples as are due since the last call, so the speed holds when ticks come late.
  due_ += ms / 1000.0 * fs_ * speed_ / 100.0;
  const qint32 due = static_cast<qint32>(std::min<double>(count_, std::floor(due_)));
  for (; next_ < due; ++next_) {
    double x, y;
    if (transform_.apply(data_->Sample(0, next_), data_->Sample(1, next_), data_->Sample(2, next_), x, y))
      sink(x, y);
  }
  if (next_ < count_) return false;
  data_.reset();  // the position stays at the end
  paused_ = false;
  return true;
}

QString CoPReplay::timeText() const { return TestTimeText(seconds()); }

}  // namespace tarn
