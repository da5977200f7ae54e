#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

/// The terminal's parameter memory, byte for byte: an option block of
/// little-endian words (bytes 0 to 4095) and an extended block of words and
/// fixed-length GBK text fields at extended offsets (byte 4096 + offset).
class ParameterImage {
 public:
  static constexpr int kSize = 10240;
  static constexpr int kExtendedBase = 4096;
  static constexpr int kValidMarkerOffset = 2046;   ///< extended offset of the marker
  static constexpr uint16_t kValidMarker = 0xAA55;  ///< 43605
  static constexpr int kAdjustByte = 1008;
  static constexpr int kIdentityByte = 1024;      ///< 1024 to 1027
  static constexpr int kSerialNumberByte = 2048;  ///< 2048 to 2079
  static constexpr int kSerialNumberLength = 32;

  ParameterImage();

  /// All 10240 bytes to zero.
  void Clear();

  /// Option word N (bytes 2N, 2N+1), V stored as low byte, high byte.
  void SetWord(int word, uint16_t value);
  /// Option word N read as a signed 16-bit number.
  int16_t GetWord(int word) const;
  /// Option word N read unsigned, 0 to 65535 (what the display uses).
  uint16_t GetUWord(int word) const;

  void SetExtWord(int offset, uint16_t value);
  uint16_t GetExtWord(int offset) const;
  /// The extended word as decimal text.
  QString GetExtWordText(int offset) const;
  /// Stores the decimal text as a word (an empty text keeps the stored value);
  /// returns the value now stored.
  uint16_t SetExtWordText(int offset, const QString& text);

  /// Decodes the GBK text field of `length` bytes at the extended offset.
  QString ReadImageText(int offset, int length) const;
  /// Encodes the text into the field: GBK bytes, a 0 terminator when there is
  /// room, never half of a two-byte character; an empty text clears the field.
  void WriteImageText(int offset, int length, const QString& text);

  /// Sets the valid marker (extended word 2046 = 0xAA55).
  void StampValidMarker();
  bool HasValidMarker() const;

  uint8_t Byte(int index) const;
  void SetByte(int index, uint8_t value);

  /// Copies up to `length` bytes to image offset `index`, clipped to the image;
  /// returns how many were stored.
  int Store(int index, const uint8_t* bytes, int length);
  /// `length` bytes from `index` (clipped to the image).
  QByteArray Bytes(int index, int length) const;

  const uint8_t* Data() const { return bytes_.data(); }
  uint8_t* Data() { return bytes_.data(); }

  bool operator==(const ParameterImage& other) const { return bytes_ == other.bytes_; }
  bool operator!=(const ParameterImage& other) const { return bytes_ != other.bytes_; }

 private:
  std::array<uint8_t, kSize> bytes_{};
};
