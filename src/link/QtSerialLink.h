#pragma once

#include "link/SerialLink.h"

#include <QObject>
#include <QSerialPort>

#include <functional>

/// SerialLink on QSerialPort.
///
/// The port number is turned into a device by a resolver function (normally
/// PortCatalog::DeviceFor, or a fixed path for `--port /dev/pts/3`). Settings
/// are kept as a string and applied when the port opens (a pseudo-terminal
/// only takes parity and data bits while closed). The receive threshold is
/// emulated over readyRead: received bytes are buffered here and the receive
/// handler runs once at least Threshold() bytes are buffered.
///
/// The first read, write or resource error closes the port and raises the
/// lost handler once: after an adapter is pulled out, Qt 6.4 reports
/// ReadError endlessly while isOpen() stays true.
class QtSerialLink : public QObject, public SerialLink {
  Q_OBJECT

 public:
  /// Maps a port number to a device name; an empty result means "no device".
  using Resolver = std::function<QString(int portNumber)>;

  explicit QtSerialLink(Resolver resolver, QObject* parent = nullptr);
  ~QtSerialLink() override;

  void SetPort(int portNumber) override;
  int Port() const override;
  bool SetSettings(const QString& settings) override;
  QString Settings() const override;
  bool Open() override;
  void Close() override;
  bool IsOpen() const override;
  /// The system's reason of the last failure; for a failed open also the
  /// device and, on Linux, a hint for the usual causes (permission, busy).
  QString ErrorString() const override;
  void SetThreshold(int bytes) override;
  int Threshold() const override;
  bool Write(const QByteArray& bytes) override;
  QByteArray ReadAll() override;

  /// The device the current port number resolves to (empty when none).
  QString DeviceName() const;
  /// Whether the last Open() failed (ErrorString() then says why).
  bool LastOpenFailed() const { return lastOpenFailed_; }
  /// Called with ErrorString() whenever Open() fails, so that the window can
  /// add the system's reason (and the hint) to its message list below the
  /// "请重新选择端口！" box.
  void SetOpenFailureHandler(std::function<void(const QString&)> handler) {
    openFailure_ = std::move(handler);
  }
  /// Whether the device failed since the last Open() (ErrorString() says why).
  bool DeviceFailed() const { return deviceFailed_; }

  /// A parsed settings string.
  struct Format {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
  };
  /// Parses "9600,E,7,1" (parity N/E/O/M/S, data bits 5 to 8, stop bits 1,
  /// 1.5 or 2); false for anything else.
  static bool ParseSettings(const QString& settings, Format* format);
  /// The settings string of a format ("115200,N,8,1.5").
  static QString FormatSettings(const Format& format);
  /// The line shown when a port cannot be opened: the device, the system's
  /// reason and, on Linux, what usually helps ("dialout" group, another
  /// program holding the port).
  static QString DescribeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                     const QString& reason);

 private:
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);
  void FailAndClose(const QString& reason);
  void RequestLowLatency();
  bool OpenFailed(const QString& reason);

  Resolver resolver_;
  std::function<void(const QString&)> openFailure_;
  QSerialPort port_;
  int portNumber_ = 1;
  QString settings_ = QStringLiteral("9600,N,8,1");
  QString errorString_;
  QByteArray buffer_;
  int threshold_ = 0;
  bool failed_ = false;
  bool lastOpenFailed_ = false;
  bool deviceFailed_ = false;
  QString openedDevice_;  ///< the device of the current (or last) session
  unsigned session_ = 0;  ///< counts closes, so a late failure cannot close a new session
};
