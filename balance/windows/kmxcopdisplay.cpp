#include "balance/windows/kmxcopdisplay.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "balance/windows/plotexport.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {

namespace {
constexpr double kMinWidth = 0.002;  // 2 mm: closer than this the trace is only noise
constexpr double kMaxWidth = 4.0;
const QColor kGridColor(0xd9, 0xde, 0xe4);
const QColor kAxisColor(0x9a, 0xa3, 0xad);
const QColor kEllipseColor(0xb0, 0x1e, 0x5a);
const QColor kTargetColor(0xd6, 0x28, 0x28);
const QColor kTargetPathColor(0xf0, 0x8c, 0x1a);

constexpr int kMillimetreUnitCode = 5;

QString stepText(double step) {
  const qint32 item = GridItemForStep(step);
  if (item > 0) return GridIntervalItems().at(static_cast<size_t>(item - 1)).text;
  return FormatLength(step, kMillimetreUnitCode, 4);
}
}  // namespace

KMXCoPDisplay::KMXCoPDisplay(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(200, 200);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  frame_.setSingleShot(true);
  connect(&frame_, &QTimer::timeout, this, [this] { update(); });
}

KMXCoPDisplay::~KMXCoPDisplay() = default;

// ---- properties ----
#define TARN_SETTER(Name, field, T, redraw) \
  void KMXCoPDisplay::set##Name(T v) {      \
    s_.field = v;                           \
    redraw();                               \
  }
TARN_SETTER(Display_Xo, displayXo, double, invalidate)
TARN_SETTER(Display_Yo, displayYo, double, invalidate)
TARN_SETTER(LoS_Xo, losXo, double, invalidate)
TARN_SETTER(LoS_Yo, losYo, double, invalidate)
TARN_SETTER(LoSX, losX, double, invalidate)
TARN_SETTER(LoSY, losY, double, invalidate)
TARN_SETTER(LoSVisible, losVisible, bool, invalidate)
TARN_SETTER(LoSColor, losColor, const QColor&, invalidate)
TARN_SETTER(LoSLineStyle, losLineStyle, int, invalidate)
TARN_SETTER(LoSLineWidth, losLineWidth, int, invalidate)
TARN_SETTER(LoSStep, losStep, double, invalidate)
TARN_SETTER(PathVisible, pathVisible, bool, invalidate)
TARN_SETTER(PathColor, pathColor, const QColor&, invalidate)
TARN_SETTER(TgPathVisible, tgPathVisible, bool, schedule)
TARN_SETTER(TargetVisible, targetVisible, bool, schedule)
TARN_SETTER(TargetSize, targetSize, int, schedule)
TARN_SETTER(MarkVisible, markVisible, bool, schedule)
TARN_SETTER(MarkSize, markSize, int, schedule)
TARN_SETTER(EllipseVisible, ellipseVisible, bool, schedule)
TARN_SETTER(GridStyle, gridStyle, int, invalidate)
TARN_SETTER(TickSize, tickSize, int, invalidate)
#undef TARN_SETTER

void KMXCoPDisplay::setDisplay_XWidth(double v) {
  if (!(v >= kMinWidth && v <= kMaxWidth)) return;
  s_.displayXWidth = v;
  invalidate();
}
void KMXCoPDisplay::setDisplay_YWidth(double v) {
  if (!(v >= kMinWidth && v <= kMaxWidth)) return;
  s_.displayYWidth = v;
  invalidate();
}
void KMXCoPDisplay::setDisplay_TrueScaleRadius(double v) {
  if (!(v >= 0.0)) return;
  s_.trueScaleRadius = v;
  invalidate();
}
void KMXCoPDisplay::setPathWidth(double v) {
  if (!(v > 0.0)) return;
  s_.pathWidth = v;
  invalidate();
}
void KMXCoPDisplay::applyGeometry(const CoPDisplayGeometry& g) {
  s_.displayXo = g.xo;
  s_.displayYo = g.yo;
  if (g.width >= kMinWidth && g.width <= kMaxWidth) s_.displayXWidth = s_.displayYWidth = g.width;
  s_.losXo = g.losXo;
  s_.losYo = g.losYo;
  s_.losX = g.losX;
  s_.losY = g.losY;
  s_.trueScaleRadius = g.feedbackInner;
  ellipse_ = g.ellipse;
  invalidate();
}
void KMXCoPDisplay::setGridStep(double v) {
  if (!(v > 0)) return;
  s_.gridStep = v;
  invalidate();
}
void KMXCoPDisplay::setPathMaxLenght(int v) {
  s_.pathMaxLength = std::max(1, v);
  trim();
}
void KMXCoPDisplay::setTgPathMaxLenght(int v) {
  s_.tgPathMaxLength = std::max(1, v);
  schedule();
}
void KMXCoPDisplay::setData_MaxNPoints(int v) {
  s_.dataMaxNPoints = std::max(1, v);
  trim();
}

