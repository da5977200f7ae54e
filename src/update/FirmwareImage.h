#pragma once

#include <QByteArray>

#include <cstdint>

/// The firmware file as a mirror of the terminal's program flash from
/// 0x08000000 (270336 bytes), together with the first and the last address
/// that the file fills. Every byte a file fills is held scrambled: the file's
/// byte XOR (its address AND 0x7F); bytes no record fills stay 0. The data
/// blocks of the boot loader carry the bytes exactly as held here.
class FirmwareImage {
 public:
  static constexpr uint32_t kFlashBase = 0x08000000;
  static constexpr int kSize = 0x42000;  ///< 270336 bytes
  /// Last address of the flash, inclusive (0x08041FFF).
  static constexpr uint32_t kFlashLast = kFlashBase + kSize - 1;
  /// Where the application starts (the go frame's address); the pages below
  /// hold the boot loader and no firmware file may touch them.
  static constexpr uint32_t kApplicationBase = 0x08010000;

  FirmwareImage();

  /// Every byte to 0, no data (start and end undefined).
  void Clear();

  /// True when `address` lies inside 0x08000000 to 0x08041FFF.
  static bool Contains(int64_t address) { return address >= kFlashBase && address <= kFlashLast; }
  /// The scrambling key of an address: its low seven bits.
  static uint8_t Key(uint32_t address) { return static_cast<uint8_t>(address & 0x7F); }

  /// Stores `count` file bytes from `address` on (scrambled) and widens the
  /// data range to cover them. The caller has checked that the whole run lies
  /// inside the flash; returns false (and stores nothing) otherwise.
  bool StoreData(uint32_t address, const uint8_t* bytes, int count);

  /// Whether any data was stored since Clear().
  bool HasData() const { return hasData_; }
  /// Lowest address of any stored byte.
  uint32_t ImageStartAddress() const { return start_; }
  /// Highest address of any stored byte (inclusive).
  uint32_t ImageEndAddress() const { return end_; }
  /// Number of bytes from start to end, inclusive (0 without data).
  int DataSize() const { return hasData_ ? static_cast<int>(end_ - start_ + 1) : 0; }

  /// The byte held for `address` (scrambled); 0 outside the flash.
  uint8_t StoredByte(uint32_t address) const;
  /// `count` held bytes from `address`, clipped to the flash.
  QByteArray StoredBytes(uint32_t address, int count) const;
  /// The whole mirror, 270336 bytes.
  const QByteArray& Bytes() const { return bytes_; }

 private:
  QByteArray bytes_;
  bool hasData_ = false;
  uint32_t start_ = 0;
  uint32_t end_ = 0;
};
