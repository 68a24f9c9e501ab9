#include "reports/windows/progressplot.h"

#include <QContextMenuEvent>
#include <QDate>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <cmath>

#include "balance/windows/plotexport.h"
#include "core/clock.h"
#include "core/eventlog.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

constexpr char kModule[] = "frmRManager";

QColor classColour(int cls, int alpha = 255) {
  const quint32 c = StabilityClassColour(cls);
  QColor q(int(c & 0xff), int((c >> 8) & 0xff), int((c >> 16) & 0xff));
  q.setAlpha(alpha);
  return q;
}

// Dates for the time axis: at most `count`, on whole months (or days for a short span).
std::vector<double> timeTicks(double from, double to, int count) {
  std::vector<double> ticks;
  const double span = to - from;
  if (span <= 0 || count < 1) return ticks;
  if (span < 60) {
    const double step = std::max(1.0, std::ceil(span / count));
    for (double d = std::ceil(from); d <= to; d += step) ticks.push_back(d);
    return ticks;
  }
  const int months = std::max(1, int(std::ceil(span / 30.44 / count)));
  QDate d = clock::fromDays(from).date();
  d = QDate(d.year(), d.month(), 1).addMonths(1);
  for (; clock::dateToDays(d) <= to; d = d.addMonths(months)) ticks.push_back(clock::dateToDays(d));
  return ticks;
}

QString tickText(double day, double span) {
  const QDate d = clock::fromDays(day).date();
  return QLocale().toString(d, span < 60 ? QStringLiteral("d MMM") : QStringLiteral("MMM yyyy"));
}

}  // namespace

ProgressPlot::ProgressPlot(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(360, 360);
  QSizePolicy sp(QSizePolicy::Expanding, QSizePolicy::Expanding);
  sp.setHeightForWidth(true);
  setSizePolicy(sp);
  menu_ = new QMenu(this);
  connect(menu_->addAction(Str(9404)), &QAction::triggered, this, &ProgressPlot::CopyToClipboard);
}

void ProgressPlot::setData(const ProgressData& data) {
  data_ = data;
  shown_ = true;
  update();
}

void ProgressPlot::clear() {
  data_ = ProgressData{};
  shown_ = false;
  update();
}

void ProgressPlot::drawPanel(QPainter& p, const QRectF& r, const ProgressSeries& s) const {
  const QFontMetricsF fm(p.font());
  const double lh = fm.height();
  // Room for the title above, the score labels at the left and the dates below.
  const QRectF plot(r.left() + fm.horizontalAdvance("100%") + 8, r.top() + lh + 4,
                    r.width() - fm.horizontalAdvance("100%") - 14, r.height() - 2 * lh - 10);
  QFont bold = p.font();
  bold.setBold(true);
  p.save();
  p.setFont(bold);
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QRectF(plot.left(), r.top(), plot.width(), lh), Qt::AlignLeft | Qt::AlignVCenter,
             Str(9169 + s.type));
  p.restore();

  const double y0 = s.scoreMin, y1 = 100.0;
  const double x0 = data_.from, x1 = data_.to > data_.from ? data_.to : data_.from + 1;
  auto X = [&](double day) { return plot.left() + (day - x0) / (x1 - x0) * plot.width(); };
  auto Y = [&](double score) {
    return plot.bottom() - (std::clamp(score, y0, y1) - y0) / (y1 - y0) * plot.height();
  };

  p.fillRect(plot, Qt::white);
  // Class bands: healthy above L1 ... profoundly below L4.
  for (const ProgressBand& b : s.bands) {
    const double edges[6] = {y1, b.limits.L1, b.limits.L2, b.limits.L3, b.limits.L4, y0};
    for (int c = 0; c < 5; ++c) {
      const QRectF band(QPointF(X(b.from), Y(edges[c])), QPointF(X(b.to), Y(edges[c + 1])));
      p.fillRect(band.normalized(), classColour(c + 1, 105));
    }
  }
  // Score grid every 10 %.
  p.setPen(QPen(QColor(0, 0, 0, 40), 0.8));
  for (double v = std::ceil(y0 / 10) * 10; v <= y1 + 1e-9; v += 10) {
    p.drawLine(QPointF(plot.left(), Y(v)), QPointF(plot.right(), Y(v)));
    p.save();
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(r.left(), Y(v) - lh / 2, plot.left() - r.left() - 4, lh),
               Qt::AlignRight | Qt::AlignVCenter, FormatNumber(v, 0) + "%");
    p.restore();
  }
  const double span = x1 - x0;
  p.setPen(palette().color(QPalette::WindowText));
  // As many dates as fit side by side with some room.
  const int fit = int(plot.width() / (fm.horizontalAdvance(tickText(x0, span)) * 1.5));
  for (double t : timeTicks(x0, x1, std::clamp(fit, 1, 6))) {
    p.drawLine(QPointF(X(t), plot.bottom()), QPointF(X(t), plot.bottom() + 3));
    const QString text = tickText(t, span);
    const double w = fm.horizontalAdvance(text);
    p.drawText(QRectF(X(t) - w / 2 - 2, plot.bottom() + 3, w + 4, lh), Qt::AlignCenter, text);
  }
  p.setPen(QPen(QColor(0x55, 0x5c, 0x66), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot);

  // The scores joined in date order, each dot in its class colour.
  p.setRenderHint(QPainter::Antialiasing, true);
  if (s.points.size() > 1) {
    QPolygonF line;
    for (const ProgressPoint& pt : s.points) line << QPointF(X(pt.date), Y(pt.score));
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
    p.drawPolyline(line);
  }
  const double rad = std::max(3.5, plot.width() / 60);
  for (const ProgressPoint& pt : s.points) {
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(pt.cls > 0 ? classColour(pt.cls) : QColor(0x9a, 0xa3, 0xad));
    p.drawEllipse(QPointF(X(pt.date), Y(pt.score)), rad, rad);
  }
  p.setRenderHint(QPainter::Antialiasing, false);
}

