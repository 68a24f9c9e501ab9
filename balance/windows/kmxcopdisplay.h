#pragma once
// The CoP display: the centre-of-pressure trace over a grid with the limits of stability, the
// live target and the 95 % confidence ellipse the analysis computed. Coordinates are metres:
// x medio-lateral (right positive), y antero-posterior (forward up). With a true-scale radius set
// the display uses the live feedback scale (see FeedbackScale): true to scale near the centre,
// compressed towards the edge.
//
// Live use appends a point per sample. Points are drawn once into a cached layer and the widget
// repaints at most at the screen's refresh rate, so a 990 Hz stream costs a few short line
// segments per frame however long the trace grows.
#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <optional>
#include <vector>

#include "balance/procedures/copdisplaylogic.h"

namespace tarn {

class KMXCoPDisplay : public QWidget {
  Q_OBJECT
  Q_PROPERTY(double Display_Xo READ Display_Xo WRITE setDisplay_Xo)
  Q_PROPERTY(double Display_Yo READ Display_Yo WRITE setDisplay_Yo)
  Q_PROPERTY(double Display_XWidth READ Display_XWidth WRITE setDisplay_XWidth)
  Q_PROPERTY(double Display_YWidth READ Display_YWidth WRITE setDisplay_YWidth)
  Q_PROPERTY(double Display_TrueScaleRadius READ Display_TrueScaleRadius WRITE setDisplay_TrueScaleRadius)
  Q_PROPERTY(double LoS_Xo READ LoS_Xo WRITE setLoS_Xo)
  Q_PROPERTY(double LoS_Yo READ LoS_Yo WRITE setLoS_Yo)
  Q_PROPERTY(double LoSX READ LoSX WRITE setLoSX)
  Q_PROPERTY(double LoSY READ LoSY WRITE setLoSY)
  Q_PROPERTY(bool LoSVisible READ LoSVisible WRITE setLoSVisible)
  Q_PROPERTY(QColor LoSColor READ LoSColor WRITE setLoSColor)
  Q_PROPERTY(int LoSLineStyle READ LoSLineStyle WRITE setLoSLineStyle)
  Q_PROPERTY(int LoSLineWidth READ LoSLineWidth WRITE setLoSLineWidth)
  Q_PROPERTY(double LoSStep READ LoSStep WRITE setLoSStep)
  Q_PROPERTY(bool PathVisible READ PathVisible WRITE setPathVisible)
  Q_PROPERTY(QColor PathColor READ PathColor WRITE setPathColor)
  Q_PROPERTY(int PathMaxLenght READ PathMaxLenght WRITE setPathMaxLenght)
  Q_PROPERTY(bool TgPathVisible READ TgPathVisible WRITE setTgPathVisible)
  Q_PROPERTY(int TgPathMaxLenght READ TgPathMaxLenght WRITE setTgPathMaxLenght)
  Q_PROPERTY(bool TargetVisible READ TargetVisible WRITE setTargetVisible)
  Q_PROPERTY(int TargetSize READ TargetSize WRITE setTargetSize)
  Q_PROPERTY(bool MarkVisible READ MarkVisible WRITE setMarkVisible)
  Q_PROPERTY(int MarkSize READ MarkSize WRITE setMarkSize)
  Q_PROPERTY(bool EllipseVisible READ EllipseVisible WRITE setEllipseVisible)
  Q_PROPERTY(int GridStyle READ GridStyle WRITE setGridStyle)
  Q_PROPERTY(double GridStep READ GridStep WRITE setGridStep)
  Q_PROPERTY(int TickSize READ TickSize WRITE setTickSize)
  Q_PROPERTY(double DataFrequency READ DataFrequency WRITE setDataFrequency)
  Q_PROPERTY(double Data_ThresholdFz READ Data_ThresholdFz WRITE setData_ThresholdFz)
  Q_PROPERTY(int Data_MaxNPoints READ Data_MaxNPoints WRITE setData_MaxNPoints)

 public:
  explicit KMXCoPDisplay(QWidget* parent = nullptr);
  ~KMXCoPDisplay() override;

