#pragma once

#include "SimDevice.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <cstdint>

/// The terminal's boot loader as a pure device model (bytes in, bytes out).
///
/// While the application runs (the initial state) the model only watches for
/// the start frame 'U' 'P' 'D' 0x11 at the application's settings, at the
/// start of what arrives on an idle line (never inside a frame); it answers
/// 'y' 'U' 'U' version and hands over to the boot loader, which then listens
/// at "19200,N,8,1". Once in the boot loader (also after EnterBootLoader(),
/// as after an interrupted update), a start frame at "19200,N,8,1" is
/// answered 'y' 'B' 'L' version: byte 1 is not 'U', so the tool neither
/// checks the version nor switches settings. Bytes at other settings are
/// lost, as on a real line.
///
/// In the boot loader: erase 'U' 0x01 a0..a3 erases the 2 KB page holding
/// the address; write 'U' 0x02 a0..a3 n announces n (1 to 128) bytes, which
/// follow with their XOR byte, scrambled (byte XOR address AND 0x7F); the
/// model un-scrambles them and programs them like flash, only into erased
/// (0xFF) bytes; go 'U' 0x03 a0..a3 starts the application. Each is answered
/// 'y', or 'n' when refused (outside the flash, bad XOR, a byte not erased).
///
/// Routing: while InBootLoader() is false the configuration protocol belongs
/// to the terminal; the model answers nothing but the start frame. While it
/// is true every byte belongs to the boot loader.
class BootLoaderModel : public SimDevice {
 public:
  static constexpr uint32_t kFlashBase = 0x08000000;
  static constexpr int kFlashSize = 0x42000;
  static constexpr int kPageSize = 0x800;
  static constexpr char kAck = 'y';
  static constexpr char kRefuse = 'n';
  static constexpr const char* kBootSettings = "19200,N,8,1";

  /// Flash erased (0xFF), application running at "9600,N,8,1", version 0x10.
  BootLoaderModel();

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override;

  /// Settings at which the application listens for the start frame.
  void SetApplicationSettings(const QString& settings) { appSettings_ = settings; }
  /// Settings at which the boot loader itself listens ("19200,N,8,1" unless
  /// set; the benchmarks run it at the link's 115200 baud).
  void SetBootSettings(const QString& settings) { bootSettings_ = settings; }
  /// Last byte of the answer to the start frame; 0x11 or more makes the tool
  /// refuse the update.
  void SetVersion(uint8_t version) { version_ = version; }
  /// False: settings match on baud rate and stop bits only (a pseudo-terminal
  /// cannot carry parity and data bits). True by default.
  void SetMatchParityAndDataBits(bool on) { exactFormat_ = on; }
  /// Starts in the boot loader (no application to hand over).
  void EnterBootLoader();
  bool InBootLoader() const { return inBootLoader_; }

  /// Fault: the data block with index `block` (the count of blocks accepted
  /// before it, from 0) is answered 'n' `times` times (-1: always).
  void SetRefuseBlock(int block, int times = -1);
  /// Fault: the data block with index `block` is dropped without an answer
  /// `times` times (as if it never arrived whole).
  void SetSilentAfterBlock(int block, int times = 1);
  /// Fault: the answer to data block `block` comes `late` after the block
  /// (once), and a block that rewrites bytes with the values they already
  /// hold is accepted, as some flash controllers do.
  void SetLateBlock(int block, std::chrono::milliseconds late = kLateAnswer);
  /// How late the late block's answer comes by default: after the tool's
  /// 1 s time-out, before the line has been quiet for another second.
  static constexpr std::chrono::milliseconds kLateAnswer{1500};

  /// Back to a new model's state (erased flash, application running, the
  /// default settings, no faults), reusing the flash: only the bytes that
  /// were programmed are erased again.
  void Reset();

  /// The flash, un-scrambled, 270336 bytes from 0x08000000.
  const QByteArray& Flash() const { return flash_; }
  /// Replaces the flash content (an application already in place).
  void SetFlash(const QByteArray& flash);
  /// The byte at an address (0xFF outside the flash).
  uint8_t FlashByte(uint32_t address) const;

  /// Address of every erase frame accepted, in order.
  const QList<uint32_t>& Erases() const { return erases_; }
  /// Address and length of every data block accepted, in order.
  struct Block {
    uint32_t address;
    int length;
  };
  const QList<Block>& Blocks() const { return blocks_; }
  /// Number of negative answers given.
  int Refusals() const { return refusals_; }
  /// True once a go frame was accepted; GoAddress() is its address.
  bool ApplicationStarted() const { return started_; }
  uint32_t GoAddress() const { return goAddress_; }

 private:
  bool SameFormat(const QString& a, const QString& b) const;
  QByteArray ApplicationReceive(const QByteArray& bytes, const QString& settings);
  QByteArray BootLoaderReceive();
  QByteArray Command(const QByteArray& frame);
  QByteArray DataBlock(const QByteArray& block);
  char Refuse();

  QByteArray flash_;
  QString appSettings_ = QStringLiteral("9600,N,8,1");
  QString bootSettings_ = QString::fromLatin1(kBootSettings);
  uint8_t version_ = 0x10;
  bool exactFormat_ = true;
  bool inBootLoader_ = false;
  QByteArray input_;
  int pendingLength_ = 0;  ///< bytes announced by the last write frame
  uint32_t pendingAddress_ = 0;
  int refuseBlock_ = -1;
  int refuseTimes_ = 0;
  int silentBlock_ = -1;
  int silentTimes_ = 0;
  int lateBlock_ = -1;
  std::chrono::milliseconds late_{0};
  std::chrono::milliseconds replyDelay_{0};  ///< delay of the reply being built
  bool acceptRewrites_ = false;
  bool flashReplaced_ = false;  ///< SetFlash() was used
  QList<uint32_t> erases_;
  QList<Block> blocks_;
  int refusals_ = 0;
  bool started_ = false;
  uint32_t goAddress_ = 0;
};
