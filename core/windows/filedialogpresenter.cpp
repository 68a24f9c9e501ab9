#include "core/windows/filedialogpresenter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>

namespace tarn {

QStringList presentFileDialog(const FileDialogRequest& r, QWidget* parent) {
  if (!parent) parent = QApplication::activeWindow();
  QFileDialog dialog(parent, r.title, r.folder);
  QStringList filters;
  for (const FileDialogFilter& f : parseFileDialogFilter(r.filter)) {
    // Qt shows the patterns in brackets itself when the description has none.
    filters << (f.description.contains('(')
                    ? f.description
                    : f.description + QStringLiteral(" (") + f.patterns.join(' ') + ')');
  }
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.value(r.filterIndex - 1, filters.first()));
  }
  switch (r.kind) {
    case FileDialogKind::Open:
      dialog.setFileMode(QFileDialog::ExistingFile);
      break;
    case FileDialogKind::OpenMany:
      dialog.setFileMode(QFileDialog::ExistingFiles);
      break;
    case FileDialogKind::Save:
      dialog.setAcceptMode(QFileDialog::AcceptSave);
      dialog.setFileMode(QFileDialog::AnyFile);
      dialog.setOption(QFileDialog::DontConfirmOverwrite);
      if (!r.fileName.isEmpty()) dialog.selectFile(QDir(r.folder).filePath(r.fileName));
      break;
    case FileDialogKind::Folder:
      dialog.setFileMode(QFileDialog::Directory);
      dialog.setOption(QFileDialog::ShowDirsOnly);
      break;
  }
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

FileDialogPresenter installWidgetFileDialogPresenter() {
  return setFileDialogPresenter([](const FileDialogRequest& r) { return presentFileDialog(r); });
}

}  // namespace tarn
