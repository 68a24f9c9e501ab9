#pragma once
// The static test window works on a BalanceTestRun (the balance module cannot see the subject
// data). These copy a finished run into the subject file's test and into the cached balance test
// record, and turn a stored test back into a run the window can show again.
#include "balance/procedures/balancetestrun.h"
#include "data/records/storedanalysis.h"
#include "data/records/testbalance.h"

namespace tarn {

class BalanceTest;

// Everything the run knows goes into the record: names, type, plate, timing, counts, flags,
// notes, the base limits of stability, every analysis measure and the stability class. Measures
// of a run without a usable analysis (too few weight samples) are stored as 0, as the list
// refresh does. The visit and session IDs and the body data (height, weight, BMI) are not the
// run's and stay as they are.
void FillBalanceRecord(KM_RQListTestBalance& rec, const BalanceTestRun& run);

// The same into the subject file's test, plus what only the file keeps: the conditions, the
// beeps, the zero date, the samples with the plate angles and threshold they were analysed with,
// and the done flag (a test is done once it could be saved: fallen, or analysed with enough
// samples). The zero's averages and noise belong to the zero step and stay; so do the body data.
void FillBalanceTest(BalanceTest& test, const BalanceTestRun& run);

// A stored test as a run: its set-up, flags, notes and samples, with the analysis and class of
// AnalyseStoredTest (damaged samples stay in the run but are not analysed); subjectBirth is the
// day count of the subject's birth (the missing date when unknown).
BalanceTestRun RunFromBalanceTest(
    const BalanceTest& test, double subjectBirth,
    const StoredAnalysisSettings& settings = StoredAnalysisSettings::fromSettings());

// The record's 46 members in stream order, one "name = value" line each; truth values as stored
// (-1/0), dates as the day count followed by the date in words.
QString DescribeBalanceRecord(const KM_RQListTestBalanceData& rec);

}  // namespace tarn
