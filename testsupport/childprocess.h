#pragma once
// Work in a forked child: for what must run as another process (a second copy of the station,
// a file lock held by someone else) or under limits the test process must not take on (no write
// access, a full disk).
#include <functional>

namespace tarn::testsupport {
// Runs work in a child and returns its exit code, or -1 when it did not exit normally. The child
// ends with _exit: nothing of the parent's test state is torn down twice.
int runInChild(const std::function<int()>& work);
// In a child: gives up root for the unprivileged user "nobody", so that file permissions apply
// as they do to a clinic's operator (a process that is not root keeps its user). The sandbox is
// opened for that user to pass through. False when it fails.
bool actAsOperator();
}  // namespace tarn::testsupport
