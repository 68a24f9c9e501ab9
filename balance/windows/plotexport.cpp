#include "balance/windows/plotexport.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QSvgGenerator>

namespace tarn {

QByteArray PlotToSvg(const PlotPainter& paint, const QSize& size, const QString& title) {
  QByteArray out;
  QBuffer buf(&out);
  buf.open(QIODevice::WriteOnly);
  QSvgGenerator gen;
  gen.setOutputDevice(&buf);
  gen.setSize(size);
  gen.setViewBox(QRect(QPoint(0, 0), size));
  gen.setTitle(title);
  QPainter p(&gen);
  paint(p, QRectF(QPointF(0, 0), size));
  p.end();
  return out;
}

QImage PlotToImage(const PlotPainter& paint, const QSize& size) {
  QImage img(size, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  QPainter p(&img);
  paint(p, QRectF(QPointF(0, 0), size));
  return img;
}

void CopyPlotToClipboard(const PlotPainter& paint, const QSize& size, const QString& title) {
  auto* mime = new QMimeData;
  mime->setData("image/svg+xml", PlotToSvg(paint, size, title));
  mime->setImageData(PlotToImage(paint, size));
  QApplication::clipboard()->setMimeData(mime);
}

}  // namespace tarn