// ---- data ----

void KMXCoPDisplay::AddPoint(double x, double y) {
  pts_.emplace_back(x, y);
  const size_t limit = static_cast<size_t>(std::min(s_.pathMaxLength, s_.dataMaxNPoints));
  // Dropping the oldest points means redrawing the layer, so it is done in chunks.
  if (pts_.size() > limit + limit / 10 + 1) trim();
  emit pointAdded(x, y);
  schedule();
}

void KMXCoPDisplay::AddPoints(const std::vector<QPointF>& points) {
  pts_.insert(pts_.end(), points.begin(), points.end());
  trim();
  schedule();
}

void KMXCoPDisplay::setReferenceLevels(double xo, double yo, std::vector<ReferenceLevel> levels) {
  std::sort(levels.begin(), levels.end(),
            [](const ReferenceLevel& a, const ReferenceLevel& b) { return a.fraction < b.fraction; });
  levels_ = std::move(levels);
  levelsCentre_ = QPointF(xo, yo);
  invalidate();
}

void KMXCoPDisplay::MoveTarget(double x, double y) {
  target_ = QPointF(x, y);
  schedule();
}

void KMXCoPDisplay::Clear() {
  pts_.clear();
  pts_.shrink_to_fit();
  ellipse_.reset();
  target_.reset();
  invalidate();
}

void KMXCoPDisplay::setConfidenceEllipse(const std::optional<CoPEllipse>& e) {
  ellipse_ = e;
  schedule();
}

void KMXCoPDisplay::trim() {
  const size_t limit = static_cast<size_t>(std::min(s_.pathMaxLength, s_.dataMaxNPoints));
  if (pts_.size() <= limit) return;
  pts_.erase(pts_.begin(), pts_.begin() + static_cast<std::ptrdiff_t>(pts_.size() - limit));
  invalidate();
}

void KMXCoPDisplay::Recenter() {
  double x = 0, y = 0;
  if (!pts_.empty()) {
    const size_t n = std::min(pts_.size(), static_cast<size_t>(std::max(1.0, s_.dataFrequency)));
    for (size_t i = pts_.size() - n; i < pts_.size(); ++i) x += pts_[i].x(), y += pts_[i].y();
    x /= n, y /= n;
  } else if (target_) {
    x = target_->x(), y = target_->y();
  } else {
    return;
  }
  s_.displayXo = s_.losXo = x;
  s_.displayYo = s_.losYo = y;
  invalidate();
}

void KMXCoPDisplay::ZoomIn() {
  if (s_.displayXWidth / 2 < kMinWidth) return;
  s_.displayXWidth /= 2;
  s_.displayYWidth /= 2;
  invalidate();
}

void KMXCoPDisplay::ZoomOut() {
  if (s_.displayXWidth * 2 > kMaxWidth) return;
  s_.displayXWidth *= 2;
  s_.displayYWidth *= 2;
  invalidate();
}

void KMXCoPDisplay::copyFrom(const KMXCoPDisplay& o) {
  s_ = o.s_;
  pts_ = o.pts_;
  ellipse_ = o.ellipse_;
  levels_ = o.levels_;
  levelsCentre_ = o.levelsCentre_;
  target_ = o.target_;
  invalidate();
}

