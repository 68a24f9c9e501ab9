#include "data/records/testbalance.h"

#include "data/records/recordio.h"

namespace tarn {

bool KM_RQListTestBalance::Load(KMX_OLEStorage* storage, const QString& name) {
  return recordio::loadRecord<KM_RQListTestBalanceData>("KM_RQListTestBalance", storage, name,
                                                        kDefaultStorageName, header_, *this);
}

bool KM_RQListTestBalance::Save(KMX_OLEStorage* storage, const QString& name) {
  return recordio::saveRecord<KM_RQListTestBalanceData>("KM_RQListTestBalance", storage, name,
                                                        kDefaultStorageName, header_, *this);
}

void KM_RQListTestBalance::MakeCopy(const KM_RQListTestBalance& source) {
  static_cast<KM_RQListTestBalanceData&>(*this) = source;
}

}  // namespace tarn
