#include "files/fmcells.h"

#include <cmath>

#include "core/clock.h"
#include "core/settingkeys.h"
#include "data/lists/list.h"
#include "data/lists/listentry.h"
#include "files/filessettings.h"
#include "support/strings/strings.h"
#include "support/units/units.h"

namespace tarn::fm {
namespace {

CellValue number(double v) { return CellValue{false, v, {}}; }
CellValue text(QString t) {
  // One line per cell, so that the grid and the tab-separated export keep their shape.
  for (QChar& c : t)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  const bool empty = t.isEmpty();
  return CellValue{empty, 0, std::move(t)};
}
const CellValue kEmpty{};

// A summary holds a result when a test of its kind was summarised into it: it is neither the
// zeroed table of an entry never read nor the start values of a rebuild.
bool hasResult(const KM_RQSummarySet& s) {
  return !(s == KM_RQSummarySet{}) && s.first.dtDate < kFirstDateStart;
}

const KM_RQSummarySet* summaryAt(const std::vector<KM_RQSummarySet>& v, int index1) {
  if (index1 < 1 || index1 > static_cast<int>(v.size())) return nullptr;
  const KM_RQSummarySet& s = v[static_cast<size_t>(index1 - 1)];
  return hasResult(s) ? &s : nullptr;
}

// part: 0 date, 1 value, 2 class.
CellValue summaryCell(const KM_RQResultSummary& r, int part) {
  switch (part) {
    case 0:
      return number(r.dtDate);
    case 1:
      return number(r.fValue);
    default:
      return number(r.lClass);
  }
}

bool validDate(double d) { return std::isfinite(d) && d > 0.0; }  // after 30 December 1899

QString dateText(double days, const CellFormat& f, bool withTime) {
  QDate date;
  QTime time;
  if (!clock::splitDays(days, &date, &time)) return {};
  QString& day = (*f.dayTexts)[date.toJulianDay()];
  if (day.isEmpty()) day = f.locale.toString(date, f.shortDate);
  return withTime ? day + ' ' + f.locale.toString(time, f.longTime) : day;
}

}  // namespace

CellFormat CellFormat::fromSettings() {
  CellFormat f;
  f.lengthUnit = settings::read(settings::UnitsLength);
  f.acuityNotation = settings::read(settings::FManagerAcuityNotation);
  f.locale = QLocale::system();
  f.shortDate = clock::shortDateFormat();
  f.longTime = clock::longTimeFormat();
  return f;
}

QString SubjectNameCell(const QString& last, const QString& first, const QString& middle) {
  const QString given = (first.trimmed() + ' ' + middle.trimmed()).trimmed();
  const QString l = last.trimmed();
  if (l.isEmpty()) return given;
  return given.isEmpty() ? l : l + QStringLiteral(", ") + given;
}

QString SexCell(qint32 lIsMale) {
  if (lIsMale == 1 || lIsMale == -1) return Str(5084);
  if (lIsMale == 0) return Str(5085);
  return {};
}

QString StabilityClassText(qint32 cls) { return cls >= 1 && cls <= 5 ? Str(5069 + cls) : QString(); }

QString BMIClassText(qint32 cls) {
  if (cls >= 1 && cls <= 4) return Str(5074 + cls);
  if (cls >= 6 && cls <= 9) return Str(5074 + cls);
  return {};
}

QString AcuityText(double acuity, int notation) {
  if (!std::isfinite(acuity) || acuity <= 0) return {};
  switch (notation) {
    case settings::kAcuityDecimal: {
      QString n = FormatNumber(acuity * 10.0, 1);
      if (n.endsWith(QLatin1String(".0"))) n.chop(2);
      return Str(5087).arg(n);
    }
    case settings::kAcuityLogMAR:
      return Str(5088).arg(FormatNumber(-std::log10(acuity), 2));
    default:
      return Str(5086).arg(FormatNumber(20.0 / acuity, 0));
  }
}

namespace {
CellValue rawValue(const KM_RQListFile& e, int id) {
  if (id == 1) return text(e.sSubjID);
  if (id == 2) return text(SubjectNameCell(e.sSubjLName, e.sSubjFName, e.sSubjMName));
  if (id == 3) return text(SexCell(e.lIsMale));
  if (id == 4) return validDate(e.dtSubjDoB) ? number(e.dtSubjDoB) : kEmpty;
  if (id == 5) return e.dSubjHeight > 0 && std::isfinite(e.dSubjHeight) ? number(e.dSubjHeight) : kEmpty;
  if (id == 6) return validDate(e.dtCreationDate()) ? number(e.dtCreationDate()) : kEmpty;
  if (id == 7) return validDate(e.dtLastEditDate()) ? number(e.dtLastEditDate()) : kEmpty;
  if (id == 8) return validDate(e.dtLastSTDate()) ? number(e.dtLastSTDate()) : kEmpty;
  if (id == 9) return number(e.lVisitCount());
  if (id == 10) return number(e.lSessionCount());
  if (id == 11) return number(e.lSTVisitCount());
  if (id == 12) return number(e.lSTSessionCount());
  if (id == 13) return number(e.lTestVisionCount());
  if (id <= 37) {
    // Eyes in the order binocular, left, right (KM_RQVNormTestType 3, 2, 1); eight cells each:
    // first, worst, best and last, each as date and acuity.
    const int i = id - 14;
    const KM_RQSummarySet* s = summaryAt(e.visionSummaries(), 3 - i / 8);
    if (!s) return kEmpty;
    static constexpr KM_RQResultSummary KM_RQSummarySet::*which[] = {
        &KM_RQSummarySet::first, &KM_RQSummarySet::lowest, &KM_RQSummarySet::highest, &KM_RQSummarySet::last};
    return summaryCell(s->*which[(i % 8) / 2], i % 2);
  }
  if (id == 38) return number(e.lTestBalanceCount());
  if (id == 39 || id == 40) {
    bool any = false;
    for (int t = 1; t <= kBalanceKinds; ++t) any = any || summaryAt(e.balanceSummaries(), t);
    if (!any) return kEmpty;
    return id == 39 ? number(e.fBMinLowestStability()) : number(e.fBMinLowestStabClass());
  }
  static constexpr KM_RQResultSummary KM_RQSummarySet::*order[] = {
      &KM_RQSummarySet::first, &KM_RQSummarySet::lowest, &KM_RQSummarySet::highest, &KM_RQSummarySet::last};
  if (id <= 88) {
    // Test types NSEO, NSEC, PSEO, PSEC; twelve cells each: first, worst, best, last as date,
    // stability and class.
    const int i = id - 41;
    const KM_RQSummarySet* s = summaryAt(e.balanceSummaries(), i / 12 + 1);
    if (!s) return kEmpty;
    return summaryCell(s->*order[(i % 12) / 3], i % 3);
  }
  if (id <= 100) {
    const int i = id - 89;
    const KM_RQSummarySet* s = summaryAt(e.bmiSummaries(), 1);
    if (!s) return kEmpty;
    return summaryCell(s->*order[i / 3], i % 3);
  }
  return kEmpty;
}
}  // namespace

CellValue ValueOf(const KM_RQListFile& e, int id) {
  CellValue v = rawValue(e, id);
  if (v.empty) return v;
  // A value that writes as nothing (a test without class, a summary without date) is empty, so
  // that it sorts with the other empty cells.
  switch (ColumnType(id)) {
    case CellType::ShortDate:
    case CellType::GeneralDate:
      return validDate(v.number) ? v : kEmpty;
    case CellType::Acuity:
      return std::isfinite(v.number) && v.number > 0 ? v : kEmpty;
    case CellType::StabClass:
      return StabilityClassText(static_cast<qint32>(v.number)).isEmpty() ? kEmpty : v;
    case CellType::BMIClass:
      return BMIClassText(static_cast<qint32>(v.number)).isEmpty() ? kEmpty : v;
    case CellType::Percent:
    case CellType::BMIValue:
      return std::isfinite(v.number) ? v : kEmpty;
    default:
      return v;
  }
}

QString FormatCell(const CellValue& v, CellType type, const CellFormat& f) {
  if (v.empty) return {};
  switch (type) {
    case CellType::Text:
      return v.text;
    case CellType::Count:
      return QString::number(static_cast<qint64>(v.number));
    case CellType::Length:
      return FormatLength(v.number, f.lengthUnit, 2);
    case CellType::ShortDate:
      return validDate(v.number) ? dateText(v.number, f, false) : QString();
    case CellType::GeneralDate:
      return validDate(v.number) ? dateText(v.number, f, true) : QString();
    case CellType::Percent:
      return FormatNumber(v.number * 100.0, 1) + '%';
    case CellType::BMIValue:
      return FormatNumber(v.number, 1);
    case CellType::Acuity:
      return AcuityText(v.number, f.acuityNotation);
    case CellType::StabClass:
      return StabilityClassText(static_cast<qint32>(v.number));
    case CellType::BMIClass:
      return BMIClassText(static_cast<qint32>(v.number));
  }
  return {};
}

QString StatisticsLine(const KM_RQList& l) {
  return Str(5020)
      .arg(l.lFilesCount())
      .arg(l.lSTFilesCount())
      .arg(l.lSTBadBalanceFilesCount())
      .arg(l.lSTBadVisionFilesCount())
      .arg(l.lSTTestBalanceCount())
      .arg(l.lSTTestVisionCount());
}

}  // namespace tarn::fm
