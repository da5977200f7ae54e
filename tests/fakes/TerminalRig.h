#pragma once

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "TerminalModel.h"
#include "image/ParameterImage.h"
#include "link/TransactionEngine.h"

/// The engine on a fake link to the simulated terminal, on a virtual clock;
/// terminal and link start at "9600,N,8,1".
struct TerminalRig {
  ManualClock clock;
  TerminalModel terminal;
  FakeSerialLink link{clock, &terminal};
  ScriptedPrompts prompts;
  RecordingSink sink;
  ParameterImage image;
  TransactionEngine engine{link, clock, prompts, sink, image};
  int finishedCount = 0;
  bool finishedOk = false;

  TerminalRig() {
    engine.SetFinishedHandler([this](TransactionEngine::Kind, bool ok) {
      ++finishedCount;
      finishedOk = ok;
    });
  }
  void SetFormat(const QString& settings) {
    terminal.SetFormat(settings);
    engine.SetLinkSettings(settings);
  }
  /// Runs the clock until the transaction has ended; false if not within `limit`.
  bool WaitFinished(ManualClock::Duration limit = std::chrono::hours(1)) {
    const int before = finishedCount;
    return clock.RunUntil([&] { return finishedCount > before; }, limit);
  }
};
