// Any bytes given to the comment-template reader either load or leave the empty template.
#include <cstdint>
#include <cstdlib>

#include "data/templates/comments.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  tarn::KM_RQTComments c;
  const bool loaded = c.LoadBytes(bytes);
  if (!loaded &&
      (c.lTestCount() != tarn::KM_RQTComments::kDefaultCount || c.sComment(0) != QStringLiteral("-")))
    std::abort();
  qint64 sum = 0;
  for (qint32 i = -1; i <= c.lTestCount() + 1; ++i) sum += c.sComment(i).size();
  return sum == -1;
}
