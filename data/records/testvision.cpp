#include "data/records/testvision.h"

#include "data/records/recordio.h"

namespace tarn {

bool KM_RQListTestVision::Load(KMX_OLEStorage* storage, const QString& name) {
  return recordio::loadRecord<KM_RQListTestVisionData>("KM_RQListTestVision", storage, name,
                                                       kDefaultStorageName, header_, *this);
}

bool KM_RQListTestVision::Save(KMX_OLEStorage* storage, const QString& name) {
  return recordio::saveRecord<KM_RQListTestVisionData>("KM_RQListTestVision", storage, name,
                                                       kDefaultStorageName, header_, *this);
}

void KM_RQListTestVision::MakeCopy(const KM_RQListTestVision& source) {
  static_cast<KM_RQListTestVisionData&>(*this) = source;
}

}  // namespace tarn
