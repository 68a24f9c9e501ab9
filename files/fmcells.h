#pragma once
// The cells of the file manager grid: what each column reads from a list entry, and how it is
// written. The grid, its sorting and the data export all go through here, so what the export
// writes is exactly what the grid shows.
#include <QHash>
#include <QLocale>
#include <QString>
#include <memory>

#include "files/fmcolumns.h"

namespace tarn {
class KM_RQList;
class KM_RQListFile;
}  // namespace tarn

namespace tarn::fm {

// The value behind one cell. Empty cells show nothing and sort after all others.
struct CellValue {
  bool empty = true;
  double number = 0;  // numbers, day counts, class numbers
  QString text;       // text columns
};

// What the texts depend on besides the entry, read once per grid load.
struct CellFormat {
  int lengthUnit = 3;      // units of the length formatter (1-5)
  int acuityNotation = 1;  // filessettings.h AcuityNotation
  QLocale locale;
  QString shortDate;  // date format
  QString longTime;   // time format
  // Texts of the days written so far: a folder has far fewer test days than date cells.
  std::shared_ptr<QHash<qint64, QString>> dayTexts = std::make_shared<QHash<qint64, QString>>();
  static CellFormat fromSettings();
};

CellValue ValueOf(const KM_RQListFile& entry, int columnId);
QString FormatCell(const CellValue& value, CellType type, const CellFormat& format);
inline QString CellText(const KM_RQListFile& entry, int columnId, const CellFormat& format) {
  return FormatCell(ValueOf(entry, columnId), ColumnType(columnId), format);
}

// "Last, First Middle", leaving out the parts that are blank.
QString SubjectNameCell(const QString& last, const QString& first, const QString& middle);
// "M" for a male subject (1, or -1 written as a truth value), "F" for female (0), else empty.
QString SexCell(qint32 lIsMale);
QString StabilityClassText(qint32 cls);           // classes 1-5; empty otherwise
QString BMIClassText(qint32 cls);                 // paediatric 1-4, adult 6-9; empty otherwise
QString AcuityText(double acuity, int notation);  // decimal acuity (1.0 = normal sight)

// The statistics line under the grid ("Files: Total=...").
QString StatisticsLine(const KM_RQList& list);

}  // namespace tarn::fm
