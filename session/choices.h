#pragma once
// The rows of the two choice windows of a session: the subject files of the data-folder list and
// the test templates of the template folder, with the texts their grids show.
#include <QString>
#include <QStringList>
#include <vector>

namespace tarn {

class KM_RQList;

// ---- Subject files ----

enum FileChoiceColumn {
  kFileColID = 0,
  kFileColName,
  kFileColGender,
  kFileColDoB,
  kFileColHeight,
  kFileCols
};

struct FileChoiceRow {
  QString cells[kFileCols];
  QString fileName;      // without folder, as the list keeps it
  double dobDays = 0.0;  // for sorting by date rather than by text
  double heightM = 0.0;  // for sorting by value
};

QStringList FileChoiceTitles();
// One row per list entry in list order. "Hide" settings replace the ID or the name by "(Hidden)".
std::vector<FileChoiceRow> FileChoiceRows(const KM_RQList& list, bool hideID, bool hideName, int lengthUnit);
// Sorts by a column: dates and heights by value, texts without regard to case; ties keep order.
void SortFileChoiceRows(std::vector<FileChoiceRow>& rows, int column, bool ascending);

// ---- Test templates ----

enum TemplateChoiceColumn { kTplColNumber = 0, kTplColName, kTplColVision, kTplColBalance, kTplCols };

struct TemplateChoiceRow {
  QString cells[kTplCols];
  QString path;           // full name of the template file
  bool readable = false;  // an unreadable template is listed but cannot be chosen
  int tests = 0;          // nor can one without tests
  bool choosable() const { return readable && tests > 0; }
};

QStringList TemplateChoiceTitles();
// One row per file with the extension in the folder, by file name.
std::vector<TemplateChoiceRow> TemplateChoiceRows(const QString& folder, const QString& extension);

}  // namespace tarn
