#pragma once
// The subject information step without its window: the texts of dates and heights as the form
// shows them, and the six checks made on Next, in their order.
#include <QDate>
#include <QString>
#include <QStringView>
#include <optional>

#include "data/subjectfile/subjectfile.h"

namespace tarn {

// The locale's short date with a four-digit year ("3/14/1958" in the United States).
QString ShortDateText(const QDate& date);
// Reads a date typed in the short date format (two- or four-digit year) or as 1958-03-14. A
// two-digit year is the latest such year not after `today`, since a birth lies in the past.
std::optional<QDate> ParseShortDate(QStringView text, const QDate& today);

// What the operator typed.
struct SubjectInfoEntry {
  QString first, middle, last, id;
  qint32 sex = kSexNotGiven;
  QString dateOfBirth;
  QString height;
};

enum class SubjectInfoField { None, FirstName, LastName, Gender, DateOfBirth, Height };

struct SubjectInfoVerdict {
  int failedCheck = 0;  // 1 to 6, or 0 when every check passed
  QString message;
  SubjectInfoField field = SubjectInfoField::None;
  QDate dateOfBirth;     // when checks 3 to 5 passed
  double heightM = 0.0;  // when check 6 passed
  bool ok() const { return failedCheck == 0; }
};

inline constexpr double kMinHeightM = 0.30;
inline constexpr double kMaxHeightM = 2.55;

// The checks of Next, the first failure wins. lengthUnit: the "Units Lenght" code.
SubjectInfoVerdict CheckSubjectInfo(const SubjectInfoEntry& entry, int lengthUnit, const QDate& today);

}  // namespace tarn
