#include "balance/plate/platedriver.h"

#include <algorithm>

#include "core/eventlog.h"

namespace tarn {

namespace {
constexpr char kModule[] = "KMX_HID_Devices";
}

PlateDriverBase::PlateDriverBase(QObject* parent) : KMX_HID_Devices(parent) {}

PlateDriverBase::~PlateDriverBase() = default;

AcquiringPlate* PlateDriverBase::acquiringPlate(int index) const {
  if (index < 1 || index > PlateCount()) return nullptr;
  return plates_[static_cast<size_t>(index - 1)];
}

AcquiringPlate* PlateDriverBase::findGone(const QString& serial) const {
  for (auto* p : gone_)
    if (p->SerialNumber() == serial) return p;
  return nullptr;
}

void PlateDriverBase::watch(AcquiringPlate* plate) {
  if (std::find(watched_.begin(), watched_.end(), plate) != watched_.end()) return;
  watched_.push_back(plate);
  plate->setParent(this);
  connect(plate, &KMX_BalancePlate::Removal, this, [this, plate] { onRemoval(plate); });
}

bool PlateDriverBase::PlateDevicesOpen() {
  ProcLog log(kModule, "PlateDevicesOpen");
  if (!open_) {
    lastError_.clear();
    for (auto* p : openPlates()) {
      watch(p);
      gone_.erase(std::remove(gone_.begin(), gone_.end(), p), gone_.end());
      p->setConnected(true);
      plates_.push_back(p);
    }
    open_ = true;
  }
  QStringList paths;
  for (auto* p : plates_) paths << p->DevicePath();
  const bool changed = paths != listed_;
  listed_ = paths;
  log.step(QString("%1 plate(s)").arg(plates_.size()));
  if (!lastError_.isEmpty()) log.error(lastError_);
  postUpdate(plates_, nullptr, changed);
  log.completed();
  return lastError_.isEmpty();
}

void PlateDriverBase::PlateDevicesClose() {
  ProcLog log(kModule, "PlateDevicesClose");
  for (auto* p : plates_) {
    p->setConnected(false);
    gone_.push_back(p);
  }
  plates_.clear();
  listed_.clear();
  open_ = false;
  log.completed();
}

void PlateDriverBase::attach(AcquiringPlate* plate) {
  ProcLog log(kModule, "PlateArrival", plate->DevicePath());
  watch(plate);
  gone_.erase(std::remove(gone_.begin(), gone_.end(), plate), gone_.end());
  if (std::find(plates_.begin(), plates_.end(), plate) != plates_.end()) return;
  plate->setConnected(true);
  plates_.push_back(plate);
  listed_ << plate->DevicePath();
  postUpdate({plate}, nullptr, true);
  log.completed();
}

void PlateDriverBase::onRemoval(AcquiringPlate* plate) {
  auto it = std::find(plates_.begin(), plates_.end(), plate);
  if (it == plates_.end()) return;
  ProcLog log(kModule, "PlateRemoval", plate->DevicePath());
  plates_.erase(it);
  gone_.push_back(plate);
  listed_.removeAll(plate->DevicePath());
  postUpdate({}, plate, true);
  log.completed();
}

void PlateDriverBase::reportNotResponding(AcquiringPlate* plate) {
  ProcLog(kModule, "PlateNotResponding").error(plate->DevicePath());
  plate->setNotResponding(true);
  const QString path = plate->DevicePath(), serial = plate->SerialNumber();
  QMetaObject::invokeMethod(
      this, [this, path, serial] { emit PlateNotResponding(path, serial); }, Qt::QueuedConnection);
}

void PlateDriverBase::postUpdate(const std::vector<AcquiringPlate*>& arrived, AcquiringPlate* removed,
                                 bool changed) {
  QList<QPair<QString, QString>> in;
  for (auto* p : arrived) in.append({p->DevicePath(), p->SerialNumber()});
  QPair<QString, QString> out;
  if (removed) out = {removed->DevicePath(), removed->SerialNumber()};
  const auto plates = static_cast<qint32>(plates_.size());
  const qint32 hids = plates + otherHids_;
  QMetaObject::invokeMethod(
      this,
      [this, in, out, plates, hids, changed] {
        emit PlateListUpdateBegin();
        if (!out.first.isEmpty()) emit PlateRemoved(out.first, out.second);
        for (const auto& p : in) emit PlateArrived(p.first, p.second);
        emit PlateListUpdateDone(plates, hids, changed);
      },
      Qt::QueuedConnection);
}

}  // namespace tarn
