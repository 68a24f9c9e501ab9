#pragma once
// The sibling balance program the file manager hands subject files to. The file manager only
// knows this interface; the windows library reaches the program over the session bus.
#include <QString>

namespace tarn::fm {

class SiblingProgram {
 public:
  virtual ~SiblingProgram() = default;
  // Starts the program or connects to the running one; false when neither works.
  virtual bool Connect() = 0;
  // Asks it to open a subject file (full name); false when it refuses or does not answer.
  virtual bool OpenFile(const QString& path) = 0;
};

}  // namespace tarn::fm
