#include "link/QtSerialLink.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QStringList>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#endif

QtSerialLink::QtSerialLink(Resolver resolver, QObject* parent)
    : QObject(parent), resolver_(std::move(resolver)) {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialLink::OnReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLink::OnError);
}

QtSerialLink::~QtSerialLink() {
  port_.disconnect(this);
  if (port_.isOpen()) port_.close();
}

void QtSerialLink::SetPort(int portNumber) { portNumber_ = portNumber; }

int QtSerialLink::Port() const { return portNumber_; }

bool QtSerialLink::SetSettings(const QString& settings) {
  Format format;
  if (!ParseSettings(settings, &format)) return false;
  settings_ = FormatSettings(format);
  return true;
}

QString QtSerialLink::Settings() const { return settings_; }

QString QtSerialLink::DeviceName() const { return resolver_ ? resolver_(portNumber_) : QString(); }

bool QtSerialLink::Open() {
  if (IsOpen()) return true;
  if (port_.isOpen()) Close();  // a failed session still waiting for its clean-up
  lastOpenFailed_ = true;
  const QString device = DeviceName();
  if (device.isEmpty())
    return OpenFailed(
        QStringLiteral("COM%1: no serial device has this port number").arg(portNumber_));
  Format format;
  ParseSettings(settings_, &format);
  port_.setPortName(device);
  port_.setBaudRate(format.baudRate);
  port_.setParity(format.parity);
  port_.setDataBits(format.dataBits);
#ifdef Q_OS_WIN
  port_.setStopBits(format.stopBits);
#else
  // termios knows one or two stop bits; UARTs send 1.5 where "two" is asked
  // with 5 data bits, so two is the nearest setting.
  port_.setStopBits(format.stopBits == QSerialPort::OneAndHalfStop ? QSerialPort::TwoStop
                                                                   : format.stopBits);
#endif
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) {
    const QString reason = DescribeOpenFailure(device, port_.error(), port_.errorString());
    port_.clearError();
    return OpenFailed(reason);
  }
  failed_ = false;
  lastOpenFailed_ = false;
  deviceFailed_ = false;
  openedDevice_ = device;
  buffer_.clear();
  RequestLowLatency();
  // Whatever reached the driver while nobody listened belongs to no request.
  port_.clear(QSerialPort::Input);
  port_.clearError();
  return true;
}

bool QtSerialLink::OpenFailed(const QString& reason) {
  errorString_ = reason;
  if (openFailure_) openFailure_(reason);
  return false;
}

void QtSerialLink::Close() {
  ++session_;
  failed_ = false;
  buffer_.clear();
  if (port_.isOpen()) port_.close();
  port_.clearError();
}

bool QtSerialLink::IsOpen() const { return port_.isOpen() && !failed_; }

QString QtSerialLink::ErrorString() const { return errorString_; }

void QtSerialLink::SetThreshold(int bytes) { threshold_ = bytes < 0 ? 0 : bytes; }

int QtSerialLink::Threshold() const { return threshold_; }

bool QtSerialLink::Write(const QByteArray& bytes) {
  if (!IsOpen()) {
    errorString_ = QStringLiteral("the port is not open");
    return false;
  }
  const qint64 written = port_.write(bytes);
  if (written == bytes.size()) port_.flush();  // hand the bytes to the driver now
  if (written != bytes.size() || failed_) {
    if (!failed_) FailAndClose(port_.errorString());
    return false;
  }
  return true;
}

QByteArray QtSerialLink::ReadAll() {
  if (port_.isOpen() && !failed_) buffer_ += port_.readAll();
  QByteArray all;
  all.swap(buffer_);
  return all;
}

void QtSerialLink::OnReadyRead() {
  if (failed_) return;
  buffer_ += port_.readAll();
  if (threshold_ > 0 && buffer_.size() >= threshold_) RaiseReceive();
}

void QtSerialLink::OnError(QSerialPort::SerialPortError error) {
  switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
      if (port_.isOpen()) FailAndClose(port_.errorString());
      break;
    default:
      break;  // open failures are reported by Open(); the rest does not end a session
  }
}

void QtSerialLink::FailAndClose(const QString& reason) {
  if (failed_) return;
  failed_ = true;
  deviceFailed_ = true;
  const QString& device = openedDevice_;
  errorString_ =
      device + QStringLiteral(": ") + (reason.isEmpty() ? QStringLiteral("I/O error") : reason);
  if (!device.isEmpty() && !QFileInfo::exists(device))
    errorString_ += QStringLiteral(" (the device is gone: adapter unplugged?)");
  const unsigned session = session_;
  // Closing from inside the port's own notification is unsafe; finish the
  // clean-up from the event loop. Until then the port counts as closed.
  QMetaObject::invokeMethod(
      this,
      [this, session] {
        if (session != session_) return;  // closed by its owner meanwhile
        ++session_;
        if (port_.isOpen()) port_.close();
        port_.clearError();
        buffer_.clear();
        RaiseLost(errorString_);
      },
      Qt::QueuedConnection);
}

