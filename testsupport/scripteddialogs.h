#pragma once
// A file-dialog presenter for tests: answers from a queue (an empty answer is Cancel), records
// every request. Installed for its lifetime; when the queue runs dry the dialog is cancelled and
// counted as unexpected.
#include <QList>
#include <QStringList>

#include "core/filedialogs.h"

namespace tarn {
class ScriptedFileDialogs {
 public:
  ScriptedFileDialogs();
  ~ScriptedFileDialogs();
  ScriptedFileDialogs(const ScriptedFileDialogs&) = delete;
  ScriptedFileDialogs& operator=(const ScriptedFileDialogs&) = delete;

  void answer(const QStringList& paths) { answers_ << paths; }
  void answer(const QString& path) { answers_ << QStringList{path}; }
  void cancel() { answers_ << QStringList(); }
  const QList<FileDialogRequest>& requests() const { return requests_; }
  int unexpected() const { return unexpected_; }
  int pending() const { return static_cast<int>(answers_.size()); }

 private:
  QList<QStringList> answers_;
  QList<FileDialogRequest> requests_;
  int unexpected_ = 0;
  FileDialogPresenter previous_;
};
}  // namespace tarn
