#include "session/windows/wizardwindows.h"

#include "balance/plate/plate.h"
#include "balance/procedures/zerojudge.h"
#include "balance/windows/frmtbstatic.h"
#include "balance/windows/frmtbzero.h"
#include "core/wizard.h"
#include "session/windows/frmnotes.h"
#include "session/windows/frmtfile.h"
#include "session/windows/frmtinfo.h"
#include "session/windows/frmtlist.h"
#include "session/windows/frmtsessionresults.h"
#include "session/windows/frmttemplate.h"
#include "session/windows/testsession.h"
#include "support/windows/kmxmouse.h"

namespace tarn {

WizardWindows::WizardWindows(const TestSessionContext& context) : ctx_(context) {}

int WizardWindows::FileChoice(const KM_RQList* list, QString& fileName) {
  frmTFile w(ctx_.parent);
  w.SetFileList(list);
  const int code = modal_.ShowModal(w);
  if (code == kWizNext) fileName = w.FileName();
  return code;
}

int WizardWindows::TemplateChoice(QString& templateFile) {
  frmTTemplate w(ctx_.parent);
  w.setChosen(templateFile);
  const int code = modal_.ShowModal(w);
  if (code == kWizNext) {
    if (w.Chosen().isEmpty()) return kWizCancel;
    templateFile = w.Chosen();
  }
  return code;
}

int WizardWindows::SubjectInformation(SubjectInfoStep& step) {
  frmTInfo w(ctx_.parent);
  SubjectInfo info = step.info;
  w.SetPatientInfo(&info);
  w.setHeight(step.heightM);
  w.setReadOnly(step.bReadOnly);
  w.setSkipAddress(step.bSkipAddress);
  const int code = modal_.ShowModal(w);
  if (code == kWizNext) {
    step.info = info;
    step.heightM = w.fHeight();
  }
  return code;
}

int WizardWindows::TestList(TestListModel& list) {
  frmTList w(ctx_.parent);
  w.SetModel(&list);
  return modal_.ShowModal(w);
}

int WizardWindows::Results(const SubjectFile& file, const Session& session) {
  if (ctx_.resultsWindow) return ctx_.resultsWindow(ctx_.parent, file, session);
  frmTSessionResults w(file, session, ctx_.parent);
  return modal_.ShowModal(w);
}

bool WizardWindows::PlatformConnected() const {
  if (!ctx_.plateDriver) return false;
  for (int i = 1; i <= ctx_.plateDriver->PlateCount(); ++i)
    if (const KMX_BalancePlate* p = ctx_.plateDriver->Plate(i); p && p->IsConnected()) return true;
  return false;
}

int WizardWindows::Zero(BalanceTestRun& run, ZeroTaken& zero) {
  frmTBZero w(ctx_.plateDriver, &run, ctx_.subjectForms, ctx_.parent);
  const int code = modal_.ShowModal(w);
  if (code != kWizNext) return code;
  KMX_BalancePlate* plate = w.controller().plate();
  if (!plate) return kWizCancel;
  plate_ = plate;
  if (ctx_.lastPlate) *ctx_.lastPlate = plate;
  zero.plateName = plate->Name();
  zero.plateSerial = plate->SerialNumber();
  zero.zero = plate->AcceptedZero();
  const auto held = LastZero();
  zero.surface = held ? held->surface : run.conditions.surface;
  if (zero.zero.time <= 0) zero.zero.time = held ? held->time : plate->ZeroTime();
  return code;
}

int WizardWindows::Static(BalanceTestRun& run) {
  if (!plate_) return kWizBack;  // no zeroed plate: zero again
  frmTBStatic w(plate_, ctx_.plateDriver, ctx_.subjectForms, ctx_.parent);
  w.setBalanceTest(run, true, false);
  w.setNotesEditor(EditTestNotes);
  const int code = modal_.ShowModal(w);
  if (code == kWizNext || code == kWizOK) run = w.balanceTest();
  return code;
}

bool WizardWindows::Rename(QString& name) {
  frmTRename d(ctx_.parent);
  QString edited = name;
  d.SetTest(&edited);
  if (modal_.ShowModal(d) != QDialog::Accepted || edited == name) return false;
  name = edited;
  return true;
}

void WizardWindows::HidePointer(bool hidden) {
  if (!ctx_.mouse) return;
  if (hidden)
    ctx_.mouse->Hide();
  else
    ctx_.mouse->Show();
}

}  // namespace tarn