void ProgressPlot::render(QPainter& p, const QRectF& area) const {
  const double side = std::min(area.width(), area.height());
  const QRectF sq(area.center().x() - side / 2, area.center().y() - side / 2, side, side);
  QFont f = font();
  f.setPointSizeF(std::clamp(side / 60.0, 6.5, 9.5));
  p.setFont(f);
  const QFontMetricsF fm(f);
  const double lh = fm.height();
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(QRectF(sq.left(), sq.top(), sq.width(), lh), Qt::AlignLeft | Qt::AlignVCenter, Str(9401));
  if (!shown_) return;
  if (data_.pointCount() == 0) {
    p.drawText(sq, Qt::AlignCenter, Str(9402));
    return;
  }
  // Two by two panels, a legend of the classes and the norms used below them.
  const double legend = 3 * lh + 6;
  const QRectF panels(sq.left(), sq.top() + lh + 2, sq.width(), sq.height() - lh - 2 - legend);
  const double w = panels.width() / 2, h = panels.height() / 2;
  for (int t = 0; t < 4; ++t) {
    const QRectF r(panels.left() + (t % 2) * w, panels.top() + (t / 2) * h, w - 6, h - 6);
    drawPanel(p, r, data_.series[size_t(t)]);
  }
  // The class colours, on as many lines as they need, then the norms used.
  double x = sq.left();
  double yl = panels.bottom() + 2;
  if (data_.hasBirth) {
    for (int c = 1; c <= 5; ++c) {
      const QString name = Str(9189 + c);
      const double w = lh + fm.horizontalAdvance(name) + 10;
      if (x > sq.left() && x + w > sq.right()) {
        x = sq.left();
        yl += lh;
      }
      p.fillRect(QRectF(x, yl + 3, lh - 6, lh - 6), classColour(c));
      p.setPen(palette().color(QPalette::WindowText));
      p.drawText(QRectF(x + lh - 3, yl, fm.horizontalAdvance(name) + 4, lh), Qt::AlignLeft | Qt::AlignVCenter,
                 name);
      x += w;
    }
  }
  const QString note = data_.hasBirth ? Str(9405).arg(data_.normsVersion) : Str(9403);
  p.drawText(QRectF(sq.left(), yl + lh, sq.width(), lh), Qt::AlignLeft | Qt::AlignVCenter, note);
}

void ProgressPlot::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  render(p, QRectF(rect()).adjusted(4, 4, -4, -4));
}

QImage ProgressPlot::toImage(const QSize& size) const {
  return PlotToImage([this](QPainter& p, const QRectF& area) { render(p, area.adjusted(6, 6, -6, -6)); },
                     size);
}

QByteArray ProgressPlot::toSvg(const QSize& size) const {
  return PlotToSvg([this](QPainter& p, const QRectF& area) { render(p, area.adjusted(6, 6, -6, -6)); }, size,
                   Str(9400));
}

void ProgressPlot::CopyToClipboard() const {
  ProcLog log(kModule, "ProgressPlot_Copy");
  const int side = std::max(600, std::min(width(), height()));
  CopyPlotToClipboard([this](QPainter& p, const QRectF& area) { render(p, area.adjusted(6, 6, -6, -6)); },
                      QSize(side, side), Str(9400));
  log.completed();
}

void ProgressPlot::contextMenuEvent(QContextMenuEvent* e) {
  if (shown_ && data_.pointCount() > 0) menu_->popup(e->globalPos());
}

void ProgressPlot::keyPressEvent(QKeyEvent* e) {
  if (e->matches(QKeySequence::Copy) && shown_) {
    CopyToClipboard();
    return;
  }
  QWidget::keyPressEvent(e);
}

}  // namespace tarn
