#include "support/windows/kmxmouse.h"

#include <QApplication>
#include <QCursor>
#include <QInputDevice>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QWidget>

namespace tarn {

namespace {
int g_displayCount = 0;

// Swapping the buttons for this program: presses and releases reach the widgets with the
// primary and secondary buttons exchanged.
class ButtonSwapper : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    const auto t = e->type();
    if (busy_ || (t != QEvent::MouseButtonPress && t != QEvent::MouseButtonRelease &&
                  t != QEvent::MouseButtonDblClick))
      return false;
    auto* me = static_cast<QMouseEvent*>(e);
    auto swap = [](Qt::MouseButtons b) {
      Qt::MouseButtons out = b & ~(Qt::LeftButton | Qt::RightButton);
      if (b & Qt::LeftButton) out |= Qt::RightButton;
      if (b & Qt::RightButton) out |= Qt::LeftButton;
      return out;
    };
    const Qt::MouseButton button = static_cast<Qt::MouseButton>(swap(me->button()).toInt());
    QMouseEvent swapped(t, me->position(), me->scenePosition(), me->globalPosition(), button,
                        swap(me->buttons()), me->modifiers(), me->pointingDevice());
    busy_ = true;
    QCoreApplication::sendEvent(watched, &swapped);
    busy_ = false;
    return true;
  }

 private:
  bool busy_ = false;
};
ButtonSwapper* g_swapper = nullptr;

qint16 truth(bool b) { return b ? -1 : 0; }

const QPointingDevice* mouseDevice() {
  for (const QInputDevice* d : QInputDevice::devices())
    if (d->type() == QInputDevice::DeviceType::Mouse || d->type() == QInputDevice::DeviceType::TouchPad)
      return static_cast<const QPointingDevice*>(d);
  return nullptr;
}
}  // namespace

int KMX_Mouse::displayCount() { return g_displayCount; }

qint16 KMX_Mouse::Exists() const {
  return truth(mouseDevice() != nullptr || QPointingDevice::primaryPointingDevice());
}

qint32 KMX_Mouse::btnCount() const {
  const QPointingDevice* d = mouseDevice();
  if (!d) d = QPointingDevice::primaryPointingDevice();
  return d ? std::max(2, static_cast<int>(d->buttonCount())) : 0;
}

void KMX_Mouse::Show() {
  const bool wasHidden = g_displayCount < 0;
  ++g_displayCount;
  if (wasHidden && g_displayCount >= 0) QGuiApplication::restoreOverrideCursor();
}

void KMX_Mouse::Hide() {
  --g_displayCount;
  if (g_displayCount == -1) QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
}

qint16 KMX_Mouse::btnSwapped() const { return truth(g_swapper != nullptr); }

void KMX_Mouse::setBtnSwapped(qint16 swapped) {
  if (swapped && !g_swapper && qApp) {
    g_swapper = new ButtonSwapper;
    qApp->installEventFilter(g_swapper);
  } else if (!swapped && g_swapper) {
    delete g_swapper;
    g_swapper = nullptr;
  }
}

qint32 KMX_Mouse::CurrentX() const { return QCursor::pos().x(); }
qint32 KMX_Mouse::CurrentY() const { return QCursor::pos().y(); }
void KMX_Mouse::setCurrentX(qint32 x) { QCursor::setPos(x, QCursor::pos().y()); }
void KMX_Mouse::setCurrentY(qint32 y) { QCursor::setPos(QCursor::pos().x(), y); }
void KMX_Mouse::Move(qint32 x, qint32 y) { QCursor::setPos(x, y); }

void KMX_Mouse::MoveToControl(QWidget* window, QWidget* control) {
  MoveToControlContained(window, nullptr, control);
}

void KMX_Mouse::MoveToControlContained(QWidget* window, QWidget* container, QWidget* control) {
  if (!window || !control) return;
  // The control's place in its parent, offset by the container's place in the window; the
  // window's frame is added by mapping its client area to the screen.
  QPointF p(control->x() + control->width() / 2.0, control->y() + control->height() * 0.75);
  if (container && container != window)
    p += container->mapTo(window, QPoint(0, 0));
  else if (control->parentWidget() && control->parentWidget() != window)
    p += control->parentWidget()->mapTo(window, QPoint(0, 0));
  const QPoint global = window->mapToGlobal(p.toPoint());
  Move(global.x(), global.y());
}

qint16 KMX_Mouse::LeftButtonPress() const {
  (void)QGuiApplication::mouseButtons();  // the first answer may still hold an earlier press
  return truth(QGuiApplication::mouseButtons() & Qt::LeftButton);
}
qint16 KMX_Mouse::MiddleButtonPress() const {
  (void)QGuiApplication::mouseButtons();
  return truth(QGuiApplication::mouseButtons() & Qt::MiddleButton);
}
qint16 KMX_Mouse::RightButtonPress() const {
  (void)QGuiApplication::mouseButtons();
  return truth(QGuiApplication::mouseButtons() & Qt::RightButton);
}

}  // namespace tarn
