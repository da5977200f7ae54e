#include "BootLoaderModel.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr char kSync = 'U';
constexpr char kStart[] = {'U', 'P', 'D', 0x11};
constexpr uint8_t kErase = 0x01;
constexpr uint8_t kWrite = 0x02;
constexpr uint8_t kGo = 0x03;
constexpr int kAddressFrameLength = 6;  // 'U' command a0 a1 a2 a3
constexpr int kWriteFrameLength = 7;    // ... n
constexpr int kMaxBlock = 128;

uint32_t AddressOf(const QByteArray& frame) {
  uint32_t address = 0;
  for (int i = 0; i < 4; ++i) address |= uint32_t{static_cast<uint8_t>(frame[2 + i])} << (8 * i);
  return address;
}

bool InFlash(int64_t address) {
  return address >= BootLoaderModel::kFlashBase &&
         address < int64_t{BootLoaderModel::kFlashBase} + BootLoaderModel::kFlashSize;
}

}  // namespace

BootLoaderModel::BootLoaderModel() : flash_(kFlashSize, '\xFF') {}

void BootLoaderModel::EnterBootLoader() {
  inBootLoader_ = true;
  input_.clear();
  pendingLength_ = 0;
}

void BootLoaderModel::SetRefuseBlock(int block, int times) {
  refuseBlock_ = block;
  refuseTimes_ = times;
}

void BootLoaderModel::SetSilentAfterBlock(int block, int times) {
  silentBlock_ = block;
  silentTimes_ = times;
}

void BootLoaderModel::SetLateBlock(int block, std::chrono::milliseconds late) {
  lateBlock_ = block;
  late_ = late;
  acceptRewrites_ = true;
}

void BootLoaderModel::Reset() {
  QByteArray flash = std::move(flash_);
  if (flashReplaced_) {
    flash.fill('\xFF');
  } else {
    for (const Block& block : blocks_)
      std::fill_n(flash.data() + (block.address - kFlashBase), block.length, '\xFF');
  }
  static const BootLoaderModel pristine;
  *this = pristine;  // shares the pristine flash for a moment, copies nothing else big
  flash_ = std::move(flash);
}

void BootLoaderModel::SetFlash(const QByteArray& flash) {
  flashReplaced_ = true;
  flash_ = flash.left(kFlashSize);
  if (flash_.size() < kFlashSize) flash_.append(QByteArray(kFlashSize - flash_.size(), '\xFF'));
}

uint8_t BootLoaderModel::FlashByte(uint32_t address) const {
  if (!InFlash(address)) return 0xFF;
  return static_cast<uint8_t>(flash_[static_cast<int>(address - kFlashBase)]);
}

bool BootLoaderModel::SameFormat(const QString& a, const QString& b) const {
  const QStringList x = a.split(QLatin1Char(','));
  const QStringList y = b.split(QLatin1Char(','));
  if (x.size() != 4 || y.size() != 4) return false;
  if (x[0].trimmed() != y[0].trimmed() || x[3].trimmed() != y[3].trimmed()) return false;
  if (!exactFormat_) return true;
  return x[1].trimmed().compare(y[1].trimmed(), Qt::CaseInsensitive) == 0 &&
         x[2].trimmed() == y[2].trimmed();
}

DeviceReply BootLoaderModel::Receive(const QByteArray& bytes, const QString& settings) {
  DeviceReply reply;
  if (!inBootLoader_) {
    reply.bytes = ApplicationReceive(bytes, settings);
    return reply;
  }
  // Bytes at the wrong format arrive garbled: the boot loader ignores them.
  if (!SameFormat(settings, bootSettings_)) return reply;
  input_.append(bytes);
  replyDelay_ = std::chrono::milliseconds{0};
  reply.bytes = BootLoaderReceive();
  reply.delay = replyDelay_;
  return reply;
}

QByteArray BootLoaderModel::ApplicationReceive(const QByteArray& bytes, const QString& settings) {
  if (!SameFormat(settings, appSettings_)) {
    input_.clear();
    return {};
  }
  // The start frame counts only from the first byte on an idle line (the
  // caller passes nothing that arrives inside a configuration frame); it may
  // come in pieces.
  input_.append(bytes);
  const QByteArray start(kStart, sizeof kStart);
  if (input_.startsWith(start)) {
    EnterBootLoader();
    QByteArray answer;
    answer.append(kAck).append(kSync).append(kSync).append(static_cast<char>(version_));
    return answer;
  }
  if (!start.startsWith(input_)) input_.clear();
  return {};
}

