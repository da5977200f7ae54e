// The Intel HEX reader fed arbitrary text, whole and as one line. An accepted
// file holds data above the boot loader's pages; a refused one names its
// reason and a line that was read.
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
  } else {
    Check(!reader.ErrorReason().isEmpty());
    Check(reader.ErrorLine() >= 0 && reader.ErrorLine() <= reader.LinesRead());
  }
  // The same text as one line handed over directly, without its line end.
  reader.BeginFile();
  reader.AnalyseHexLine(text.constData(), static_cast<int>(size > 2048 ? 2048 : size));
  return 0;
}
