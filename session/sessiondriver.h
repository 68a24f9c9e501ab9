#pragma once
// The test session: the wizard of steps 0 to 8 that the main window's Testing command runs, from
// choosing the subject file to the saved results, over the windows of its steps.
//
//   0 subject file   1 template   2 file and session   3 subject information   4 (indexes, height)
//   5 test list      6 (records after the tests)   7 results   8 save, close, tell, refresh
//
// Steps 2, 4, 6 and 8 have no window. Next goes on, Back goes back over the steps without a
// window, Cancel ends through the save question, OK (results only) leaves at once. Every Next of
// steps 2 to 7 writes the file object into the working copy, so that after a crash the recovered
// file holds everything up to the last step or test finished.
#include <QString>
#include <functional>

#include "data/subjectfile/subjectfile.h"

namespace tarn {

class CurrentSubjectFile;
class KM_RQList;
class TestListModel;
class BalanceTestWindows;

// Step 3: the subject's information as the window shows and returns it.
struct SubjectInfoStep {
  SubjectInfo info;           // in: as the file holds it; out: as confirmed
  double heightM = 0.0;       // in: the height offered; out: the height confirmed
  bool bReadOnly = false;     // shown only
  bool bSkipAddress = false;  // the address fields are not offered
};

// The windows of the steps. Each returns the wizard button code the window left; a window closed
// by its close box returns Cancel.
class SessionWindows {
 public:
  virtual ~SessionWindows() = default;
  // Step 0: Next with the chosen file's full name, or an empty name for a new file; or Cancel.
  virtual int FileChoice(const KM_RQList* list, QString& fileName) = 0;
  // Step 1: Next with the chosen template file (in: the default one), Back or Cancel.
  virtual int TemplateChoice(QString& templateFile) = 0;
  virtual int SubjectInformation(SubjectInfoStep& step) = 0;
  // Step 5: the tests run from this window (through BalanceWindows()).
  virtual int TestList(TestListModel& list) = 0;
  // Step 7: Next (save), OK (leave), Back or Cancel.
  virtual int Results(const SubjectFile& file, const Session& session) = 0;
  virtual BalanceTestWindows& BalanceWindows() = 0;
  // "Closing Forms": every window of the session that is still loaded.
  virtual void CloseForms() {}
};

// A session an automation client started, with the file or the template it supplied.
struct SessionStart {
  bool bNoFileNameInterface = false;
  QString sFileName;
  bool bNoTemplateInterface = false;
  QString sTemplateName;
};

enum class SessionEnd { Saved, Cancelled, LeftWithOK };

struct SessionOutcome {
  SessionEnd end = SessionEnd::Cancelled;
  bool resumed = false;
  QString fileName;  // the subject file of the session (empty when none was opened)
  bool fileStillOpen = false;
};

class TestSessionDriver {
 public:
  TestSessionDriver(CurrentSubjectFile& file, SessionWindows& windows, KM_RQList* lists = nullptr);

  // Refreshes the data-folder list at the end (the main window's Lists_Refresh); without one the
  // list given to the constructor is refreshed from the settings.
  std::function<void()> listsRefresh;
  // Instrumentation: each step's entry (code kWizNone) and exit (its button code).
  std::function<void(int step, bool entering, int code)> onStep;

  SessionOutcome cmdBegin_Click(const SessionStart& start = {});

  int DialogExitButton() const { return exitButton_; }
  int step() const { return step_; }

 private:
  int runStep(int step);
  int step0();
  int step1();
  int step2();
  int step3();
  int step4();
  int step5();
  int step6();
  int step7();
  int step8();
  int previousStep(int step);
  bool addSessionFromTemplate(const QString& templateFile);
  Visit* visit() const;
  Session* session() const;
  void refreshLists();

  CurrentSubjectFile& file_;
  SessionWindows& windows_;
  KM_RQList* lists_;
  SessionStart start_;
  int step_ = 0;
  int exitButton_ = -99;
  bool resumed_ = false;
  bool openedHere_ = false;
  bool listsRefreshed_ = false;
  qint32 visit_ = -1, session_ = -1, test_ = -1;
  QString fileName_;
  QString templateFile_;
  double confirmedHeight_ = 0.0;
};

}  // namespace tarn
