#include "app/signalwatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace tarn::app {
namespace {
int g_fds[2] = {-1, -1};

extern "C" void onSignal(int sig) {
  const unsigned char b = static_cast<unsigned char>(sig);
  [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &b, 1);
}
}  // namespace

SignalWatcher::SignalWatcher(QObject* parent) : QObject(parent) {
  if (g_fds[0] >= 0) return;  // one watcher per process
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_fds) != 0) {
    g_fds[0] = g_fds[1] = -1;
    return;
  }
  ::fcntl(g_fds[0], F_SETFL, O_NONBLOCK);
  notifier_ = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &SignalWatcher::readSignal);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
}

SignalWatcher::~SignalWatcher() {
  if (!notifier_) return;
  struct sigaction sa {};
  sa.sa_handler = SIG_DFL;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::close(g_fds[0]);
  ::close(g_fds[1]);
  g_fds[0] = g_fds[1] = -1;
}

void SignalWatcher::readSignal() {
  unsigned char b = 0;
  if (::read(g_fds[1], &b, 1) == 1) emit terminationRequested(int(b));
}

}  // namespace tarn::app
