#include "session/windows/testsession.h"

#include "session/currentfile.h"
#include "session/windows/wizardwindows.h"

namespace tarn {

TestSession::TestSession(TestSessionContext context) : ctx_(std::move(context)) {
  Q_ASSERT(ctx_.currentFile);
  ctx_.currentFile->setNotices(ctx_.notices);
  if (ctx_.mainWindowVisible) ctx_.currentFile->setMainWindowVisible(ctx_.mainWindowVisible);
  windows_ = std::make_unique<WizardWindows>(ctx_);
  driver_ = std::make_unique<TestSessionDriver>(*ctx_.currentFile, *windows_, ctx_.lists);
  driver_->listsRefresh = ctx_.listsRefresh;
}

TestSession::~TestSession() = default;

SessionOutcome TestSession::cmdBegin_Click(const SessionStart& start) {
  if (running_) return SessionOutcome{};
  running_ = true;
  driver_->onStep = onStep;
  SessionOutcome out = driver_->cmdBegin_Click(start);
  running_ = false;
  return out;
}

int TestSession::DialogExitButton() const { return driver_->DialogExitButton(); }

bool TestSession::fnFileRecover(const QString& lastName, const QString& lastTemp) {
  return ctx_.currentFile->fnFileRecover(lastName, lastTemp);
}

bool TestSession::fnFileClose(bool noPrompt) { return ctx_.currentFile->fnFileClose(noPrompt); }

bool TestSession::fnFileIsAcceptable(const QString& fileName) {
  return CurrentSubjectFile::fnFileIsAcceptable(fileName);
}

void TestSession::RemoveOrphanVisionTests() { ctx_.currentFile->RemoveOrphanVisionTests(); }

}  // namespace tarn
