#pragma once
// Access control: the level granted by the logo's password prompt with its count of wrong
// passwords, the two change commands of the options window, and the keys' start-up rules.
// Digests come from AccessDigest (accessdigest.h).
#include <QString>

#include "options/accessdigest.h"

namespace tarn {
class ProcLog;

enum class AccessLevel { None, Operator, Administrator };

class PasswordGate {
 public:
  struct Outcome {
    AccessLevel level = AccessLevel::None;
    bool counted = false;  // a wrong non-empty password
    bool lock = false;     // the third wrong one in a row: lock the program
  };
  // Compares the entered text with "Key1" and "Key2". An empty text stands for the factory
  // password of the first level whose key still holds its factory digest.
  Outcome check(const QString& text);
  int failures() const { return failures_; }
  static constexpr int kLockAfter = 3;
  static constexpr int kLockMs = 60000;

 private:
  int failures_ = 0;
};

// ---- Start-up. A new installation gets the factory digests; an existing one must hold both.
void InitializeNewInstallation();
bool AccessKeysPresent();
// The whole start-up step on the caller's log ("Checking for new installation", then
// "Initializing new installation" or "Verifiying Keys"). A missing digest shows the tampering
// message and gives false: the program must end.
bool CheckAccessKeysAtStartup(const ProcLog& log);
QString TamperingText();

// ---- The options window's change commands. They work on the digests the window will write when
// the operator presses OK, so that Cancel keeps the old passwords.
enum class PasswordChange {
  Changed,            // the digest was replaced (the factory digest for an empty text)
  Different,          // "Enter" and "Confirm" differ: nothing changed
  AdministratorFirst  // operator password while no administrator password is set: refused
};
PasswordChange ChangeAdministratorPassword(const QString& entered, const QString& confirmed, QString& key1);
PasswordChange ChangeOperatorPassword(const QString& entered, const QString& confirmed, const QString& key1,
                                      QString& key2);
// True while the digest is not its level's factory digest (and not missing).
bool AdministratorPasswordSet(const QString& key1);
bool OperatorPasswordSet(const QString& key2);

}  // namespace tarn
