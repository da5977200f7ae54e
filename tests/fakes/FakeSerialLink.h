#pragma once

#include "ManualClock.h"
#include "link/SerialLink.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <chrono>

class SimDevice;

/// A SerialLink wired to a simulated device (sim/SimDevice.h) on a
/// ManualClock. Each Write hands the bytes to the device together with the
/// link's current settings string; the device's reply arrives later as clock
/// events (after reply.delay, plus the wire time per byte when set), and the
/// receive handler runs once the threshold is reached, never from inside
/// Write. A reply with hangUp closes the link and raises the lost handler.
///
/// Everything that crosses the link is kept in a wire log, so a test can
/// check the bytes and the settings they were sent with.
class FakeSerialLink : public SerialLink {
 public:
  /// One entry of the wire log.
  struct WireEvent {
    enum class Type { Open, OpenFailed, Close, Write, WriteFailed, Receive, Lost };
    Type type;
    QByteArray bytes;  ///< written or received bytes
    QString settings;  ///< settings at the time (for Open: the ones opened with)
    int port = 0;
    ManualClock::Duration at{0};  ///< virtual time
  };

  explicit FakeSerialLink(ManualClock& clock, SimDevice* device = nullptr);
  ~FakeSerialLink() override;

  /// The settings the open port runs at (what the device sees); settings
  /// changed while open take effect at the next Open().
  QString ActiveSettings() const { return open_ ? active_ : settings_; }

  /// The device behind the line; nullptr is a line with nothing attached.
  void AttachDevice(SimDevice* device) { device_ = device; }

  // SerialLink
  void SetPort(int portNumber) override { port_ = portNumber; }
  int Port() const override { return port_; }
  bool SetSettings(const QString& settings) override;
  QString Settings() const override { return settings_; }
  bool Open() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  QString ErrorString() const override { return error_; }
  void SetThreshold(int bytes) override;
  int Threshold() const override { return threshold_; }
  bool Write(const QByteArray& bytes) override;
  QByteArray ReadAll() override;

  // Test controls.
  /// Only these port numbers open; the default is every port.
  void SetPresentPorts(const QSet<int>& ports);
  /// Every port opens again.
  void SetAllPortsPresent();
  /// The ErrorString() of a failing Open (default "No such file or directory").
  void SetOpenError(const QString& reason) { openError_ = reason; }
  /// Wire time per byte for the device's answers (0: an answer arrives whole).
  void SetWireTimePerByte(ManualClock::Duration perByte) { perByte_ = perByte; }
  /// The next `count` writes fail (return false, ErrorString() set). With
  /// `lost`, a failing write also closes the link and raises the lost
  /// handler before it returns, as a real port does on a write error.
  void FailWrites(int count, bool lost = false);
  /// The device vanishes now: the link closes and the lost handler runs.
  void InjectLost(const QString& reason = QStringLiteral("Resource error"));
  /// The device vanishes after `delay` of virtual time (if the link is open then).
  void ScheduleLost(ManualClock::Duration delay,
                    const QString& reason = QStringLiteral("Resource error"));
  /// Bytes arriving from the line after `delay`, as if the device sent them.
  void InjectReceive(const QByteArray& bytes, ManualClock::Duration delay = {});

  const QList<WireEvent>& WireLog() const { return log_; }
  /// The bytes of every successful write, in order.
  QList<QByteArray> Writes() const;
  /// The settings of every successful write, in order.
  QStringList WriteSettings() const;
  int OpenCount() const;
  void ClearLog() { log_.clear(); }

  /// True for a well-formed settings string ("9600,E,7,1", "115200,N,8,1.5").
  static bool IsValidSettings(const QString& settings);

 private:
  void Log(WireEvent::Type type, const QByteArray& bytes = {});
  void Deliver(const QByteArray& bytes, quint64 session);
  void Lose(const QString& reason);

  ManualClock& clock_;
  SimDevice* device_;
  int port_ = 1;
  QString settings_ = QStringLiteral("9600,N,8,1");
  QString active_;  ///< the settings the port was opened with
  bool open_ = false;
  quint64 session_ = 0;  ///< counts opens; bytes of an old session are dropped
  QString error_;
  QString openError_ = QStringLiteral("No such file or directory");
  bool allPresent_ = true;
  QSet<int> present_;
  int threshold_ = 0;
  QByteArray input_;
  ManualClock::Duration perByte_{0};
  ManualClock::Duration lastArrival_{0};
  int failWrites_ = 0;
  bool failWritesLose_ = false;
  QList<WireEvent> log_;
  std::shared_ptr<bool> alive_;
};
