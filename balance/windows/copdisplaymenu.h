#pragma once
// The "&CoP Display Options" menu of a CoP display. Each item updates the display and, where the
// owner names a setting for it, remembers the choice.
#include <QMenu>
#include <QPointer>
#include <functional>

#include "balance/windows/kmxcopdisplay.h"
#include "core/settingkeys.h"

namespace tarn {

struct CoPDisplayMenuSettings {
  const settings::LongSetting* gridStyle = nullptr;
  const settings::LongSetting* gridSpacing = nullptr;  // item number of the interval submenu
  const settings::LongSetting* losOn = nullptr;
  const settings::LongSetting* pathOn = nullptr;
  const settings::LongSetting* ellipseOn = nullptr;
  // The static test window's keys.
  static CoPDisplayMenuSettings plateStatic();
};

class CoPDisplayOptionsMenu : public QMenu {
  Q_OBJECT
 public:
  CoPDisplayOptionsMenu(KMXCoPDisplay* display, const CoPDisplayMenuSettings& keys,
                        QWidget* parent = nullptr);

  // "&Full Screen" asks the owner; without a handler the item is hidden.
  void setFullScreenHandler(std::function<void(bool)> handler);
  // Ticks the items after the display changed from elsewhere.
  void syncChecks();
  // Applies the remembered choices to the display.
  void applyStored();

  QAction* action(const QString& text) const;  // by item text, for tests and owners

  QAction* actFullScreen;
  QAction* actLoS;
  QAction* actTrace;
  QAction* actTargetTrace;
  QAction* actEllipse;
  QList<QAction*> gridStyleActions;     // Off, X, Y, XY, Ticks
  QList<QAction*> gridIntervalActions;  // in item order, the separator included

 private:
  void store(const settings::LongSetting* s, qint32 v);
  QPointer<KMXCoPDisplay> display_;
  CoPDisplayMenuSettings keys_;
  std::function<void(bool)> fullScreen_;
};

}  // namespace tarn
