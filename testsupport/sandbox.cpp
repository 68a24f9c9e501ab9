#include "testsupport/sandbox.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace tarn::testsupport {
namespace {
std::unique_ptr<QTemporaryDir> g_dir;

void freshSandbox() {
  g_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tarnrq-test-XXXXXX");
  const QByteArray home = g_dir->path().toLocal8Bit();
  ::setenv("TARNRQ_HOME", home.constData(), 1);
  const QString runtime = g_dir->path() + "/runtime";
  QDir().mkpath(runtime);
  QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  ::setenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit().constData(), 1);
}

class SandboxListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { freshSandbox(); }
  void OnTestEnd(const ::testing::TestInfo&) override { g_dir.reset(); }
};
}  // namespace

QString sandboxFolder() { return g_dir ? g_dir->path() : QString(); }

void installSandbox() {
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::setenv("TARNRQ_AUTOANSWER", "0", 1);  // tests script their answers; a caller's setting must not leak in
  freshSandbox();                         // also covers work done before the first test starts
  ::testing::UnitTest::GetInstance()->listeners().Append(new SandboxListener);
}
}  // namespace tarn::testsupport
