#pragma once
// The message presenter the windows install: a QMessageBox with the product title, the icon of the
// message kind, its buttons and default button, and a Help button that opens the help page of the
// message's context without closing the box.
#include "core/messages.h"

class QWidget;

namespace tarn {

MsgResult presentMessageBox(const MessageRequest& request, QWidget* parent = nullptr);
// Installs presentMessageBox as the process's presenter; returns the previous presenter.
MessagePresenter installWidgetMessagePresenter();

}  // namespace tarn
