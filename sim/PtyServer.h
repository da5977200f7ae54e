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
  /// Builds the settings string the device is given for `bytes` from what
  /// the line shows. A pseudo-terminal carries no parity and data bits, so
  /// the function supplies them; the default is "baud,N,8,stop".
  using SettingsFunction =
      std::function<QString(const PtyPort::LineSettings&, const QByteArray& bytes)>;
  void SetSettingsFunction(SettingsFunction function) { settingsFunction_ = std::move(function); }
  /// A file descriptor whose readability ends the loop (the signal pipe).
  void SetStopFd(int fd) { stopFd_ = fd; }
  /// Called after each chunk the device handled (for logging).
  void SetTraceHandler(std::function<void(const QString&)> trace) { trace_ = std::move(trace); }

  /// Serves until the stop descriptor fires or the device hangs up; true
  /// when the device hung up.
  bool Run();

  /// The settings string the device is given for the current line settings.
  QString SettingsString(const PtyPort::LineSettings& line, const QByteArray& bytes) const;
  /// Duration of one character at a settings string ("9600,E,7,1": start,
  /// seven data, parity and one stop bit); 0 for a malformed string.
  static std::chrono::nanoseconds ByteTime(const QString& settings);

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
  SettingsFunction settingsFunction_;
  int stopFd_ = -1;
  std::function<void(const QString&)> trace_;
  std::priority_queue<Event, std::vector<Event>, std::greater<Event>> events_;
  unsigned long sequence_ = 0;
  Clock::time_point inputFreeAt_{};   ///< when the tool-to-device direction is idle
  Clock::time_point outputFreeAt_{};  ///< when the device-to-tool direction is idle
};
