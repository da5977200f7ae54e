// The transaction engine fed arbitrary answers at every step of every
// transaction. The input chooses the transaction, the adjust mode and the
// link format, then, request by request, what comes back: the terminal's
// true answer, arbitrary bytes, a damaged or cut answer, silence, a late
// answer, a hang-up, a Cancel from the user, a second Start while busy, and
// the answers to the Retry/Cancel question.
//
// Whatever happens, the transaction must end once, within bounded virtual
// time, with the port closed; the image may change only where a read puts
// its data (a write only stamps the marker); every write request on the wire
// must carry the image's bytes and a correct checksum; and afterwards a
// healthy terminal must be read successfully by the same engine.
#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "SimDevice.h"
#include "TerminalModel.h"
#include "image/ParameterImage.h"
#include "link/FormatTable.h"
#include "link/Frame.h"
#include "link/Prompts.h"
#include "link/TransactionEngine.h"

#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

using namespace std::chrono_literals;

namespace {

/// Sits between the link and the simulated terminal and, for each request,
/// lets the input decide what the line carries back.
class FuzzLine : public SimDevice {
 public:
  FuzzLine(TerminalModel& terminal, ManualClock& clock, TransactionEngine& engine)
      : terminal_(terminal), clock_(clock), engine_(engine) {}

  /// Off: every request gets the terminal's own answer.
  bool fuzzing = true;
  /// The input that decides, request by request.
  FuzzedDataProvider* input = nullptr;

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    FuzzedDataProvider& in = *input;
    DeviceReply truth = terminal_.Receive(bytes, settings);
    if (!fuzzing || in.remaining_bytes() == 0) {
      if (fuzzing) truth.bytes.clear();  // a dry input is a silent line
      return truth;
    }
    static constexpr std::chrono::milliseconds kDelays[] = {0ms,   1ms,    2ms,    500ms,
                                                            999ms, 1000ms, 1001ms, 2500ms};
    const uint8_t control = in.ConsumeIntegral<uint8_t>();
    DeviceReply reply;
    reply.delay = kDelays[(control >> 4) & 7];
    switch (control & 15) {
      case 0:  // silence
        break;
      case 1:  // the truth, late or not
      case 2:
      case 3:
        reply.bytes = truth.bytes;
        break;
      case 4:  // arbitrary bytes
        reply.bytes = QByteArray::fromStdString(in.ConsumeRandomLengthString(40));
        break;
      case 5: {  // the truth with one byte changed
        reply.bytes = truth.bytes;
        if (!reply.bytes.isEmpty()) {
          const int at = in.ConsumeIntegralInRange<int>(0, int(reply.bytes.size()) - 1);
          reply.bytes[at] = static_cast<char>(in.ConsumeIntegral<uint8_t>());
        }
        break;
      }
      case 6:  // the truth cut short
        reply.bytes = truth.bytes.left(in.ConsumeIntegralInRange<int>(0, 20));
        break;
      case 7:  // the truth with more behind it
        reply.bytes = truth.bytes + QByteArray::fromStdString(in.ConsumeRandomLengthString(24));
        break;
      case 8:  // the cable is pulled
        reply.bytes = truth.bytes.left(in.ConsumeIntegralInRange<int>(0, 4));
        reply.hangUp = true;
        break;
      case 9:  // the user cancels
        clock_.Schedule(reply.delay, [this] { engine_.Cancel(); });
        reply.bytes = truth.bytes;
        break;
      case 10:  // the user presses another button meanwhile
        clock_.Schedule(reply.delay, [this] {
          if (engine_.Busy()) Check(!engine_.StartRead() && !engine_.StartWrite());
        });
        reply.bytes = truth.bytes;
        break;
      case 11:  // the answer twice
        reply.bytes = truth.bytes + truth.bytes;
        break;
      default:  // the truth, with the fuzzed delay
        reply.bytes = truth.bytes;
        break;
    }
    return reply;
  }

 private:
  TerminalModel& terminal_;
  ManualClock& clock_;
  TransactionEngine& engine_;
};

/// Bytes [from, to) of both images are equal.
bool SameBytes(const ParameterImage& a, const ParameterImage& b, int from, int to) {
  return std::memcmp(a.Data() + from, b.Data() + from, static_cast<size_t>(to - from)) == 0;
}

/// The image changed only where a read of this kind puts its data.
bool OnlyReadBytesChanged(const ParameterImage& now, const ParameterImage& before, bool service) {
  // The read ranges, in order: options, identity, and with the service page
  // the serial number and the extended block.
  std::vector<std::pair<int, int>> ranges = {{0, 0x110}, {ParameterImage::kIdentityByte, 0x404}};
  if (service) {
    ranges.push_back({ParameterImage::kSerialNumberByte, 2080});
    ranges.push_back({ParameterImage::kExtendedBase, ParameterImage::kExtendedBase + 2048});
  }
  int from = 0;
  for (const auto& [start, end] : ranges) {
    if (!SameBytes(now, before, from, start)) return false;
    from = end;
  }
  return SameBytes(now, before, from, ParameterImage::kSize);
}

