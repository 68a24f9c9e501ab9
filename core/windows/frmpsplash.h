#pragma once
// The splash window: product title, version and the platform line, shown while the station starts.
#include <QLabel>
#include <QWidget>

namespace tarn {

class frmPSplash : public QWidget {
  Q_OBJECT
 public:
  explicit frmPSplash(QWidget* parent = nullptr);
  QLabel* lblProductName;
  QLabel* lblVersion;
  QLabel* lblPlatform;
  QLabel* lblCompany;

  // "For Debian GNU/Linux 12 (bookworm)"-style line for the running system.
  static QString platformLine();
  // Centres the splash on the screen of the given widget (or the primary screen).
  void centreOn(QWidget* other);
};

}  // namespace tarn
