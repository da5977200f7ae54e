#pragma once
// Public face of the transaction engine. The implementation (and any private
// members it needs) belongs to the link code; callers rely only on what is
// declared public here.

#include <QString>

#include <functional>
#include <memory>

class Clock;
class MessageSink;
class ParameterImage;
class Prompts;
class SerialLink;
class Timer;

/// Runs every configuration transaction with the terminal (read, write,
/// factory reset, core log) and the automatic format detection, as a chain
/// of events on a SerialLink and a Timer. It never blocks beyond the short
/// wire pauses and never runs a nested event loop: the end of a transaction
/// is reported through the finished handler.
class TransactionEngine {
 public:
  enum class Kind { None, Read, Write, Reset, Log, Detect };

  TransactionEngine(SerialLink& link, Clock& clock, Prompts& prompts, MessageSink& sink,
                    ParameterImage& image);
  ~TransactionEngine();
  TransactionEngine(const TransactionEngine&) = delete;
  TransactionEngine& operator=(const TransactionEngine&) = delete;

  /// PC port number 1 to 99 used by every transaction.
  void SetPortNumber(int port);
  int PortNumber() const;

  /// The link format ("9600,E,7,1"); also looks up FormatIndex().
  void SetLinkSettings(const QString& settings);
  QString LinkSettings() const;
  /// Position of the link format in the format table, -1 for none.
  int FormatIndex() const;
  /// "Same as device": the link format becomes `deviceFormat` and the line
  /// "软件串口格式为:" + format + "(h2 h3 h6)" is written.
  void SameAsDevice(const QString& deviceFormat);
  /// The line of "Same as device": "软件串口格式为:9600,N,8,1(A 0 1)" with
  /// image bytes 2, 3 and 6 in upper-case hexadecimal without leading zeros.
  static QString LinkFormatLine(const QString& settings, const ParameterImage& image);

  void SetAdjustMode(bool on);
  bool AdjustMode() const;
  /// Chooses the language of the two message boxes.
  void SetLanguageEnglish(bool english);

  /// With the service page on, a read and a write also carry the extended
  /// block, and the production serial number when `serialNumber` is set.
  void SetServiceTransfer(bool enabled, bool serialNumber);
  /// A read also reads the adjust byte (0x03F0) before the identity bytes,
  /// so that the adjust byte of a write can be checked; off by default.
  void SetReadAdjustByte(bool on);
  /// A read stores what it reads into `target` instead of the engine's image
  /// (nullptr: the engine's image), so that a read that fails part-way
  /// leaves the engine's image as it was; the caller takes `target` over
  /// once the read has succeeded. `target` outlives the engine's reads.
  void SetReadTarget(ParameterImage* target);

  /// Each Start returns false (and does nothing) while another transaction
  /// runs. Otherwise the transaction starts; its end is reported once,
  /// through the finished handler, after the port has been closed, never
  /// from inside the Start call itself. The outcome lines of the buttons
  /// ("读取成功!", "读取完毕!", "自动匹配成功,匹配格式为:...") are written
  /// by the engine before the handler runs.
  bool StartRead();
  bool StartWrite();  ///< stamps the valid marker first
  bool StartReset();
  bool StartLog();
  bool StartDetect();
  /// Stops a running detection (or any transaction) as failed.
  void Cancel();

  bool Busy() const;
  Kind Running() const;
  bool OperationSucceeded() const;

  /// Called with the kind and the outcome once a transaction has ended.
  void SetFinishedHandler(std::function<void(Kind, bool)> handler);

 private:
  struct State;
  std::unique_ptr<State> d_;
};
