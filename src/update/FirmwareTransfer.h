#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class Clock;
class FirmwareImage;
class MessageSink;
class Prompts;
class SerialLink;
class Timer;

/// Sends a FirmwareImage to the terminal's boot loader, as a chain of events
/// on a SerialLink and a Timer (never blocking beyond the 100 ms pause after
/// the application's answer, never running an event loop).
///
/// On the wire: the start frame 'U' 'P' 'D' 0x11 (first at "19200,N,8,1",
/// then alternating with the link settings until answered), for every 2 KB
/// page touched an erase frame, for every block a write frame and the data
/// block with its XOR byte (blocks end on 128-byte boundaries), and last the
/// go frame to 0x08010000. Every step waits for 'y'. A negative answer
/// repeats the step at once. A time-out of 1000 ms repeats it too (a data
/// block: its write frame and the block again), but only once the line has
/// been quiet for kGuardTime: bytes that come meanwhile are late answers to
/// the step that timed out and are dropped, so none is taken for the repeat's.
/// (Start frames are repeated at once, alternating formats.)
///
/// One count, ErrorCount(), takes negative answers, time-outs and late
/// answers alike, and is cleared only when the user is asked. A time-out that
/// brings it above kTimeoutLimit asks "检测连接！重试或取消？" (and clears
/// it); a negative or late answer once it has reached kRefusalLimit ends the
/// update with "读写失败,地址 = XXXXXXXX". So does an answer of two bytes where
/// one is due: it cannot be told which frame each belongs to, and an update
/// that may have skipped a refused block never ends as a success. An answer
/// later than the time-out plus the guard time cannot be recognised.
///
/// While a message box is open (the question, a failure, the version
/// refusal), whatever arrives is dropped: nothing moves the update on until
/// the user has answered.
///
/// The link is taken over for the update (its receive and lost handlers are
/// replaced and cleared again at the end); it is opened on the port number
/// and closed at the end. The end is reported once, through the finished
/// handler, after the port has been closed, never from inside Start().
class FirmwareTransfer {
 public:
  /// What the update is doing now.
  enum class State {
    Idle,      ///< not started
    Starting,  ///< greeting the boot loader
    Erasing,   ///< an erase frame is out
    Writing,   ///< a write frame or its data block is out
    Going,     ///< the go frame is out
    Closing,   ///< ended; the finished handler runs on the next tick
    Finished,  ///< the finished handler has run
  };

  /// Frame bytes of the boot-loader protocol.
  static constexpr char kSync = 'U';              ///< first byte of every command frame
  static constexpr char kAck = 'y';               ///< the positive answer
  static constexpr uint8_t kErase = 0x01;         ///< 'U' 0x01 a0 a1 a2 a3
  static constexpr uint8_t kWrite = 0x02;         ///< 'U' 0x02 a0 a1 a2 a3 n, then n bytes + XOR
  static constexpr uint8_t kGo = 0x03;            ///< 'U' 0x03 a0 a1 a2 a3
  static constexpr uint8_t kStartVersion = 0x11;  ///< last byte of 'U' 'P' 'D' 0x11
  static constexpr uint32_t kApplicationAddress = 0x08010000;
  static constexpr int kPageSize = 0x800;
  static constexpr int kBlockSize = 128;
  static constexpr const char* kBootSettings = "19200,N,8,1";
  static constexpr std::chrono::milliseconds kAnswerTimeout{1000};
  static constexpr std::chrono::milliseconds kSwitchPause{100};
  /// How long the line must be quiet after a time-out before the repeat.
  static constexpr std::chrono::milliseconds kGuardTime{1000};
  /// ErrorCount() above this at a time-out asks the user.
  static constexpr int kTimeoutLimit = 5;
  /// ErrorCount() at a negative or late answer that ends the update.
  static constexpr int kRefusalLimit = 10;

  FirmwareTransfer(SerialLink& link, Clock& clock, Prompts& prompts, MessageSink& sink,
                   const FirmwareImage& image);
  ~FirmwareTransfer();
  FirmwareTransfer(const FirmwareTransfer&) = delete;
  FirmwareTransfer& operator=(const FirmwareTransfer&) = delete;

  /// PC port number 1 to 99.
  void SetPortNumber(int port);
  /// The configuration link's settings ("9600,E,7,1"): the application in
  /// the terminal listens at them for the start frame.
  void SetLinkSettings(const QString& settings);
  /// Chooses the language of "请重新选择端口！" and the time-out question.
  void SetLanguageEnglish(bool english);

  /// Called with the fraction done (0 to 1) and the label text
  /// ("完成进度:50%"; below 0.5 % just "完成进度:%").
  void SetProgressHandler(std::function<void(double, const QString&)> handler);
  /// Called with the window caption ("更新固件") once the port is open.
  void SetCaptionHandler(std::function<void(const QString&)> handler);
  /// Called once at the end (from a timer tick) with the outcome. Do not
  /// destroy the transfer from inside it; let the caller's loop do it later.
  void SetFinishedHandler(std::function<void(bool)> handler);

  /// Opens the port and sends the start frame. False (and nothing happens)
  /// when the image holds no data or an update already runs.
  bool Start();
  /// Ends a running update at once as failed, port closed, without calling
  /// the finished handler (its owner is going away).
  void Cancel();

  State CurrentState() const;
  bool Running() const;
  bool OperationSucceeded() const;
  int ErrorCount() const;
  /// Address of the next block.
  uint32_t CurrentAddress() const;

  /// The label text: "完成进度:" and the percent without leading zeros, so
  /// 0 shows "完成进度:%" (a fraction below 0.5 %).
  static QString ProgressText(int percent);
  /// Rounded percent (half up) of `done` out of `total`, at most 100; a
  /// zero total (a one-byte image) counts as done.
  static int Percent(int64_t done, int64_t total);
  /// XOR of the bytes: the check byte of a data block.
  static uint8_t CheckByte(const QByteArray& bytes);

 private:
  struct Private;
  std::unique_ptr<Private> d_;
};