QByteArray BootLoaderModel::BootLoaderReceive() {
  QByteArray answer;
  for (;;) {
    if (pendingLength_ > 0) {
      if (input_.size() < pendingLength_ + 1) break;
      const QByteArray block = input_.left(pendingLength_ + 1);
      input_.remove(0, pendingLength_ + 1);
      answer.append(DataBlock(block));
      continue;
    }
    const int sync = static_cast<int>(input_.indexOf(kSync));
    if (sync < 0) {
      input_.clear();
      break;
    }
    input_.remove(0, sync);
    if (input_.size() < 2) break;
    int length = 0;
    switch (static_cast<uint8_t>(input_[1])) {
      case 'P':
        length = sizeof kStart;
        break;
      case kErase:
      case kGo:
        length = kAddressFrameLength;
        break;
      case kWrite:
        length = kWriteFrameLength;
        break;
      default:
        input_.remove(0, 2);
        answer.append(Refuse());
        continue;
    }
    if (input_.size() < length) break;
    const QByteArray frame = input_.left(length);
    input_.remove(0, length);
    answer.append(Command(frame));
    if (!inBootLoader_) {  // the application took over
      input_.clear();
      break;
    }
  }
  return answer;
}

QByteArray BootLoaderModel::Command(const QByteArray& frame) {
  const uint8_t command = static_cast<uint8_t>(frame[1]);
  if (command == 'P') {
    if (frame != QByteArray(kStart, sizeof kStart)) return QByteArray(1, Refuse());
    QByteArray answer;
    answer.append(kAck).append('B').append('L').append(static_cast<char>(version_));
    return answer;
  }
  const uint32_t address = AddressOf(frame);
  if (!InFlash(address)) return QByteArray(1, Refuse());
  if (command == kErase) {
    const int page = static_cast<int>(address - kFlashBase) / kPageSize;
    flash_.replace(page * kPageSize, kPageSize, QByteArray(kPageSize, '\xFF'));
    erases_.append(address);
    return QByteArray(1, kAck);
  }
  if (command == kWrite) {
    const int count = static_cast<uint8_t>(frame[6]);
    if (count < 1 || count > kMaxBlock || !InFlash(int64_t{address} + count - 1)) {
      return QByteArray(1, Refuse());
    }
    pendingLength_ = count;
    pendingAddress_ = address;
    return QByteArray(1, kAck);
  }
  // Go.
  started_ = true;
  goAddress_ = address;
  inBootLoader_ = false;
  return QByteArray(1, kAck);
}

QByteArray BootLoaderModel::DataBlock(const QByteArray& block) {
  const int count = pendingLength_;
  pendingLength_ = 0;
  const int index = blocks_.size();
  if (index == silentBlock_ && silentTimes_ != 0) {
    if (silentTimes_ > 0) --silentTimes_;
    return {};
  }
  if (index == refuseBlock_ && refuseTimes_ != 0) {
    if (refuseTimes_ > 0) --refuseTimes_;
    return QByteArray(1, Refuse());
  }
  uint8_t check = 0;
  for (int i = 0; i < count; ++i) check ^= static_cast<uint8_t>(block[i]);
  if (check != static_cast<uint8_t>(block[count])) return QByteArray(1, Refuse());
  const int offset = static_cast<int>(pendingAddress_ - kFlashBase);
  for (int i = 0; i < count; ++i) {
    const uint8_t now = static_cast<uint8_t>(flash_[offset + i]);
    const uint8_t key = (pendingAddress_ + static_cast<uint32_t>(i)) & 0x7F;
    const bool same = acceptRewrites_ && now == (static_cast<uint8_t>(block[i]) ^ key);
    if (now != 0xFF && !same) return QByteArray(1, Refuse());
  }
  for (int i = 0; i < count; ++i) {
    const uint8_t key = (pendingAddress_ + static_cast<uint32_t>(i)) & 0x7F;
    flash_[offset + i] = static_cast<char>(static_cast<uint8_t>(block[i]) ^ key);
  }
  if (index == lateBlock_) {
    lateBlock_ = -1;
    replyDelay_ = late_;
  }
  blocks_.append({pendingAddress_, count});
  return QByteArray(1, kAck);
}

char BootLoaderModel::Refuse() {
  ++refusals_;
  return kRefuse;
}
