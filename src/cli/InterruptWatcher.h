#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

/// Turns SIGINT and SIGTERM into a call on the event loop (through a pipe
/// written by the signal handler), so that Ctrl-C can cancel a transaction
/// cleanly: the port is closed by the normal end of the transaction.
class InterruptWatcher : public QObject {
 public:
  /// Installs the handlers; `onInterrupt` runs on the event loop with the
  /// number of interrupts so far (1 for the first).
  explicit InterruptWatcher(std::function<void(int)> onInterrupt);
  ~InterruptWatcher() override;

 private:
  void Drain();

  std::function<void(int)> onInterrupt_;
  std::unique_ptr<QSocketNotifier> notifier_;
  int count_ = 0;
};
