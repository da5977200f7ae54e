#include "InterruptWatcher.h"

#ifdef _WIN32
#include <windows.h>

#include <QMetaObject>

#include <atomic>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

#ifdef _WIN32
// The console calls its handler on a thread of its own: hand the interrupt
// to the watcher's event loop.
std::atomic<InterruptWatcher*> g_watcher{nullptr};

BOOL WINAPI OnConsoleEvent(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT) return FALSE;
  InterruptWatcher* watcher = g_watcher.load();
  if (watcher == nullptr) return FALSE;
  QMetaObject::invokeMethod(
      watcher, [watcher] { watcher->Interrupted(); }, Qt::QueuedConnection);
  return TRUE;
}
#else
int g_pipe[2] = {-1, -1};

extern "C" void OnSignal(int) {
  const char byte = 1;
  const int saved = errno;
  [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}
#endif

}  // namespace

InterruptWatcher::InterruptWatcher(std::function<void(int)> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
#ifdef _WIN32
  g_watcher.store(this);
  ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
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
#endif
}

InterruptWatcher::~InterruptWatcher() {
#ifdef _WIN32
  ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
  g_watcher.store(nullptr);
#else
  ::signal(SIGINT, SIG_DFL);
  ::signal(SIGTERM, SIG_DFL);
#endif
}

void InterruptWatcher::Interrupted() {
  ++count_;
  if (onInterrupt_) onInterrupt_(count_);
}

void InterruptWatcher::Drain() {
#ifndef _WIN32
  char bytes[16];
  int signals = 0;
  ssize_t n;
  while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0) signals += static_cast<int>(n);
  for (int i = 0; i < signals; ++i) Interrupted();
#endif
}
