#include "balance/windows/subjectmirror.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QScreen>

#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {

SubjectMirror::SubjectMirror(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle(Str(3750));
  setAutoFillBackground(true);
  lblTitle = new QLabel(this);
  lblInstructions = new QLabel(this);
  lblTime = new QLabel(this);
  display = new KMXCoPDisplay(this);
  display->setMinimumSize(10, 10);
  for (QLabel* l : {lblTitle, lblInstructions, lblTime}) {
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
}

void SubjectMirror::setSource(const Source& source) {
  src_ = source;
  qDeleteAll(buttons);
  buttons.clear();
  for (QPushButton* b : src_.buttons) {
    auto* mirror = new QPushButton(this);
    mirror->setFocusPolicy(Qt::NoFocus);
    mirror->setAttribute(Qt::WA_TransparentForMouseEvents);  // the subject only watches
    buttons << mirror;
    (void)b;
  }
}

void SubjectMirror::showOn(QScreen* screen) {
  ProcLog log("frmTBStatic", "Display_Show", screen ? screen->name() : QString("no screen"));
  if (screen) {
    setScreen(screen);
    setGeometry(screen->geometry());
  }
  Display_SyncShape();
  Display_SyncContent();
  showFullScreen();
  raise();
  log.completed();
}

namespace {
// Sizes as shares of the screen's height: about 8 mm letters for the instructions on a 24-inch
// screen, twice that for the time.
constexpr double kTitleShare = 0.045;
constexpr double kTimeShare = 0.06;
constexpr double kTextShare = 0.028;
constexpr double kButtonShare = 0.022;
constexpr double kTargetShare = 0.035;  // of the display's side

void setPixelFont(QWidget* w, double px, bool bold) {
  QFont f = w->font();
  f.setPixelSize(std::max(8, static_cast<int>(px)));
  f.setBold(bold);
  w->setFont(f);
}

// The largest font up to px (and not below half of it) at which the text fits the rectangle.
void fitPixelFont(QWidget* w, const QString& text, double px, bool wrap) {
  QFont f = w->font();
  const QRect room = w->contentsRect().adjusted(0, 0, -4, -4);
  for (int size = static_cast<int>(px); size >= std::max(8, static_cast<int>(px / 2)); --size) {
    f.setPixelSize(size);
    const QRect need =
        QFontMetrics(f).boundingRect(room, (wrap ? Qt::TextWordWrap : 0) | Qt::AlignLeft, text);
    if (need.height() <= room.height() && need.width() <= room.width()) break;
  }
  w->setFont(f);
}
}  // namespace

void SubjectMirror::Display_SyncShape() {
  const int W = width(), H = height();
  if (W <= 0 || H <= 0) return;
  const int m = H / 40;
  const int titleH = static_cast<int>(H * kTitleShare * 1.6);
  lblTitle->setGeometry(m, m, W - 2 * m, titleH);
  setPixelFont(lblTitle, H * kTitleShare, true);
  // The display: a square as high as the screen allows, on the left.
  const int side = std::min(H - titleH - 3 * m, static_cast<int>(W * 0.58));
  display->setGeometry(m, titleH + 2 * m, side, side);
  const int x = side + 3 * m, colW = W - x - m;
  const int timeH = static_cast<int>(H * kTimeShare * 2.6);
  lblTime->setGeometry(x, titleH + 2 * m, colW, timeH);
  setPixelFont(lblTime, H * kTimeShare, true);
  const int buttonH = static_cast<int>(H * kButtonShare * 2.2);
  const int textTop = titleH + 3 * m + timeH;
  const int buttonsTop = H - m - buttonH;
  lblInstructions->setGeometry(x, textTop, colW, buttonsTop - m - textTop);
  const int n = static_cast<int>(buttons.size());
  for (int i = 0; i < n; ++i) {
    const int bw = (colW - (n - 1) * m / 2) / std::max(1, n);
    buttons[i]->setGeometry(x + i * (bw + m / 2), buttonsTop, bw, buttonH);
  }
  fitTexts();
  presentDisplay();
}

void SubjectMirror::fitTexts() {
  fitPixelFont(lblInstructions, lblInstructions->text(), height() * kTextShare, true);
  for (QPushButton* b : buttons) fitPixelFont(b, b->text(), height() * kButtonShare, false);
}

void SubjectMirror::presentDisplay() {
  const int side = std::min(display->width(), display->height());
  display->setTargetSize(std::max(16, static_cast<int>(side * kTargetShare)));
  display->setMarkSize(std::max(16, static_cast<int>(side * kTargetShare)));
  display->setPathWidth(std::max(2.0, side / 300.0));
  display->setLoSLineWidth(std::max(2, side / 300));
  QFont f = display->font();
  f.setPixelSize(std::max(10, side / 45));
  display->setFont(f);
}

void SubjectMirror::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Display_SyncShape();
}

void SubjectMirror::Display_SyncContent() {
  auto copy = [](QLabel* mirror, QLabel* original) {
    if (!original) {
      mirror->hide();
      return;
    }
    mirror->setText(original->text());
    mirror->setAlignment(original->alignment());
    mirror->setVisible(original->isVisible());
  };
  copy(lblTitle, src_.title);
  copy(lblInstructions, src_.instructions);
  copy(lblTime, src_.time);
  lblInstructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  if (src_.display) {
    display->copyFrom(*src_.display);
    presentDisplay();
    display->setVisible(src_.display->isVisible());
  } else {
    display->hide();
  }
  for (int i = 0; i < buttons.size() && i < src_.buttons.size(); ++i) {
    buttons[i]->setText(QString(src_.buttons[i]->text()).remove('&'));
    buttons[i]->setEnabled(src_.buttons[i]->isEnabled());
    buttons[i]->setVisible(src_.buttons[i]->isVisible());
  }
  fitTexts();
}

void SubjectMirror::followDisplay(bool on) {
  disconnect(pointConn_);
  disconnect(targetConn_);
  if (!on || !src_.display) return;
  targetConn_ = connect(src_.display, &KMXCoPDisplay::viewChanged, display, [this] {
    display->copyFrom(*src_.display);
    presentDisplay();
  });
  pointConn_ = connect(src_.display, &KMXCoPDisplay::pointAdded, display, [this](double x, double y) {
    display->AddPoint(x, y);
    display->MoveTarget(x, y);
  });
}

void SubjectMirror::mousePressEvent(QMouseEvent*) { emit dismissed(); }
void SubjectMirror::keyPressEvent(QKeyEvent*) { emit dismissed(); }

}  // namespace tarn
