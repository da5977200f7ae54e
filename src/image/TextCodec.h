#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

/// Conversion between Unicode text and the terminal's code page, GBK
/// (ASCII as one byte, other characters as two bytes), through iconv.
/// Every function accepts arbitrary input and is safe to call from any thread.
class TextCodec {
 public:
  /// Encodes the text as GBK. A character GBK cannot hold becomes '?'.
  static QByteArray ToGbk(const QString& text);

  /// Decodes one two-byte GBK character (lead byte 0x81 to 0xFE). Returns
  /// false, leaving `out` untouched, when the pair is not a character of the
  /// code page; otherwise appends the character to `out`.
  static bool DecodePair(uint8_t lead, uint8_t trail, QString& out);

  /// Decodes a GBK byte sequence; a byte that starts no valid character
  /// becomes U+FFFD and decoding goes on with the next byte.
  static QString FromGbk(const QByteArray& bytes);

  /// Length in bytes of the GBK character whose first byte is `lead`
  /// (1 for ASCII and the single-byte codes 0x80 and 0xFF, else 2).
  static int CharLength(uint8_t lead) { return (lead < 0x81 || lead == 0xFF) ? 1 : 2; }
};
