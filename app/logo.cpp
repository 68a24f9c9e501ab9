#include "app/logo.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace tarn::app {

QPixmap drawLogo(int size) {
  QPixmap pm(size, size);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  // A force platform seen from above with a centre-of-pressure sway path on it.
  p.setPen(QPen(QColor("#1f4e79"), s * 0.04));
  p.setBrush(QColor("#e8eff6"));
  p.drawRoundedRect(QRectF(s * 0.08, s * 0.08, s * 0.84, s * 0.84), s * 0.12, s * 0.12);
  p.setPen(QPen(QColor("#9fb8cf"), s * 0.015, Qt::DashLine));
  p.drawLine(QPointF(s * 0.5, s * 0.16), QPointF(s * 0.5, s * 0.84));
  p.drawLine(QPointF(s * 0.16, s * 0.5), QPointF(s * 0.84, s * 0.5));
  QPainterPath sway;
  for (int i = 0; i <= 240; ++i) {
    const double t = i / 240.0 * 6.0 * M_PI;
    const double r = s * (0.05 + 0.16 * (0.5 + 0.5 * std::sin(t * 0.37)));
    const QPointF pt(s * 0.5 + r * std::cos(t) + s * 0.03 * std::sin(t * 2.3),
                     s * 0.5 + r * 0.7 * std::sin(t * 1.1) + s * 0.02 * std::cos(t * 3.1));
    if (i == 0)
      sway.moveTo(pt);
    else
      sway.lineTo(pt);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor("#c0392b"), s * 0.025, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawPath(sway);
  return pm;
}

}  // namespace tarn::app
