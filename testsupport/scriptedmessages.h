#pragma once
// A message presenter for tests: answers from a queue, records every request. Installed for
// its lifetime; when the queue runs dry the default button is taken and counted as unexpected.
#include <QList>

#include "core/messages.h"

namespace tarn {
class ScriptedMessages {
 public:
  ScriptedMessages();
  explicit ScriptedMessages(std::initializer_list<MsgResult> answers);
  ~ScriptedMessages();
  ScriptedMessages(const ScriptedMessages&) = delete;
  ScriptedMessages& operator=(const ScriptedMessages&) = delete;

  void answer(MsgResult r) { answers_ << r; }
  const QList<MessageRequest>& requests() const { return requests_; }
  QStringList texts() const;
  int unexpected() const { return unexpected_; }  // messages answered with no scripted answer left
  int pending() const { return static_cast<int>(answers_.size()); }
  void clear() { requests_.clear(); }

 private:
  MsgResult present(const MessageRequest& r);
  QList<MsgResult> answers_;
  QList<MessageRequest> requests_;
  int unexpected_ = 0;
  MessagePresenter previous_;
};
}  // namespace tarn