// ---- drawing ----

void KMXCoPDisplay::invalidate() {
  layerValid_ = false;
  schedule();
  emit viewChanged();
}

void KMXCoPDisplay::schedule() {
  if (frame_.isActive()) return;
  const QScreen* sc = screen();
  const double hz = sc && sc->refreshRate() > 1 ? sc->refreshRate() : 60.0;
  frame_.start(static_cast<int>(std::max(1.0, std::floor(1000.0 / hz))));
}

int KMXCoPDisplay::legendHeight() const {
  return font().pixelSize() > 0 ? std::max(16, static_cast<int>(font().pixelSize() * 1.3)) : 16;
}

QPointF KMXCoPDisplay::View::map(double x, double y) const {
  const double dx = x - xo, dy = y - yo;
  const double r = std::hypot(dx, dy);
  if (r == 0.0) return {cx, cy};
  const double k = scale.toDisplay(r) * half / r;
  return {cx + dx * k, cy - dy * k};
}

QPointF KMXCoPDisplay::View::unmap(const QPointF& p) const {
  const double px = p.x() - cx, py = cy - p.y();
  const double f = std::hypot(px, py) / half;
  if (f == 0.0) return {xo, yo};
  const double k = scale.fromDisplay(f) / (f * half);
  return {xo + px * k, yo + py * k};
}

KMXCoPDisplay::View KMXCoPDisplay::viewFor(const QRectF& area) const {
  View v;
  const double m = std::max(8.0, std::min(area.width(), area.height()) * 0.03);
  v.plot = area.adjusted(m, m, -m, -m - legendHeight());  // room for the legend line
  const double side = std::min(v.plot.width(), v.plot.height());
  v.plot = QRectF(v.plot.center().x() - side / 2, v.plot.center().y() - side / 2, side, side);
  v.half = side / 2;
  v.cx = v.plot.center().x();
  v.cy = v.plot.center().y();
  v.xo = s_.displayXo;
  v.yo = s_.displayYo;
  v.scale.outer = std::min(s_.displayXWidth, s_.displayYWidth) / 2;
  v.scale.inner = s_.trueScaleRadius < v.scale.outer ? s_.trueScaleRadius : 0.0;
  v.scale.innerShare = kFeedbackInnerShare;
  return v;
}

void KMXCoPDisplay::drawMapped(QPainter& p, const View& v, const std::vector<QPointF>& metres) const {
  std::vector<QPointF> poly;
  poly.reserve(metres.size());
  for (const QPointF& m : metres) poly.push_back(v.map(m.x(), m.y()));
  p.drawPolyline(poly.data(), static_cast<int>(poly.size()));
}

namespace {
// An ellipse in metres as a closed polyline.
std::vector<QPointF> ellipsePoints(double cx, double cy, double a, double b, double angle, int n = 180) {
  std::vector<QPointF> pts;
  pts.reserve(static_cast<size_t>(n) + 1);
  const double c = std::cos(angle), s = std::sin(angle);
  for (int i = 0; i <= n; ++i) {
    const double u = 2 * M_PI * i / n;
    const double ex = a * std::cos(u), ey = b * std::sin(u);
    pts.emplace_back(cx + ex * c - ey * s, cy + ex * s + ey * c);
  }
  return pts;
}
std::vector<QPointF> linePoints(QPointF from, QPointF to, int n = 64) {
  std::vector<QPointF> pts;
  for (int i = 0; i <= n; ++i) pts.push_back(from + (to - from) * (double(i) / n));
  return pts;
}
}  // namespace