  struct Settings {
    double displayXo = 0, displayYo = 0, displayXWidth = 0.3, displayYWidth = 0.3;
    double trueScaleRadius = 0;  // m; 0: linear over the whole display
    double losXo = 0, losYo = 0, losX = 0.129, losY = 0.080;
    bool losVisible = true;
    QColor losColor = QColor(0x1b, 0x7a, 0x3d);
    int losLineStyle = Qt::DashLine;
    int losLineWidth = 2;
    double losStep = 0.0;  // fraction of the LoS between inner rings; 0 = outer ring only
    bool pathVisible = true;
    QColor pathColor = QColor(0x1f, 0x5f, 0xbf);
    double pathWidth = 1.5;  // px
    int pathMaxLength = 200000;
    bool tgPathVisible = false;
    int tgPathMaxLength = 200;
    bool targetVisible = true;
    int targetSize = 12;  // px
    bool markVisible = true;
    int markSize = 10;  // px
    bool ellipseVisible = true;
    int gridStyle = 3;
    double gridStep = 0.01;
    int tickSize = 10;  // px
    double dataFrequency = 100;
    double dataThresholdFz = -10;
    int dataMaxNPoints = 200000;
  };

  double Display_Xo() const { return s_.displayXo; }
  void setDisplay_Xo(double v);
  double Display_Yo() const { return s_.displayYo; }
  void setDisplay_Yo(double v);
  double Display_XWidth() const { return s_.displayXWidth; }
  void setDisplay_XWidth(double v);
  double Display_YWidth() const { return s_.displayYWidth; }
  void setDisplay_YWidth(double v);
  double Display_TrueScaleRadius() const { return s_.trueScaleRadius; }
  void setDisplay_TrueScaleRadius(double v);
  double LoS_Xo() const { return s_.losXo; }
  void setLoS_Xo(double v);
  double LoS_Yo() const { return s_.losYo; }
  void setLoS_Yo(double v);
  double LoSX() const { return s_.losX; }
  void setLoSX(double v);
  double LoSY() const { return s_.losY; }
  void setLoSY(double v);
  bool LoSVisible() const { return s_.losVisible; }
  void setLoSVisible(bool v);
  QColor LoSColor() const { return s_.losColor; }
  void setLoSColor(const QColor& v);
  int LoSLineStyle() const { return s_.losLineStyle; }
  void setLoSLineStyle(int v);
  int LoSLineWidth() const { return s_.losLineWidth; }
  void setLoSLineWidth(int v);
  double LoSStep() const { return s_.losStep; }
  void setLoSStep(double v);
  bool PathVisible() const { return s_.pathVisible; }
  void setPathVisible(bool v);
  QColor PathColor() const { return s_.pathColor; }
  void setPathColor(const QColor& v);
  double PathWidth() const { return s_.pathWidth; }
  void setPathWidth(double v);
  int PathMaxLenght() const { return s_.pathMaxLength; }
  void setPathMaxLenght(int v);
  bool TgPathVisible() const { return s_.tgPathVisible; }
  void setTgPathVisible(bool v);
  int TgPathMaxLenght() const { return s_.tgPathMaxLength; }
  void setTgPathMaxLenght(int v);
  bool TargetVisible() const { return s_.targetVisible; }
  void setTargetVisible(bool v);
  int TargetSize() const { return s_.targetSize; }
  void setTargetSize(int v);
  bool MarkVisible() const { return s_.markVisible; }
  void setMarkVisible(bool v);
  int MarkSize() const { return s_.markSize; }
  void setMarkSize(int v);
  bool EllipseVisible() const { return s_.ellipseVisible; }
  void setEllipseVisible(bool v);
  int GridStyle() const { return s_.gridStyle; }
  void setGridStyle(int v);
  double GridStep() const { return s_.gridStep; }
  void setGridStep(double v);
  int TickSize() const { return s_.tickSize; }
  void setTickSize(int v);
  double DataFrequency() const { return s_.dataFrequency; }
  void setDataFrequency(double v) { s_.dataFrequency = v; }
  double Data_ThresholdFz() const { return s_.dataThresholdFz; }
  void setData_ThresholdFz(double v) { s_.dataThresholdFz = v; }
  int Data_MaxNPoints() const { return s_.dataMaxNPoints; }
  void setData_MaxNPoints(int v);

