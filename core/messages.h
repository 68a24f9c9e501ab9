#pragma once
// Message boxes of the station: title "Kamrith Labs TARN™ RQ", help file "KMTARNRQ.chm", Help button.
// The core decides and logs; a presenter shows. Windows install a widget presenter, tests a
// scripted one; with TARNRQ_AUTOANSWER=1 every message is logged and takes its default button.
#include <QString>
#include <functional>

namespace tarn {

enum class MsgIcon { Critical, Question, Exclamation, Information };
enum class MsgButtons { OK, OKCancel, AbortRetryIgnore, YesNoCancel, YesNo, RetryCancel };
enum class MsgResult { OK = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };

struct MessageRequest {
  QString text;
  QString title;  // always the product title
  MsgIcon icon = MsgIcon::Information;
  MsgButtons buttons = MsgButtons::OK;
  int defaultButton = 1;  // 1-based position among the buttons
  QString helpFile;       // "KMTARNRQ.chm"
  int helpContext = 0;
};

using MessagePresenter = std::function<MsgResult(const MessageRequest&)>;

QString productTitle();  // "Kamrith Labs TARN™ RQ"
MsgResult showMessage(const QString& text, MsgIcon icon, MsgButtons buttons = MsgButtons::OK,
                      int helpContext = 0, int defaultButton = 1);
// The same under a window's own title, for the few messages that carry one.
MsgResult showTitledMessage(const QString& title, const QString& text, MsgIcon icon,
                            MsgButtons buttons = MsgButtons::OK, int helpContext = 0, int defaultButton = 1);
// Installs the presenter; returns the previous one. An empty presenter means "take the default".
MessagePresenter setMessagePresenter(MessagePresenter presenter);
MsgResult defaultAnswer(const MessageRequest& r);  // the result of the default button

}  // namespace tarn
