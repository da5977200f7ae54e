#pragma once

#include "ManualClock.h"
#include "SimDevice.h"
#include "link/SerialLink.h"

#include <QByteArray>
#include <QSet>
#include <QStringList>

#include <memory>
#include <utility>

/// A SerialLink to a simulated device on a ManualClock: the device gets each
/// write with the settings the port was opened with; its reply arrives later
/// as clock events, never from inside Write. Keeps a log of what crossed.
class FakeSerialLink : public SerialLink {
 public:
  struct WireEvent {
    enum class Type { Open, Write, Receive };
    Type type;
    QByteArray bytes;
    QString settings;
    ManualClock::Duration at{0};  ///< virtual time
  };

  explicit FakeSerialLink(ManualClock& clock, SimDevice* device = nullptr)
      : clock_(clock), device_(device) {}
  /// The device behind the line; nullptr: nothing answers.
  void AttachDevice(SimDevice* device) { device_ = device; }
  void SetPort(int portNumber) override { port_ = portNumber; }
  int Port() const override { return port_; }
  bool SetSettings(const QString& settings) override {
    settings_ = settings;
    return true;
  }
  QString Settings() const override { return settings_; }
  bool Open() override {
    if (open_) return true;
    if (!allPresent_ && !present_.contains(port_)) {
      error_ = QStringLiteral("No such file or directory");
      return false;
    }
    open_ = true;
    active_ = settings_;
    ++session_;
    error_.clear();
    input_.clear();
    Log(WireEvent::Type::Open);
    return true;
  }
  void Close() override {
    open_ = false;
    input_.clear();
  }
  bool IsOpen() const override { return open_; }
  QString ErrorString() const override { return error_; }
  void SetThreshold(int bytes) override { threshold_ = bytes; }
  int Threshold() const override { return threshold_; }
  bool Write(const QByteArray& bytes) override {
    if (!open_ || failWrites_ > 0) {
      error_ = open_ ? QStringLiteral("Write error") : QStringLiteral("Device not open");
      failWrites_ -= open_;
      return false;
    }
    Log(WireEvent::Type::Write, bytes);
    if (device_ == nullptr) return true;
    const DeviceReply reply = device_->Receive(bytes, active_);
    // The request takes its wire time before the answer; answers keep their order.
    ManualClock::Duration at = perByte_ * bytes.size() + reply.delay;
    at = std::max(at, lastArrival_ - clock_.Elapsed());
    for (int i = 0; perByte_.count() != 0 && i < reply.bytes.size(); ++i)
      InjectReceive(reply.bytes.mid(i, 1), at += perByte_);
    if (perByte_.count() == 0 && !reply.bytes.isEmpty()) InjectReceive(reply.bytes, at);
    if (reply.hangUp) {
      clock_.Schedule(at, [this, alive = std::weak_ptr<bool>(alive_), session = session_] {
        if (alive.expired() || session != session_ || !open_) return;
        Close();
        error_ = QStringLiteral("The device vanished");
        RaiseLost(error_);
      });
    }
    lastArrival_ = clock_.Elapsed() + at;
    return true;
  }
  QByteArray ReadAll() override { return std::exchange(input_, {}); }

  /// Only these port numbers open (the default: every port).
  void SetPresentPorts(const QSet<int>& ports) {
    allPresent_ = false;
    present_ = ports;
  }
  /// Wire time per byte of the device's answers (0: an answer arrives whole).
  void SetWireTimePerByte(ManualClock::Duration perByte) { perByte_ = perByte; }
  /// The next `count` writes fail.
  void FailWrites(int count) { failWrites_ = count; }
  /// Bytes arriving from the line after `delay`, as if the device sent them;
  /// lost if the port is closed (or closed and opened again) meanwhile.
  void InjectReceive(const QByteArray& bytes, ManualClock::Duration delay = {}) {
    clock_.Schedule(delay, [this, alive = std::weak_ptr<bool>(alive_), bytes, session = session_] {
      if (alive.expired() || !open_ || session != session_) return;
      input_.append(bytes);
      Log(WireEvent::Type::Receive, bytes);
      if (threshold_ > 0 && input_.size() >= threshold_) RaiseReceive();
    });
  }

  const QList<WireEvent>& WireLog() const { return log_; }
  QList<QByteArray> Writes() const { return OfWrites(&WireEvent::bytes); }
  QStringList WriteSettings() const { return OfWrites(&WireEvent::settings); }
  int OpenCount() const {
    return static_cast<int>(std::count_if(log_.begin(), log_.end(),
                                          [](auto& e) { return e.type == WireEvent::Type::Open; }));
  }
  void ClearLog() { log_.clear(); }

 private:
  void Log(WireEvent::Type type, const QByteArray& bytes = {}) {
    log_.append(WireEvent{type, bytes, open_ ? active_ : settings_, clock_.Elapsed()});
  }
  template <typename T>
  QList<T> OfWrites(T WireEvent::*field) const {
    QList<T> values;
    for (const WireEvent& event : log_)
      if (event.type == WireEvent::Type::Write) values.append(event.*field);
    return values;
  }

  ManualClock& clock_;
  SimDevice* device_;
  int port_ = 1;
  QString settings_ = QStringLiteral("9600,N,8,1");
  QString active_;  ///< the settings the port was opened with
  bool open_ = false;
  quint64 session_ = 0;
  QString error_;
  bool allPresent_ = true;
  QSet<int> present_;
  int threshold_ = 0;
  QByteArray input_;
  ManualClock::Duration perByte_{0};
  ManualClock::Duration lastArrival_{0};
  int failWrites_ = 0;
  QList<WireEvent> log_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};
