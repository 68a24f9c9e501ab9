#include "testsupport/scripteddialogs.h"

namespace tarn {
ScriptedFileDialogs::ScriptedFileDialogs() {
  previous_ = setFileDialogPresenter([this](const FileDialogRequest& r) {
    requests_ << r;
    if (answers_.isEmpty()) {
      ++unexpected_;
      return QStringList();
    }
    return answers_.takeFirst();
  });
}

ScriptedFileDialogs::~ScriptedFileDialogs() { setFileDialogPresenter(std::move(previous_)); }
}  // namespace tarn
