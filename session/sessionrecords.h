#pragma once
// What the session writes into the subject file's records: the tests a template asks for, the zero
// and the run of a balance test, the update after the test list and the final numbering.
#include <QString>

#include "balance/norms/normtypes.h"
#include "balance/plate/plate.h"
#include "balance/procedures/balancetestrun.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn {

class KM_RQTemplateItem;

// The norm test type of a balance test: plate or foam, both eyes open or closed; Other else.
KM_RQNormTestType NormTypeFor(qint32 surface, qint32 eyes);

// Acquisition settings of the station that every new balance test takes.
struct BalanceTestDefaults {
  qint32 zeroDurationMs = 5000;
  qint32 excitationMv = 2500;
  bool southernHemisphere = false;
  static BalanceTestDefaults fromSettings();
};

BalanceTest* AddBalanceTestFromItem(Session& session, const KM_RQTemplateItem& item,
                                    const BalanceTestDefaults& defaults);
VisionTest* AddVisionTestFromItem(Session& session, const KM_RQTemplateItem& item);

// The zero a balance test is about to be taken with, as the zeroing step accepted it.
struct ZeroTaken {
  QString plateName, plateSerial;
  qint32 surface = 1;  // what lay on the plate
  PlateZero zero;      // averages, spread and noise in A/D codes, duration, excitation, time
};
void StoreZero(BalanceTest& test, const ZeroTaken& zero);

// The kilograms a run weighed (mean vertical force over g); 0 without enough weight samples.
double MeasuredMassKg(const BalanceTestRun& run);

// A finished run into its test: measures, samples, flags, and the body data (visit height, the
// weight the run measured, BMI and its class).
void StoreRun(BalanceTest& test, const BalanceTestRun& run, const Visit& visit, const SubjectInfo& subject);

// A test as the static window gets it: the stored set-up and data, the norm type, the base limits
// of stability of the visit's height and the subject's birth.
BalanceTestRun RunForTest(const BalanceTest& test, const Visit& visit, const SubjectInfo& subject,
                          float thresholdN);

// After the test list: every recorded balance test of the session takes the visit's height
// (re-analysed when its limits of stability change with it), its class for the confirmed date of
// birth, and BMI; the visit takes the mean weight its tests measured. True when anything changed.
bool UpdateSessionRecords(Visit& visit, Session& session, const SubjectInfo& subject, float thresholdN);

// Identifiers in session order: "B1" or "W1" and 0001, 0002, ... (gaps closed). True when any changed.
bool RenumberTests(Session& session);

// The number of an identifier ("B10003" -> 3), 0 when it has none.
qint32 TestNumber(const QString& testID);

}  // namespace tarn
