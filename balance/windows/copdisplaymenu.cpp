#include "balance/windows/copdisplaymenu.h"

#include <QActionGroup>

#include "balance/balancesettings.h"
#include "balance/procedures/copdisplaylogic.h"
#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {

namespace {
constexpr char kModule[] = "frmTBStatic";
}

CoPDisplayMenuSettings CoPDisplayMenuSettings::plateStatic() {
  CoPDisplayMenuSettings k;
  k.gridStyle = &settings::StaticCoPGridStyle;
  k.gridSpacing = &settings::StaticCoPGridSpacing;
  k.losOn = &settings::StaticCoPLoSON;
  k.pathOn = &settings::StaticCoPPathON;
  k.ellipseOn = &settings::StaticCoPEllipseON;
  return k;
}

CoPDisplayOptionsMenu::CoPDisplayOptionsMenu(KMXCoPDisplay* display, const CoPDisplayMenuSettings& keys,
                                             QWidget* parent)
    : QMenu(Str(3510), parent), display_(display), keys_(keys) {
  actFullScreen = addAction(Str(3511));
  actFullScreen->setCheckable(true);
  actFullScreen->setVisible(false);
  connect(actFullScreen, &QAction::toggled, this, [this](bool on) {
    if (fullScreen_) fullScreen_(on);
  });

  QMenu* grid = addMenu(Str(3512));
  auto* styles = new QActionGroup(this);
  for (int s = 0; s <= 4; ++s) {
    QAction* a = grid->addAction(GridStyleMenuText(static_cast<CoPGridStyle>(s)));
    a->setCheckable(true);
    styles->addAction(a);
    gridStyleActions << a;
    connect(a, &QAction::triggered, this, [this, s] {
      ProcLog log(kModule, "mnuCoPGrid_Click", QString::number(s));
      if (display_) display_->setGridStyle(s);
      store(keys_.gridStyle, s);
      log.completed();
    });
  }

  QMenu* interval = addMenu(Str(3513));
  auto* steps = new QActionGroup(this);
  for (const GridIntervalItem& item : GridIntervalItems()) {
    if (item.stepM <= 0) {
      gridIntervalActions << interval->addSeparator();
      continue;
    }
    QAction* a = interval->addAction(item.text);
    a->setCheckable(true);
    steps->addAction(a);
    gridIntervalActions << a;
    const qint32 index = item.index;
    const double step = item.stepM;
    connect(a, &QAction::triggered, this, [this, index, step] {
      ProcLog log(kModule, "mnuCoPInterval_Click", QString::number(index));
      if (display_) display_->setGridStep(step);
      store(keys_.gridSpacing, index);
      log.completed();
    });
  }

  addSeparator();
  auto toggle = [this](const QString& text, const settings::LongSetting* key, auto setter) {
    QAction* a = addAction(text);
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, key, setter](bool on) {
      if (display_) (display_->*setter)(on);
      store(key, on ? -1 : 0);
    });
    return a;
  };
  actLoS = toggle(Str(3514), keys_.losOn, &KMXCoPDisplay::setLoSVisible);
  actTrace = toggle(Str(3515), keys_.pathOn, &KMXCoPDisplay::setPathVisible);
  actTargetTrace = toggle(Str(3516), nullptr, &KMXCoPDisplay::setTgPathVisible);
  actEllipse = toggle(Str(3517), keys_.ellipseOn, &KMXCoPDisplay::setEllipseVisible);

  addSeparator();
  connect(addAction(Str(3518)), &QAction::triggered, this, [this] {
    if (display_) display_->ZoomIn();
  });
  connect(addAction(Str(3519)), &QAction::triggered, this, [this] {
    if (display_) display_->ZoomOut();
  });
  connect(addAction(Str(3520)), &QAction::triggered, this, [this] {
    if (display_) display_->Recenter();
  });
  connect(addAction(Str(3521)), &QAction::triggered, this, [this] {
    if (display_) display_->Clear();
  });
  addSeparator();
  connect(addAction(Str(3522)), &QAction::triggered, this, [this] {
    ProcLog log(kModule, "mnuCoPCopy_Click");
    if (display_) display_->CopyToClipboard();
    log.completed();
  });
  connect(this, &QMenu::aboutToShow, this, &CoPDisplayOptionsMenu::syncChecks);
  syncChecks();
}

void CoPDisplayOptionsMenu::setFullScreenHandler(std::function<void(bool)> handler) {
  fullScreen_ = std::move(handler);
  actFullScreen->setVisible(static_cast<bool>(fullScreen_));
}

void CoPDisplayOptionsMenu::store(const settings::LongSetting* s, qint32 v) {
  if (s) settings::write(*s, v);
}

void CoPDisplayOptionsMenu::syncChecks() {
  if (!display_) return;
  const int style = display_->GridStyle();
  for (int i = 0; i < gridStyleActions.size(); ++i) gridStyleActions[i]->setChecked(i == style);
  const qint32 item = GridItemForStep(display_->GridStep());
  for (int i = 0; i < gridIntervalActions.size(); ++i)
    if (gridIntervalActions[i]->isCheckable()) gridIntervalActions[i]->setChecked(i + 1 == item);
  actLoS->setChecked(display_->LoSVisible());
  actTrace->setChecked(display_->PathVisible());
  actTargetTrace->setChecked(display_->TgPathVisible());
  actEllipse->setChecked(display_->EllipseVisible());
}

void CoPDisplayOptionsMenu::applyStored() {
  if (!display_) return;
  if (keys_.gridStyle) {
    const qint32 s = settings::read(*keys_.gridStyle);
    if (s >= 0 && s <= 4) display_->setGridStyle(s);
  }
  if (keys_.gridSpacing)
    if (const auto step = GridStepForItem(settings::read(*keys_.gridSpacing))) display_->setGridStep(*step);
  if (keys_.losOn) display_->setLoSVisible(settings::readBool(*keys_.losOn));
  if (keys_.pathOn) display_->setPathVisible(settings::readBool(*keys_.pathOn));
  if (keys_.ellipseOn) display_->setEllipseVisible(settings::readBool(*keys_.ellipseOn));
  syncChecks();
}

QAction* CoPDisplayOptionsMenu::action(const QString& text) const {
  QList<QMenu*> menus{const_cast<CoPDisplayOptionsMenu*>(this)};
  for (int i = 0; i < menus.size(); ++i)
    for (QAction* a : menus[i]->actions()) {
      if (a->menu()) menus << a->menu();
      if (a->text() == text) return a;
    }
  return nullptr;
}

}  // namespace tarn
