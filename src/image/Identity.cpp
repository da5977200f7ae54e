#include "image/Identity.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"

#include <iterator>

namespace {

constexpr int kMinorByte = ParameterImage::kIdentityByte;
constexpr int kMajorByte = ParameterImage::kIdentityByte + 1;
constexpr int kVariantByte = ParameterImage::kIdentityByte + 3;
constexpr int kYearWord = 2;
constexpr int kMonthWord = 3;
constexpr int kDayWord = 4;
constexpr int kChannelCount = 100;

/// Frequencies of the 400 MHz band, in kHz.
constexpr int kBand400Khz[] = {411125, 421125, 432125, 442125, 465125, 486125};

QString Hex(uint8_t value) { return QString::number(value, 16).toUpper(); }

QString Channel(int k, int khz) {
  return QString::number(k + 1) + QLatin1Char('-') + FieldTable::DecimalText(khz, 1000) +
         QStringLiteral("MHz");
}

}  // namespace

QString Identity::VariantName(uint8_t code) {
  switch (code) {
    case 2:
      return QStringLiteral("Kestrel");
    case 3:
      return QStringLiteral("Plover");
    case 4:
      return QStringLiteral("Merlin");
    default:
      return QStringLiteral("Kestrel_Old");
  }
}

int Identity::BandCode(const ParameterImage& image) { return image.Byte(kMajorByte) & 0xF0; }

QString Identity::FirmwareLine(const ParameterImage& image) {
  const QString minor = Hex(image.Byte(kMinorByte));
  return QStringLiteral("固件版本:") + Hex(image.Byte(kMajorByte)) + QLatin1Char('.') +
         minor.front() + minor.back() + QLatin1Char('.') + VariantName(image.Byte(kVariantByte));
}

QString Identity::ProductionLine(const ParameterImage& image) {
  return QStringLiteral("生产日期:%1-%2-%3")
      .arg(image.GetUWord(kYearWord))
      .arg(image.GetUWord(kMonthWord))
      .arg(image.GetUWord(kDayWord));
}

QStringList Identity::Lines(const ParameterImage& image) {
  return {QStringLiteral("REZUZODO"), FirmwareLine(image), ProductionLine(image)};
}

QStringList Identity::ChannelList(int bandCode) {
  QStringList list;
  if (bandCode == kBand400) {
    for (int k = 0; k < static_cast<int>(std::size(kBand400Khz)); ++k)
      list << Channel(k, kBand400Khz[k]);
  } else if (bandCode == kBand900) {
    for (int k = 0; k < kChannelCount; ++k)
      list << Channel(k, k < 20 ? 863000 + 250 * k : 902000 + 250 * (k - 20));
  } else {
    for (int k = 0; k < kChannelCount; ++k) list << QString::number(k + 1);
  }
  return list;
}

int Identity::ChannelIndex(const ParameterImage& image, int listSize) {
  const int stored = image.GetUWord(kChannelWord);
  return stored < listSize ? stored : 0;
}
