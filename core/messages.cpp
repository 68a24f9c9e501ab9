#include "core/messages.h"

#include <QList>
#include <mutex>

#include "core/eventlog.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {
std::mutex g_mutex;
MessagePresenter g_presenter;

QList<MsgResult> buttonResults(MsgButtons b) {
  switch (b) {
    case MsgButtons::OK:
      return {MsgResult::OK};
    case MsgButtons::OKCancel:
      return {MsgResult::OK, MsgResult::Cancel};
    case MsgButtons::AbortRetryIgnore:
      return {MsgResult::Abort, MsgResult::Retry, MsgResult::Ignore};
    case MsgButtons::YesNoCancel:
      return {MsgResult::Yes, MsgResult::No, MsgResult::Cancel};
    case MsgButtons::YesNo:
      return {MsgResult::Yes, MsgResult::No};
    case MsgButtons::RetryCancel:
      return {MsgResult::Retry, MsgResult::Cancel};
  }
  return {MsgResult::OK};
}

bool autoAnswer() { return qEnvironmentVariableIntValue("TARNRQ_AUTOANSWER") == 1; }
}  // namespace

QString productTitle() { return Str(100); }

MsgResult defaultAnswer(const MessageRequest& r) {
  const QList<MsgResult> results = buttonResults(r.buttons);
  const int i = r.defaultButton - 1;
  return (i >= 0 && i < results.size()) ? results[i] : results.first();
}

MessagePresenter setMessagePresenter(MessagePresenter presenter) {
  std::lock_guard lock(g_mutex);
  MessagePresenter old = std::move(g_presenter);
  g_presenter = std::move(presenter);
  return old;
}

MsgResult showMessage(const QString& text, MsgIcon icon, MsgButtons buttons, int helpContext,
                      int defaultButton) {
  return showTitledMessage(productTitle(), text, icon, buttons, helpContext, defaultButton);
}

MsgResult showTitledMessage(const QString& title, const QString& text, MsgIcon icon, MsgButtons buttons,
                            int helpContext, int defaultButton) {
  MessageRequest r;
  r.text = text;
  r.title = title;
  r.icon = icon;
  r.buttons = buttons;
  r.defaultButton = defaultButton;
  r.helpFile = QStringLiteral("KMTARNRQ.chm");
  r.helpContext = helpContext;
  // Line breaks would split the log line; keep the message on one line there.
  QString logged = text;
  logged.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace('\n', ' ').replace('\t', ' ');
  eventlog::logStep("modMessages", "ShowMessage", QStringLiteral("Message: ") + logged);

  MessagePresenter presenter;
  if (!autoAnswer()) {
    std::lock_guard lock(g_mutex);
    presenter = g_presenter;
  }
  const MsgResult result = presenter ? presenter(r) : defaultAnswer(r);
  eventlog::logStep("modMessages", "ShowMessage",
                    QStringLiteral("Answer: ") + QString::number(static_cast<int>(result)));
  return result;
}

}  // namespace tarn
