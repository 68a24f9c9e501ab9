#include "reports/windows/printhires.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "balance/windows/plotexport.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr char kFontFamily[] = "Times New Roman";
constexpr double kTwipsPerPoint = 20.0;
constexpr double kSmallestShare = 0.6;  // a long text shrinks at most to this share of its size
constexpr double kGapTwips = 90;

QColor colourOf(quint32 stored) {
  return QColor(int(stored & 0xff), int((stored >> 8) & 0xff), int((stored >> 16) & 0xff));
}

struct Mapping {
  QPointF origin;
  double scale = 1;  // device units per twip
  QRectF rect(const QRect& twips) const {
    return QRectF(origin.x() + twips.x() * scale, origin.y() + twips.y() * scale, twips.width() * scale,
                  twips.height() * scale);
  }
};

QFont fontFor(const PageItem& item, double pixels) {
  QFont f(kFontFamily);
  f.setStyleHint(QFont::Serif);
  f.setPixelSize(std::max(1, int(std::lround(pixels))));
  f.setBold(item.bold);
  f.setUnderline(item.underline);
  return f;
}

void drawLabel(QPainter& p, const PageItem& item, const Mapping& m) {
  const QRectF r = m.rect(item.rect);
  const double full = item.points * kTwipsPerPoint * m.scale;
  // Labels in a row of columns touch each other: a text keeps a small gap to the next one.
  const double room = item.rect.width() > 4 * kGapTwips ? r.width() - kGapTwips * m.scale : r.width();
  // The caption is broken at line breaks and blanks to fit the width; a text longer than its
  // place is drawn smaller rather than over its neighbours.
  QFont font;
  QStringList lines;
  double spacing = 0;
  for (double share = 1.0;; share -= 0.05) {
    font = fontFor(item, full * share);
    const QFontMetricsF fm(font, p.device());
    lines = WrapLines(item.text, room, [&](const QString& s) { return fm.horizontalAdvance(s); });
    spacing = fm.lineSpacing();
    double widest = 0;
    for (const QString& l : lines) widest = std::max(widest, fm.horizontalAdvance(l));
    const bool fits = lines.size() * spacing <= r.height() * 1.08 + 1 && widest <= room + 1;
    if (fits || share - 0.05 < kSmallestShare) break;
  }
  p.setFont(font);
  p.setPen(colourOf(item.colour));
  const Qt::Alignment align = item.align == PageItem::Right    ? Qt::AlignRight
                              : item.align == PageItem::Centre ? Qt::AlignHCenter
                                                               : Qt::AlignLeft;
  double y = r.top();
  for (const QString& line : lines) {
    p.drawText(QRectF(r.left(), y, r.width(), spacing), align | Qt::AlignTop | Qt::TextDontClip, line);
    y += spacing;
  }
}

void drawLogo(QPainter& p, const QRectF& r) {
  // The maker's mark: a blue square with a balance beam over a base.
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  const QColor blue(0x10, 0x30, 0x60);
  p.setPen(Qt::NoPen);
  p.setBrush(blue);
  p.drawRoundedRect(r, r.width() * 0.12, r.width() * 0.12);
  p.setBrush(Qt::white);
  const double w = r.width();
  QPainterPath base;
  base.moveTo(r.left() + w * 0.5, r.top() + w * 0.42);
  base.lineTo(r.left() + w * 0.36, r.top() + w * 0.66);
  base.lineTo(r.left() + w * 0.64, r.top() + w * 0.66);
  base.closeSubpath();
  p.drawPath(base);
  p.drawRect(QRectF(r.left() + w * 0.16, r.top() + w * 0.34, w * 0.68, w * 0.06));
  p.drawEllipse(QPointF(r.left() + w * 0.22, r.top() + w * 0.26), w * 0.07, w * 0.07);
  p.drawEllipse(QPointF(r.left() + w * 0.78, r.top() + w * 0.26), w * 0.07, w * 0.07);
  QFont f(kFontFamily);
  f.setPixelSize(std::max(1, int(w * 0.16)));
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(r.left(), r.top() + w * 0.70, w, w * 0.26), Qt::AlignCenter, "KL");
  p.restore();
}

}  // namespace

void PrintHiRes(QPainter& p, const PageForm& form, const QRectF& page, const PagePlotDrawer& plots) {
  Mapping m;
  m.scale = std::min(page.width() / kPageWidthTwips, page.height() / kPageHeightTwips);
  m.origin = QPointF(page.left() + (page.width() - kPageWidthTwips * m.scale) / 2, page.top());
  p.save();
  for (const PageItem& item : form.items) {
    if (!item.visible) continue;
    switch (item.kind) {
      case PageItem::Label:
        drawLabel(p, item, m);
        break;
      case PageItem::Rule: {
        const QRectF r = m.rect(item.rect);
        p.setPen(QPen(colourOf(item.colour), std::max(1.0, 20 * m.scale)));
        p.drawLine(r.topLeft(), r.topRight());
        break;
      }
      case PageItem::Frame: {
        // A frame: a light band under its title and a thin border, a little outside its controls.
        const QRectF r = m.rect(item.rect.adjusted(-90, -30, 90, 30));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xee, 0xf2, 0xf7));
        p.drawRect(QRectF(r.left(), r.top(), r.width(), 390 * m.scale));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x9a, 0xa8, 0xba), std::max(1.0, 12 * m.scale)));
        p.drawRect(r);
        break;
      }
      case PageItem::Plot:
        if (plots) {
          p.save();
          p.setClipRect(m.rect(item.rect));
          plots(p, m.rect(item.rect), item.plot, m.scale);
          p.restore();
        }
        break;
      case PageItem::Logo:
        drawLogo(p, m.rect(item.rect));
        break;
    }
  }
  p.restore();
}

void CopyPageToClipboard(const PageForm& form, int widthPx, const PagePlotDrawer& plots) {
  const QSize size(widthPx, int(std::lround(widthPx * double(kPageHeightTwips) / kPageWidthTwips)));
  CopyPlotToClipboard([&](QPainter& p, const QRectF& area) { PrintHiRes(p, form, area, plots); }, size,
                      Str(18000));
}

}  // namespace tarn
