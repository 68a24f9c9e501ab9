// Any bytes given to the test-template reader either load or are refused; nothing else.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "data/templates/taggedio.h"
#include "data/templates/template.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  tarn::KM_RQTemplate t;
  if (!t.LoadBytes(bytes)) {
    if (t.lTestCount() != 0) std::abort();
    return 0;
  }
  qint64 sum = 0;
  for (qint32 i = 0; i <= t.lTestCount(); ++i) {
    const tarn::KM_RQTemplateItem* item = t.tiTestItem(i);
    sum += item->sName.size() + item->lKind();
  }
  if (t.lTestCountBalance() + t.lTestCountVision() > t.lTestCount()) std::abort();
  // Whatever loaded must write back to the same bytes it came from (up to trailing junk).
  tarn::tagged::Writer out;
  out.writeBareLong(1);
  out.writeString(t.sName);
  out.writeBoolean(t.bEditable);
  out.writeLong(t.lTestCount());
  for (qint32 i = 1; i <= t.lTestCount(); ++i) t.tiTestItem(i)->Save(out);
  tarn::KM_RQTemplate again;
  if (!again.LoadBytes(out.bytes()) || again.lTestCount() != t.lTestCount()) std::abort();
  for (qint32 i = 1; i <= t.lTestCount(); ++i) {
    const auto* a = t.tiTestItem(i);
    const auto* b = again.tiTestItem(i);
    if (a->sName != b->sName || std::memcmp(a->lLong, b->lLong, sizeof a->lLong) != 0 ||
        std::memcmp(a->dDouble, b->dDouble, sizeof a->dDouble) != 0)
      std::abort();
  }
  return sum == -1;
}
