#pragma once
// Modal display of the station's windows. Every modal window goes through here so that tests can
// answer a window with a scripted button code without showing it.
#include <QDialog>
#include <functional>

namespace tarn {

class KMX_cShowModal {
 public:
  // A script gets the window (already loaded) and returns the code the window would have returned;
  // it may fill the window's fields first, as an operator would.
  using Script = std::function<int(QDialog&)>;

  // Shows the window modally over its owner and returns its result code.
  int ShowModal(QDialog& form) const;

  // Installs a script for every modal display of the process; returns the previous one.
  // An empty script restores the real display.
  static Script setScript(Script script);
};

}  // namespace tarn
