#pragma once
// The results step of a test session: every balance and vision test of the session in the results
// window. The application hands this to the session (which cannot see the reports module).
#include <functional>

#include "reports/windows/frmtreport.h"

namespace tarn {

class SubjectFile;
class Session;

struct SessionResultsOutcome {
  int button = -99;          // the wizard code the window left (Cancel for its close box)
  bool dataChanged = false;  // names, notes or texts were written into the file object
};

// Shows the window modally over parent; renameEditor is the session's rename dialog.
SessionResultsOutcome ShowSessionResults(QWidget* parent, SubjectFile& file, const Session& session,
                                         const frmTReport::RenameEditor& renameEditor = {});

}  // namespace tarn
