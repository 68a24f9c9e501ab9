#include "reports/windows/reportcopmenu.h"

#include <QActionGroup>
#include <cmath>

#include "balance/procedures/copdisplaylogic.h"
#include "core/eventlog.h"
#include "core/settingkeys.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
constexpr char kModule[] = "frmTReport";
constexpr int kGridStyles = 5;
constexpr int kGridIntervals = 15;
constexpr int kSeparatorIndex = 7;
}  // namespace

// The entries are the static test menu's items, numbered from 0 instead of 1.
double ReportGridStep(int index) { return GridStepForItem(index + 1).value_or(0.0); }

int ReportGridIndex(double step) { return GridItemForStep(step) - 1; }

ReportCoPMenu::ReportCoPMenu(QWidget* parent) : QMenu(Str(17951), parent) {
  actFullScreen = addAction(Str(17952));
  actFullScreen->setVisible(false);  // no full screen in this window

  QMenu* grid = addMenu(Str(17953));
  auto* styles = new QActionGroup(this);
  for (int s = 0; s < kGridStyles; ++s) {
    QAction* a = grid->addAction(Str(17954 + s));
    a->setCheckable(true);
    styles->addAction(a);
    gridStyleActions << a;
    connect(a, &QAction::triggered, this, [this, s] {
      ProcLog log(kModule, "mnuCoPGridOpt_Click", QString::number(s));
      if (display_) display_->setGridStyle(s);
      settings::write(settings::ReportCoPGridStyle, s);
      log.completed();
    });
  }
  QMenu* interval = addMenu(Str(17960));
  auto* steps = new QActionGroup(this);
  for (int i = 0; i < kGridIntervals; ++i) {
    if (i == kSeparatorIndex) {
      gridIntervalActions << interval->addSeparator();
      continue;
    }
    QAction* a = interval->addAction(Str(17961 + i));
    a->setCheckable(true);
    steps->addAction(a);
    gridIntervalActions << a;
    connect(a, &QAction::triggered, this, [this, i] {
      ProcLog log(kModule, "mnuCoPGridIntVal_Click", QString::number(i));
      if (display_) display_->setGridStep(ReportGridStep(i));
      settings::write(settings::ReportCoPGridStep, i);
      log.completed();
    });
  }
  addSeparator();
  auto toggle = [this](int text, const settings::LongSetting* key, void (KMXCoPDisplay::*setter)(bool)) {
    QAction* a = addAction(Str(text));
    a->setCheckable(true);
    if (key)
      connect(a, &QAction::triggered, this, [this, key, setter](bool on) {
        if (display_) (display_->*setter)(on);
        settings::writeBool(*key, on);
      });
    return a;
  };
  actLoS = toggle(17976, &settings::ReportCoPLoSON, &KMXCoPDisplay::setLoSVisible);
  actTrace = toggle(17977, &settings::ReportCoPTraceON, &KMXCoPDisplay::setPathVisible);
  actTargetTrace = toggle(17978, nullptr, nullptr);
  actTargetTrace->setVisible(false);  // a stored test has no target
  addSeparator();
  actEllipse = toggle(17980, &settings::ReportCoPEllipseON, &KMXCoPDisplay::setEllipseVisible);
  actZoomIn = addAction(Str(17981));
  actZoomOut = addAction(Str(17982));
  auto zoom = [this](double factor) {
    if (!display_) return;
    display_->setDisplay_XWidth(display_->Display_XWidth() * factor);
    display_->setDisplay_YWidth(display_->Display_YWidth() * factor);
  };
  connect(actZoomIn, &QAction::triggered, this, [zoom] { zoom(1.0 / std::sqrt(2.0)); });
  connect(actZoomOut, &QAction::triggered, this, [zoom] { zoom(std::sqrt(2.0)); });
  actRecenter = addAction(Str(17983));
  actClear = addAction(Str(17984));
  actRecenter->setVisible(false);  // the stored trace stays as it was recorded
  actClear->setVisible(false);
  addSeparator();
  actCopy = addAction(Str(17985));
  connect(actCopy, &QAction::triggered, this, [this] {
    ProcLog log(kModule, "mnuCoPCopy_Click");
    if (display_) display_->CopyToClipboard();
    log.completed();
  });
  connect(this, &QMenu::aboutToShow, this, &ReportCoPMenu::syncChecks);
}

void ReportCoPMenu::setDisplay(KMXCoPDisplay* display) {
  display_ = display;
  for (QAction* a : actions()) a->setEnabled(display != nullptr);
  syncChecks();
}

void ReportCoPMenu::syncChecks() {
  if (!display_) return;
  for (int i = 0; i < gridStyleActions.size(); ++i)
    gridStyleActions[i]->setChecked(i == display_->GridStyle());
  const int step = ReportGridIndex(display_->GridStep());
  for (int i = 0; i < gridIntervalActions.size(); ++i)
    if (gridIntervalActions[i]->isCheckable()) gridIntervalActions[i]->setChecked(i == step);
  actLoS->setChecked(display_->LoSVisible());
  actTrace->setChecked(display_->PathVisible());
  actEllipse->setChecked(display_->EllipseVisible());
}

void ReportCoPMenu::applyStored(KMXCoPDisplay& d) {
  const qint32 style = settings::read(settings::ReportCoPGridStyle);
  if (style >= 0 && style < kGridStyles) d.setGridStyle(style);
  if (const double step = ReportGridStep(settings::read(settings::ReportCoPGridStep)); step > 0)
    d.setGridStep(step);
  d.setLoSVisible(settings::readBool(settings::ReportCoPLoSON));
  d.setPathVisible(settings::readBool(settings::ReportCoPTraceON));
  d.setEllipseVisible(settings::readBool(settings::ReportCoPEllipseON));
}

}  // namespace tarn
