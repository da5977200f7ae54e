#include "image/TextCodec.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <mutex>

namespace {

const iconv_t kNoDescriptor = reinterpret_cast<iconv_t>(static_cast<intptr_t>(-1));
constexpr char kUnmappable = '?';

/// One cached iconv descriptor per direction. iconv descriptors carry state,
/// so each use resets it and holds the lock for the whole conversion.
class Converters {
 public:
  Converters() : toGbk_(iconv_open("GBK", "UTF-8")), fromGbk_(iconv_open("UTF-8", "GBK")) {}
  ~Converters() {
    if (toGbk_ != kNoDescriptor) iconv_close(toGbk_);
    if (fromGbk_ != kNoDescriptor) iconv_close(fromGbk_);
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;

  std::mutex lock;
  iconv_t ToGbk() const { return toGbk_; }
  iconv_t FromGbk() const { return fromGbk_; }

 private:
  iconv_t toGbk_;
  iconv_t fromGbk_;
};

Converters& Shared() {
  static Converters converters;
  return converters;
}

/// Length of the UTF-8 sequence starting with `lead` (1 for a stray byte).
int Utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

}  // namespace

QByteArray TextCodec::ToGbk(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  QByteArray out;
  out.reserve(utf8.size());
  Converters& c = Shared();
  std::lock_guard<std::mutex> guard(c.lock);
  if (c.ToGbk() == kNoDescriptor) {
    // No GBK table on this system: keep ASCII, mark everything else.
    for (int i = 0; i < utf8.size(); i += Utf8Length(static_cast<unsigned char>(utf8[i])))
      out.append(static_cast<unsigned char>(utf8[i]) < 0x80 ? utf8[i] : kUnmappable);
    return out;
  }
  iconv(c.ToGbk(), nullptr, nullptr, nullptr, nullptr);

  char buffer[256];
  char* in = const_cast<char*>(utf8.constData());
  size_t inLeft = static_cast<size_t>(utf8.size());
  while (inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t rc = iconv(c.ToGbk(), &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, static_cast<int>(outPtr - buffer));
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // EILSEQ or EINVAL: the character has no GBK code (or is cut off).
    const size_t skip =
        std::min<size_t>(inLeft, static_cast<size_t>(Utf8Length(static_cast<unsigned char>(*in))));
    in += skip;
    inLeft -= skip;
    out.append(kUnmappable);
    iconv(c.ToGbk(), nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

bool TextCodec::DecodePair(uint8_t lead, uint8_t trail, QString& out) {
  if (CharLength(lead) != 2) return false;
  Converters& c = Shared();
  std::lock_guard<std::mutex> guard(c.lock);
  if (c.FromGbk() == kNoDescriptor) return false;
  iconv(c.FromGbk(), nullptr, nullptr, nullptr, nullptr);

  char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
  char buffer[16];
  char* in = pair;
  size_t inLeft = sizeof pair;
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  const size_t rc = iconv(c.FromGbk(), &in, &inLeft, &outPtr, &outLeft);
  if (rc == static_cast<size_t>(-1) || inLeft != 0 || outPtr == buffer) return false;
  // Both bytes must form one character, not two single-byte ones.
  const QString decoded = QString::fromUtf8(buffer, static_cast<int>(outPtr - buffer));
  const bool one = decoded.size() == 1 || (decoded.size() == 2 && decoded[0].isHighSurrogate());
  if (!one) return false;
  out += decoded;
  return true;
}

QString TextCodec::FromGbk(const QByteArray& bytes) {
  QString out;
  out.reserve(bytes.size());
  for (int i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    if (b < 0x80) {
      out += QChar(b);
    } else if (CharLength(b) == 2 && i + 1 < bytes.size() &&
               DecodePair(b, static_cast<uint8_t>(bytes[i + 1]), out)) {
      ++i;
    } else {
      out += QChar(QChar::ReplacementCharacter);
    }
  }
  return out;
}
