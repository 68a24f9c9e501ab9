#include "core/windows/buttoncolouring.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPushButton>
#include <QWidget>

#include "core/settingkeys.h"
#include "core/settings.h"

namespace tarn {

QColor colourFromStored(quint32 stored, const QPalette& p) {
  if (stored & 0x80000000u) {
    switch (stored & 0xFFu) {
      case 5:
        return p.color(QPalette::Base);  // window background
      case 8:
        return p.color(QPalette::Text);  // window text
      case 13:
        return p.color(QPalette::Highlight);
      case 14:
        return p.color(QPalette::HighlightedText);
      case 16:
        return p.color(QPalette::Mid);  // button shadow
      case 18:
        return p.color(QPalette::ButtonText);
      case 20:
        return p.color(QPalette::Light);  // button highlight
      case 15:                            // button face
      default:
        return p.color(QPalette::Button);
    }
  }
  return QColor(int(stored & 0xFF), int((stored >> 8) & 0xFF), int((stored >> 16) & 0xFF));
}

CmdButtonColouring::CmdButtonColouring(QWidget* window) : QObject(window), window_(window) {
  setObjectName("CmdButtonColouring");
}

CmdButtonColouring* CmdButtonColouring::install(QWidget* window) {
  auto* c = window->findChild<CmdButtonColouring*>("CmdButtonColouring", Qt::FindDirectChildrenOnly);
  if (!c) c = new CmdButtonColouring(window);
  c->reload();
  return c;
}

void CmdButtonColouring::reload() {
  on_ = quint32(settings::read(settings::SelectedCmdColorON));
  off_ = quint32(settings::read(settings::SelectedCmdColorOFF));
  mouseMove_ = settings::readBool(settings::MouseMove);
  attach();
}

void CmdButtonColouring::attach() {
  for (auto* b : window_->findChildren<QPushButton*>()) {
    b->removeEventFilter(this);
    b->installEventFilter(this);
    colour(b, b->hasFocus());
  }
}

void CmdButtonColouring::colour(QAbstractButton* b, bool focused) const {
  const quint32 stored = focused ? on_ : off_;
  QPalette p = b->palette();
  // The system button face is whatever the style gives; anything else is painted explicitly.
  p.setColor(QPalette::Button, colourFromStored(stored, QApplication::palette(b)));
  b->setPalette(p);
  b->setProperty("tarnFocusColour", QVariant::fromValue(stored));
}

bool CmdButtonColouring::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut) {
    if (auto* b = qobject_cast<QAbstractButton*>(watched)) {
      const bool in = e->type() == QEvent::FocusIn;
      colour(b, in);
      if (in && mouseMove_) moveToControl(b);
    }
  }
  return QObject::eventFilter(watched, e);
}

void moveToControl(QWidget* control) {
  if (!control || !control->isVisible()) return;
  const QPoint target(control->width() / 2, control->height() * 3 / 4);
  QCursor::setPos(control->mapToGlobal(target));
}

}  // namespace tarn
