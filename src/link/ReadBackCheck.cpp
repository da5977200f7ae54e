#include "link/ReadBackCheck.h"

#include "image/FieldTable.h"

#include <QStringList>

#include <set>

namespace {

constexpr int kOptionBytes = 256;  ///< bytes 0 to 255: the option blocks a write sends
constexpr int kExtendedBytes = 2048;

struct Range {
  int first;
  int count;
};

std::vector<Range> RangesOf(ReadBackCheck::Scope scope) {
  std::vector<Range> ranges{{0, kOptionBytes}};
  if (scope.adjust) ranges.push_back({ParameterImage::kAdjustByte, 1});
  if (scope.serialNumber)
    ranges.push_back({ParameterImage::kSerialNumberByte, ParameterImage::kSerialNumberLength});
  if (scope.service) ranges.push_back({ParameterImage::kExtendedBase, kExtendedBytes});
  return ranges;
}

bool IsText(const Field& field) {
  return field.kind == FieldKind::Text || field.kind == FieldKind::SerialNumber;
}

bool FieldDiffers(const Field& field, const ParameterImage& a, const ParameterImage& b) {
  if (IsText(field)) return a.Bytes(field.byte, field.length) != b.Bytes(field.byte, field.length);
  return FieldTable::RawValue(a, field) != FieldTable::RawValue(b, field);
}

QString HexByte(uint8_t value) {
  return QStringLiteral("0x") +
         QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

QString HexBytes(const QByteArray& bytes) {
  return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

FieldDifference Describe(const Field& field, const ParameterImage& written,
                         const ParameterImage& found) {
  FieldDifference d{QString::fromLatin1(field.name), FieldTable::DisplayText(written, field),
                    FieldTable::DisplayText(found, field)};
  // Text fields can differ after their end; then the bytes say how.
  if (d.expected == d.found) {
    d.expected = HexBytes(written.Bytes(field.byte, field.length));
    d.found = HexBytes(found.Bytes(field.byte, field.length));
  }
  return d;
}

}  // namespace

ReadBackCheck::ReadBackCheck(SerialLink& link, Clock& clock, Prompts& prompts, MessageSink& sink)
    : engine_(link, clock, prompts, sink, found_) {
  engine_.SetFinishedHandler([this](TransactionEngine::Kind, bool ok) {
    readOk_ = ok;
    differences_.clear();
    if (ok) differences_ = Compare(written_, found_, scope_);
    if (finished_) finished_(readOk_, differences_);
  });
}

bool ReadBackCheck::Start(const ParameterImage& written, Scope scope) {
  if (engine_.Busy()) return false;
  written_ = written;
  scope_ = scope;
  found_.Clear();
  readOk_ = false;
  differences_.clear();
  // The serial number is read by the service read.
  engine_.SetServiceTransfer(scope.service || scope.serialNumber, false);
  engine_.SetReadAdjustByte(scope.adjust);
  return engine_.StartRead();
}

void ReadBackCheck::SetFinishedHandler(
    std::function<void(bool, const std::vector<FieldDifference>&)> handler) {
  finished_ = std::move(handler);
}

std::vector<FieldDifference> ReadBackCheck::Compare(const ParameterImage& written,
                                                    const ParameterImage& found, Scope scope) {
  ParameterImage sent = written;
  sent.StampValidMarker();
  std::vector<FieldDifference> result;
  std::set<const Field*> reported;
  const std::vector<Field>& fields = FieldTable::Fields();
  for (const Range& range : RangesOf(scope)) {
    for (int byte = range.first; byte < range.first + range.count; ++byte) {
      if (sent.Byte(byte) == found.Byte(byte)) continue;
      bool named = false;
      for (const Field& field : fields) {
        if (byte < field.byte || byte >= field.byte + field.length) continue;
        if (!FieldDiffers(field, sent, found)) continue;
        named = true;
        if (reported.insert(&field).second) result.push_back(Describe(field, sent, found));
      }
      if (!named)
        result.push_back(FieldDifference{QStringLiteral("byte %1").arg(byte),
                                         HexByte(sent.Byte(byte)), HexByte(found.Byte(byte))});
    }
  }
  return result;
}

QString ReadBackCheck::Line(const FieldDifference& difference) {
  return QStringLiteral("%1: wrote %2, read %3")
      .arg(difference.field, difference.expected, difference.found);
}
