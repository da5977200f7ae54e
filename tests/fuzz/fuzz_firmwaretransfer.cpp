// The firmware transfer fed arbitrary boot-loader answers (FuzzLine; 9 is a
// refusal) for images anywhere in the flash. It must end once with the port
// closed; every block on the wire starts inside the file's bytes and carries
// them scrambled, with their check byte; a healthy boot loader is updated after.
#include "BootLoaderModel.h"
#include "FuzzSupport.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"

namespace {

/// The data block of `count` bytes from `address` as it goes on the wire: the
/// file's bytes, each XOR the low seven bits of its address (0 past the file's
/// end: a block runs on to a 128-byte boundary), and the XOR of them.
QByteArray Block(const QByteArray& file, uint32_t base, uint32_t address, int count) {
  QByteArray block;
  char check = 0;
  for (uint32_t a = address; a < address + uint32_t(count); ++a) {
    block += a - base < uint32_t(file.size()) ? char(file.at(int(a - base)) ^ (a & 0x7F)) : '\0';
    check = char(check ^ block.back());
  }
  return block + check;
}

void CheckWire(const FakeSerialLink& link, const QByteArray& file, uint32_t base) {
  const QList<QByteArray> writes = link.Writes();
  for (int i = 0; i < writes.size(); ++i) {
    const QByteArray& frame = writes[i];
    if (frame.size() != 7 || frame.at(0) != 'U' || frame.at(1) != 0x02) continue;
    uint32_t address = 0;
    for (int b = 0; b < 4; ++b) address |= uint32_t{uint8_t(frame.at(2 + b))} << (8 * b);
    const int count = uint8_t(frame.at(6));
    Check(count >= 1 && count <= 128 && FirmwareImage::Contains(int64_t{address} + count - 1));
    Check(address >= base && address - base < uint32_t(file.size()));
    // What follows is the data block, unless the write frame was repeated
    // (refused or unanswered), which is all that can follow it otherwise.
    if (i + 1 < writes.size() && writes[i + 1].size() == count + 1 && writes[i + 1] != frame)
      Check(writes[i + 1] == Block(file, base, address, count));
  }
}

struct World : Rig {
  BootLoaderModel loader;
  FirmwareImage image;
  FirmwareTransfer transfer{link, clock, prompts, sink, image};
  World() {
    line.device = &loader;
    line.extra = [](int action, DeviceReply& reply) {
      if (action == 9) reply.bytes = "n";  // a refusal
    };
    transfer.SetFinishedHandler([this](bool outcome) { Ended(outcome); });
  }
  void Tidy() override {
    Rig::Tidy();
    loader.Reset();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  static World w;
  const auto run = w.Begin(in);
  w.image.Clear();
  const int offset = in.ConsumeBool()
                         ? FirmwareImage::kSize - in.ConsumeIntegralInRange<int>(1, 600)
                         : 0x10000 + in.ConsumeIntegralInRange<int>(0, 0x1000);
  const int length =
      std::min(in.ConsumeIntegralInRange<int>(1, 1200), FirmwareImage::kSize - offset);
  QByteArray bytes(length, '\0');
  for (int i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
  Check(w.image.StoreData(FirmwareImage::kFlashBase + offset,
                          reinterpret_cast<const uint8_t*>(bytes.constData()), length));
  if (in.ConsumeBool()) w.loader.EnterBootLoader();
  w.transfer.SetLinkSettings("9600,N,8,1");
  Check(w.transfer.Start());
  w.CheckEndsOnce();
  Check(!w.transfer.Running() && w.transfer.OperationSucceeded() == w.ok);
  CheckWire(w.link, bytes, FirmwareImage::kFlashBase + offset);
  Check(!w.ok || w.link.Writes().contains(QByteArray("U\x03\x00\x00\x01\x08", 6)));  // the go
  // A healthy boot loader afterwards, one input in four to keep runs short.
  if (size % 4 != 0) return 0;
  w.loader.Reset();
  w.CheckHealthyRun([] { return w.transfer.Start(); });
  for (int i = 0; i < length; ++i)
    Check(w.loader.FlashByte(FirmwareImage::kFlashBase + offset + i) == uint8_t(bytes[i]));
  return 0;
}
