#include "options/resultrows.h"

#include "support/strings/strings.h"

namespace tarn::options {

ResultRow resultRow(int index0, RowUse use) {
  ResultRow r;
  if (index0 < 0 || index0 >= kResultRows) return r;
  r.report = Str(6140 + index0 / kResultsPerReport);  // Internal, Subject's, External
  const int i = index0 % kResultsPerReport;
  // Age category, test and result ids of the 24 rows of a report.
  struct Row {
    int age, test, result;
  };
  static constexpr Row kRows[kResultsPerReport] = {
      {6143, 6145, 0},    {6144, 6145, 0},                                             // general
      {6143, 6146, 6151}, {6143, 6146, 6152}, {6144, 6146, 6151}, {6144, 6146, 6152},  // vision
      {6143, 6147, 6151}, {6143, 6147, 6153}, {6143, 6147, 6154}, {6143, 6147, 6155}, {6143, 6147, 6156},
      {6144, 6147, 6151}, {6144, 6147, 6153}, {6144, 6147, 6154}, {6144, 6147, 6155}, {6144, 6147, 6156},
      {6143, 6148, 6157}, {6143, 6148, 6158}, {6143, 6148, 6159}, {6143, 6148, 6160},  // BMI adult
      {6144, 6148, 6157}, {6144, 6148, 6161}, {6144, 6148, 6162}, {6144, 6148, 6159},  // BMI child
  };
  r.age = Str(kRows[i].age);
  r.test = Str(kRows[i].test);
  // The general rows: a notes paragraph, or an introduction document.
  r.result = Str(kRows[i].result ? kRows[i].result : (use == RowUse::Notes ? 6150 : 6149));
  return r;
}

}  // namespace tarn::options
