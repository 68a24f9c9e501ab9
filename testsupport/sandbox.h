#pragma once
#include <QString>

namespace tarn::testsupport {
// The sandbox folder of the running test (TARNRQ_HOME); fresh for every test.
QString sandboxFolder();
// Installs the listener that gives every test its own sandbox and private runtime folder.
void installSandbox();
}  // namespace tarn::testsupport
