#include "reports/windows/resultsentry.h"

#include "core/eventlog.h"
#include "core/windows/showmodal.h"
#include "core/wizard.h"
#include "data/subjectfile/subjectfile.h"

namespace tarn {

SessionResultsOutcome ShowSessionResults(QWidget* parent, SubjectFile& file, const Session& session,
                                         const frmTReport::RenameEditor& renameEditor) {
  ProcLog log("frmTReport", "Testing Step 7", session.sSessionID);
  SessionResultsOutcome out;
  frmTReport report(parent);
  report.setRenameEditor(renameEditor);
  report.setReprint(false);
  report.setPatientFile(&file);
  const QString visitID = session.visit() ? session.visit()->sVisitID : QString();
  for (const auto& t : session.BalanceTests()) report.AddTestBalance(visitID, session.sSessionID, t->sTestID);
  for (const auto& t : session.VisionTests()) report.AddTestVision(visitID, session.sSessionID, t->sTestID);
  report.AddTestCompleted();
  const int code = KMX_cShowModal().ShowModal(report);
  out.button = report.DialogExitButton() != kWizNone ? report.DialogExitButton() : code;
  out.dataChanged = report.wroteChanges();
  log.completed();
  return out;
}

}  // namespace tarn
