#include "InterruptWatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#include <cerrno>

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
  const char byte = 1;
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void(int)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
  if (g_pipe[0] < 0 && ::pipe(g_pipe) == 0) {
    for (int fd : g_pipe) {
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
  }
  if (g_pipe[0] < 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

InterruptWatcher::~InterruptWatcher() {
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
}

void InterruptWatcher::Drain() {
  char bytes[16];
  int signals = 0;
  ssize_t n;
  while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) signals += static_cast<int>(n);
  for (int i = 0; i < signals; ++i) {
    ++count_;
    if (onInterrupt_) onInterrupt_(count_);
  }
}
