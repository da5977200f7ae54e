#include "ManualClock.h"

namespace {

/// A Timer on the virtual clock: one queued event while it is active.
class ManualTimer : public Timer {
 public:
  explicit ManualTimer(ManualClock& clock, std::shared_ptr<bool> clockAlive)
      : clock_(clock), clockAlive_(std::move(clockAlive)) {}
  ~ManualTimer() override { Stop(); }

  void Start(std::chrono::milliseconds interval) override {
    Stop();
    pending_ = clock_.Schedule(interval, [this] {
      pending_ = 0;
      RaiseTick();
    });
  }
  void Stop() override {
    if (pending_ != 0 && *clockAlive_) clock_.Cancel(pending_);
    pending_ = 0;
  }
  bool IsActive() const override { return pending_ != 0; }

 private:
  ManualClock& clock_;
  std::shared_ptr<bool> clockAlive_;
  ManualClock::EventId pending_ = 0;
};

}  // namespace

ManualClock::ManualClock() : alive_(std::make_shared<bool>(true)) {}

ManualClock::~ManualClock() { *alive_ = false; }

std::unique_ptr<Timer> ManualClock::CreateTimer() {
  return std::make_unique<ManualTimer>(*this, alive_);
}

void ManualClock::Sleep(std::chrono::milliseconds duration) {
  if (duration.count() > 0) now_ += duration;
}

std::chrono::steady_clock::time_point ManualClock::Now() const {
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(now_));
}

ManualClock::EventId ManualClock::Schedule(Duration delay, std::function<void()> event) {
  const EventId id = nextId_++;
  const Duration due = now_ + (delay.count() > 0 ? delay : Duration{0});
  queue_.emplace(Key{due, id}, std::move(event));
  dueOf_.emplace(id, due);
  return id;
}

void ManualClock::Cancel(EventId id) {
  const auto it = dueOf_.find(id);
  if (it == dueOf_.end()) return;
  queue_.erase(Key{it->second, id});
  dueOf_.erase(it);
}

bool ManualClock::IsPending(EventId id) const { return dueOf_.count(id) != 0; }

int ManualClock::PendingCount() const { return static_cast<int>(queue_.size()); }

bool ManualClock::RunNext(Duration until) {
  if (queue_.empty()) return false;
  const auto first = queue_.begin();
  if (first->first.due > until) return false;
  const Key key = first->first;
  std::function<void()> event = std::move(first->second);
  queue_.erase(first);
  dueOf_.erase(key.id);
  // An event that fell due during a Sleep runs late, at the current time.
  if (key.due > now_) now_ = key.due;
  event();
  return true;
}

void ManualClock::RunFor(Duration duration) {
  const Duration until = now_ + duration;
  while (RunNext(until)) {
  }
  if (now_ < until) now_ = until;
}

bool ManualClock::RunUntil(const std::function<bool()>& done, Duration limit) {
  const Duration until = now_ + limit;
  while (!done()) {
    if (!RunNext(until)) {
      if (!queue_.empty() && now_ < until) now_ = until;
      return done();
    }
  }
  return true;
}

bool ManualClock::RunAll(Duration limit) {
  const Duration until = now_ + limit;
  while (RunNext(until)) {
  }
  return queue_.empty();
}
