#pragma once
// The 72 rows shared by the note set contents and the additional documents: three reports of 24
// results each, in the order of the comment template items and the "ReferralDocs" values.
#include <QString>

namespace tarn::options {

inline constexpr int kResultRows = 72;
inline constexpr int kResultsPerReport = 24;

struct ResultRow {
  QString report;  // "Internal", "Subject's", "External"
  QString age;     // "Adult", "Child/Teen"
  QString test;    // "General", "Vision", "Balance", "BMI"
  QString result;  // "Normal", "Mildly Reduced", "Obese", ...
};

// Row 0..71. The first two rows of each report are the comments paragraph of a note set and the
// general introduction of the additional documents.
enum class RowUse { Notes, Documents };
ResultRow resultRow(int index0, RowUse use);

}  // namespace tarn::options
