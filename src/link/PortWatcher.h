#pragma once

#include "link/PortCatalog.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class Clock;
class Timer;

/// Notices serial adapters plugged in or pulled out while no transaction
/// runs. Every second it compares what can be seen of the ports without
/// opening any (PortCatalog::PresentDevices) with the last look and, on a
/// difference, runs the changed handler. A look is put off while the idle
/// test says a transaction owns a port; the difference is then seen at the
/// first idle look.
class PortWatcher {
 public:
  /// Time between two looks; a change is seen within two of them.
  static constexpr std::chrono::milliseconds kInterval{1000};
  /// Every this many looks the held devices are tried too (about every 2 s).
  static constexpr int kHeldEvery = 2;

  PortWatcher(PortCatalog& catalog, Clock& clock);
  ~PortWatcher();
  PortWatcher(const PortWatcher&) = delete;
  PortWatcher& operator=(const PortWatcher&) = delete;

  /// True while no transaction runs (the default: always).
  void SetIdleTest(std::function<bool()> idle) { idle_ = std::move(idle); }
  /// Runs after a look that saw a difference.
  void SetChangedHandler(std::function<void()> handler) { changed_ = std::move(handler); }

  /// Takes what is present now as known and looks every kInterval.
  void Start();
  void Stop();
  /// Takes what is present now as known (after the list was refreshed by hand).
  void Rebase();
  /// One look, as the timer does it.
  void Look();

  /// Devices that are there but did not open at the last scan (another
  /// program holds them). While idle they are tried every kHeldEvery looks;
  /// one that opens now is a change.
  void SetHeldDevices(const QStringList& devices) { held_ = devices; }
  /// Tries the held devices now (the list is being opened); runs the changed
  /// handler and returns true when one of them opens.
  bool LookAtHeld();

  /// The port list after a change.
  struct Followed {
    QList<PortCatalog::Entry> entries;  ///< ascending by number
    int selectedIndex = -1;             ///< -1: the list is empty
    int portNumber = 0;                 ///< the chosen port after the change
    bool choiceChanged = false;         ///< the first port had to be chosen
  };
  /// The list that follows the adapters: the ports that open now (`present`),
  /// with `chosenPort` still chosen. A chosen port that is gone stays in the
  /// list as `chosenText` (its entry before, "COMn" when empty) followed by a
  /// blank and `missingMark`. With no port chosen (0) the first entry becomes
  /// the choice.
  static Followed Follow(const QList<PortCatalog::Entry>& present, int chosenPort,
                         const QString& chosenText, const QString& missingMark);
  /// The same with the ports another program holds (`held`) listed too, in
  /// number order, each followed by a blank and `heldMark`; a chosen port
  /// that is held stays chosen, marked so, not as missing. A held port never
  /// becomes the choice by itself.
  static Followed Follow(const QList<PortCatalog::Entry>& present,
                         const QList<PortCatalog::Entry>& held, int chosenPort,
                         const QString& chosenText, const QString& missingMark,
                         const QString& heldMark);

 private:
  PortCatalog& catalog_;
  std::unique_ptr<Timer> timer_;
  std::function<bool()> idle_;
  std::function<void()> changed_;
  QStringList known_;
  QStringList held_;
  int looks_ = 0;
};
