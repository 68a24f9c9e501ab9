#include "session/sessiondriver.h"

#include <QDir>
#include <QFileInfo>

#include <cmath>

#include "balance/balancesettings.h"
#include "core/eventlog.h"
#include "core/folders.h"
#include "core/messages.h"
#include "core/settingkeys.h"
#include "core/wizard.h"
#include "data/lists/list.h"
#include "data/lists/listrefresh.h"
#include "data/templates/template.h"
#include "session/currentfile.h"
#include "session/sessionnotices.h"
#include "session/sessionrecords.h"
#include "session/testlist.h"
#include "support/strings/strings.h"

namespace tarn {
namespace {

constexpr char kModule[] = "frmPMain";
constexpr char kProc[] = "cmdBegin_Click";

QString truth(bool b) { return b ? QStringLiteral("True") : QStringLiteral("False"); }
void logStep(const QString& text) { eventlog::logStep(kModule, kProc, text); }

QString defaultTemplateFile() {
  return QDir(settings::read(settings::TemplatePath)).filePath(settings::read(settings::TemplateFile));
}

// A template an automation client named: a full name, or a name in the template folder.
QString resolveTemplate(const QString& name) {
  QString n = name.trimmed();
  if (n.isEmpty()) return defaultTemplateFile();
  if (QFileInfo(n).suffix().isEmpty()) n += settings::read(settings::TemplateExt);
  return QDir(settings::read(settings::TemplatePath)).filePath(n);
}

QString newSubjectFileName() {
  const QString folder = settings::read(settings::LastPath);
  folders::ensureFolder(folder);
  return CurrentSubjectFile::NewSubjectFileName(folder, settings::read(settings::DefaultExt));
}

float threshold() { return static_cast<float>(settings::read(settings::CoPThresholdF)); }

}  // namespace

TestSessionDriver::TestSessionDriver(CurrentSubjectFile& file, SessionWindows& windows, KM_RQList* lists)
    : file_(file), windows_(windows), lists_(lists) {}

Visit* TestSessionDriver::visit() const { return file_.file() ? file_.file()->VisitItem(visit_) : nullptr; }

Session* TestSessionDriver::session() const {
  const Visit* v = visit();
  return v ? v->SessionItem(session_) : nullptr;
}

SessionOutcome TestSessionDriver::cmdBegin_Click(const SessionStart& start) {
  ProcLog log(kModule, kProc);
  log.step(QStringLiteral("Begin Testing"));
  start_ = start;
  visit_ = session_ = test_ = -1;
  listsRefreshed_ = openedHere_ = false;
  templateFile_.clear();
  fileName_.clear();
  confirmedHeight_ = 0.0;
  if (!file_.IsOpen()) {
    step_ = 0;
    resumed_ = false;
  } else {
    // A file reopened by recovery (or kept open when a save was cancelled) goes on with its
    // subject's information.
    if (file_.file()->VisitCount() == 0) file_.fnFileAddNewVisit();
    step_ = 3;
    resumed_ = true;
    fileName_ = file_.sFileName();
  }
  SessionOutcome out;
  out.resumed = resumed_;
  file_.notices().EnteringTest(resumed_);

  for (;;) {
    log.step(QStringLiteral("Entering Testing Step %1").arg(step_));
    if (onStep) onStep(step_, true, kWizNone);
    exitButton_ = kWizNone;
    const int code = runStep(step_);
    exitButton_ = code;
    const QString changed = truth(file_.bDataChanged());
    log.step(QStringLiteral("Exiting Testing Step %1, Button: %2, DataChanged: %3")
                 .arg(step_)
                 .arg(code)
                 .arg(changed));
    if (onStep) onStep(step_, false, code);
    log.step(QStringLiteral("Process return button, Button: %1, DataChanged: %2").arg(code).arg(changed));
    if (code == kWizNext) {
      if (step_ == 8) {
        out.end = SessionEnd::Saved;
        break;
      }
      if (step_ >= 2 && file_.IsOpen()) file_.SaveWorkingCopy(false);
      ++step_;
    } else if (code == kWizBack) {
      step_ = previousStep(step_);
    } else if (code == kWizOK) {
      // Leaving from the results: nothing recorded is dropped without the operator's word.
      log.step(QStringLiteral("Leave Testing"));
      file_.fnFileClose(false);
      file_.notices().ExitingTest(false);
      out.end = SessionEnd::LeftWithOK;
      break;
    } else {
      log.step(QStringLiteral("Cancel Testing"));
      file_.fnFileClose(false);
      file_.notices().ExitingTest(true);
      out.end = SessionEnd::Cancelled;
      break;
    }
    log.step(QStringLiteral("Go to step %1").arg(step_));
  }
  out.fileName = fileName_;
  out.fileStillOpen = file_.IsOpen();
  if (!listsRefreshed_) refreshLists();
  log.step(QStringLiteral("Closing Forms"));
  windows_.CloseForms();
  log.step(QStringLiteral("Exiting Testing"));
  log.completed();
  return out;
}

int TestSessionDriver::runStep(int step) {
  switch (step) {
    case 0:
      return step0();
    case 1:
      return step1();
    case 2:
      return step2();
    case 3:
      return step3();
    case 4:
      return step4();
    case 5:
      return step5();
    case 6:
      return step6();
    case 7:
      return step7();
    case 8:
      return step8();
  }
  return kWizCancel;
}

int TestSessionDriver::previousStep(int step) {
  switch (step) {
    case 0:
    case 1:
    case 2:
      return step == 0 ? 0 : step - 1;
    case 3: {
      // Before step 3 lies step 2, which opened the file and added the session: going back
      // means that never happened. A resumed session has nothing before its step 3.
      if (resumed_ || !openedHere_) return 3;
      logStep(QStringLiteral("Undo Testing Step 2"));
      file_.fnFileClose(true);
      openedHere_ = false;
      visit_ = session_ = -1;
      const bool templateWindow =
          settings::readBool(settings::AllowTestTemplate) && !start_.bNoTemplateInterface;
      return templateWindow ? 1 : 0;
    }
    case 4:
    case 5:
      return 3;  // the recorded tests stay; step 4 notes the indexes again
    case 6:
    case 7:
      return 5;  // step 6 is a pure update of the records, done again on the next Next
    default:
      return 7;
  }
}

int TestSessionDriver::step0() {
  if (start_.bNoFileNameInterface) {
    const QString name = start_.sFileName.trimmed();
    fileName_ = name.isEmpty() ? newSubjectFileName()
                               : QDir(settings::read(settings::LastPath)).absoluteFilePath(name);
    logStep(QStringLiteral("Testing Step 0, prv_bNoTestFileNameInt, file already specified"));
    return fileName_.isEmpty() ? kWizCancel : kWizNext;
  }
  if (settings::readBool(settings::HideSubjectFile)) {
    logStep(QStringLiteral("Testing Step 0 - do not show, advance automatically"));
    fileName_ = newSubjectFileName();
    return fileName_.isEmpty() ? kWizCancel : kWizNext;
  }
  QString name;
  const int code = windows_.FileChoice(lists_, name);
  if (code == kWizNext) {
    fileName_ = name.trimmed().isEmpty() ? newSubjectFileName() : name.trimmed();
    logStep(QStringLiteral("File: ") + fileName_);
    if (fileName_.isEmpty()) return kWizCancel;
  }
  return code;
}

int TestSessionDriver::step1() {
  if (start_.bNoTemplateInterface) {
    logStep(QStringLiteral("Testing Step 1, prv_bNoTestTemplateInt, template already specified"));
    templateFile_ = resolveTemplate(start_.sTemplateName);
    return kWizNext;
  }
  if (!settings::readBool(settings::AllowTestTemplate)) {
    templateFile_ = defaultTemplateFile();
    return kWizNext;
  }
  QString chosen = templateFile_.isEmpty() ? defaultTemplateFile() : templateFile_;
  const int code = windows_.TemplateChoice(chosen);
  if (code == kWizNext) templateFile_ = chosen;
  return code;
}

bool TestSessionDriver::addSessionFromTemplate(const QString& templateFile) {
  KM_RQTemplate tmpl;
  if (!tmpl.Load(templateFile)) {
    logStep(QStringLiteral("Template not loaded: ") + templateFile);
    showMessage(Str(4013).arg(templateFile), MsgIcon::Critical);
    return false;
  }
  const bool balance =
      settings::readBool(settings::EnableBalance) || settings::readBool(settings::EnableMBalance);
  const bool vision = settings::readBool(settings::EnableVision);
  Session* s = file_.fnFileAddNewSession(&tmpl);
  if (!s) return false;
  s->sName = tmpl.sName + Str(4007);
  const BalanceTestDefaults defaults = BalanceTestDefaults::fromSettings();
  for (qint32 i = 1; i <= tmpl.lTestCount(); ++i) {
    const KM_RQTemplateItem* item = tmpl.tiTestItem(i);
    if (item->isBalance() && balance) AddBalanceTestFromItem(*s, *item, defaults);
    if (item->isVision() && vision) AddVisionTestFromItem(*s, *item);
  }
  visit_ = file_.file()->VisitCount();
  session_ = file_.file()->VisitItem(visit_)->SessionCount();
  file_.setDataChanged(true);
  logStep(QStringLiteral("Session %1 with %2 balance and %3 vision tests")
              .arg(s->sSessionID)
              .arg(s->BalanceTestCount())
              .arg(s->VisionTestCount()));
  return true;
}

int TestSessionDriver::step2() {
  {
    // The template is read first, so that no file is opened for a session that cannot be made.
    KM_RQTemplate probe;
    if (!probe.Load(templateFile_)) {
      showMessage(Str(4013).arg(templateFile_), MsgIcon::Critical);
      return kWizCancel;
    }
  }
  if (!file_.fnFileOpen(fileName_)) return kWizCancel;
  openedHere_ = true;
  fileName_ = file_.sFileName();
  return addSessionFromTemplate(templateFile_) ? kWizNext : kWizCancel;
}

int TestSessionDriver::step3() {
  SubjectFile& f = *file_.file();
  const qint32 vi = visit_ > 0 ? visit_ : f.VisitCount();
  const Visit* v = f.VisitItem(vi);
  const qint32 si = session_ > 0 ? session_ : (v ? v->SessionCount() : 0);
  file_.notices().EnteringSbjInfo(vi, si);

  SubjectInfoStep s;
  s.info = f.subject;
  // The height of this visit (copied from the previous one when the visit began), else the
  // previous visit's.
  const Visit* previous = f.VisitItem(vi - 1);
  s.heightM = v && v->phys.dHeight > 0 ? v->phys.dHeight : previous ? previous->phys.dHeight : 0.0;
  s.bSkipAddress = settings::readBool(settings::HipaaCompliant);
  const int code = windows_.SubjectInformation(s);
  if (code == kWizNext) {
    if (!(s.info == f.subject)) {
      f.subject = s.info;
      file_.setDataChanged(true);
    }
    confirmedHeight_ = s.heightM;
  }
  file_.notices().ExitingSbjInfo(vi, si);
  return code;
}

int TestSessionDriver::step4() {
  SubjectFile& f = *file_.file();
  visit_ = f.VisitCount();
  Visit* v = visit();
  if (v->SessionCount() == 0) {
    logStep(QStringLiteral("No session in the current visit - adding one"));
    if (!addSessionFromTemplate(defaultTemplateFile())) return kWizCancel;
  }
  session_ = v->SessionCount();
  logStep(QStringLiteral("Visit %1, Session %2").arg(visit_).arg(session_));
  // The height confirmed today is this visit's height; tests already recorded follow it in step 6.
  if (confirmedHeight_ > 0 && std::fabs(confirmedHeight_ - v->phys.dHeight) > 1e-6) {
    logStep(QStringLiteral("Height changed from %1 to %2").arg(v->phys.dHeight).arg(confirmedHeight_));
    v->phys.dHeight = confirmedHeight_;
    file_.setDataChanged(true);
  }
  return kWizNext;
}

int TestSessionDriver::step5() {
  TestListModel model(*file_.file(), *visit(), *session(), windows_.BalanceWindows());
  model.onChange = [this] {
    file_.setDataChanged(true);
    file_.SaveWorkingCopy();
  };
  logStep(QStringLiteral("Testing Step 5 - Set objects"));
  model.Update_List();
  return windows_.TestList(model);
}

int TestSessionDriver::step6() {
  if (UpdateSessionRecords(*visit(), *session(), file_.file()->subject, threshold()))
    file_.setDataChanged(true);
  return kWizNext;
}

int TestSessionDriver::step7() { return windows_.Results(*file_.file(), *session()); }

int TestSessionDriver::step8() {
  if (RenumberTests(*session())) file_.setDataChanged(true);
  logStep(QStringLiteral("Testing Step 8 - Save File"));
  if (!file_.fnDataSave(true)) {
    // Saving failed and said why; the results stay up so it can be tried again or cancelled.
    logStep(QStringLiteral("Testing Step 8 - Save failed, back to the results"));
    return kWizBack;
  }
  logStep(QStringLiteral("Testing Step 8 - Close File"));
  file_.fnFileClose(true);
  logStep(QStringLiteral("Testing Step 8 - Notify Servers"));
  file_.notices().ExitingTest(false);
  logStep(QStringLiteral("Testing Step 8 - Refresh Lists"));
  refreshLists();
  return kWizNext;
}

void TestSessionDriver::refreshLists() {
  listsRefreshed_ = true;
  if (listsRefresh) {
    listsRefresh();
  } else if (lists_) {
    ListsRefresh(*lists_, ListsRefreshParams::fromSettings());
  }
}

}  // namespace tarn
