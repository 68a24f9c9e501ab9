#pragma once
// The pointer: whether a mouse is there, its buttons, showing and hiding it, and moving it, on
// Qt's cursor and mouse state. Truth values are -1 (true) and 0 (false).
//
// Hide and Show keep one display count for the whole program, as the desktop's pointer does:
// the pointer is hidden while the count is below zero.
#include <QtGlobal>

class QWidget;

namespace tarn {

class KMX_Mouse {
 public:
  qint16 Exists() const;
  qint32 btnCount() const;
  void Show();
  void Hide();
  qint16 btnSwapped() const;
  void setBtnSwapped(qint16 swapped);  // swaps the primary and secondary buttons of this program
  qint32 CurrentX() const;
  void setCurrentX(qint32 x);
  qint32 CurrentY() const;
  void setCurrentY(qint32 y);
  void Move(qint32 x, qint32 y);
  // Onto a control of a window: its horizontal centre at three quarters of its height.
  void MoveToControl(QWidget* window, QWidget* control);
  void MoveToControlContained(QWidget* window, QWidget* container, QWidget* control);
  qint16 LeftButtonPress() const;
  qint16 MiddleButtonPress() const;
  qint16 RightButtonPress() const;

  static int displayCount();  // for tests
};

}  // namespace tarn
