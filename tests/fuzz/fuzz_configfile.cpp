// The configuration file loader fed arbitrary files, then every field of the
// loaded image decoded as `show` and the windows decode it. A refused file
// must leave the image untouched; an accepted one is the file's first 10240
// bytes exactly.
#include "FuzzSupport.h"
#include "image/ConfigFile.h"
#include "image/FieldTable.h"
#include "image/Identity.h"
#include "image/ParameterImage.h"

#include <QByteArray>
#include <QString>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

/// An in-memory file with a path the loader can open.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("fuzz.quelt", 0)) {
    Check(fd_ >= 0);
    path_ = QStringLiteral("/proc/self/fd/%1").arg(fd_);
  }
  ~MemoryFile() { close(fd_); }
  void Fill(const uint8_t* data, size_t size) {
    Check(ftruncate(fd_, 0) == 0);
    size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      Check(n > 0);
      done += static_cast<size_t>(n);
    }
  }
  const QString& Path() const { return path_; }

 private:
  int fd_;
  QString path_;
};

/// Decodes every field that overlaps bytes [from, to) of the image, as
/// `show` and the windows do, and the identity lines.
void Decode(const ParameterImage& image, int from, int to) {
  for (const Field& field : FieldTable::Fields()) {
    if (field.byte >= to || field.byte + field.length <= from) continue;
    FieldTable::DisplayText(image, field);
    FieldTable::JsonValue(image, field);
    FieldTable::InRange(image, field);
    FieldTable::Text(image, field);
    FieldTable::ChoiceName(field, FieldTable::RawValue(image, field));
  }
  Identity::Lines(image);
  const QStringList channels = Identity::ChannelList(Identity::BandCode(image));
  const int index = Identity::ChannelIndex(image, static_cast<int>(channels.size()));
  Check(index >= 0 && index < channels.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MemoryFile file;
  file.Fill(data, size);

  ParameterImage image;
  image.SetByte(17, 0x5A);
  const ParameterImage before = image;
  const ConfigFile::Result result = ConfigFile::Open(file.Path(), image);
  if (size < static_cast<size_t>(ConfigFile::kFileSize)) {
    Check(!result.ok);
    Check(image == before);
    Check(!result.english.isEmpty() && !result.chinese.isEmpty());
  } else {
    Check(result.ok);
    Check(std::memcmp(image.Data(), data, ConfigFile::kFileSize) == 0);
  }

  // The decoders see the bytes however short the file was: the first two
  // bytes place the rest anywhere in the image (Store clips at its end).
  // Only the fields in the first 64 bytes placed are decoded, so that one
  // run stays cheap; the placement reaches every field from run to run.
  ParameterImage raw;
  if (size >= 2) {
    const int offset = (data[0] << 8 | data[1]) % ParameterImage::kSize;
    const int stored = raw.Store(offset, data + 2, static_cast<int>(size - 2 > 64 ? 64 : size - 2));
    Decode(raw, offset, offset + stored);
  }
  return 0;
}
