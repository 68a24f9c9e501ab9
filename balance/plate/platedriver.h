#pragma once
// The plate list shared by the simulated and the replay driver: opening, closing, plates coming
// and going, and the list events posted to the owning thread.
#include <vector>

#include "balance/plate/acquiringplate.h"

namespace tarn {

class PlateDriverBase : public KMX_HID_Devices {
  Q_OBJECT
 public:
  explicit PlateDriverBase(QObject* parent = nullptr);
  ~PlateDriverBase() override;

  bool PlateDevicesOpen() override;
  void PlateDevicesClose() override;
  int PlateCount() const override { return static_cast<int>(plates_.size()); }
  KMX_BalancePlate* Plate(int index) const override { return acquiringPlate(index); }
  QString LastError() const override { return lastError_; }

  AcquiringPlate* acquiringPlate(int index) const;  // 1-based
  bool isOpen() const { return open_; }
  void setOtherHids(int n) { otherHids_ = n < 0 ? 0 : n; }  // keyboards, mice... on the bus

 protected:
  // Finds the connected plates when the driver opens; each becomes a child of the driver.
  virtual std::vector<AcquiringPlate*> openPlates() = 0;
  void attach(AcquiringPlate* plate);  // a plate plugged in while open
  void reportNotResponding(AcquiringPlate* plate);
  void setLastError(const QString& text) { lastError_ = text; }
  AcquiringPlate* findGone(const QString& serial) const;

 private:
  void watch(AcquiringPlate* plate);
  void onRemoval(AcquiringPlate* plate);
  void postUpdate(const std::vector<AcquiringPlate*>& arrived, AcquiringPlate* removed, bool changed);

  std::vector<AcquiringPlate*> plates_;
  std::vector<AcquiringPlate*> gone_;  // kept alive: windows may still hold them
  std::vector<AcquiringPlate*> watched_;
  QStringList listed_;
  bool open_ = false;
  int otherHids_ = 2;
  QString lastError_;
};

}  // namespace tarn
