#include "image/Defaults.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"

void LoadDefaults(ParameterImage& image) {
  // Bits a field does not name (word 60 outside the pin bits) are cleared.
  for (int i = 0; i < kDefaultByteCount; ++i) image.SetByte(i, 0);
  for (const Field& field : FieldTable::Fields()) {
    if (!field.hasDefault) continue;
    Q_ASSERT(field.byte + field.length <= kDefaultByteCount);
    FieldTable::StoreRaw(image, field, field.defaultValue);
  }
}
