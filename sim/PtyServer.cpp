#include "PtyServer.h"

#include "SimDevice.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

PtyServer::PtyServer(PtyPort& port, SimDevice& device) : port_(port), device_(device) {}

void PtyServer::SetAssumedFrame(QChar parity, int dataBits) {
  parity_ = parity;
  dataBits_ = dataBits;
}

QString PtyServer::SettingsString(const PtyPort::LineSettings& line) const {
  return QStringLiteral("%1,%2,%3,%4")
      .arg(line.baudRate)
      .arg(parity_)
      .arg(dataBits_)
      .arg(line.twoStopBits ? 2 : 1);
}

std::chrono::nanoseconds PtyServer::ByteTime(const PtyPort::LineSettings& line) const {
  if (line.baudRate <= 0) return std::chrono::nanoseconds(0);
  const int bits =
      1 + dataBits_ + (parity_ == QLatin1Char('N') ? 0 : 1) + (line.twoStopBits ? 2 : 1);
  return std::chrono::nanoseconds(1000000000LL * bits / line.baudRate);
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
  const Clock::time_point start = std::max(Clock::now() + reply.delay, outputFreeAt_);
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
    int timeoutMs = -1;
    if (!events_.empty()) {
      const auto wait =
          std::chrono::duration_cast<std::chrono::microseconds>(events_.top().at - Clock::now());
      timeoutMs = static_cast<int>(std::max<long long>(0, (wait.count() + 999) / 1000));
    }
    pollfd fds[2] = {{port_.MasterFd(), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const int ready = ::poll(fds, stopFd_ >= 0 ? 2 : 1, timeoutMs);
    if (ready < 0 && errno != EINTR) return false;
    if (stopFd_ >= 0 && (fds[1].revents & POLLIN)) return false;
    if (ready > 0 && (fds[0].revents & POLLIN)) {
      const QByteArray bytes = port_.ReadAvailable();
      if (bytes.isEmpty()) continue;
      const PtyPort::LineSettings line = port_.CurrentSettings();
      Event event;
      event.deliver = true;
      event.bytes = bytes;
      event.settings = SettingsString(line);
      event.byteTime = ByteTime(line);
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
