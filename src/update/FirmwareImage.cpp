#include "update/FirmwareImage.h"

#include <algorithm>

FirmwareImage::FirmwareImage() : bytes_(kSize, '\0') {}

void FirmwareImage::Clear() {
  // Only the data range can hold anything but 0.
  if (hasData_) {
    char* data = bytes_.data();
    std::fill(data + (start_ - kFlashBase), data + (end_ - kFlashBase) + 1, '\0');
  }
  hasData_ = false;
  start_ = 0;
  end_ = 0;
}

bool FirmwareImage::StoreData(uint32_t address, const uint8_t* bytes, int count) {
  if (count <= 0) return true;
  const int64_t last = int64_t{address} + count - 1;
  if (!Contains(address) || !Contains(last)) return false;
  char* out = bytes_.data() + (address - kFlashBase);
  for (int i = 0; i < count; ++i) {
    out[i] = static_cast<char>(bytes[i] ^ Key(address + static_cast<uint32_t>(i)));
  }
  const auto lastAddress = static_cast<uint32_t>(last);
  if (!hasData_) {
    start_ = address;
    end_ = lastAddress;
    hasData_ = true;
  } else {
    if (address < start_) start_ = address;
    if (lastAddress > end_) end_ = lastAddress;
  }
  return true;
}

uint8_t FirmwareImage::StoredByte(uint32_t address) const {
  if (!Contains(address)) return 0;
  return static_cast<uint8_t>(bytes_[static_cast<int>(address - kFlashBase)]);
}

QByteArray FirmwareImage::StoredBytes(uint32_t address, int count) const {
  if (count <= 0 || !Contains(address)) return {};
  const int index = static_cast<int>(address - kFlashBase);
  if (count > kSize - index) count = kSize - index;
  return bytes_.mid(index, count);
}
