#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "balance/balancesettings.h"
#include "balance/tests/plate_testutil.h"
#include "balance/windows/copdisplaymenu.h"
#include "balance/windows/kmxcopdisplay.h"
#include "balance/windows/subjectmirror.h"
#include "core/settingkeys.h"

namespace tarn {
namespace {

TEST(CoPDisplay, ZoomHalvesAndDoublesTheWidth) {
  KMXCoPDisplay d;
  d.setDisplay_XWidth(0.4);
  d.setDisplay_YWidth(0.4);
  d.ZoomIn();
  d.ZoomIn();
  EXPECT_DOUBLE_EQ(d.Display_XWidth(), 0.1);
  d.ZoomOut();
  EXPECT_DOUBLE_EQ(d.Display_XWidth(), 0.2);
  EXPECT_DOUBLE_EQ(d.Display_YWidth(), 0.2);
  d.setDisplay_XWidth(-1);  // refused
  EXPECT_DOUBLE_EQ(d.Display_XWidth(), 0.2);
  EXPECT_EQ(d.property("Display_XWidth").toDouble(), 0.2) << "addressed by name";
}

// The pointer readout undoes the scale the display draws with: linear, or true to scale inside
// the feedback radius and compressed outside it.
TEST(CoPDisplay, PointerPositionFollowsTheScale) {
  KMXCoPDisplay d;
  d.resize(400, 400);
  CoPDisplayGeometry g;
  g.xo = 0.01;
  g.yo = 0.02;
  g.width = 0.2;
  d.applyGeometry(g);
  // The plot is square and centred; find its half-width from the centre's readout.
  const QPointF c(200, 200 - 8);  // the legend line takes 16 px below the plot
  ASSERT_TRUE(d.positionAt(c));
  EXPECT_NEAR(d.positionAt(c)->x(), 0.01, 1e-9);
  EXPECT_NEAR(d.positionAt(c)->y(), 0.02, 1e-9);
  double half = 0;
  for (double px = 1; px < 200; ++px)
    if (d.positionAt(c + QPointF(px, 0))) half = px;
  ASSERT_GT(half, 100);
  EXPECT_NEAR(d.positionAt(c + QPointF(half / 2, 0))->x(), 0.01 + 0.05, 1e-3);
  EXPECT_NEAR(d.positionAt(c + QPointF(0, -half / 2))->y(), 0.02 + 0.05, 1e-3) << "forward is up";

  g.feedbackInner = 0.02;  // the inner share of the half-width shows the first 2 cm
  d.applyGeometry(g);
  const double share = kFeedbackInnerShare;
  EXPECT_NEAR(d.positionAt(c + QPointF(share / 2 * half, 0))->x(), 0.01 + 0.01, 2e-4);
  EXPECT_NEAR(d.positionAt(c + QPointF((1 + share) / 2 * half, 0))->x(), 0.01 + 0.02 + 0.04, 4e-4);
}

TEST(CoPDisplay, TraceKeepsItsNewestPointsWithinTheLimit) {
  KMXCoPDisplay d;
  d.setPathMaxLenght(100);
  for (int i = 0; i < 1000; ++i) d.AddPoint(i * 1e-4, 0);
  EXPECT_LE(d.pointCount(), 111);
  EXPECT_GE(d.pointCount(), 100);
  d.setPathMaxLenght(50);
  EXPECT_EQ(d.pointCount(), 50);
  d.Recenter();                                // onto the newest second of trace
  EXPECT_NEAR(d.Display_Xo(), 0.09745, 1e-9);  // all 50 points are within the last second
  EXPECT_DOUBLE_EQ(d.LoS_Xo(), d.Display_Xo());
}

TEST(CoPDisplay, FastStreamIsDrawnOncePerFrameNotPerSample) {
  KMXCoPDisplay d;
  d.resize(400, 400);
  d.show();
  QCoreApplication::processEvents();
  // A 990 Hz plate delivers batches of samples far more often than the screen shows frames: all
  // the points that arrive before the next frame are drawn together in it.
  const int before = d.repaintCount();
  for (int k = 0; k < 200; ++k) d.AddPoint(0.001 * std::sin(k), 0.001 * std::cos(k));
  EXPECT_EQ(d.repaintCount(), before) << "nothing is painted per sample";
  EXPECT_TRUE(d.framePending());
  d.repaint();
  EXPECT_EQ(d.repaintCount(), before + 1);
  EXPECT_EQ(d.pointCount(), 200);
}

TEST(CoPDisplay, CopyPutsSvgAndPictureOnTheClipboard) {
  KMXCoPDisplay d;
  d.resize(300, 300);
  for (int i = 0; i < 100; ++i) d.AddPoint(0.001 * i, 0.0005 * i);
  d.CopyToClipboard();
  const QMimeData* m = QApplication::clipboard()->mimeData();
  ASSERT_TRUE(m);
  const QByteArray svg = m->data("image/svg+xml");
  EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
  EXPECT_TRUE(svg.contains("<polyline") || svg.contains("<path"));
  EXPECT_TRUE(m->hasImage());
  const QImage img = d.toImage(QSize(200, 200));
  EXPECT_EQ(img.size(), QSize(200, 200));
}

// The subject reads the screen from 1.5-2 m: a large marker and large letters, whatever the size
// of the operator's window, and the display follows the operator's when it is recentred.
TEST(SubjectScreen, LargeMarkerAndTextsThatFollowTheOperatorsDisplay) {
  QWidget operatorWindow;
  operatorWindow.resize(1000, 700);
  QLabel title("Romberg", &operatorWindow), instructions("Please stand still.", &operatorWindow),
      time("Test Time\n3.0 s", &operatorWindow);
  KMXCoPDisplay display(&operatorWindow);
  display.setTargetSize(10);
  SubjectMirror mirror;
  mirror.setSource({&operatorWindow, &title, &instructions, &time, &display, {}});
  mirror.resize(1920, 1080);
  mirror.Display_SyncShape();
  mirror.Display_SyncContent();
  const int side = std::min(mirror.display->width(), mirror.display->height());
  EXPECT_GT(side, 1080 * 0.7);
  EXPECT_GE(mirror.display->TargetSize(), side * 0.03);
  EXPECT_GE(mirror.lblInstructions->font().pixelSize(), 28) << "a short text gets the full size";
  EXPECT_GE(mirror.lblTime->font().pixelSize(), 60);
  EXPECT_EQ(mirror.lblInstructions->text(), "Please stand still.");

  mirror.followDisplay(true);
  display.AddPoint(0.01, 0.02);
  CoPDisplayGeometry g;
  g.xo = 0.01;
  g.yo = 0.02;
  display.applyGeometry(g);
  EXPECT_DOUBLE_EQ(mirror.display->Display_Yo(), 0.02);
  EXPECT_EQ(mirror.display->pointCount(), 1);
  EXPECT_GE(mirror.display->TargetSize(), side * 0.03) << "kept large after following";
}

TEST(CoPDisplayMenu, ItemsUpdateTheDisplayAndRememberTheChoice) {
  KMXCoPDisplay d;
  CoPDisplayOptionsMenu menu(&d, CoPDisplayMenuSettings::plateStatic());
  EXPECT_EQ(menu.title(), "&CoP Display Options");
  ASSERT_EQ(menu.gridIntervalActions.size(), 15);
  EXPECT_TRUE(menu.gridIntervalActions.at(7)->isSeparator());

  menu.action("1/4 in")->trigger();
  EXPECT_DOUBLE_EQ(d.GridStep(), 0.00635);
  EXPECT_EQ(settings::read(settings::StaticCoPGridSpacing), 12);

  menu.action("&Ticks")->trigger();
  EXPECT_EQ(d.GridStyle(), 4);
  EXPECT_EQ(settings::read(settings::StaticCoPGridStyle), 4);

  ASSERT_TRUE(d.LoSVisible());
  menu.syncChecks();
  menu.actLoS->trigger();
  EXPECT_FALSE(d.LoSVisible());
  EXPECT_EQ(settings::read(settings::StaticCoPLoSON), 0);
  menu.actTrace->trigger();
  EXPECT_EQ(settings::read(settings::StaticCoPPathON), 0);
  menu.actTargetTrace->trigger();
  EXPECT_TRUE(d.TgPathVisible());

  d.setDisplay_XWidth(0.4);
  menu.action("Zoom &In")->trigger();
  EXPECT_DOUBLE_EQ(d.Display_XWidth(), 0.2);

  // A fresh display takes the remembered choices.
  KMXCoPDisplay fresh;
  CoPDisplayOptionsMenu again(&fresh, CoPDisplayMenuSettings::plateStatic());
  again.applyStored();
  EXPECT_DOUBLE_EQ(fresh.GridStep(), 0.00635);
  EXPECT_EQ(fresh.GridStyle(), 4);
  EXPECT_FALSE(fresh.LoSVisible());
  EXPECT_FALSE(fresh.PathVisible());
  EXPECT_TRUE(again.gridIntervalActions.at(11)->isChecked());
}

}  // namespace
}  // namespace tarn