void QtSerialLink::RequestLowLatency() {
#ifdef Q_OS_LINUX
  // USB adapters otherwise hold each answer back for up to 16 ms. Drivers
  // that do not know the request (pseudo-terminals) refuse it: no matter.
  serial_struct serial{};
  const int fd = static_cast<int>(port_.handle());
  if (fd >= 0 && ::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
    serial.flags |= ASYNC_LOW_LATENCY;
    (void)::ioctl(fd, TIOCSSERIAL, &serial);
  }
#endif
}

bool QtSerialLink::ParseSettings(const QString& settings, Format* format) {
  const QStringList parts = settings.trimmed().split(QLatin1Char(','));
  if (parts.size() != 4) return false;
  Format result;
  bool ok = false;
  const QString baudText = parts[0].trimmed();
  const qint64 baud = baudText.toLongLong(&ok);
  if (!ok || baud < 50 || baud > 4000000 || baudText.startsWith(QLatin1Char('+'))) return false;
  result.baudRate = static_cast<qint32>(baud);

  const QString parity = parts[1].trimmed().toUpper();
  if (parity == QLatin1String("N")) {
    result.parity = QSerialPort::NoParity;
  } else if (parity == QLatin1String("E")) {
    result.parity = QSerialPort::EvenParity;
  } else if (parity == QLatin1String("O")) {
    result.parity = QSerialPort::OddParity;
  } else if (parity == QLatin1String("M")) {
    result.parity = QSerialPort::MarkParity;
  } else if (parity == QLatin1String("S")) {
    result.parity = QSerialPort::SpaceParity;
  } else {
    return false;
  }

  const QString data = parts[2].trimmed();
  if (data == QLatin1String("5")) {
    result.dataBits = QSerialPort::Data5;
  } else if (data == QLatin1String("6")) {
    result.dataBits = QSerialPort::Data6;
  } else if (data == QLatin1String("7")) {
    result.dataBits = QSerialPort::Data7;
  } else if (data == QLatin1String("8")) {
    result.dataBits = QSerialPort::Data8;
  } else {
    return false;
  }

  const QString stop = parts[3].trimmed();
  if (stop == QLatin1String("1")) {
    result.stopBits = QSerialPort::OneStop;
  } else if (stop == QLatin1String("1.5")) {
    result.stopBits = QSerialPort::OneAndHalfStop;
  } else if (stop == QLatin1String("2")) {
    result.stopBits = QSerialPort::TwoStop;
  } else {
    return false;
  }
  *format = result;
  return true;
}

QString QtSerialLink::FormatSettings(const Format& format) {
  QChar parity = QLatin1Char('N');
  switch (format.parity) {
    case QSerialPort::EvenParity:
      parity = QLatin1Char('E');
      break;
    case QSerialPort::OddParity:
      parity = QLatin1Char('O');
      break;
    case QSerialPort::MarkParity:
      parity = QLatin1Char('M');
      break;
    case QSerialPort::SpaceParity:
      parity = QLatin1Char('S');
      break;
    default:
      break;
  }
  QString stop = QStringLiteral("1");
  if (format.stopBits == QSerialPort::OneAndHalfStop) stop = QStringLiteral("1.5");
  if (format.stopBits == QSerialPort::TwoStop) stop = QStringLiteral("2");
  return QStringLiteral("%1,%2,%3,%4")
      .arg(format.baudRate)
      .arg(parity)
      .arg(static_cast<int>(format.dataBits))
      .arg(stop);
}

QString QtSerialLink::DescribeOpenFailure(const QString& device, QSerialPort::SerialPortError error,
                                          const QString& reason) {
  QString line = device + QStringLiteral(": ") +
                 (reason.isEmpty() ? QStringLiteral("cannot be opened") : reason);
#ifdef Q_OS_LINUX
  const QByteArray path = QFile::encodeName(device);
  if (error == QSerialPort::DeviceNotFoundError || !QFileInfo::exists(device)) {
    line += QStringLiteral(" (the device is not there: adapter unplugged?)");
  } else if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
    line += QStringLiteral(
        " (permission denied: add the user to the dialout group with"
        " \"sudo usermod -aG dialout $USER\", then log in again)");
  } else if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError ||
             error == QSerialPort::ResourceError) {
    line += QStringLiteral(" (busy: another program holds the port; \"fuser %1\" shows which)")
                .arg(device);
  }
#else
  Q_UNUSED(error);
#endif
  return line;
}
