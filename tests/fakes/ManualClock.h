#pragma once

#include "link/Clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

/// A virtual clock for tests. Time only moves when the test runs the event
/// queue (RunFor, RunUntil, RunAll) or when the code under test calls Sleep.
/// Timers from CreateTimer() and events from Schedule() share one queue,
/// ordered by due time and, for equal times, by the order they were queued.
///
/// Sleep() advances the time without running anything, like a blocked window
/// thread; events that fell due meanwhile run at the next Run*() step.
/// Timers must not outlive the clock.
class ManualClock : public Clock {
 public:
  using Duration = std::chrono::nanoseconds;
  using EventId = std::uint64_t;

  ManualClock();
  ~ManualClock() override;

  std::unique_ptr<Timer> CreateTimer() override;
  void Sleep(std::chrono::milliseconds duration) override;
  std::chrono::steady_clock::time_point Now() const override;

  /// Queues `event` to run `delay` after Now(); returns an id for Cancel().
  EventId Schedule(Duration delay, std::function<void()> event);
  /// Drops a queued event; unknown or already run ids are ignored.
  void Cancel(EventId id);
  /// True while the event is still queued.
  bool IsPending(EventId id) const;
  /// Number of queued events (timers included).
  int PendingCount() const;

  /// Runs every event due within `duration` from now, then sets the time to
  /// now + duration (or later, if a Sleep inside an event went beyond it).
  void RunFor(Duration duration);
  /// Runs events in time order until `done` returns true (checked before the
  /// first event and after each one). Returns false, without hanging, when
  /// the virtual time would pass now + `limit` or the queue runs empty.
  bool RunUntil(const std::function<bool()>& done, Duration limit = std::chrono::hours(1));
  /// Runs events until the queue is empty; false when `limit` of virtual time
  /// passed first (a timer that keeps re-arming itself, for example).
  bool RunAll(Duration limit = std::chrono::hours(1));

  /// Virtual time since the clock was made.
  Duration Elapsed() const { return now_; }

 private:
  struct Key {
    Duration due;
    EventId id;
    bool operator<(const Key& other) const {
      return due != other.due ? due < other.due : id < other.id;
    }
  };
  /// Runs the earliest event if it is due no later than `until`; false otherwise.
  bool RunNext(Duration until);

  Duration now_{0};
  EventId nextId_ = 1;
  std::map<Key, std::function<void()>> queue_;
  std::map<EventId, Duration> dueOf_;
  std::shared_ptr<bool> alive_;
};
