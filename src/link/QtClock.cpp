#include "link/QtClock.h"

#include <QTimer>

#include <thread>

namespace {

/// A single-shot QTimer behind the Timer seam.
class QtTimer : public Timer {
 public:
  QtTimer() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { RaiseTick(); });
  }
  void Start(std::chrono::milliseconds interval) override { timer_.start(interval); }
  void Stop() override { timer_.stop(); }
  bool IsActive() const override { return timer_.isActive(); }

 private:
  QTimer timer_;
};

}  // namespace

std::unique_ptr<Timer> QtClock::CreateTimer() { return std::make_unique<QtTimer>(); }

void QtClock::Sleep(std::chrono::milliseconds duration) {
  if (duration.count() > 0) std::this_thread::sleep_for(duration);
}

std::chrono::steady_clock::time_point QtClock::Now() const {
  return std::chrono::steady_clock::now();
}