  const Settings& settings() const { return s_; }
  // Centre, width, limits of stability, scale and ellipse in one go.
  void applyGeometry(const CoPDisplayGeometry& g);

  void AddPoint(double x, double y);
  // Appends a whole stored trace with one redraw; pointAdded is not emitted for these points.
  void AddPoints(const std::vector<QPointF>& points);
  void MoveTarget(double x, double y);
  void Clear();
  // Centres the display and the LoS on the mean of the newest second of trace (or on the target).
  void Recenter();
  void ZoomIn();   // half the visible width
  void ZoomOut();  // twice the visible width
  WId hwnd() { return winId(); }

  int pointCount() const { return static_cast<int>(pts_.size()); }
  // The 95 % confidence ellipse to draw (the analysis's); its centre carries the mark. Clear()
  // removes it with the trace.
  void setConfidenceEllipse(const std::optional<CoPEllipse>& e);
  const std::optional<CoPEllipse>& confidenceEllipse() const { return ellipse_; }
  // The point in metres under a widget position, nullopt outside the plot.
  std::optional<QPointF> positionAt(const QPointF& widgetPos) const;
  int repaintCount() const { return repaints_; }
  bool framePending() const { return frame_.isActive(); }  // a repaint is due at the next frame

  // Rings of the stability classes: each level a fraction of the limits of stability around
  // (xo, yo), its band filled lightly in its colour, under the trace. Empty: none.
  struct ReferenceLevel {
    double fraction = 0;
    QColor colour;
  };
  void setReferenceLevels(double xo, double yo, std::vector<ReferenceLevel> levels);
  const std::vector<ReferenceLevel>& referenceLevels() const { return levels_; }

  // The whole picture drawn into `area` of any painter (a printed page draws it as vectors).
  void render(QPainter& p, const QRectF& area) const;
  // Export of the whole picture.
  QByteArray toSvg(const QSize& size) const;
  QImage toImage(const QSize& size) const;
  void CopyToClipboard() const;  // SVG and PNG

  // Takes the other display's properties, trace and target (the subject's copy of the display).
  void copyFrom(const KMXCoPDisplay& other);

 signals:
  void PointerPosition(double x, double y);  // metres, under the pointer
  void pointAdded(double x, double y);
  void viewChanged();  // geometry, options or the trace as a whole changed (not a point added)

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;

 private:
  struct View {
    QRectF plot;
    double half = 1, cx = 0, cy = 0, xo = 0, yo = 0;
    FeedbackScale scale;
    double innerPxPerM() const { return scale.toDisplay(scale.inner) * half / scale.inner; }
    QPointF map(double x, double y) const;
    QPointF unmap(const QPointF& p) const;
  };
  // Draws a curve given in metres, mapped point by point (straight lines bend on the feedback scale).
  void drawMapped(QPainter& p, const View& v, const std::vector<QPointF>& metres) const;
  View viewFor(const QRectF& area) const;
  int legendHeight() const;
  void drawBackground(QPainter& p, const View& v, bool exporting) const;
  void drawTrace(QPainter& p, const View& v, size_t from, size_t to) const;
  void drawOverlay(QPainter& p, const View& v) const;
  void renderAll(QPainter& p, const QRectF& area, bool exporting) const;
  void invalidate();  // the cached layer must be redrawn
  void schedule();    // a repaint at the next frame
  void trim();

  Settings s_;
  std::vector<QPointF> pts_;
  std::optional<CoPEllipse> ellipse_;
  std::vector<ReferenceLevel> levels_;
  QPointF levelsCentre_;
  std::optional<QPointF> target_;
  QImage layer_;
  size_t drawn_ = 0;  // points already in the layer
  bool layerValid_ = false;
  QTimer frame_;
  int repaints_ = 0;
};

}  // namespace tarn
