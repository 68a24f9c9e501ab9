#include "core/windows/messagepresenter.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

#include "core/windows/buttoncolouring.h"
#include "core/windows/htmlhelp.h"

namespace tarn {
namespace {

std::vector<QMessageBox::StandardButton> buttonsOf(MsgButtons b) {
  switch (b) {
    case MsgButtons::OK:
      return {QMessageBox::Ok};
    case MsgButtons::OKCancel:
      return {QMessageBox::Ok, QMessageBox::Cancel};
    case MsgButtons::AbortRetryIgnore:
      return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case MsgButtons::YesNoCancel:
      return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case MsgButtons::YesNo:
      return {QMessageBox::Yes, QMessageBox::No};
    case MsgButtons::RetryCancel:
      return {QMessageBox::Retry, QMessageBox::Cancel};
  }
  return {QMessageBox::Ok};
}

MsgResult resultOf(QMessageBox::StandardButton b) {
  switch (b) {
    case QMessageBox::Ok:
      return MsgResult::OK;
    case QMessageBox::Cancel:
      return MsgResult::Cancel;
    case QMessageBox::Abort:
      return MsgResult::Abort;
    case QMessageBox::Retry:
      return MsgResult::Retry;
    case QMessageBox::Ignore:
      return MsgResult::Ignore;
    case QMessageBox::Yes:
      return MsgResult::Yes;
    case QMessageBox::No:
      return MsgResult::No;
    default:
      return MsgResult::Cancel;
  }
}

QMessageBox::Icon iconOf(MsgIcon i) {
  switch (i) {
    case MsgIcon::Critical:
      return QMessageBox::Critical;
    case MsgIcon::Question:
      return QMessageBox::Question;
    case MsgIcon::Exclamation:
      return QMessageBox::Warning;
    case MsgIcon::Information:
      return QMessageBox::Information;
  }
  return QMessageBox::Information;
}

}  // namespace

MsgResult presentMessageBox(const MessageRequest& r, QWidget* parent) {
  if (!parent) parent = QApplication::activeWindow();
  QMessageBox box(parent);
  box.setWindowTitle(r.title.isEmpty() ? productTitle() : r.title);
  box.setIcon(iconOf(r.icon));
  box.setText(r.text);
  const auto kinds = buttonsOf(r.buttons);
  std::vector<QPushButton*> buttons;
  for (auto k : kinds) buttons.push_back(box.addButton(k));
  const int def = r.defaultButton >= 1 && r.defaultButton <= int(buttons.size()) ? r.defaultButton : 1;
  box.setDefaultButton(buttons[std::size_t(def - 1)]);
  // Closing the box with Escape or its close box answers Cancel (or the only button).
  for (std::size_t i = 0; i < kinds.size(); ++i)
    if (kinds[i] == QMessageBox::Cancel || kinds.size() == 1) box.setEscapeButton(buttons[i]);

  QPushButton* help = nullptr;
  if (!r.helpFile.isEmpty()) {
    help = box.addButton(QMessageBox::Help);
    // The help button opens the page and keeps the question open.
    QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
    const int context = r.helpContext;
    const QString file = r.helpFile;
    QObject::connect(help, &QAbstractButton::clicked, help, [file, context] {
      KMX_HTMLHelp h;
      h.setHelpFile(file);
      h.ShowContext(context);
    });
  }
  CmdButtonColouring::install(&box);
  box.exec();
  auto* clicked = box.clickedButton();
  for (std::size_t i = 0; i < buttons.size(); ++i)
    if (clicked == buttons[i]) return resultOf(kinds[i]);
  // Closed without a button: the escape answer.
  for (auto k : kinds)
    if (k == QMessageBox::Cancel) return MsgResult::Cancel;
  return kinds.size() == 1 ? resultOf(kinds[0]) : resultOf(kinds.back());
}

MessagePresenter installWidgetMessagePresenter() {
  return setMessagePresenter([](const MessageRequest& r) { return presentMessageBox(r); });
}

}  // namespace tarn
