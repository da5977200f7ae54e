// The simulated terminal and boot loader fed arbitrary requests in arbitrary
// pieces at arbitrary formats, with its faults switched on by the input. The
// models sit behind every test of the tool, so they must never fault, never
// answer more than a bounded amount, and never touch memory outside their
// parameter memory, core log or flash.
#include "BootLoaderModel.h"
#include "FuzzSupport.h"
#include "SimulatedDevice.h"
#include "TerminalModel.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  static const QString kFormats[] = {
      QStringLiteral("9600,N,8,1"),  QStringLiteral("9600,E,7,1"), QStringLiteral("9600,E,8,1"),
      QStringLiteral("19200,N,8,1"), QStringLiteral("garbage"),    QString(),
  };
  // Copies of models made once: they share the log and the flash until they
  // write them, so a run costs no more than what it does.
  static const TerminalModel pristineTerminal;
  static const BootLoaderModel pristineLoader;
  TerminalModel terminal = pristineTerminal;
  TerminalModel::Faults faults;
  const uint8_t switches = in.ConsumeIntegral<uint8_t>();
  faults.silent = (switches & 0x01) && (switches & 0x02);
  faults.badHandshake = switches & 0x04;
  faults.garbage = (switches & 0x08) && (switches & 0x10);
  faults.longCount = switches & 0x20;
  faults.firstTry = static_cast<TerminalModel::Faults::FirstTry>(in.ConsumeIntegralInRange(0, 2));
  faults.refuseBlock = in.ConsumeIntegralInRange(-1, 20);
  faults.silentBlock = in.ConsumeIntegralInRange(-1, 20);
  faults.hangUpAfterBytes = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 400) : -1;
  faults.silentAfterRequests = in.ConsumeBool() ? in.ConsumeIntegralInRange(0, 30) : -1;
  terminal.SetFaults(faults);
  terminal.SetFormat(kFormats[in.ConsumeIntegralInRange(0, 3)]);
  if (in.ConsumeBool()) {
    terminal.AddLogEntry(QByteArray::fromStdString(in.ConsumeRandomLengthString(300)));
    terminal.SetLogBytes(in.ConsumeIntegralInRange(-16, TerminalModel::kLogSize + 16),
                         QByteArray::fromStdString(in.ConsumeRandomLengthString(64)));
  }

  BootLoaderModel loader = pristineLoader;
  if (in.ConsumeBool()) loader.EnterBootLoader();
  loader.SetMatchParityAndDataBits(in.ConsumeBool());
  loader.SetVersion(in.ConsumeIntegral<uint8_t>());
  if (in.ConsumeBool())
    loader.SetRefuseBlock(in.ConsumeIntegralInRange(0, 8), in.ConsumeIntegralInRange(-1, 3));
  if (in.ConsumeBool()) loader.SetSilentAfterBlock(in.ConsumeIntegralInRange(0, 8), 1);
  if (in.ConsumeBool()) loader.SetLateBlock(in.ConsumeIntegralInRange(0, 8));
  SimulatedDevice device(terminal, loader);

  while (in.remaining_bytes() > 0) {
    const QString& settings = kFormats[in.ConsumeIntegralInRange(0, 5)];
    const QByteArray piece = QByteArray::fromStdString(in.ConsumeRandomLengthString(300));
    const DeviceReply reply = device.Receive(piece, settings);
    // Every request is answered at most once, with at most the 259 bytes of
    // a read of 255: a piece of N bytes completes at most N + 1 requests.
    Check(reply.bytes.size() <= 259 * (piece.size() + 1));
    Check(reply.delay >= std::chrono::milliseconds(0));
  }
  Check(terminal.Memory().Bytes(0, ParameterImage::kSize).size() == ParameterImage::kSize);
  Check(loader.Flash().size() == BootLoaderModel::kFlashSize);
  Check(terminal.LogMemory().size() == TerminalModel::kLogSize);
  return 0;
}
