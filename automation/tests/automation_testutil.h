#pragma once
// The main window as the automation object sees it, over a real data-folder list and current
// subject file; clients that write down what they are told; demo folders.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QStringList>
#include <optional>
#include <vector>

#include "automation/automationhost.h"
#include "automation/kmtarnrqapp.h"
#include "core/folders.h"
#include "core/settingkeys.h"
#include "core/settings.h"
#include "data/lists/list.h"
#include "data/lists/listrefresh.h"
#include "data/tools/demodata.h"
#include "session/currentfile.h"

namespace tarn::automationtest {

class FakeHost final : public AutomationHost {
 public:
  bool started = true, visible = false, testingEnabled = true, acceptFolders = true;
  std::vector<SessionStart> begun;
  QStringList foldersSet;
  int unloads = 0;
  KM_RQList* list = nullptr;
  CurrentSubjectFile* file = nullptr;

  bool bAppStarted() const override { return started; }
  bool bAppVisible() const override { return visible; }
  void setAppVisible(bool v) override { visible = v; }
  bool bTestingEnabled() const override { return testingEnabled; }
  void beginTest(const SessionStart& s) override {
    begun.push_back(s);
    testingEnabled = false;
  }
  void unloadMainWindow() override { ++unloads; }
  bool bFileAcceptable(const QString& f) const override { return CurrentSubjectFile::fnFileIsAcceptable(f); }
  bool bSetFilePath(const QString& folder) override {
    foldersSet << folder;
    return acceptFolders;
  }
  const KM_RQList* lists() const override { return list; }
  CurrentSubjectFile* currentFile() const override { return file; }
};

// Writes down every event as "name(args)" into a shared log, prefixed with its own name, and
// answers the two questions as set (nullopt: no answer).
class RecordingClient final : public AutomationClient {
 public:
  RecordingClient(QStringList& log, QString name) : log_(log), name_(std::move(name)) {}
  std::optional<bool> recover = true;
  std::optional<qint16> cancel = qint16(0);

  void raise(AppEvent e, const QVariantList& args) override { log_ << name_ + ':' + text(e, args); }
  std::optional<bool> AppQueryFileRecovery(const QString& n, const QString& t) override {
    log_ << name_ + ':' + text(AppEvent::AppQueryFileRecovery, {n, t});
    return recover;
  }
  std::optional<qint16> AppQueryClose() override {
    log_ << name_ + ":AppQueryClose()";
    return cancel;
  }
  static QString text(AppEvent e, const QVariantList& args) {
    QStringList parts;
    for (const QVariant& v : args) parts << v.toString();
    return eventName(e) + '(' + parts.join(',') + ')';
  }

 private:
  QStringList& log_;
  QString name_;
};

// n demo subject files in the data folder of the settings, and the list refreshed over them.
inline QString writeDemoFiles(int n) {
  const QString folder = settings::read(settings::LastPath);
  folders::ensureFolder(folder);
  demodata::Options o;
  o.files = n;
  o.testSeconds = 5.0;
  o.maxVisits = 2;
  auto recorder = demodata::makeModelRecorder(7);
  demodata::writeDemoFolder(folder, o, *recorder, nullptr);
  return folder;
}

inline void refreshList(KM_RQList& list) {
  list.setWorkerThreads(1);
  ListsRefresh(list, ListsRefreshParams::fromSettings());
}

// A subject file with visits of one session each.
inline QString writeSubjectFile(const QString& name, int visits) {
  const QString path = QDir(settings::read(settings::LastPath)).filePath(name);
  folders::ensureFolder(QFileInfo(path).absolutePath());
  SubjectFile f;
  f.CreateEmpty();
  f.subject.sNameFirst = QStringLiteral("Ada");
  f.subject.sNameLast = QStringLiteral("Lind");
  for (int v = 0; v < visits; ++v) f.AddVisit()->AddSession();
  f.Save(path);
  return path;
}

template <typename Pred>
bool waitFor(Pred p, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!p()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace tarn::automationtest
