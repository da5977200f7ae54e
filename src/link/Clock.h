#pragma once

#include <chrono>
#include <functional>
#include <memory>

/// A single-shot timer: Start() arms it (re-arming restarts it), the tick
/// handler runs once when the interval has passed, unless Stop() came first.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void Start(std::chrono::milliseconds interval) = 0;
  virtual void Stop() = 0;
  virtual bool IsActive() const = 0;
  void SetTickHandler(std::function<void()> handler) { tick_ = std::move(handler); }

 protected:
  void RaiseTick() {
    if (tick_) tick_();
  }

 private:
  std::function<void()> tick_;
};

/// The time source of every state machine: timers, a blocking pause and the
/// current time. QtClock is the real one; ManualClock (tests) is virtual.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::unique_ptr<Timer> CreateTimer() = 0;
  /// Blocks for a short wire pause (2 ms, 5 ms, 100 ms). Events that become
  /// due meanwhile are handled afterwards, as on a blocked window thread.
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
  virtual std::chrono::steady_clock::time_point Now() const = 0;
};
