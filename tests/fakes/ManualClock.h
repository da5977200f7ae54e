#pragma once

#include "link/Clock.h"

#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <utility>

/// A virtual clock: time moves when a test runs the queue of timers and events
/// (in due order, then queue order), or when Sleep advances it without running
/// anything, like a blocked window thread.
class ManualClock : public Clock {
 public:
  using Duration = std::chrono::nanoseconds;
  using EventId = std::pair<Duration, quint64>;  ///< due time, queue order

  ~ManualClock() override { *alive_ = false; }

  std::unique_ptr<Timer> CreateTimer() override { return std::make_unique<ManualTimer>(*this); }
  void Sleep(std::chrono::milliseconds duration) override {
    if (duration.count() > 0) now_ += duration;
  }
  std::chrono::steady_clock::time_point Now() const override {
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(now_));
  }

  /// Queues `event` to run `delay` after now; the id is for Cancel().
  EventId Schedule(Duration delay, std::function<void()> event) {
    const EventId id{now_ + std::max(delay, Duration{0}), nextId_++};
    queue_.emplace(id, std::move(event));
    return id;
  }
  void Cancel(EventId id) { queue_.erase(id); }
  /// Runs every event due within `duration`; the time is then at its end.
  void RunFor(Duration duration) {
    const Duration until = now_ + duration;
    while (RunNext(until)) continue;
    now_ = std::max(now_, until);
  }
  /// Runs events until `done` is true (checked before each); false when the
  /// queue runs empty or the time would pass now + `limit`.
  bool RunUntil(const std::function<bool()>& done, Duration limit = std::chrono::hours(1)) {
    const Duration until = now_ + limit;
    while (!done()) {
      if (RunNext(until)) continue;
      if (!queue_.empty()) now_ = std::max(now_, until);
      return done();
    }
    return true;
  }
  /// Runs events until none is left; false when `limit` passed first.
  bool RunAll(Duration limit = std::chrono::hours(1)) {
    const Duration until = now_ + limit;
    while (RunNext(until)) continue;
    return queue_.empty();
  }
  Duration Elapsed() const { return now_; }

 private:
  /// One queued event while it is active; it may outlive the clock.
  class ManualTimer : public Timer {
   public:
    explicit ManualTimer(ManualClock& clock) : clock_(clock), clockAlive_(clock.alive_) {}
    ~ManualTimer() override { Stop(); }
    void Start(std::chrono::milliseconds interval) override {
      Stop();
      pending_ = clock_.Schedule(interval, [this] {
        pending_ = {};
        RaiseTick();
      });
    }
    void Stop() override {
      if (pending_.second != 0 && *clockAlive_) clock_.Cancel(pending_);
      pending_ = {};
    }
    bool IsActive() const override { return pending_.second != 0; }

   private:
    ManualClock& clock_;
    std::shared_ptr<bool> clockAlive_;
    EventId pending_ = {};
  };

  bool RunNext(Duration until) {
    if (queue_.empty() || queue_.begin()->first.first > until) return false;
    // An event that fell due during a Sleep runs late.
    now_ = std::max(now_, queue_.begin()->first.first);
    std::function<void()> event = std::move(queue_.begin()->second);
    queue_.erase(queue_.begin());
    event();
    return true;
  }

  Duration now_{0};
  quint64 nextId_ = 1;
  std::map<EventId, std::function<void()>> queue_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
