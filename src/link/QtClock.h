#pragma once

#include "link/Clock.h"

/// The real clock: timers on QTimer (single-shot, precise), a blocking
/// Sleep and the steady clock. Needs a running Qt event loop for the timers.
class QtClock : public Clock {
 public:
  std::unique_ptr<Timer> CreateTimer() override;
  void Sleep(std::chrono::milliseconds duration) override;
  std::chrono::steady_clock::time_point Now() const override;
};
