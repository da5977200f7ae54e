#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

/// A serial port as the protocols see it: a port number, a settings string
/// such as "9600,E,7,1", open and close, a receive threshold and a receive
/// callback. QtSerialLink puts it on a real port; the tests put it on a fake.
class SerialLink {
 public:
  virtual ~SerialLink() = default;

  /// Port number 1 to 99 (the device behind it is the implementation's matter).
  virtual void SetPort(int portNumber) = 0;
  virtual int Port() const = 0;

  /// Settings string "baud,parity,data,stop", for example "9600,E,7,1" or
  /// "115200,N,8,1.5". Returns false (and keeps the old settings) when the
  /// string is malformed. Takes effect at the next Open().
  virtual bool SetSettings(const QString& settings) = 0;
  virtual QString Settings() const = 0;

  /// Opens the port with the current settings; false on failure, with the
  /// system's reason in ErrorString().
  virtual bool Open() = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual QString ErrorString() const = 0;

  /// The receive callback is raised whenever at least `bytes` bytes are
  /// buffered after new data arrived; 0 switches it off.
  virtual void SetThreshold(int bytes) = 0;
  virtual int Threshold() const = 0;

  /// Writes the bytes; false when the port is closed or the write failed.
  virtual bool Write(const QByteArray& bytes) = 0;
  /// Takes everything received so far.
  virtual QByteArray ReadAll() = 0;

  /// Raised (never re-entrantly from Write) when the threshold is reached.
  void SetReceiveHandler(std::function<void()> handler) { receive_ = std::move(handler); }
  /// Raised once when the device fails (adapter pulled out, I/O error); the
  /// port is closed by then. The argument is the system's reason.
  void SetLostHandler(std::function<void(const QString&)> handler) { lost_ = std::move(handler); }

 protected:
  void RaiseReceive() {
    if (receive_) receive_();
  }
  void RaiseLost(const QString& reason) {
    if (lost_) lost_(reason);
  }

 private:
  std::function<void()> receive_;
  std::function<void(const QString&)> lost_;
};
