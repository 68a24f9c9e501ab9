#pragma once
// The test session as the main window runs it: one object over the main window's long-lived
// objects, with the wizard's windows. The main window calls
//   - cmdBegin_Click() for its Testing command (and at once after a recovery at start-up),
//   - fnFileRecover() at start-up, fnFileClose() when it closes, fnFileIsAcceptable() for the
//     automation interface, RemoveOrphanVisionTests() when it becomes active,
//   - RunUnattendedSession() for the station's unattended mode.
// The logic is session/sessiondriver.h; this adds the windows.
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "session/sessiondriver.h"

class QWidget;

namespace tarn {

class CurrentSubjectFile;
class KM_RQList;
class KMTARNRQSF;
class KMX_BalancePlate;
class KMX_HID_Devices;
class KMX_Mouse;
class SessionNotices;
class WizardWindows;

// What the main window lends the session. Everything is owned by the caller.
struct TestSessionContext {
  KMX_HID_Devices* plateDriver = nullptr;           // the platform driver
  QPointer<KMX_BalancePlate>* lastPlate = nullptr;  // the main window's last used plate (may be null)
  KM_RQList* lists = nullptr;                       // the data-folder list
  KMTARNRQSF* subjectForms = nullptr;               // the subject's monitor (may be null)
  KMX_Mouse* mouse = nullptr;                       // hides the pointer where asked (may be null)
  SessionNotices* notices = nullptr;                // automation clients (null: nobody)
  CurrentSubjectFile* currentFile = nullptr;        // the current subject file slot (required)
  QWidget* parent = nullptr;                        // the main window
  // The main window's Lists_Refresh; without one the list is refreshed from the settings.
  std::function<void()> listsRefresh;
  // Whether the main window is visible (the save question is only asked then); null: visible.
  std::function<bool()> mainWindowVisible;
  // The results window of step 7 (the results report window once it exists); null: the plain
  // session results window of this module.
  std::function<int(QWidget* parent, const SubjectFile& file, const Session& session)> resultsWindow;
};

class TestSession {
 public:
  explicit TestSession(TestSessionContext context);
  ~TestSession();
  TestSession(const TestSession&) = delete;
  TestSession& operator=(const TestSession&) = delete;

  // The Testing command: runs the wizard to its end. The caller disables its five commands
  // before and runs Commands_Update after.
  SessionOutcome cmdBegin_Click(const SessionStart& start = {});
  bool running() const { return running_; }
  int DialogExitButton() const;

  bool fnFileRecover(const QString& lastName = QString(), const QString& lastTemp = QString());
  bool fnFileClose(bool noPrompt);
  static bool fnFileIsAcceptable(const QString& fileName);
  void RemoveOrphanVisionTests();

  // Instrumentation of the steps (entering: code kWizNone).
  std::function<void(int step, bool entering, int code)> onStep;

  const TestSessionContext& context() const { return ctx_; }

 private:
  TestSessionContext ctx_;
  std::unique_ptr<WizardWindows> windows_;
  std::unique_ptr<TestSessionDriver> driver_;
  bool running_ = false;
};

// ---- Unattended mode ----

struct UnattendedOptions {
  double timeScale = 20.0;     // plate seconds per real second, for simulated and replay plates
  QString shotsFolder;         // when set, a picture of every wizard window as it appears
  QString templateFile;        // chosen in the template window; empty: the default template
  QString openFile;            // opened in the file window instead of a new file (a file name of the list)
  int stepTimeoutMs = 120000;  // a window that does not finish by then is cancelled
};

struct UnattendedReport {
  bool ok = false;
  QString fileName;   // the saved subject file
  QString error;      // why not ok
  int testsDone = 0;  // balance tests done in the saved file
  qint64 totalMs = 0;
  qint64 nextToSavedMs = 0;     // from Next in the test list to the saved file and refreshed list
  qint64 saveAndRefreshMs = 0;  // step 8 alone: backups, replace, close, list refresh
  QStringList shots;            // pictures taken
  QStringList messages;         // message boxes answered with their default
};

// Runs one whole session through the same driver and windows, answering for the operator: a new
// subject file for a made-up subject, the default template, every balance test on the context's
// platform (its clock sped up), the results, the save and the list refresh.
UnattendedReport RunUnattendedSession(const TestSessionContext& context,
                                      const UnattendedOptions& options = {});

}  // namespace tarn