void KMXCoPDisplay::drawBackground(QPainter& p, const View& v, bool exporting) const {
  const QRectF area = p.window();
  p.fillRect(exporting ? area : QRectF(rect()), palette().window());
  p.fillRect(v.plot, Qt::white);
  p.save();
  p.setClipRect(v.plot);
  // Reach of the plot in metres along the axes (the corners reach further on the linear scale).
  const double reach = v.scale.fromDisplay(std::sqrt(2.0));
  const double step = s_.gridStep;
  const int style = s_.gridStyle;
  // Grid lines run through the centre of the limits of stability, where the axes cross, so that
  // the axes are grid lines whatever the display was recentred on. On the feedback scale only the
  // true-scale disc is gridded: straight lines there mean equal distances.
  const bool feedback = v.scale.active();
  const double gridReach = feedback ? v.scale.inner : reach;
  const double pxPerM = feedback ? v.innerPxPerM() : v.half / v.scale.outer;
  const bool dense = step * pxPerM < 4.0;  // lines closer than 4 px would only grey the plot
  const double gx0 = v.xo - gridReach, gx1 = v.xo + gridReach, gy0 = v.yo - gridReach, gy1 = v.yo + gridReach;
  auto gridFrom = [&](double lo, double origin) { return origin + std::ceil((lo - origin) / step) * step; };
  if (!dense && style >= 1 && style <= 3) {
    p.save();
    if (feedback) {
      QPainterPath disc;
      const double r = v.scale.inner * pxPerM;
      disc.addEllipse(QPointF(v.cx, v.cy), r, r);
      p.setClipPath(disc, Qt::IntersectClip);
    }
    p.setPen(QPen(kGridColor, 0));
    // Within the reach the map is linear about the centre, so a line is its two mapped ends.
    auto lin = [&](double x, double y) {
      return QPointF(v.cx + (x - v.xo) * pxPerM, v.cy - (y - v.yo) * pxPerM);
    };
    if (style == 1 || style == 3)
      for (double x = gridFrom(gx0, s_.losXo); x <= gx1; x += step) p.drawLine(lin(x, gy0), lin(x, gy1));
    if (style == 2 || style == 3)
      for (double y = gridFrom(gy0, s_.losYo); y <= gy1; y += step) p.drawLine(lin(gx0, y), lin(gx1, y));
    p.restore();
  }
  if (feedback) {  // where the true scale ends
    p.setPen(QPen(kAxisColor, 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    const double r = v.scale.inner * pxPerM;
    p.drawEllipse(QPointF(v.cx, v.cy), r, r);
  }
  if (style != 0) {
    p.setPen(QPen(kAxisColor, exporting ? 0.8 : 1.0));
    p.setBrush(Qt::NoBrush);
    drawMapped(p, v, linePoints({v.xo - reach, s_.losYo}, {v.xo + reach, s_.losYo}));
    drawMapped(p, v, linePoints({s_.losXo, v.yo - reach}, {s_.losXo, v.yo + reach}));
    if (style == 4 && !dense) {
      const double t = s_.tickSize / 2.0;
      const double tickReach = feedback ? v.scale.inner : reach;
      for (double x = gridFrom(v.xo - tickReach, s_.losXo); x <= v.xo + tickReach; x += step) {
        const QPointF c = v.map(x, s_.losYo);
        p.drawLine(QPointF(c.x(), c.y() - t), QPointF(c.x(), c.y() + t));
      }
      for (double y = gridFrom(v.yo - tickReach, s_.losYo); y <= v.yo + tickReach; y += step) {
        const QPointF c = v.map(s_.losXo, y);
        p.drawLine(QPointF(c.x() - t, c.y()), QPointF(c.x() + t, c.y()));
      }
    }
  }
  if (!levels_.empty() && s_.losX > 0 && s_.losY > 0) {
    // Each band from the ring inside it out to its own ring, filled lightly, then the rings; the
    // rings go through the view's mapping like every other shape.
    p.setRenderHint(QPainter::Antialiasing, true);
    auto ring = [&](double fraction) {
      QPolygonF poly;
      for (const QPointF& m :
           ellipsePoints(levelsCentre_.x(), levelsCentre_.y(), s_.losX * fraction, s_.losY * fraction, 0.0))
        poly << v.map(m.x(), m.y());
      return poly;
    };
    double inner = 0;
    for (const ReferenceLevel& l : levels_) {
      QPainterPath band;
      band.setFillRule(Qt::OddEvenFill);
      band.addPolygon(ring(l.fraction));
      if (inner > 0) band.addPolygon(ring(inner));
      QColor fill = l.colour;
      fill.setAlpha(48);
      p.fillPath(band, fill);
      inner = l.fraction;
    }
    p.setBrush(Qt::NoBrush);
    for (const ReferenceLevel& l : levels_) {
      p.setPen(QPen(l.colour.darker(115), exporting ? 1.2 : 1.5));
      p.drawPolygon(ring(l.fraction));
    }
  }
  if (s_.losVisible && s_.losX > 0 && s_.losY > 0) {
    QPen pen(s_.losColor, s_.losLineWidth, static_cast<Qt::PenStyle>(s_.losLineStyle));
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.setRenderHint(QPainter::Antialiasing, true);
    std::vector<double> rings{1.0};
    if (s_.losStep > 0.05 && s_.losStep < 1.0)
      for (double f = s_.losStep; f < 1.0 - 1e-9; f += s_.losStep) rings.push_back(f);
    for (double f : rings) drawMapped(p, v, ellipsePoints(s_.losXo, s_.losYo, s_.losX * f, s_.losY * f, 0.0));
  }
  p.restore();
  p.setPen(QPen(kAxisColor, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(v.plot);
  // Legend: what a grid square is, and which way is forward.
  QFont f = font();
  if (f.pixelSize() > 0)
    f.setPixelSize(std::max(9, static_cast<int>(f.pixelSize() * 0.9)));
  else
    f.setPointSizeF(std::max(7.0, f.pointSizeF() * 0.9));
  p.setFont(f);
  p.setPen(palette().color(QPalette::WindowText));
  const QRectF legend(v.plot.left(), v.plot.bottom() + 2, v.plot.width(), legendHeight() - 2);
  QString left = style != 0 ? Str(3501).arg(stepText(step)) : QString();
  if (feedback)
    left += (left.isEmpty() ? QString() : QStringLiteral("   ")) +
            Str(3502).arg(FormatLength(v.scale.inner, kMillimetreUnitCode, 3));
  p.drawText(legend, Qt::AlignLeft | Qt::AlignVCenter, left);
  p.drawText(legend, Qt::AlignRight | Qt::AlignVCenter, Str(3503));
}

void KMXCoPDisplay::drawTrace(QPainter& p, const View& v, size_t from, size_t to) const {
  if (!s_.pathVisible || to <= from + 1 || to > pts_.size()) return;
  p.save();
  p.setClipRect(v.plot);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(s_.pathColor, s_.pathWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  // A stored trace holds tens of thousands of points, most of them within a pixel of the one
  // before: those are left out (the last one always stays), and the rest is stroked in short
  // pieces, since one long antialiased path costs the rasterizer far more than its pieces.
  constexpr double kMinStepPx = 1.0;
  constexpr size_t kPiece = 256;
  std::vector<QPointF> poly;
  poly.reserve(std::min<size_t>(to - from, 65536));
  QPointF last = v.map(pts_[from].x(), pts_[from].y());
  poly.push_back(last);
  for (size_t i = from + 1; i < to; ++i) {
    const QPointF q = v.map(pts_[i].x(), pts_[i].y());
    if (std::abs(q.x() - last.x()) + std::abs(q.y() - last.y()) >= kMinStepPx || i + 1 == to) {
      poly.push_back(q);
      last = q;
    }
  }
  for (size_t start = 0; start + 1 < poly.size(); start += kPiece) {
    const size_t n = std::min(kPiece + 1, poly.size() - start);  // pieces share their end points
    p.drawPolyline(poly.data() + start, static_cast<int>(n));
  }
  p.restore();
}

void KMXCoPDisplay::drawOverlay(QPainter& p, const View& v) const {
  p.save();
  p.setClipRect(v.plot);
  p.setRenderHint(QPainter::Antialiasing, true);
  const auto& e = ellipse_;
  if (s_.ellipseVisible && e && e->a > 0) {
    p.setPen(QPen(kEllipseColor, 2));
    p.setBrush(Qt::NoBrush);
    drawMapped(p, v, ellipsePoints(e->cx, e->cy, e->a, e->b, e->angle));
  }
  if (s_.markVisible && e) {
    const QPointF c = v.map(e->cx, e->cy);
    const double h = s_.markSize / 2.0;
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(QPointF(c.x() - h, c.y()), QPointF(c.x() + h, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - h), QPointF(c.x(), c.y() + h));
  }
  if (s_.tgPathVisible && pts_.size() > 1) {
    const size_t n = std::min(pts_.size(), static_cast<size_t>(s_.tgPathMaxLength));
    std::vector<QPointF> poly;
    poly.reserve(n);
    for (size_t i = pts_.size() - n; i < pts_.size(); ++i) poly.push_back(v.map(pts_[i].x(), pts_[i].y()));
    p.setPen(QPen(kTargetPathColor, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(poly.data(), static_cast<int>(poly.size()));
  }
  if (s_.targetVisible && target_) {
    const QPointF c = v.map(target_->x(), target_->y());
    const double r = s_.targetSize / 2.0;
    p.setPen(QPen(kTargetColor.darker(130), std::max(1.5, r / 8)));
    p.setBrush(kTargetColor);
    p.drawEllipse(c, r, r);
  }
  p.restore();
}

void KMXCoPDisplay::renderAll(QPainter& p, const QRectF& area, bool exporting) const {
  const View v = viewFor(area);
  drawBackground(p, v, exporting);
  drawTrace(p, v, 0, pts_.size());
  drawOverlay(p, v);
}

void KMXCoPDisplay::paintEvent(QPaintEvent*) {
  ++repaints_;
  const qreal dpr = devicePixelRatioF();
  const QSize want = size() * dpr;
  const View v = viewFor(QRectF(rect()));
  if (layer_.size() != want) layerValid_ = false;
  if (!layerValid_) {
    layer_ = QImage(want, QImage::Format_ARGB32_Premultiplied);
    layer_.setDevicePixelRatio(dpr);
    QPainter lp(&layer_);
    drawBackground(lp, v, false);
    drawTrace(lp, v, 0, pts_.size());
    drawn_ = pts_.size();
    layerValid_ = true;
  } else if (drawn_ < pts_.size()) {
    QPainter lp(&layer_);
    drawTrace(lp, v, drawn_ > 0 ? drawn_ - 1 : 0, pts_.size());  // joined to the last drawn point
    drawn_ = pts_.size();
  }
  QPainter p(this);
  p.drawImage(0, 0, layer_);
  drawOverlay(p, v);
}

void KMXCoPDisplay::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  layerValid_ = false;
}

std::optional<QPointF> KMXCoPDisplay::positionAt(const QPointF& pos) const {
  const View v = viewFor(QRectF(rect()));
  if (!v.plot.contains(pos)) return std::nullopt;
  return v.unmap(pos);
}

void KMXCoPDisplay::mouseMoveEvent(QMouseEvent* e) {
  if (const auto m = positionAt(e->position())) emit PointerPosition(m->x(), m->y());
}

void KMXCoPDisplay::render(QPainter& p, const QRectF& area) const { renderAll(p, area, true); }

QImage KMXCoPDisplay::toImage(const QSize& size) const {
  return PlotToImage([this](QPainter& p, const QRectF& area) { render(p, area); }, size);
}

QByteArray KMXCoPDisplay::toSvg(const QSize& size) const {
  return PlotToSvg([this](QPainter& p, const QRectF& area) { render(p, area); }, size, Str(3500));
}

void KMXCoPDisplay::CopyToClipboard() const {
  CopyPlotToClipboard([this](QPainter& p, const QRectF& area) { render(p, area); },
                      size().expandedTo(QSize(400, 400)), Str(3500));
}

}  // namespace tarn
