#include "session/subjectinfo.h"

#include <QLocale>

#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn {
namespace {

QString fourDigitFormat() {
  QString f = QLocale().dateFormat(QLocale::ShortFormat);
  if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
  return f;
}

QString twoDigitFormat() {
  QString f = fourDigitFormat();
  return f.replace(QLatin1String("yyyy"), QLatin1String("yy"));
}

}  // namespace

QString ShortDateText(const QDate& date) {
  return date.isValid() ? QLocale().toString(date, fourDigitFormat()) : QString();
}

std::optional<QDate> ParseShortDate(QStringView text, const QDate& today) {
  const QString t = text.trimmed().toString();
  if (t.isEmpty()) return std::nullopt;
  const QLocale loc = QLocale();
  for (const QString& format : {fourDigitFormat(), QStringLiteral("yyyy-MM-dd")}) {
    const QDate d = loc.toDate(t, format);
    if (d.isValid() && d.year() >= 1000) return d;
  }
  QDate d = loc.toDate(t, twoDigitFormat());
  if (!d.isValid()) return std::nullopt;
  const int yy = d.year() % 100;
  int year = today.year() - today.year() % 100 + yy;
  if (year > today.year()) year -= 100;
  d = QDate(year, d.month(), d.day());
  if (!d.isValid()) return std::nullopt;  // 29 February of a year without one
  return d;
}

SubjectInfoVerdict CheckSubjectInfo(const SubjectInfoEntry& e, int lengthUnit, const QDate& today) {
  SubjectInfoVerdict v;
  const auto fail = [&v](int check, int text, SubjectInfoField field) {
    v.failedCheck = check;
    v.message = Str(text);
    v.field = field;
    return v;
  };
  const bool first = !e.first.trimmed().isEmpty(), last = !e.last.trimmed().isEmpty();
  if (!(first && last) && e.id.trimmed().isEmpty())
    return fail(1, 4230, first ? SubjectInfoField::LastName : SubjectInfoField::FirstName);
  if (e.sex != kSexMale && e.sex != kSexFemale) return fail(2, 4231, SubjectInfoField::Gender);
  if (e.dateOfBirth.trimmed().isEmpty()) return fail(3, 4232, SubjectInfoField::DateOfBirth);
  const auto dob = ParseShortDate(e.dateOfBirth, today);
  if (!dob) return fail(4, 4233, SubjectInfoField::DateOfBirth);
  if (*dob > today) return fail(5, 4233, SubjectInfoField::DateOfBirth);
  v.dateOfBirth = *dob;
  const UnitParseResult h = ParseLength(e.height, lengthUnit);
  // Typed values convert with rounding noise (255 cm is 2.5500000000000003 m): compare to the µm.
  constexpr double kTolerance = 1e-6;
  if (!h || h.si < kMinHeightM - kTolerance || h.si > kMaxHeightM + kTolerance)
    return fail(6, 4234, SubjectInfoField::Height);
  v.heightM = h.si;
  return v;
}

}  // namespace tarn
