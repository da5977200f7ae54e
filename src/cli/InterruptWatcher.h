#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

/// Turns Ctrl-C into a call on the event loop, so that it can cancel a
/// transaction cleanly: the port is closed by the normal end of the
/// transaction. SIGINT and SIGTERM go through a pipe written by the signal
/// handler; on Windows the console's Ctrl-C, Ctrl-Break and close events are
/// queued to the event loop.
class InterruptWatcher : public QObject {
 public:
  /// Installs the handlers; `onInterrupt` runs on the event loop with the
  /// number of interrupts so far (1 for the first).
  explicit InterruptWatcher(std::function<void(int)> onInterrupt);
  ~InterruptWatcher() override;

  /// Counts one interrupt and reports it (the system's handler gets here on
  /// the event loop).
  void Interrupted();

 private:
  void Drain();

  std::function<void(int)> onInterrupt_;
  std::unique_ptr<QSocketNotifier> notifier_;
  int count_ = 0;
};
