#pragma once
// Pictures of a plot that draws itself with a QPainter into a rectangle: SVG (vectors), PNG, and
// both at once on the clipboard. The CoP display and the progress plot share it.
#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;

namespace tarn {

using PlotPainter = std::function<void(QPainter& p, const QRectF& area)>;

QByteArray PlotToSvg(const PlotPainter& paint, const QSize& size, const QString& title);
QImage PlotToImage(const PlotPainter& paint, const QSize& size);
void CopyPlotToClipboard(const PlotPainter& paint, const QSize& size, const QString& title);

}  // namespace tarn
