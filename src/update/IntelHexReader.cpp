#include "update/IntelHexReader.h"

#include "update/FirmwareImage.h"

#include <QFile>

#include <cstring>
#include <vector>

namespace {

// Record types.
constexpr int kData = 0x00;
constexpr int kEndOfFile = 0x01;
constexpr int kExtendedSegment = 0x02;
constexpr int kStartSegment = 0x03;
constexpr int kExtendedLinear = 0x04;
constexpr int kStartLinear = 0x05;

constexpr int kHeaderLength = 9;  // ':' count(2) address(4) type(2)
constexpr char kDosEndOfFile = 0x1A;

// Value of every character as a hexadecimal digit, -1 for the others.
struct HexTable {
  int8_t value[256];
  constexpr HexTable() : value() {
    for (int c = 0; c < 256; ++c) {
      value[c] = c >= '0' && c <= '9'   ? static_cast<int8_t>(c - '0')
                 : c >= 'A' && c <= 'F' ? static_cast<int8_t>(c - 'A' + 10)
                 : c >= 'a' && c <= 'f' ? static_cast<int8_t>(c - 'a' + 10)
                                        : int8_t{-1};
    }
  }
};
constexpr HexTable kHex;

inline int HexDigit(char c) { return kHex.value[static_cast<uint8_t>(c)]; }

inline bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == kDosEndOfFile; }

}  // namespace

IntelHexReader::IntelHexReader(FirmwareImage& image) : image_(image) {}

void IntelHexReader::BeginFile() {
  image_.Clear();
  base_ = 0;
  segmentMode_ = false;
  endSeen_ = false;
  hasEntryPoint_ = false;
  entryPoint_ = 0;
  line_ = 0;
  errorLine_ = 0;
  errorReason_.clear();
}

int IntelHexReader::ReadOneByte(const char* line, int length, int position) {
  if (position < 1 || position + 1 > length) return -1;
  const int high = HexDigit(line[position - 1]);
  const int low = HexDigit(line[position]);
  if (high < 0 || low < 0) return -1;
  return high * 16 + low;
}

bool IntelHexReader::Fail(const QString& reason) {
  errorLine_ = line_;
  errorReason_ = reason;
  return false;
}

QString IntelHexReader::ErrorText() const {
  if (errorLine_ == 0) return errorReason_;
  return QStringLiteral("line %1: %2").arg(errorLine_).arg(errorReason_);
}

bool IntelHexReader::AnalyseHexLine(const char* line, int length) {
  ++line_;
  // Surrounding blanks (spaces, tabs, the CR of CR LF, a DOS end mark) are
  // not part of the record; a line of nothing else is skipped.
  while (length > 0 && IsBlank(line[0])) {
    ++line;
    --length;
  }
  while (length > 0 && IsBlank(line[length - 1])) --length;
  if (length == 0) return true;

  // A line that is not a record (a comment, a title) is passed over.
  if (line[0] != ':') return true;
  if (endSeen_) return Fail(QStringLiteral("record after the end-of-file record"));
  if (length < 3) return Fail(QStringLiteral("record too short"));

  const int count = ReadOneByte(line, length, 2);
  if (count < 0) return Fail(QStringLiteral("not a hexadecimal digit in the byte count"));
  // A record without data carries nothing that could reach the flash: it is
  // taken as it stands, checksum and all; only an end-of-file mark counts.
  if (count == 0) {
    if (length >= kHeaderLength && ReadOneByte(line, length, 8) == kEndOfFile) endSeen_ = true;
    return true;
  }
  if (length < kHeaderLength + 2) return Fail(QStringLiteral("record too short"));
  const int expected = kHeaderLength + 2 * count + 2;
  if (length < expected) {
    return Fail(QStringLiteral("shorter than its count of %1 data bytes says").arg(count));
  }
  if (length > expected) {
    return Fail(QStringLiteral("longer than its count of %1 data bytes says").arg(count));
  }

  // Decode every byte after ':' once: the header, the payload, the checksum.
  uint8_t bytes[4 + 255 + 1];
  const int byteCount = (length - 1) / 2;
  int sum = 0;
  for (int i = 0; i < byteCount; ++i) {
    const int high = HexDigit(line[1 + 2 * i]);
    const int low = HexDigit(line[2 + 2 * i]);
    const int value = (high | low) < 0 ? -1 : high * 16 + low;
    if (value < 0) {
      const int column = HexDigit(line[1 + 2 * i]) < 0 ? 2 + 2 * i : 3 + 2 * i;
      return Fail(QStringLiteral("not a hexadecimal digit at column %1").arg(column));
    }
    bytes[i] = static_cast<uint8_t>(value);
    sum += value;
  }
  if ((sum & 0xFF) != 0) return Fail(QStringLiteral("bad checksum"));

  const int address = bytes[1] * 256 + bytes[2];
  const int type = bytes[3];
  const uint8_t* payload = bytes + 4;

  switch (type) {
    case kData: {
      if (count == 0) return true;
      if (segmentMode_ && address + count - 1 > 0xFFFF) {
        return Fail(QStringLiteral("data record runs past the end of its segment"));
      }
      const int64_t absolute = base_ + address;
      if (!FirmwareImage::Contains(absolute) || !FirmwareImage::Contains(absolute + count - 1)) {
        return Fail(QStringLiteral("data outside the flash (0x08000000 to 0x08041FFF)"));
      }
      if (absolute < FirmwareImage::kApplicationBase) {
        return Fail(QStringLiteral("data at 0x%1, below the application at 0x08010000 (the "
                                   "boot loader's pages)")
                        .arg(QString::number(absolute, 16).toUpper().rightJustified(8, '0')));
      }
      image_.StoreData(static_cast<uint32_t>(absolute), payload, count);
      return true;
    }
    case kEndOfFile:
      if (count != 0) return Fail(QStringLiteral("end-of-file record with data"));
      endSeen_ = true;
      return true;
    case kExtendedSegment:
      if (count != 2)
        return Fail(QStringLiteral("extended segment address record of wrong length"));
      base_ = int64_t{payload[0] * 256 + payload[1]} * 16;
      segmentMode_ = true;
      return true;
    case kStartSegment:
      if (count != 4) return Fail(QStringLiteral("start segment address record of wrong length"));
      return true;
    case kExtendedLinear:
      if (count != 2) return Fail(QStringLiteral("extended linear address record of wrong length"));
      base_ = int64_t{payload[0] * 256 + payload[1]} * 65536;
      segmentMode_ = false;
      return true;
    case kStartLinear:
      if (count != 4) return Fail(QStringLiteral("start linear address record of wrong length"));
      entryPoint_ = (uint32_t{payload[0]} << 24) | (uint32_t{payload[1]} << 16) |
                    (uint32_t{payload[2]} << 8) | payload[3];
      hasEntryPoint_ = true;
      return true;
    default:
      return Fail(
          QStringLiteral("unknown record type %1")
              .arg(QString::number(type, 16).rightJustified(2, QLatin1Char('0')).toUpper()));
  }
}

