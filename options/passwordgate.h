#pragma once
// The access level granted by the logo's password prompt, and the count of wrong passwords in a row.
#include <QString>

namespace tarn {

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

}  // namespace tarn
