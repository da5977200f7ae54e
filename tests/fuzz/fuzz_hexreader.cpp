// The Intel HEX reader fed arbitrary text, whole and line by line. An
// accepted file must describe data that lies inside the flash mirror, above
// the boot loader's pages.
#include "FuzzSupport.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FirmwareImage image;
  static IntelHexReader reader(image);
  const QByteArray text(reinterpret_cast<const char*>(data), static_cast<int>(size));
  if (reader.ReadData(text)) {
    Check(image.HasData() && reader.ErrorReason().isEmpty());
    Check(image.ImageStartAddress() >= FirmwareImage::kApplicationBase);
    Check(image.ImageStartAddress() <= image.ImageEndAddress());
    Check(FirmwareImage::Contains(image.ImageEndAddress()));
  } else {
    Check(!reader.ErrorReason().isEmpty());
    Check(reader.ErrorLine() >= 0 && reader.ErrorLine() <= reader.LinesRead());
  }
  // The same text as one line handed over directly, without its line end.
  reader.BeginFile();
  const int length = static_cast<int>(size > 2048 ? 2048 : size);
  reader.AnalyseHexLine(text.constData(), length);
  Check(!image.HasData() || (FirmwareImage::Contains(image.ImageStartAddress()) &&
                             FirmwareImage::Contains(image.ImageEndAddress())));
  for (int position = 1; position <= length + 1; position += 7) {
    const int value = IntelHexReader::ReadOneByte(text.constData(), length, position);
    Check(value >= -1 && value <= 255);
  }
  return 0;
}