void CheckWrites(const FakeSerialLink& link, const ParameterImage& image) {
  for (const QByteArray& frame : link.Writes()) {
    Check(!frame.isEmpty());
    if (frame.at(0) != Frame::kWrite) continue;
    Check(frame.size() >= 5);
    const int address = uint8_t(frame.at(1)) * 256 + uint8_t(frame.at(2));
    const int count = uint8_t(frame.at(3));
    Check(frame.size() == count + 5);
    Check(Frame::Checksum(frame.left(frame.size() - 1)) == uint8_t(frame.back()));
    if (address == Frame::kResetAddress && count == 0) continue;
    Check(address + count <= ParameterImage::kSize);
    Check(frame.mid(4, count) == image.Bytes(address, count));
  }
}

/// Everything a run needs, made once and reused from input to input: making
/// the engine, the link and a terminal costs more than most runs.
struct World {
  ManualClock clock;
  TerminalModel terminal;
  FakeSerialLink link{clock, nullptr};
  FuzzPrompts prompts;
  RecordingSink sink;
  ParameterImage image;
  TransactionEngine engine{link, clock, prompts, sink, image};
  FuzzLine line{terminal, clock, engine};
  World() { link.AttachDevice(&line); }
  /// What one input leaves behind is undone before it returns, so that the
  /// input frees what it allocated (libFuzzer looks for leaks otherwise).
  void Tidy() {
    static const TerminalModel pristine;  // copies share its log until they write
    link.ClearLog();
    sink.Clear();
    terminal = pristine;
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
  static const QString kFormats[] = {
      QStringLiteral("9600,N,8,1"),   QStringLiteral("9600,E,7,1"), QStringLiteral("19200,O,8,1"),
      QStringLiteral("115200,O,7,1"), QStringLiteral("9600,N,8,2"),  // not in the table
  };
  const int kind = in.ConsumeIntegralInRange<int>(0, 4);
  const bool adjust = in.ConsumeBool();
  // A service transfer is eight times as long as a plain one: one run in
  // eight carries it.
  const bool service = in.ConsumeBool() && in.ConsumeBool() && in.ConsumeBool();
  const QString format = kFormats[in.ConsumeIntegralInRange<int>(0, kind == 4 ? 3 : 4)];

  static World world;
  static const ParameterImage pattern = [] {
    ParameterImage image;
    for (int i = 0; i < ParameterImage::kSize; i += 97) image.SetByte(i, uint8_t(i / 97));
    return image;
  }();
  ManualClock& clock = world.clock;
  TerminalModel& terminal = world.terminal;
  FakeSerialLink& link = world.link;
  ParameterImage& image = world.image;
  TransactionEngine& engine = world.engine;
  FuzzLine& line = world.line;
  engine.SetFinishedHandler(nullptr);
  Check(clock.RunAll());  // nothing of the last input is left to run
  TidyOnReturn tidy{world};
  terminal.SetFormat(format);
  if (kind == 3) {
    terminal.AddLogEntry("first entry of the log");
    // Two more index records. Their offsets stay below 1 KB (up to 80 text
    // blocks) but in one run in four, which may reach the 0x7FF0 limit.
    QByteArray records = QByteArray::fromStdString(in.ConsumeBytesAsString(8));
    const bool far = in.ConsumeBool() && in.ConsumeBool();
    for (int high = 3; high < records.size() && !far; high += 4)
      records[high] = char(records[high] & 0x03);
    terminal.SetLogBytes(4, records);
  }
  world.prompts.Reset(in);
  line.input = &in;
  line.fuzzing = true;
  image = pattern;
  engine.SetLinkSettings(format);
  engine.SetAdjustMode(adjust);
  engine.SetServiceTransfer(service, service);

  int finished = 0;
  bool ok = false;
  engine.SetFinishedHandler([&](TransactionEngine::Kind, bool outcome) {
    ++finished;
    ok = outcome;
  });

  ParameterImage before = image;
  bool started = false;
  switch (kind) {
    case 0:
      started = engine.StartRead();
      break;
    case 1:
      started = engine.StartWrite();
      before.StampValidMarker();
      break;
    case 2:
      started = engine.StartReset();
      break;
    case 3:
      started = engine.StartLog();
      break;
    default:
      started = engine.StartDetect();
      break;
  }
  Check(started);
  Check(finished == 0);  // never reported from inside Start

  Check(clock.RunUntil([&] { return finished > 0; }, 48h));
  clock.RunFor(5s);
  Check(finished == 1);
  Check(!link.IsOpen());
  Check(!engine.Busy());
  Check(engine.OperationSucceeded() == ok);
  Check(kind == 0 ? OnlyReadBytesChanged(image, before, service)
                  : SameBytes(image, before, 0, ParameterImage::kSize));
  CheckWrites(link, image);

  // Nothing that happened leaves the engine unable to read a healthy terminal.
  // The read costs as much as a whole input, so it follows one input in
  // sixteen: over a million runs that is still more than 60,000 recoveries.
  if (size % 16 != 0) return 0;
  line.fuzzing = false;
  engine.SetLinkSettings(format);
  engine.SetServiceTransfer(false, false);
  link.ClearLog();
  Check(engine.StartRead());
  Check(clock.RunUntil([&] { return finished > 1; }, 1h));
  Check(finished == 2 && ok);
  Check(!link.IsOpen());
  Check(image.Bytes(0, 0x110) == terminal.Memory().Bytes(0, 0x110));
  return 0;
}
