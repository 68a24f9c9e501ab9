#pragma once
// The file manager's column catalogue and the operator's column choice ("RQFMColumns.vcl").
//
// The catalogue has 100 columns, identifiers 1 to 100, captioned by string 8100 + identifier.
// The choice file is binary and little-endian: a 32-bit count n, then n 32-bit identifiers in
// display order.
#include <QString>
#include <QVector>
#include <optional>

namespace tarn::fm {

inline constexpr int kColumnCount = 100;

// What a column holds, which decides how its cells are written and sorted.
enum class CellType {
  Text,         // subject's ID, name, sex: sorted as text
  Count,        // visits, sessions, tests
  Length,       // height, in the display unit
  ShortDate,    // date of birth, summary dates
  GeneralDate,  // creation, last edit, last test
  Percent,      // stabilities
  BMIValue,
  Acuity,
  StabClass,  // sorted by severity, not by name
  BMIClass,
};

bool IsColumnId(int id);
QString ColumnCaption(int id);  // empty for an unknown identifier
CellType ColumnType(int id);    // Text for an unknown identifier
QVector<int> DefaultColumns();  // 1..100

// Reads the file as it is: nullopt with *error when it is missing, short, damaged (a count that
// does not match the length) or larger than any choice can be. Identifiers are not checked here.
std::optional<QVector<int>> ReadColumnsList(const QString& path, QString* error = nullptr);
// Writes the choice whole or not at all (a new file replaces the old one only when complete).
bool WriteColumnsList(const QString& path, const QVector<int>& ids, QString* error = nullptr);
// Writes the default choice (all columns in identifier order).
bool CreateColumnsList(const QString& path, QString* error = nullptr);

// The choice the grid uses: creates the file with the default when it does not exist, reads it,
// and keeps the known identifiers once each in their order. A damaged file, or one naming no
// known column, gives the default (logged; the file is left for the next OK to replace).
QVector<int> LoadColumnChoice(const QString& path);

// The setting "FManager Columns File".
QString ColumnsFilePath();

}  // namespace tarn::fm
