#pragma once
// A balance test of a subject file as the reports show it: its record rebuilt from the stored
// samples by the analysis, classed by the norms, with the body data of its visit. The rule is the
// data-folder list's, so a report, the reports manager and the list always agree.
#include <memory>

#include "balance/analysis/analysis.h"
#include "data/records/testbalance.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn {

struct ReanalysedBalanceTest {
  KM_RQListTestBalance record;
  bool recorded = false;  // the test holds samples
  bool analysed = false;  // the analysis had enough weight samples to give measures
  AnalysisResult result;  // meaningful when analysed
  std::shared_ptr<const StoredTestData> samples;
};

// minCoPFzN: the force threshold (N, positive); normsVersion: the version to class the score with.
// birth and sex are the subject's (the missing date when unknown).
ReanalysedBalanceTest ReanalyseBalanceTest(const Visit& visit, const Session& session,
                                           const BalanceTest& test, double birth, qint32 sex, float minCoPFzN,
                                           int normsVersion);

}  // namespace tarn
