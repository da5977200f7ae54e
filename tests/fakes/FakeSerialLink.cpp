#include "FakeSerialLink.h"

#include "SimDevice.h"

#include <QRegularExpression>

FakeSerialLink::FakeSerialLink(ManualClock& clock, SimDevice* device)
    : clock_(clock), device_(device), alive_(std::make_shared<bool>(true)) {}

FakeSerialLink::~FakeSerialLink() { *alive_ = false; }

bool FakeSerialLink::IsValidSettings(const QString& settings) {
  static const QRegularExpression pattern(
      QStringLiteral("^[1-9][0-9]{1,6},[NEOMS],[5-8],(1|1\\.5|2)$"));
  return pattern.match(settings).hasMatch();
}

bool FakeSerialLink::SetSettings(const QString& settings) {
  if (!IsValidSettings(settings)) return false;
  settings_ = settings;
  return true;
}

void FakeSerialLink::Log(WireEvent::Type type, const QByteArray& bytes) {
  log_.append(WireEvent{type, bytes, ActiveSettings(), port_, clock_.Elapsed()});
}

bool FakeSerialLink::Open() {
  if (open_) return true;
  if (!allPresent_ && !present_.contains(port_)) {
    error_ = openError_;
    Log(WireEvent::Type::OpenFailed);
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

void FakeSerialLink::Close() {
  if (!open_) return;
  open_ = false;
  input_.clear();
  Log(WireEvent::Type::Close);
}

void FakeSerialLink::SetThreshold(int bytes) { threshold_ = bytes < 0 ? 0 : bytes; }

bool FakeSerialLink::Write(const QByteArray& bytes) {
  if (!open_) {
    error_ = QStringLiteral("Device not open");
    return false;
  }
  if (failWrites_ > 0) {
    --failWrites_;
    error_ = QStringLiteral("Write error");
    Log(WireEvent::Type::WriteFailed, bytes);
    if (failWritesLose_) Lose(error_);
    return false;
  }
  Log(WireEvent::Type::Write, bytes);
  if (device_ == nullptr) return true;

  const DeviceReply reply = device_->Receive(bytes, active_);
  const quint64 session = session_;
  // The request itself takes its wire time before the device can answer.
  ManualClock::Duration at = perByte_ * bytes.size() + reply.delay;
  if (at < lastArrival_ - clock_.Elapsed()) at = lastArrival_ - clock_.Elapsed();
  if (perByte_.count() == 0) {
    if (!reply.bytes.isEmpty()) InjectReceive(reply.bytes, at);
  } else {
    for (const char byte : reply.bytes) {
      at += perByte_;
      InjectReceive(QByteArray(1, byte), at);
    }
  }
  if (reply.hangUp) {
    std::weak_ptr<bool> alive = alive_;
    clock_.Schedule(at, [this, alive, session] {
      if (alive.expired() || !*alive.lock() || session != session_ || !open_) return;
      Lose(QStringLiteral("The device vanished"));
    });
  }
  lastArrival_ = clock_.Elapsed() + at;
  return true;
}

void FakeSerialLink::InjectReceive(const QByteArray& bytes, ManualClock::Duration delay) {
  const quint64 session = session_;
  std::weak_ptr<bool> alive = alive_;
  clock_.Schedule(delay, [this, alive, bytes, session] {
    if (alive.expired() || !*alive.lock()) return;
    Deliver(bytes, session);
  });
}

void FakeSerialLink::Deliver(const QByteArray& bytes, quint64 session) {
  // Bytes for a port that has been closed (or closed and opened again) are lost.
  if (!open_ || session != session_) return;
  input_.append(bytes);
  Log(WireEvent::Type::Receive, bytes);
  if (threshold_ > 0 && input_.size() >= threshold_) RaiseReceive();
}

QByteArray FakeSerialLink::ReadAll() {
  QByteArray bytes;
  bytes.swap(input_);
  return bytes;
}

void FakeSerialLink::SetPresentPorts(const QSet<int>& ports) {
  allPresent_ = false;
  present_ = ports;
}

void FakeSerialLink::SetAllPortsPresent() {
  allPresent_ = true;
  present_.clear();
}

void FakeSerialLink::FailWrites(int count, bool lost) {
  failWrites_ = count;
  failWritesLose_ = lost;
}

void FakeSerialLink::Lose(const QString& reason) {
  if (!open_) return;
  open_ = false;
  input_.clear();
  error_ = reason;
  Log(WireEvent::Type::Lost);
  RaiseLost(reason);
}

void FakeSerialLink::InjectLost(const QString& reason) { Lose(reason); }

void FakeSerialLink::ScheduleLost(ManualClock::Duration delay, const QString& reason) {
  std::weak_ptr<bool> alive = alive_;
  clock_.Schedule(delay, [this, alive, reason] {
    if (alive.expired() || !*alive.lock()) return;
    Lose(reason);
  });
}

QList<QByteArray> FakeSerialLink::Writes() const {
  QList<QByteArray> writes;
  for (const WireEvent& event : log_)
    if (event.type == WireEvent::Type::Write) writes.append(event.bytes);
  return writes;
}

QStringList FakeSerialLink::WriteSettings() const {
  QStringList settings;
  for (const WireEvent& event : log_)
    if (event.type == WireEvent::Type::Write) settings.append(event.settings);
  return settings;
}

int FakeSerialLink::OpenCount() const {
  int count = 0;
  for (const WireEvent& event : log_)
    if (event.type == WireEvent::Type::Open) ++count;
  return count;
}
