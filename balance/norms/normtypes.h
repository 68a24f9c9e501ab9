#pragma once
// Norm test types and the classes the normative comparison assigns. The values are stored in
// subject files and list files, so they never change.
#include <QtGlobal>

namespace tarn {

// Which of the four standard balance tests a recording is; Other has no norms.
enum class KM_RQNormTestType : qint32 {
  Other = 0,
  NSEO = 1,  // "Normal Stability Eyes Open"
  NSEC = 2,  // "Normal Stability Eyes Closed"
  PSEO = 3,  // "Perturbed Stability Eyes Open"
  PSEC = 4,  // "Perturbed Stability Eyes Closed"
  First = 1,
  Last = 4,
};

// Stability classes; the number grows with severity.
enum class KM_RQNormsClass : qint32 {
  Normal = 1,
  Mildly = 2,
  Moderately = 3,
  Severely = 4,
  Profundly = 5,
  First = 1,
  Last = 5,
};

// Body-mass-index classes: P for children (paediatric percentiles), A for adults. No class 5.
enum class KM_RQBMINormsClass : qint32 {
  PUnderweight = 1,
  PHealthyWeight = 2,
  PRiskOverweight = 3,
  POverweight = 4,
  AUnderweight = 6,
  ANormal = 7,
  AOverweight = 8,
  AObese = 9,
  First = 1,
  Last = 9,
};

// The eye a vision test was made with.
enum class KM_RQVNormTestType : qint32 {
  R = 1,
  l = 2,
  Both = 3,
  First = 1,
  Last = 3,
};

enum class KM_RQVNormsClass : qint32 {
  Normal = 1,
  BelowNormal = 2,
  LegallyBlind = 3,
  First = 1,
  Last = 3,
};

}  // namespace tarn
