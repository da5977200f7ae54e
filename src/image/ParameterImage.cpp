#include "image/ParameterImage.h"

#include "image/TextCodec.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kTerminator = 0;
constexpr uint8_t kErased = 0xFF;
constexpr int kFirstPrintable = 32;
constexpr int kLastPrintable = 126;

bool InImage(int index, int length) {
  return index >= 0 && length >= 0 && index <= ParameterImage::kSize - length;
}

/// The part of [index, index + length) that lies inside the image, as a
/// start and a length (0 when nothing does).
std::pair<int, int> Clip(int index, int length) {
  if (length <= 0 || index >= ParameterImage::kSize) return {0, 0};
  if (index < 0) {
    length += index;
    index = 0;
  }
  if (length <= 0) return {0, 0};
  return {index, std::min(length, ParameterImage::kSize - index)};
}

/// Parses the leading whole number of a text ("12", " 7x", "-3"), held to
/// 0 to 65535; a text without digits gives 0.
uint16_t ParseWord(const QString& text) {
  const QString t = text.trimmed();
  int i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
    negative = t[i] == QLatin1Char('-');
    ++i;
  }
  uint32_t value = 0;
  bool any = false;
  for (; i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'); ++i) {
    any = true;
    value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(t[i].unicode() - '0'), 65535);
  }
  if (!any || negative) return 0;
  return static_cast<uint16_t>(value);
}

}  // namespace

ParameterImage::ParameterImage() = default;

void ParameterImage::Clear() { bytes_.fill(0); }

void ParameterImage::SetWord(int word, uint16_t value) {
  Q_ASSERT(word >= 0 && InImage(2 * word, 2));
  if (word < 0 || !InImage(2 * word, 2)) return;
  bytes_[2 * word] = static_cast<uint8_t>(value & 0xFF);
  bytes_[2 * word + 1] = static_cast<uint8_t>(value >> 8);
}

int16_t ParameterImage::GetWord(int word) const { return static_cast<int16_t>(GetUWord(word)); }

uint16_t ParameterImage::GetUWord(int word) const {
  Q_ASSERT(word >= 0 && InImage(2 * word, 2));
  if (word < 0 || !InImage(2 * word, 2)) return 0;
  return static_cast<uint16_t>(bytes_[2 * word] | (bytes_[2 * word + 1] << 8));
}

void ParameterImage::SetExtWord(int offset, uint16_t value) {
  const int index = kExtendedBase + offset;
  Q_ASSERT(offset >= 0 && InImage(index, 2));
  if (offset < 0 || !InImage(index, 2)) return;
  bytes_[index] = static_cast<uint8_t>(value & 0xFF);
  bytes_[index + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t ParameterImage::GetExtWord(int offset) const {
  const int index = kExtendedBase + offset;
  Q_ASSERT(offset >= 0 && InImage(index, 2));
  if (offset < 0 || !InImage(index, 2)) return 0;
  return static_cast<uint16_t>(bytes_[index] | (bytes_[index + 1] << 8));
}

QString ParameterImage::GetExtWordText(int offset) const {
  return QString::number(GetExtWord(offset));
}

uint16_t ParameterImage::SetExtWordText(int offset, const QString& text) {
  if (text.trimmed().isEmpty()) return GetExtWord(offset);
  const uint16_t value = ParseWord(text);
  SetExtWord(offset, value);
  return GetExtWord(offset);
}

QString ParameterImage::ReadImageText(int offset, int length) const {
  Q_ASSERT(offset >= 0 && length >= 0 && InImage(kExtendedBase + offset, length));
  if (offset < 0) return QString();
  const auto [start, size] = Clip(kExtendedBase + offset, length);
  QString text;
  for (int i = 0; i < size; ++i) {
    const uint8_t b = bytes_[start + i];
    if (b >= kFirstPrintable && b <= kLastPrintable) {
      text += QLatin1Char(static_cast<char>(b));
      continue;
    }
    if (b == kTerminator) break;
    // First byte of a two-byte character; a lead byte in the last position
    // has no partner and is dropped.
    if (++i == size) break;
    const uint8_t trail = bytes_[start + i];
    if (b == kErased && trail == kErased) break;
    if (!TextCodec::DecodePair(b, trail, text)) break;
  }
  return text;
}

void ParameterImage::WriteImageText(int offset, int length, const QString& text) {
  Q_ASSERT(offset >= 0 && length >= 0 && InImage(kExtendedBase + offset, length));
  if (offset < 0) return;
  const auto [start, size] = Clip(kExtendedBase + offset, length);
  if (size == 0) return;
  if (text.isEmpty()) {
    std::memset(bytes_.data() + start, 0, static_cast<size_t>(size));
    return;
  }
  const QByteArray gbk = TextCodec::ToGbk(text);
  // Whole characters only: stop before one that would not fit.
  int n = 0;
  while (n < gbk.size()) {
    const int step = TextCodec::CharLength(static_cast<uint8_t>(gbk[n]));
    if (n + step > size) break;
    n += step;
  }
  std::memcpy(bytes_.data() + start, gbk.constData(), static_cast<size_t>(n));
  if (n < size) bytes_[start + n] = kTerminator;
}

void ParameterImage::StampValidMarker() { SetExtWord(kValidMarkerOffset, kValidMarker); }

bool ParameterImage::HasValidMarker() const {
  return GetExtWord(kValidMarkerOffset) == kValidMarker;
}

uint8_t ParameterImage::Byte(int index) const {
  Q_ASSERT(InImage(index, 1));
  return InImage(index, 1) ? bytes_[index] : 0;
}

void ParameterImage::SetByte(int index, uint8_t value) {
  Q_ASSERT(InImage(index, 1));
  if (InImage(index, 1)) bytes_[index] = value;
}

int ParameterImage::Store(int index, const uint8_t* bytes, int length) {
  if (bytes == nullptr) return 0;
  const int skipped = index < 0 ? -index : 0;
  const auto [start, size] = Clip(index, length);
  if (size == 0) return 0;
  std::memcpy(bytes_.data() + start, bytes + skipped, static_cast<size_t>(size));
  return size;
}

QByteArray ParameterImage::Bytes(int index, int length) const {
  const auto [start, size] = Clip(index, length);
  return QByteArray(reinterpret_cast<const char*>(bytes_.data()) + start, size);
}