bool IntelHexReader::EndFile() {
  errorLine_ = 0;
  if (!image_.HasData()) {
    errorReason_ = QStringLiteral("no data record");
    return false;
  }
  if (!endSeen_) {
    errorReason_ = QStringLiteral("no end-of-file record (the file may be cut short)");
    return false;
  }
  return true;
}

bool IntelHexReader::ScanLines(const char* data, int64_t size, bool last, int64_t* consumed) {
  int64_t start = 0;
  while (start < size) {
    const void* found = std::memchr(data + start, '\n', static_cast<size_t>(size - start));
    if (found == nullptr) break;
    const int64_t end = static_cast<const char*>(found) - data;
    if (end - start > kMaxLineLength) {
      ++line_;
      return Fail(QStringLiteral("line longer than %1 characters").arg(kMaxLineLength));
    }
    if (!AnalyseHexLine(data + start, static_cast<int>(end - start))) return false;
    start = end + 1;
  }
  const int64_t rest = size - start;
  if (rest > kMaxLineLength) {
    ++line_;
    return Fail(QStringLiteral("line longer than %1 characters").arg(kMaxLineLength));
  }
  if (last && rest > 0) {
    if (!AnalyseHexLine(data + start, static_cast<int>(rest))) return false;
    start = size;
  }
  *consumed = start;
  return true;
}

bool IntelHexReader::ReadData(const QByteArray& text) {
  BeginFile();
  int64_t consumed = 0;
  if (!ScanLines(text.constData(), text.size(), true, &consumed)) return false;
  return EndFile();
}

bool IntelHexReader::ReadFile(const QString& path) {
  BeginFile();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    errorReason_ = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
    return false;
  }
  // A chunk plus the unfinished line carried over from the previous one.
  constexpr int64_t kChunk = 256 * 1024;
  std::vector<char> buffer(static_cast<size_t>(kChunk + kMaxLineLength + 1));
  int64_t held = 0;
  for (;;) {
    const qint64 got = file.read(buffer.data() + held, kChunk);
    if (got < 0) {
      errorLine_ = 0;
      errorReason_ = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
      return false;
    }
    held += got;
    const bool last = got == 0;
    int64_t consumed = 0;
    if (!ScanLines(buffer.data(), held, last, &consumed)) return false;
    if (last) break;
    held -= consumed;
    std::memmove(buffer.data(), buffer.data() + consumed, static_cast<size_t>(held));
  }
  return EndFile();
}
