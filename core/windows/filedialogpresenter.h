#pragma once
// The file-dialog presenter the windows install: a QFileDialog with the request's title, start
// folder, filters and proposed name. The station asks its own overwrite question, so the dialog
// does not.
#include "core/filedialogs.h"

class QWidget;

namespace tarn {

QStringList presentFileDialog(const FileDialogRequest& request, QWidget* parent = nullptr);
// Installs presentFileDialog as the process's presenter; returns the previous presenter.
FileDialogPresenter installWidgetFileDialogPresenter();

}  // namespace tarn
