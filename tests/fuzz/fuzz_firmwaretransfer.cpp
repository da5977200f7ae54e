// The firmware transfer fed arbitrary boot-loader answers. The input chooses
// where the image lies in the flash and how long it is, then, frame by frame,
// what comes back: the boot loader's true answer, arbitrary bytes, a damaged
// answer, silence, a late answer, a hang-up, and the answers to the
// Retry/Cancel question.
//
// Whatever happens, the update must end once, within bounded virtual time,
// with the port closed; every block on the wire must lie inside the flash,
// start no lower than the image and carry the image's bytes with the right
// check byte; and afterwards the same transfer must update a healthy boot
// loader completely.
#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "SimDevice.h"
#include "link/Prompts.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace std::chrono_literals;

namespace {

class FuzzLine : public SimDevice {
 public:
  void SetLoader(SimDevice* loader) { loader_ = loader; }
  bool fuzzing = true;
  /// The input that decides, frame by frame.
  FuzzedDataProvider* input = nullptr;

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    FuzzedDataProvider& in = *input;
    DeviceReply truth = loader_->Receive(bytes, settings);
    if (!fuzzing) return truth;
    if (in.remaining_bytes() == 0) return DeviceReply{};
    static constexpr std::chrono::milliseconds kDelays[] = {0ms,   1ms,    100ms,  500ms,
                                                            999ms, 1000ms, 1001ms, 3000ms};
    const uint8_t control = in.ConsumeIntegral<uint8_t>();
    DeviceReply reply;
    reply.delay = kDelays[(control >> 4) & 7];
    switch (control & 15) {
      case 0:
        break;
      case 4:
        reply.bytes = QByteArray::fromStdString(in.ConsumeRandomLengthString(8));
        break;
      case 5:
        reply.bytes = truth.bytes;
        if (!reply.bytes.isEmpty()) {
          const int at = in.ConsumeIntegralInRange<int>(0, int(reply.bytes.size()) - 1);
          reply.bytes[at] = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        }
        break;
      case 6:
        reply.bytes = truth.bytes.left(in.ConsumeIntegralInRange<int>(0, 3));
        break;
      case 7:
        reply.bytes = truth.bytes + QByteArray::fromStdString(in.ConsumeRandomLengthString(6));
        break;
      case 8:
        reply.hangUp = true;
        break;
      case 9:  // a refusal
        reply.bytes = QByteArray(1, 'n');
        break;
      default:
        reply.bytes = truth.bytes;
        break;
    }
    return reply;
  }

 private:
  SimDevice* loader_ = nullptr;
};

void CheckWire(const FakeSerialLink& link, const FirmwareImage& image) {
  const QList<QByteArray> writes = link.Writes();
  for (int i = 0; i < writes.size(); ++i) {
    const QByteArray& frame = writes[i];
    if (frame.size() != 7 || frame.at(0) != 'U' || frame.at(1) != 0x02) continue;
    uint32_t address = 0;
    for (int b = 0; b < 4; ++b) address |= uint32_t{uint8_t(frame.at(2 + b))} << (8 * b);
    const int count = uint8_t(frame.at(6));
    Check(count >= 1 && count <= 128);
    Check(address >= image.ImageStartAddress() && address <= image.ImageEndAddress());
    Check(FirmwareImage::Contains(int64_t{address} + count - 1));
    // What follows is the data block, unless the write frame was repeated
    // (refused or unanswered), which is all that can follow it otherwise.
    if (i + 1 < writes.size() && writes[i + 1].size() == count + 1 && writes[i + 1] != frame) {
      const QByteArray& block = writes[i + 1];
      Check(block.left(count) == image.StoredBytes(address, count));
      Check(FirmwareTransfer::CheckByte(block.left(count)) == uint8_t(block.back()));
    }
  }
}

/// Everything a run needs, made once and reused from input to input.
struct World {
  ManualClock clock;
  BootLoaderModel loader;
  FuzzLine line;
  FakeSerialLink link{clock, &line};
  FuzzPrompts prompts;
  RecordingSink sink;
  FirmwareImage image;
  FirmwareTransfer transfer{link, clock, prompts, sink, image};
  World() { line.SetLoader(&loader); }
  /// What one input leaves behind is undone before it returns, so that the
  /// input frees what it allocated (libFuzzer looks for leaks otherwise).
  void Tidy() {
    link.ClearLog();
    sink.Clear();
    loader.Reset();
  }
};

/// Calls World::Tidy() however the input returns.
struct TidyOnReturn {
  World& world;
  ~TidyOnReturn() { world.Tidy(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  static World world;
  FirmwareTransfer& transfer = world.transfer;
  ManualClock& clock = world.clock;
  FakeSerialLink& link = world.link;
  FuzzLine& line = world.line;
  FirmwareImage& image = world.image;
  transfer.SetFinishedHandler(nullptr);
  Check(clock.RunAll());  // nothing of the last input is left to run
  TidyOnReturn tidy{world};
  image.Clear();
  const bool nearEnd = in.ConsumeBool();
  const int offset = nearEnd ? FirmwareImage::kSize - in.ConsumeIntegralInRange<int>(1, 600)
                             : 0x10000 + in.ConsumeIntegralInRange<int>(0, 0x1000);
  const int length =
      std::min(in.ConsumeIntegralInRange<int>(1, 1200), FirmwareImage::kSize - offset);
  QByteArray bytes(length, '\0');
  for (int i = 0; i < length; ++i) bytes[i] = static_cast<char>(i * 31 + 7);
  Check(image.StoreData(FirmwareImage::kFlashBase + offset,
                        reinterpret_cast<const uint8_t*>(bytes.constData()), length));
  const bool inBootLoader = in.ConsumeBool();

  BootLoaderModel& loader = world.loader;
  if (inBootLoader) loader.EnterBootLoader();
  line.input = &in;
  line.fuzzing = true;
  world.prompts.Reset(in);
  transfer.SetLinkSettings(QStringLiteral("9600,N,8,1"));
  int finished = 0;
  bool ok = false;
  transfer.SetFinishedHandler([&](bool outcome) {
    ++finished;
    ok = outcome;
  });

  Check(transfer.Start());
  Check(finished == 0);
  Check(clock.RunUntil([&] { return finished > 0; }, 48h));
  clock.RunFor(5s);
  Check(finished == 1);
  Check(!link.IsOpen());
  Check(!transfer.Running());
  Check(transfer.OperationSucceeded() == ok);
  CheckWire(link, image);
  if (ok) {
    const QByteArray go("U\x03\x00\x00\x01\x08", 6);
    Check(link.Writes().contains(go));
  }

  // A healthy boot loader is updated completely afterwards (checked for one
  // input in four, to keep the runs short).
  if (size % 4 != 0) return 0;
  loader.Reset();
  line.fuzzing = false;
  link.ClearLog();
  Check(transfer.Start());
  Check(clock.RunUntil([&] { return finished > 1; }, 1h));
  Check(finished == 2 && ok && !link.IsOpen());
  for (int i = 0; i < length; ++i)
    Check(loader.FlashByte(FirmwareImage::kFlashBase + offset + i) == uint8_t(bytes[i]));
  return 0;
}
