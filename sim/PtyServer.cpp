#include "PtyServer.h"

#include "SimDevice.h"

#include <poll.h>

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <ctime>

PtyServer::PtyServer(PtyPort& port, SimDevice& device) : port_(port), device_(device) {}

QString PtyServer::SettingsString(const PtyPort::LineSettings& line,
                                  const QByteArray& bytes) const {
  if (settingsFunction_) return settingsFunction_(line, bytes);
  return QStringLiteral("%1,N,8,%2").arg(line.baudRate).arg(line.twoStopBits ? 2 : 1);
}

std::chrono::nanoseconds PtyServer::ByteTime(const QString& settings) {
  const QStringList parts = settings.split(QLatin1Char(','));
  if (parts.size() != 4) return std::chrono::nanoseconds(0);
  const long long baud = parts[0].toLongLong();
  if (baud <= 0) return std::chrono::nanoseconds(0);
  // Stop bits count in halves so that 1.5 stays exact.
  const int halfStops = parts[3] == QLatin1String("2")     ? 4
                        : parts[3] == QLatin1String("1.5") ? 3
                                                           : 2;
  const int halfBits =
      2 * (1 + parts[2].toInt() + (parts[1] == QLatin1String("N") ? 0 : 1)) + halfStops;
  return std::chrono::nanoseconds(1000000000LL * halfBits / (2 * baud));
}

void PtyServer::Schedule(Event event) {
  event.sequence = sequence_++;
  events_.push(std::move(event));
}

bool PtyServer::Handle(const Event& event) {
  if (!event.deliver) {
    port_.WriteAll(event.bytes);
    return true;
  }
  const DeviceReply reply = device_.Receive(event.bytes, event.settings);
  if (trace_) {
    trace_(QStringLiteral("%1 <- %2 -> %3%4")
               .arg(event.settings, QString::fromLatin1(event.bytes.toHex(' ')),
                    QString::fromLatin1(reply.bytes.toHex(' ')),
                    reply.hangUp ? QStringLiteral(" (hang-up)") : QString()));
  }
  if (reply.hangUp) return false;
  if (reply.bytes.isEmpty()) return true;
  Event answer;
  // The answer starts when the request has arrived (event.at), however late
  // this process got to handle it: on a real line the device's timing does
  // not depend on the host's scheduler.
  const Clock::time_point start = std::max(event.at + reply.delay, outputFreeAt_);
  const std::chrono::nanoseconds duration =
      wire_ ? event.byteTime * static_cast<long>(reply.bytes.size()) : std::chrono::nanoseconds(0);
  answer.at = start + duration;
  outputFreeAt_ = answer.at;
  answer.deliver = false;
  answer.bytes = reply.bytes;
  answer.byteTime = event.byteTime;
  Schedule(std::move(answer));
  return true;
}

bool PtyServer::Run() {
  for (;;) {
    // Everything due now.
    while (!events_.empty() && events_.top().at <= Clock::now()) {
      const Event event = events_.top();
      events_.pop();
      if (!Handle(event)) {
        port_.HangUp();
        return true;
      }
    }
    // Wake exactly when the next event is due: a timeout in whole
    // milliseconds would make every byte time late by up to a millisecond.
    timespec timeout{};
    timespec* wait = nullptr;
    if (!events_.empty()) {
      const long long ns = std::max<long long>(
          0, std::chrono::duration_cast<std::chrono::nanoseconds>(events_.top().at - Clock::now())
                 .count());
      timeout.tv_sec = static_cast<time_t>(ns / 1000000000);
      timeout.tv_nsec = static_cast<long>(ns % 1000000000);
      wait = &timeout;
    }
    pollfd fds[2] = {{port_.MasterFd(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const int ready = ::ppoll(fds, stopFd_ >= 0 ? 2 : 1, wait, nullptr);
    if (ready < 0 && errno != EINTR) return false;
    if (stopFd_ >= 0 && (fds[1].revents & POLLIN)) return false;
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      const QByteArray bytes = port_.ReadAvailable();
      if (bytes.isEmpty()) continue;
      const PtyPort::LineSettings line = port_.CurrentSettings();
      Event event;
      event.deliver = true;
      event.bytes = bytes;
      event.settings = SettingsString(line, bytes);
      event.byteTime = ByteTime(event.settings);
      if (wire_) {
        // The bytes are on the line one after the other; the device has them
        // once the last one has arrived.
        inputFreeAt_ =
            std::max(Clock::now(), inputFreeAt_) + event.byteTime * static_cast<long>(bytes.size());
        event.at = inputFreeAt_;
      } else {
        event.at = Clock::now();
      }
      Schedule(std::move(event));
    } else if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR))) {
      // Nobody holds the other end (cannot happen while our own slave
      // descriptor is open); avoid spinning.
      ::poll(nullptr, 0, 5);
    }
  }
}
