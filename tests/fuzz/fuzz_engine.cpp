// The transaction engine fed arbitrary answers (FuzzLine; 9 is a Cancel, 10 a
// second Start while busy) in every transaction, adjust mode and link format.
// It must end once with the port closed; the image changes only where a read
// puts its data; every write carries the image's bytes and a correct
// checksum; a healthy terminal is read afterwards.
#include "FuzzSupport.h"
#include "TerminalModel.h"
#include "image/ParameterImage.h"
#include "link/Frame.h"
#include "link/TransactionEngine.h"

namespace {

/// Whether a read of this kind puts data at `byte`: the options, the identity,
/// and with the service page the serial number and the extended block.
bool ReadPutsData(int byte, bool service) {
  return byte < 0x110 || (byte >= 1024 && byte < 0x404) ||
         (service && ((byte >= 2048 && byte < 2080) || (byte >= 4096 && byte < 6144)));
}

void CheckWrites(const FakeSerialLink& link, const ParameterImage& image) {
  for (const QByteArray& frame : link.Writes()) {
    Check(!frame.isEmpty());
    if (frame.at(0) != Frame::kWrite) continue;
    Check(frame.size() >= 5);
    const int address = uint8_t(frame.at(1)) * 256 + uint8_t(frame.at(2));
    const int count = uint8_t(frame.at(3));
    Check(frame.size() == count + 5);
    uint8_t sum = 0;  // the checksum: the bytes before it added up, modulo 256
    for (const char b : frame.chopped(1)) sum = uint8_t(sum + uint8_t(b));
    Check(sum == uint8_t(frame.back()));
    Check((address == Frame::kResetAddress && count == 0) ||
          frame.mid(4, count) == image.Bytes(address, count));
  }
}

struct World : Rig {
  TerminalModel terminal;
  ParameterImage image;
  TransactionEngine engine{link, clock, prompts, sink, image};
  World() {
    line.device = &terminal;
    line.extra = [this](int action, DeviceReply& reply) {
      if (action == 9) clock.Schedule(reply.delay, [this] { engine.Cancel(); });
      if (action == 10)  // the user presses another button meanwhile
        clock.Schedule(reply.delay, [this] {
          if (engine.Busy()) Check(!engine.StartRead() && !engine.StartWrite());
        });
    };
    engine.SetFinishedHandler([this](TransactionEngine::Kind, bool outcome) { Ended(outcome); });
  }
  void Tidy() override {
    static const TerminalModel pristine;  // copies share its log until they write
    Rig::Tidy();
    terminal = pristine;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  static const QString kFormats[] = {"9600,N,8,1", "9600,E,7,1", "19200,O,8,1", "115200,O,7,1",
                                     "9600,N,8,2"};  // the last is not in the table
  static World w;
  const auto run = w.Begin(in);
  const int kind = in.ConsumeIntegralInRange<int>(0, 4);
  const bool adjust = in.ConsumeBool();
  // A service transfer is eight times as long as a plain one: one run in eight.
  const bool service = in.ConsumeBool() && in.ConsumeBool() && in.ConsumeBool();
  const QString format = kFormats[in.ConsumeIntegralInRange<int>(0, kind == 4 ? 3 : 4)];
  w.terminal.SetFormat(format);
  if (kind == 3) {
    w.terminal.AddLogEntry("first entry of the log");
    // Two more index records, below 1 KB but in one run in four (limit 0x7FF0).
    QByteArray records = QByteArray::fromStdString(in.ConsumeBytesAsString(8));
    const bool far = in.ConsumeBool() && in.ConsumeBool();
    for (int high = 3; high < records.size() && !far; high += 4)
      records[high] = char(records[high] & 0x03);
    w.terminal.SetLogBytes(4, records);
  }
  w.image.Clear();
  for (int i = 0; i < ParameterImage::kSize; i += 97) w.image.SetByte(i, uint8_t(i / 97));
  w.engine.SetLinkSettings(format);
  w.engine.SetAdjustMode(adjust);
  w.engine.SetServiceTransfer(service, service);
  ParameterImage before = w.image;
  if (kind == 1) before.StampValidMarker();
  Check(kind == 0   ? w.engine.StartRead()
        : kind == 1 ? w.engine.StartWrite()
        : kind == 2 ? w.engine.StartReset()
        : kind == 3 ? w.engine.StartLog()
                    : w.engine.StartDetect());
  w.CheckEndsOnce();
  Check(!w.engine.Busy() && w.engine.OperationSucceeded() == w.ok);
  for (int i = 0; i < ParameterImage::kSize; ++i)
    Check(w.image.Byte(i) == before.Byte(i) || (kind == 0 && ReadPutsData(i, service)));
  CheckWrites(w.link, w.image);
  // The read that follows costs as much as a whole input: one input in
  // sixteen, over a million runs still more than 60,000 recoveries.
  if (size % 16 != 0) return 0;
  w.engine.SetLinkSettings(format);
  w.engine.SetServiceTransfer(false, false);
  w.CheckHealthyRun([] { return w.engine.StartRead(); });
  Check(w.image.Bytes(0, 0x110) == w.terminal.Memory().Bytes(0, 0x110));
  return 0;
}
