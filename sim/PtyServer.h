#pragma once

#include "PtyPort.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <queue>
#include <vector>

class SimDevice;

/// Puts a SimDevice behind a pseudo-terminal: every chunk the tool writes
/// goes to the device with the line's current settings, the device's answer
/// goes back after its delay. With the wire delay on, each byte takes its
/// real time on the line in both directions (start, data, parity and stop
/// bits at the current baud rate).
class PtyServer {
 public:
  using Clock = std::chrono::steady_clock;

  PtyServer(PtyPort& port, SimDevice& device);

  /// Delay every byte by its duration on a real line.
  void SetWireDelay(bool on) { wire_ = on; }
  /// Parity and data bits of the line's format, which a pseudo-terminal does
  /// not carry; used for the settings string and the wire time.
  void SetAssumedFrame(QChar parity, int dataBits);
  /// A file descriptor whose readability ends the loop (the signal pipe).
  void SetStopFd(int fd) { stopFd_ = fd; }
  /// Called after each chunk the device handled (for logging).
  void SetTraceHandler(std::function<void(const QString&)> trace) { trace_ = std::move(trace); }

  /// Serves until the stop descriptor fires or the device hangs up; true
  /// when the device hung up.
  bool Run();

  /// The settings string the device is given for the current line settings.
  QString SettingsString(const PtyPort::LineSettings& line) const;
  /// Duration of one character on the line.
  std::chrono::nanoseconds ByteTime(const PtyPort::LineSettings& line) const;

 private:
  struct Event {
    Clock::time_point at;
    unsigned long sequence;
    bool deliver;  ///< true: hand bytes to the device; false: send bytes to the tool
    QByteArray bytes;
    QString settings;
    std::chrono::nanoseconds byteTime;
    bool operator>(const Event& other) const {
      return at != other.at ? at > other.at : sequence > other.sequence;
    }
  };

  void Schedule(Event event);
  bool Handle(const Event& event);  ///< false when the device hung up

  PtyPort& port_;
  SimDevice& device_;
  bool wire_ = false;
  QChar parity_ = QLatin1Char('N');
  int dataBits_ = 8;
  int stopFd_ = -1;
  std::function<void(const QString&)> trace_;
  std::priority_queue<Event, std::vector<Event>, std::greater<Event>> events_;
  unsigned long sequence_ = 0;
  Clock::time_point inputFreeAt_{};   ///< when the tool-to-device direction is idle
  Clock::time_point outputFreeAt_{};  ///< when the device-to-tool direction is idle
};
