#pragma once
// What the automation object needs of the main window. The application object implements it; the
// automation tests use a stand-in over a real data-folder list and current subject file.
#include <QString>

#include "session/sessiondriver.h"

namespace tarn {

class CurrentSubjectFile;
class KM_RQList;

class AutomationHost {
 public:
  virtual ~AutomationHost() = default;
  virtual bool bAppStarted() const = 0;  // the start-up sequence has finished
  virtual bool bAppVisible() const = 0;
  virtual void setAppVisible(bool visible) = 0;
  virtual bool bTestingEnabled() const = 0;  // the begin-test command is enabled
  // Hands the client's choices to the session and presses the begin-test command once the call
  // has returned; the command counts as disabled from here on.
  virtual void beginTest(const SessionStart& start) = 0;
  // Unloads the main window the normal way, which ends the program when it is not refused.
  virtual void unloadMainWindow() = 0;
  virtual bool bFileAcceptable(const QString& fileName) const = 0;
  // Switches the data folder and refreshes the list; false when the folder cannot be used now.
  virtual bool bSetFilePath(const QString& folder) = 0;
  virtual const KM_RQList* lists() const = 0;           // null while no list exists
  virtual CurrentSubjectFile* currentFile() const = 0;  // null before the session exists
};

}  // namespace tarn
