#include "testsupport/scriptedmessages.h"

#include <QStringList>

namespace tarn {
ScriptedMessages::ScriptedMessages() {
  previous_ = setMessagePresenter([this](const MessageRequest& r) { return present(r); });
}

ScriptedMessages::ScriptedMessages(std::initializer_list<MsgResult> answers) : ScriptedMessages() {
  for (MsgResult a : answers) answers_ << a;
}

ScriptedMessages::~ScriptedMessages() { setMessagePresenter(std::move(previous_)); }

QStringList ScriptedMessages::texts() const {
  QStringList t;
  for (const MessageRequest& r : requests_) t << r.text;
  return t;
}

MsgResult ScriptedMessages::present(const MessageRequest& r) {
  requests_ << r;
  if (answers_.isEmpty()) {
    ++unexpected_;
    return defaultAnswer(r);
  }
  return answers_.takeFirst();
}
}  // namespace tarn
