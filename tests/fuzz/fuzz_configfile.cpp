// The configuration file loader fed arbitrary files, then the fields decoded
// as `show` and the windows decode them. A refused file must leave the image
// untouched; an accepted one is the file's first 10240 bytes exactly.
#include "FuzzSupport.h"
#include "image/ConfigFile.h"
#include "image/FieldTable.h"
#include "image/Identity.h"
#include "image/ParameterImage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("fuzz.quelt", 0);  // an in-memory file the loader can open
  static const QString path = QStringLiteral("/proc/self/fd/%1").arg(fd);
  Check(ftruncate(fd, 0) == 0 && pwrite(fd, data, size, 0) == ssize_t(size));
  ParameterImage image;
  image.SetByte(17, 0x5A);
  const ParameterImage before = image;
  const ConfigFile::Result result = ConfigFile::Open(path, image);
  if (size < static_cast<size_t>(ConfigFile::kFileSize))
    Check(!result.ok && image == before && !result.english.isEmpty() && !result.chinese.isEmpty());
  else
    Check(result.ok && std::memcmp(image.Data(), data, ConfigFile::kFileSize) == 0);
  // The decoders, as `show` and the windows use them, see the bytes however
  // short the file was: the first two bytes place the next 64 anywhere in the
  // image (Store clips at its end), and the fields there are decoded.
  if (size < 2) return 0;
  ParameterImage raw;
  const int from = (data[0] << 8 | data[1]) % ParameterImage::kSize;
  const int to = from + raw.Store(from, data + 2, static_cast<int>(std::min<size_t>(size - 2, 64)));
  for (const Field& field : FieldTable::Fields()) {
    if (field.byte >= to || field.byte + field.length <= from) continue;
    FieldTable::DisplayText(raw, field);
    FieldTable::JsonValue(raw, field);
    FieldTable::InRange(raw, field);
    FieldTable::Text(raw, field);
    FieldTable::ChoiceName(field, FieldTable::RawValue(raw, field));
  }
  Identity::Lines(raw);
  const QStringList channels = Identity::ChannelList(Identity::BandCode(raw));
  const int index = Identity::ChannelIndex(raw, static_cast<int>(channels.size()));
  Check(index >= 0 && index < channels.size());
  return 0;
}
