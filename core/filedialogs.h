#pragma once
// Open, save and folder dialogs of the station. Like the message boxes, the logic asks and a
// presenter shows: windows install a file-dialog presenter, tests a scripted one. Without a
// presenter, and always with TARNRQ_AUTOANSWER=1, every dialog is logged and answers Cancel, so an
// unattended run never picks a file by itself.
#include <QString>
#include <QStringList>
#include <functional>

namespace tarn {

enum class FileDialogKind { Open, OpenMany, Save, Folder };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::Open;
  QString title;
  // Pairs of description and patterns joined by "|", e.g. "All Files (*.*)|*.*|Data (*.kpf)|*.kpf".
  QString filter;
  int filterIndex = 1;  // 1-based pair shown first
  QString folder;       // where the dialog starts
  QString fileName;     // proposed name (save)
  QString defaultExt;   // ".kpf": given to a saved name typed without an extension
};

// The chosen full paths; empty when the dialog was cancelled.
using FileDialogPresenter = std::function<QStringList(const FileDialogRequest&)>;

// Installs the presenter; returns the previous one. An empty presenter answers Cancel.
FileDialogPresenter setFileDialogPresenter(FileDialogPresenter presenter);

// Shows the dialog. A saved name without an extension gets defaultExt, whoever answered.
QStringList showFileDialog(const FileDialogRequest& request);

// The filter pairs of a request as (description, patterns) lists; a missing patterns part is "*".
struct FileDialogFilter {
  QString description;
  QStringList patterns;  // "*.kpf", "*" for "*.*"
};
QList<FileDialogFilter> parseFileDialogFilter(const QString& filter);

// The start folder of a dialog from a stored folder setting: the folder when it exists, else the
// documents folder.
QString dialogStartFolder(const QString& stored);

}  // namespace tarn
