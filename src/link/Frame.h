#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

class ParameterImage;

/// The configuration protocol's requests and answer checks. Frames are raw
/// bytes: no start mark, no escaping, no terminator. Addresses go high byte
/// first; only write requests carry a checksum.
class Frame {
 public:
  // Protocol bytes.
  static constexpr char kRead = 'R';         ///< 0x52, block read
  static constexpr char kWrite = 'W';        ///< 0x57, block write
  static constexpr char kEnd = 'E';          ///< 0x45, ends the session
  static constexpr uint8_t kAck = 0x06;      ///< request accepted
  static constexpr uint8_t kRefusal = 0x15;  ///< what the terminal sends to refuse
  static constexpr char kLogMark = 'w';      ///< 0x77, marks a core-log index record

  /// What the answer to a request is (the engine dispatches on it).
  enum AnswerKind : int {
    kNoAnswer = 0,
    kProbeAnswer = 1,
    kHandshakeAnswer = 16,
    kDataAnswer = 17
  };

  static constexpr int kBlock = 16;         ///< data bytes per parameter block
  static constexpr int kIdentityCount = 4;  ///< identity bytes at 0x0400
  static constexpr int kLogCount = 0x7F;    ///< count byte of a core-log read
  static constexpr int kResetAddress = 0x0400;
  static constexpr int kAdjustAddress = 0x03F0;

  /// A request ready for the wire, with what its answer looks like.
  struct Request {
    QByteArray bytes;
    int answerLength = 0;  ///< receive threshold; 0 for none
    int answerKind = kNoAnswer;
  };

  /// "LBTW", answered "LBTW".
  static Request Handshake();
  /// "L35W" sent by a retry, answered "LBTW".
  static Request RepeatedHandshake();
  /// "L35W" of automatic detection, answered "L35W".
  static Request Probe();
  /// 52, address high, address low, count. The answer is 20 bytes for a
  /// 16-byte block or a core-log read (count 0x7F), else count + 4.
  static Request Read(int address, int count);
  /// 57, address high, address low, count, the data, checksum.
  static Request Write(int address, const QByteArray& data);
  /// `count` image bytes from `address` as a write request.
  static Request WriteFromImage(int address, int count, const ParameterImage& image);
  /// Factory reset: always 57 04 00 00 5B.
  static Request Reset();
  /// "E"; no answer is awaited.
  static Request End();

  /// Sum of the bytes modulo 256.
  static uint8_t Checksum(const QByteArray& bytes);

  /// Bytes 0 to 3 are "LBTW" (what follows is ignored).
  static bool IsGoodHandshake(const QByteArray& answer);
  /// Bytes 0 to 3 are "L35W".
  static bool IsGoodProbe(const QByteArray& answer);
  /// Byte 0 is the acknowledge 0x06 (an empty answer is not).
  static bool IsAcknowledge(const QByteArray& answer);

  /// The data bytes of a read answer: byte 3 gives their count, the data
  /// start at byte 4. Never more than were received.
  static QByteArray ReadData(const QByteArray& answer);
  /// Stores the data of a read answer into the image from `address` on;
  /// only received bytes that fit into the image are stored. Returns how many.
  static int StoreReadData(const QByteArray& answer, int address, ParameterImage& image);
  /// Answer byte `index`, or 0 when the answer is shorter.
  static uint8_t At(const QByteArray& answer, int index);

  /// Settings of the transfer phase: the link format with every "7" of its
  /// last five characters made an "8" ("9600,E,7,1" -> "9600,E,8,1").
  static QString TransferSettings(const QString& linkSettings);
};
