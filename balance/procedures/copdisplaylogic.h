#pragma once
// Arithmetic behind the CoP display and its options menu, kept apart from the widget.
#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tarn {

struct AnalysisResult;
struct BalanceTestRun;
struct StanceFactors;
class KMX_PlateTestData;

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

// ---- Scale and geometry ----

// The live feedback scale. Within `inner` metres of the display centre the display is true to
// scale and takes `innerShare` of the half-width, so a subject's quiet sway (about a centimetre)
// fills a good part of the plot; from there to `outer` (the visible half-width) distances are
// compressed linearly into the rest, so the limits of stability stay in view when the subject
// leans. Directions are kept: the display moves each point along its ray from the centre.
struct FeedbackScale {
  double inner = 0.0;  // m; 0: linear throughout
  double outer = 0.1;  // m
  double innerShare = 0.65;
  bool active() const { return inner > 0.0 && inner < outer; }
  // Distance from the centre (m) -> fraction of the half-width (1 at `outer`, more beyond).
  double toDisplay(double r) const;
  double fromDisplay(double fraction) const;  // the inverse
};
inline constexpr double kFeedbackInnerM = 0.015;     // true-scale radius of the live display
inline constexpr double kFeedbackInnerShare = 0.65;  // of the half-width
inline constexpr double kLiveWidthFactor = 2.2;      // visible width over the larger LoS half-width

struct CoPEllipse {
  double cx = 0, cy = 0, a = 0, b = 0, angle = 0;  // centre, semi-axes (m), angle of a from ML (rad)
};
// The 95 % confidence ellipse the analysis computed: centred on the mean CoP, semi-axes half the
// 95 % sway along and across the predominant direction. nullopt without one.
std::optional<CoPEllipse> AnalysisEllipse(const AnalysisResult& r);

// What the CoP display shows and where.
struct CoPDisplayGeometry {
  double xo = 0, yo = 0;  // display centre (m)
  double width = 0.3;     // visible width and height (m)
  double losXo = 0, losYo = 0, losX = 0, losY = 0;
  double feedbackInner = 0;  // true-scale radius of the feedback scale; 0: linear
  std::optional<CoPEllipse> ellipse;
};
// The live display of practice and test, centred on (xo, yo): wide enough for the limits of
// stability of the run's stance, on the feedback scale.
CoPDisplayGeometry LiveDisplayGeometry(const BalanceTestRun& run, const StanceFactors& k, double xo = 0,
                                       double yo = 0);
// A finished test and its replay: centred on the mean CoP and close around the recorded sway, on
// a linear scale, with the analysis's ellipse. nullopt when the run holds no analysed test.
std::optional<CoPDisplayGeometry> FinishedDisplayGeometry(const BalanceTestRun& run, const StanceFactors& k);

// ---- Replay ----

// Plays recorded samples back on the display at a speed in percent of real time. The owner tells
// it how much time passed; it hands out the CoP of every sample that became due.
class CoPReplay {
 public:
  using Sink = std::function<void(double x, double y)>;
  // Starts from the first sample; false (nothing started) without samples.
  bool start(std::shared_ptr<const KMX_PlateTestData> data, const CoPTransform& transform);
  void setSpeed(int percent);  // below 1 keeps the speed
  int speed() const { return speed_; }
  void pause() { paused_ = running(); }
  void resume() { paused_ = false; }
  void stop();
  // ms of real time passed: the samples now due go to sink (only the valid ones); returns true
  // when this reached the last sample, which ends the replay.
  bool advance(double ms, const Sink& sink);

  bool running() const { return data_ != nullptr; }
  bool paused() const { return paused_; }
  qint32 position() const { return next_; }  // samples played
  qint32 count() const { return count_; }
  double seconds() const { return fs_ > 0 ? next_ / fs_ : 0.0; }  // recording time reached
  QString timeText() const;                                       // "Test Time\n12.3 s"

 private:
  std::shared_ptr<const KMX_PlateTestData> data_;
  CoPTransform transform_;
  int speed_ = 100;
  bool paused_ = false;
  qint32 next_ = 0, count_ = 0;
  double fs_ = 0;
  double due_ = 0;  // samples due, fractional
};

// "Test Time", a line break, the seconds with one decimal and " s".
QString TestTimeText(double seconds);

}  // namespace tarn
