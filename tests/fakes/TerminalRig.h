#pragma once

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "TerminalModel.h"
#include "image/ParameterImage.h"
#include "link/TransactionEngine.h"

#include <chrono>

/// A whole link in-process: the engine on a fake link to the simulated
/// terminal, on a virtual clock, with scripted prompts and a recording sink.
/// The terminal and the link start at the same format ("9600,N,8,1").
struct TerminalRig {
  ManualClock clock;
  TerminalModel terminal;
  FakeSerialLink link{clock, &terminal};
  ScriptedPrompts prompts;
  RecordingSink sink;
  ParameterImage image;
  TransactionEngine engine{link, clock, prompts, sink, image};

  int finishedCount = 0;
  TransactionEngine::Kind finishedKind = TransactionEngine::Kind::None;
  bool finishedOk = false;

  TerminalRig() {
    engine.SetFinishedHandler([this](TransactionEngine::Kind kind, bool ok) {
      ++finishedCount;
      finishedKind = kind;
      finishedOk = ok;
    });
  }

  /// Terminal and link format at once.
  void SetFormat(const QString& settings) {
    terminal.SetFormat(settings);
    engine.SetLinkSettings(settings);
  }

  /// Runs the clock until the running transaction has reported its end;
  /// false if it did not within `limit` of virtual time.
  bool WaitFinished(std::chrono::nanoseconds limit = std::chrono::hours(1)) {
    const int before = finishedCount;
    return clock.RunUntil([&] { return finishedCount > before; }, limit);
  }
};
