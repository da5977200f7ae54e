#pragma once
// A SerialLink in front of another one that notes when each request went out
// and each answer came in, with the byte count and the settings in force, so
// a benchmark can put the traffic beside its time on a real line.

#include "link/SerialLink.h"

#include <QStringList>

#include <chrono>
#include <vector>

/// Forwards everything to the inner link and records the traffic.
class TimingLink : public SerialLink {
 public:
  using Clock = std::chrono::steady_clock;

  /// One write or one answer taken by the protocol.
  struct Event {
    bool write = false;  ///< true: a request went out; false: an answer was taken
    Clock::time_point at;
    int bytes = 0;
    QString settings;  ///< the port's settings at that moment
  };

  explicit TimingLink(SerialLink& inner) : inner_(inner) {
    inner_.SetReceiveHandler([this] {
      receivedAt_ = Clock::now();
      inReceive_ = true;
      RaiseReceive();
      inReceive_ = false;
    });
    inner_.SetLostHandler([this](const QString& reason) { RaiseLost(reason); });
  }
  ~TimingLink() override {
    inner_.SetReceiveHandler(nullptr);
    inner_.SetLostHandler(nullptr);
  }

  void SetPort(int portNumber) override { inner_.SetPort(portNumber); }
  int Port() const override { return inner_.Port(); }
  bool SetSettings(const QString& settings) override { return inner_.SetSettings(settings); }
  QString Settings() const override { return inner_.Settings(); }
  bool Open() override { return inner_.Open(); }
  void Close() override { inner_.Close(); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  QString ErrorString() const override { return inner_.ErrorString(); }
  void SetThreshold(int bytes) override { inner_.SetThreshold(bytes); }
  int Threshold() const override { return inner_.Threshold(); }

  bool Write(const QByteArray& bytes) override {
    const bool ok = inner_.Write(bytes);
    events_.push_back({true, Clock::now(), static_cast<int>(bytes.size()), inner_.Settings()});
    return ok;
  }

  QByteArray ReadAll() override {
    QByteArray bytes = inner_.ReadAll();
    // Outside the receive callback the protocol only drops stale input.
    if (inReceive_ && !bytes.isEmpty())
      events_.push_back({false, receivedAt_, static_cast<int>(bytes.size()), inner_.Settings()});
    return bytes;
  }

  const std::vector<Event>& Events() const { return events_; }
  void ClearEvents() { events_.clear(); }

  /// Duration of one character at a settings string: start bit, data bits,
  /// parity bit unless "N", stop bits (1.5 counts as such).
  static std::chrono::nanoseconds ByteTime(const QString& settings) {
    const QStringList parts = settings.split(QLatin1Char(','));
    if (parts.size() != 4) return std::chrono::nanoseconds(0);
    const double baud = parts[0].toDouble();
    if (baud <= 0) return std::chrono::nanoseconds(0);
    const double bits = 1 + parts[2].toDouble() +
                        (parts[1].compare(QLatin1String("N"), Qt::CaseInsensitive) ? 1 : 0) +
                        parts[3].toDouble();
    return std::chrono::nanoseconds(static_cast<long long>(bits * 1e9 / baud + 0.5));
  }

 private:
  SerialLink& inner_;
  std::vector<Event> events_;
  Clock::time_point receivedAt_{};
  bool inReceive_ = false;
};
