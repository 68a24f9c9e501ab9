#include "balance/windows/subjectmirror.h"

#include <QKeyEvent>
#include <QScreen>

#include "core/eventlog.h"

namespace tarn {

SubjectMirror::SubjectMirror(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWindowTitle("TARN RQ - Subject");
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

void SubjectMirror::Display_SyncShape() {
  if (!src_.window) return;
  const QSize from = src_.window->size();
  if (from.isEmpty()) return;
  const double f = std::min(width() / double(from.width()), height() / double(from.height()));
  const QPoint offset((width() - from.width() * f) / 2, (height() - from.height() * f) / 2);
  auto place = [&](QWidget* mirror, QWidget* original) {
    if (!mirror || !original) return;
    const QRect g(original->mapTo(src_.window, QPoint(0, 0)), original->size());
    mirror->setGeometry(QRect(offset + QPoint(g.x() * f, g.y() * f), QSize(g.width() * f, g.height() * f)));
    QFont font = original->font();
    font.setPointSizeF(std::max(6.0, original->font().pointSizeF() * f * 0.95));  // room for rounding
    mirror->setFont(font);
  };
  place(lblTitle, src_.title);
  place(lblInstructions, src_.instructions);
  place(lblTime, src_.time);
  place(display, src_.display);
  for (int i = 0; i < buttons.size() && i < src_.buttons.size(); ++i) place(buttons[i], src_.buttons[i]);
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
  if (src_.display) {
    display->copyFrom(*src_.display);
    display->setVisible(src_.display->isVisible());
  } else {
    display->hide();
  }
  for (int i = 0; i < buttons.size() && i < src_.buttons.size(); ++i) {
    buttons[i]->setText(src_.buttons[i]->text());
    buttons[i]->setEnabled(src_.buttons[i]->isEnabled());
    buttons[i]->setVisible(src_.buttons[i]->isVisible());
  }
}

void SubjectMirror::followDisplay(bool on) {
  disconnect(pointConn_);
  if (!on || !src_.display) return;
  pointConn_ = connect(src_.display, &KMXCoPDisplay::pointAdded, display, [this](double x, double y) {
    display->AddPoint(x, y);
    display->MoveTarget(x, y);
  });
}

void SubjectMirror::mousePressEvent(QMouseEvent*) { emit dismissed(); }
void SubjectMirror::keyPressEvent(QKeyEvent*) { emit dismissed(); }

}  // namespace tarn
