#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QPushButton>

#include "support/windows/kmxmouse.h"

namespace tarn {
namespace {

TEST(Mouse, PositionHidingAndButton) {
  KMX_Mouse m;
  m.Move(100, 120);
  m.setCurrentX(150);
  EXPECT_EQ(m.CurrentX(), 150);
  EXPECT_EQ(m.CurrentY(), 120);
  m.setCurrentY(90);
  EXPECT_EQ(m.CurrentX(), 150);
  EXPECT_EQ(m.CurrentY(), 90);

  const int count = KMX_Mouse::displayCount();
  m.Hide();
  m.Hide();
  m.Show();
  EXPECT_EQ(KMX_Mouse::displayCount(), count - 1);
  ASSERT_TRUE(QGuiApplication::overrideCursor());
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
  m.Show();
  EXPECT_FALSE(QGuiApplication::overrideCursor());

  EXPECT_EQ(m.LeftButtonPress(), 0) << "no button is down";
}

TEST(Mouse, MovesOntoAControlInAContainer) {
  QWidget window;
  window.resize(400, 300);
  auto* strip = new QWidget(&window);
  strip->setGeometry(0, 250, 400, 50);
  auto* button = new QPushButton("OK", strip);
  button->setGeometry(300, 10, 80, 30);
  window.show();
  for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  KMX_Mouse m;
  m.MoveToControlContained(&window, strip, button);
  const QPoint expect = window.mapToGlobal(QPoint(300 + 40, 250 + 10 + 23));  // 30 px × 0.75, rounded
  EXPECT_EQ(QCursor::pos(), expect);
  EXPECT_TRUE(button->rect().contains(button->mapFromGlobal(QCursor::pos())));
}

}  // namespace
}  // namespace tarn
