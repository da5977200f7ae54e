#pragma once

#include "SimDevice.h"
#include "image/ParameterImage.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <chrono>
#include <cstdint>

/// The simulated terminal behind the configuration protocol: a 10240-byte
/// parameter memory (identity bytes at 1024..1027), a core log memory, and
/// its own RS-485 format. It greets only at its own format; after "LBTW" the
/// session runs at the transfer format (7 data bits become 8) until "E".
/// Pure: no event loop and no I/O; bytes in, bytes out.
class TerminalModel : public SimDevice {
 public:
  /// Named faults, each off by default.
  struct Faults {
    /// Which first request goes unanswered, once in the model's life.
    enum class FirstTry { None, Handshake, DataRequest };

    bool silent = false;                 ///< never answers
    FirstTry firstTry = FirstTry::None;  ///< the first handshake or data request is lost
    bool badHandshake = false;           ///< answers "LBTW" with "LBTX"
    int refuseBlock = -1;                ///< refuses (0x15) data requests at address N x 16
    int silentBlock = -1;                ///< never answers data requests at address N x 16
    int loseWriteBlock = -1;             ///< acknowledges writes at address N x 16, keeps old bytes
    bool garbage = false;                ///< every answer is replaced by noise of its length
    bool longCount = false;              ///< read answers announce 8 bytes more than they carry
    std::chrono::milliseconds delay{0};  ///< every answer starts this late
    int hangUpAfterBytes = -1;           ///< vanishes once this many bytes were received
    int silentAfterRequests = -1;        ///< answers only the first N requests
  };

  /// One request as the terminal parsed it.
  struct Request {
    QByteArray bytes;
    QString settings;  ///< the port's format it arrived at
  };

  static constexpr int kLogSize = 0x10000;
  static constexpr int kLogTextBase = 0x0800;

  /// Defaults in the parameter memory, identity 10 01 19 01, format "9600,N,8,1",
  /// an empty core log.
  TerminalModel();

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override;
  bool MidFrame() const override { return !buffer_.isEmpty(); }

  /// The RS-485 format the terminal greets at ("9600,E,7,1").
  void SetFormat(const QString& settings) { format_ = settings; }
  QString Format() const { return format_; }
  /// The format of a session: the greeting format with 8 data bits.
  QString TransferFormat() const;
  bool InSession() const { return session_; }

  ParameterImage& Memory() { return memory_; }
  const ParameterImage& Memory() const { return memory_; }
  void SetIdentity(const std::array<uint8_t, 4>& identity);

  /// Appends a core-log entry: an index record ('w', length, offset) and its
  /// text from 0x0800 + offset. Returns false when the index or text is full.
  bool AddLogEntry(const QByteArray& text);
  /// Writes raw bytes into the core log memory (index records or text).
  void SetLogBytes(int address, const QByteArray& bytes);
  const QByteArray& LogMemory() const { return log_; }

  Faults& MutableFaults() { return faults_; }
  void SetFaults(const Faults& faults) { faults_ = faults; }

  /// The value last written to the adjust byte (0x03F0), -1 before any.
  int LastAdjust() const { return lastAdjust_; }
  int AdjustWrites() const { return adjustWrites_; }
  int FactoryResets() const { return factoryResets_; }
  /// Every complete request received, in order (faulty ones included).
  const QList<Request>& RequestLog() const { return requests_; }
  void ClearRequestLog() { requests_.clear(); }

 private:
  /// Length of the frame at the start of the buffer, 0 if incomplete, -1 if
  /// the first byte starts no frame.
  int FrameLength() const;
  QByteArray Answer(const QByteArray& frame, const QString& settings);
  QByteArray AnswerRead(int address, int count);
  QByteArray AnswerWrite(const QByteArray& frame, int address, int count);
  QByteArray Noise(int length);
  /// The refusal 0x15: for a read (count >= 0) padded to the answer's length.
  QByteArray Refusal(int readCount);

  ParameterImage memory_;
  QByteArray log_;
  int logEntries_ = 0;
  int logNextOffset_ = 0;
  QString format_ = QStringLiteral("9600,N,8,1");
  bool session_ = false;
  QByteArray buffer_;
  QString bufferSettings_;
  Faults faults_;
  bool firstTryUsed_ = false;
  long long receivedBytes_ = 0;
  bool hungUp_ = false;
  int answered_ = 0;
  int lastAdjust_ = -1;
  int adjustWrites_ = 0;
  int factoryResets_ = 0;
  uint32_t noiseState_ = 0x2545F491u;
  QList<Request> requests_;
};
