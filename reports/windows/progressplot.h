#pragma once
// Progress over time: one square panel per test type (NSEO, NSEC, PSEO, PSEC) with the stability
// score of each stored test by date over the five class bands of the subject's age. Copies itself
// to the clipboard as SVG and PNG, like the CoP display.
#include <QImage>
#include <QWidget>

#include "reports/progress.h"

class QMenu;

namespace tarn {

class ProgressPlot : public QWidget {
  Q_OBJECT
 public:
  explicit ProgressPlot(QWidget* parent = nullptr);

  void setData(const ProgressData& data);
  void clear();  // no subject chosen
  const ProgressData& data() const { return data_; }
  bool hasData() const { return shown_; }

  // The whole picture at a size, for the clipboard and for printed pages.
  QByteArray toSvg(const QSize& size) const;
  QImage toImage(const QSize& size) const;
  void CopyToClipboard() const;
  // Draws the picture into the largest square of `area`.
  void render(QPainter& p, const QRectF& area) const;

  QSize sizeHint() const override { return {520, 520}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int w) const override { return w; }

 protected:
  void paintEvent(QPaintEvent*) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  void drawPanel(QPainter& p, const QRectF& r, const ProgressSeries& s) const;
  ProgressData data_;
  bool shown_ = false;
  QMenu* menu_;
};

}  // namespace tarn
