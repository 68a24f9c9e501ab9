#pragma once
// Drawing a page form: every visible control at its place, converted from twips to the units of
// the painter's device, so that the same form prints at printer resolution, goes into a PDF file
// as vectors and text, or becomes a picture for the clipboard.
#include <QRectF>
#include <functional>

#include "reports/printpages.h"

class QPainter;

namespace tarn {

// Draws the CoP plot of the report's balance test `plot` into `area` (device units).
// `unitsPerTwip` is the page's scale, so that a plot keeps its printed line widths and legend.
using PagePlotDrawer = std::function<void(QPainter& p, const QRectF& area, int plot, double unitsPerTwip)>;

// Draws the form into `page`, the printable page in device units; a page of another shape than
// Letter gets the form scaled to fit, centred.
void PrintHiRes(QPainter& p, const PageForm& form, const QRectF& page, const PagePlotDrawer& plots);

// The page on the clipboard as a picture `widthPx` wide, SVG (vectors and text) and PNG: what the
// metafile of a page was for. Any other device gets the page through PrintHiRes.
void CopyPageToClipboard(const PageForm& form, int widthPx, const PagePlotDrawer& plots);

}  // namespace tarn
