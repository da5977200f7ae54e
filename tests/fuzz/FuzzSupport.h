#pragma once
// What the fuzz targets share: the check that stops a run, and the rig the
// transfers run on, whose line and user answer as the input decides.
#include "FakeSerialLink.h"
#include "RecordingSink.h"
#include "SimDevice.h"
#include "link/Prompts.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace std::chrono_literals;

/// Stops the run with the place of the broken promise.
inline void Check(bool condition, const char* file = __builtin_FILE(),
                  int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "check failed at %s:%d\n", file, line);
  std::abort();
}

/// Answers Retry from the input, three times at most, so every run ends.
struct FuzzPrompts : Prompts {
  FuzzedDataProvider* in = nullptr;
  int retries = 0;
  void Critical(const QString&) override {}
  void Information(const QString&) override {}
  bool AskRetry(const QString&) override {
    return retries < 3 && in->remaining_bytes() > 0 && in->ConsumeBool() && ++retries > 0;
  }
  bool AskOkCancel(const QString&) override { return false; }
  QString ChooseFile(FileMode, const QString&, const QString&, bool) override { return {}; }
};

/// Between the link and a simulated device, the input decides what comes back:
/// the device's answer (late or not), silence, arbitrary bytes, the answer with
/// a byte changed, cut short, with more behind it or twice, a hang-up; `extra`
/// may give actions 9 and 10 a meaning of its own. A dry input is a silence.
struct FuzzLine : SimDevice {
  SimDevice* device = nullptr;
  FuzzedDataProvider* input = nullptr;  ///< nullptr: the device's own answers
  std::function<void(int action, DeviceReply& reply)> extra;

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    const DeviceReply truth = device->Receive(bytes, settings);
    if (input == nullptr || input->remaining_bytes() == 0) return input ? DeviceReply{} : truth;
    static constexpr std::chrono::milliseconds kDelays[] = {0ms,   1ms,    100ms,  500ms,
                                                            999ms, 1000ms, 1001ms, 3000ms};
    FuzzedDataProvider& in = *input;
    const uint8_t control = in.ConsumeIntegral<uint8_t>();
    const int action = control & 15;
    DeviceReply reply{truth.bytes, kDelays[(control >> 4) & 7], action == 8};
    const int size = int(truth.bytes.size());
    if (action == 0) reply.bytes.clear();
    if (action == 4) reply.bytes = QByteArray::fromStdString(in.ConsumeRandomLengthString(40));
    if (action == 5 && size > 0)
      reply.bytes[in.ConsumeIntegralInRange(0, size - 1)] = char(in.ConsumeIntegral<uint8_t>());
    if (action == 6) reply.bytes.truncate(in.ConsumeIntegralInRange(0, 20));
    if (action == 7) reply.bytes += QByteArray::fromStdString(in.ConsumeRandomLengthString(24));
    if (action == 8) reply.bytes.truncate(in.ConsumeIntegralInRange(0, 4));
    if ((action == 9 || action == 10) && extra) extra(action, reply);
    if (action == 11) reply.bytes += truth.bytes;
    return reply;
  }
};

/// The clock, line, link and user a target's transfer runs on, made once and
/// reused from input to input (making them costs more than most runs).
struct Rig {
  ManualClock clock;
  FuzzLine line;
  FakeSerialLink link{clock, &line};
  FuzzPrompts prompts;
  RecordingSink sink;
  int finished = 0;  ///< transfers ended in this run
  bool ok = false;   ///< the outcome of the last one

  /// Tidies up however a run returns, so that the input frees what it
  /// allocated (libFuzzer looks for leaks otherwise).
  struct Run {
    Rig& rig;
    ~Run() { rig.Tidy(); }
  };
  [[nodiscard]] Run Begin(FuzzedDataProvider& in) {
    Check(clock.RunAll());  // nothing of the last input is left to run
    line.input = prompts.in = &in;
    prompts.retries = finished = 0;
    return Run{*this};
  }
  void Ended(bool outcome) {
    ok = outcome;
    ++finished;
  }
  /// The transfer ends exactly once, within bounded virtual time, port closed.
  void CheckEndsOnce() {
    Check(finished == 0);  // never reported from inside Start
    Check(clock.RunUntil([&] { return finished > 0; }, 48h));
    clock.RunFor(5s);
    Check(finished == 1 && !link.IsOpen());
  }
  /// With honest answers from now on, `start` succeeds.
  void CheckHealthyRun(const std::function<bool()>& start) {
    line.input = nullptr;
    link.ClearLog();
    Check(start() && clock.RunUntil([&] { return finished > 1; }, 1h));
    Check(finished == 2 && ok && !link.IsOpen());
  }
  virtual ~Rig() = default;
  virtual void Tidy() {
    link.ClearLog();
    sink.Clear();
  }
};
