#include "testsupport/childprocess.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>

#include "testsupport/sandbox.h"

namespace tarn::testsupport {

int runInChild(const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child < 0) return -1;
  if (child == 0) ::_exit(work());
  int status = 0;
  if (::waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool actAsOperator() {
  if (::geteuid() != 0) return true;
  constexpr uid_t kNobody = 65534;
  if (::chmod(QFile::encodeName(sandboxFolder()).constData(), 0755) != 0) return false;
  return ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0 && ::geteuid() == kNobody;
}

}  // namespace tarn::testsupport
