// Any bytes given to the subject-file reader either open as a subject file, whose every record
// and sample can then be walked, or are refused with a message.
#include <cstdint>
#include <cstdlib>

#include "data/subjectfile/subjectfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  tarn::SubjectFile f;
  if (!f.OpenBytes(bytes, QString::fromLatin1(tarn::kSubjectFileIdentification))) {
    if (f.IsOpen() || f.LastError().isEmpty()) std::abort();
    return 0;
  }
  double sum = f.subject.sNameLast.size() + f.dtCreationDate();
  for (qint32 v = 1; v <= f.VisitCount(); ++v) {
    const tarn::Visit* visit = f.VisitItem(v);
    sum += visit->phys.dHeight + visit->contacts.referredBy.sName.size();
    for (qint32 s = 1; s <= visit->SessionCount(); ++s) {
      const tarn::Session* session = visit->SessionItem(s);
      sum += session->sEvaluation.size() + session->kmOperator.sOperatorName.size();
      for (qint32 t = 1; t <= session->BalanceTestCount(); ++t) {
        const tarn::BalanceTest* test = session->BalanceTestItem(t);
        sum += test->fStability + test->sVisitID().size();
        if (const auto d = test->TestData()) {
          for (qint32 i = 0; i < d->Count(); ++i) sum += d->Sample(0, i) + d->Sample(1, i) + d->Sample(2, i);
        }
      }
      for (qint32 t = 1; t <= session->VisionTestCount(); ++t) sum += session->VisionTestItem(t)->dAcuity;
    }
  }
  f.AddVisit()->AddSession()->AddBalanceTest();
  f.Close();
  return sum == 0.5 ? 0 : 0;
}
