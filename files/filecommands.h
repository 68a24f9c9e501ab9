#pragma once
// The file commands of the file manager: import, export, back-up, e-mail and the hand-over to the
// sibling program. Each asks through the dialog and message seams, logs one line per file under
// the window's procedure names, and tells the window what changed so that it can reload its grid.
#include <QString>
#include <QStringList>

namespace tarn::fm {

class SiblingProgram;

// The data folder the commands work on (as the data-folder list holds it).
struct DataFolder {
  QString path;  // with or without a trailing separator
  QString ext;   // ".kpf"
  QString filePath(const QString& name) const;
};

// The name an imported file takes in the data folder: its own base name with the data
// extension, or, when a file of that name is there already, "STF" and the first free six-digit
// number from 000001.
QString ImportTargetName(const DataFolder& folder, const QString& sourcePath);

class FileCommands {
 public:
  explicit FileCommands(DataFolder folder, SiblingProgram* sibling = nullptr);

  // cmdImport_Click: the names the imported files got in the data folder (empty when none).
  QStringList Import();
  // cmdExport_Click: the names (of `names`) that left the data folder; their rows go.
  QStringList Export(const QStringList& names);
  // cmdBackUp_Click: the number of files copied. The data folder is never changed.
  int BackUp(const QStringList& names);
  // cmdEmail_Click: one message with every file attached; false when nothing was handed over.
  bool Email(const QStringList& names);
  // cmdOpenInSG_Click: true when the sibling program was reached (the file manager then closes).
  bool OpenInSG(const QStringList& names);

 private:
  bool needSelection(const QStringList& names) const;
  DataFolder folder_;
  SiblingProgram* sibling_;
};

}  // namespace tarn::fm
