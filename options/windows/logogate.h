#pragma once
// The password prompt of the main window's logo: asks for the password, grants a level, counts
// wrong ones and, at the third in a row, locks the program for a minute by hiding the window.
// Showing or hiding the buttons for the level is the main window's own business.
#include <functional>

#include "options/passwordgate.h"

class QWidget;

namespace tarn {
class ProcLog;

class LogoGate {
 public:
  LogoGate();

  // Prompts over `mainWindow` (frmPPassword, shown through KMX_cShowModal) and returns the level
  // the password grants: None when cancelled or wrong. Logs its steps on the caller's log.
  AccessLevel askPassword(QWidget* mainWindow, const ProcLog& log);

  // The lock waits here with the window hidden; tests replace the wait.
  using LockWait = std::function<void(int ms)>;
  void setLockWait(LockWait wait) { wait_ = std::move(wait); }
  const PasswordGate& gate() const { return gate_; }

 private:
  PasswordGate gate_;
  LockWait wait_;
};

}  // namespace tarn
