#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

class ParameterImage;

/// The terminal's identity as the message list shows it after a read, and
/// the LoRa channel list that depends on its radio band. Pure functions of
/// the image.
class Identity {
 public:
  static constexpr int kBand900 = 0x90;  ///< 100 frequencies from 863 MHz and 902 MHz
  static constexpr int kBand400 = 0x40;  ///< six fixed frequencies from 411.125 MHz
  static constexpr int kChannelWord = 14;

  /// "Kestrel", "Plover", "Merlin" for 2, 3, 4; "Kestrel_Old" for any other code.
  static QString VariantName(uint8_t code);
  /// The radio band code: the high nibble of byte 1025 (byte AND 240).
  static int BandCode(const ParameterImage& image);

  /// "固件版本:" + hex of byte 1025 + "." + first and last hex digit of
  /// byte 1024 + "." + variant name, e.g. "固件版本:41.23.Kestrel".
  static QString FirmwareLine(const ParameterImage& image);
  /// "生产日期:" + words 2, 3, 4 joined by "-", e.g. "生产日期:2019-1-1".
  static QString ProductionLine(const ParameterImage& image);
  /// The three lines a read adds to the message list, in order: "REZUZODO",
  /// the firmware line, the production line.
  static QStringList Lines(const ParameterImage& image);

  /// The channel list of a band: "1-863MHz" ... "100-922MHz" for 0x90,
  /// "1-411.125MHz" ... "6-486.125MHz" for 0x40, "1" ... "100" otherwise.
  static QStringList ChannelList(int bandCode);
  /// The list index to show for word 14: the word, or 0 when it lies beyond
  /// a list of `listSize` entries.
  static int ChannelIndex(const ParameterImage& image, int listSize);
};
