#include "link/PortWatcher.h"

#include "link/Clock.h"

PortWatcher::PortWatcher(PortCatalog& catalog, Clock& clock)
    : catalog_(catalog), timer_(clock.CreateTimer()) {
  timer_->SetTickHandler([this] {
    Look();
    timer_->Start(kInterval);
  });
}

PortWatcher::~PortWatcher() { timer_->Stop(); }

void PortWatcher::Start() {
  Rebase();
  timer_->Start(kInterval);
}

void PortWatcher::Stop() { timer_->Stop(); }

void PortWatcher::Rebase() { known_ = catalog_.PresentDevices(); }

void PortWatcher::Look() {
  if (idle_ && !idle_()) return;
  QStringList now = catalog_.PresentDevices();
  if (now == known_) {
    if (++looks_ % kHeldEvery == 0) LookAtHeld();
    return;
  }
  known_ = std::move(now);
  if (changed_) changed_();
}

bool PortWatcher::LookAtHeld() {
  if (idle_ && !idle_()) return false;
  for (const QString& device : held_) {
    if (!catalog_.Opens(device)) continue;
    held_.clear();  // the handler's scan says which are still held
    if (changed_) changed_();
    return true;
  }
  return false;
}

PortWatcher::Followed PortWatcher::Follow(const QList<PortCatalog::Entry>& present, int chosenPort,
                                          const QString& chosenText, const QString& missingMark) {
  return Follow(present, {}, chosenPort, chosenText, missingMark, QString());
}

PortWatcher::Followed PortWatcher::Follow(const QList<PortCatalog::Entry>& present,
                                          const QList<PortCatalog::Entry>& held, int chosenPort,
                                          const QString& chosenText, const QString& missingMark,
                                          const QString& heldMark) {
  Followed result;
  result.entries = present;
  result.portNumber = chosenPort;
  for (PortCatalog::Entry entry : held) {
    entry.text += QLatin1Char(' ') + heldMark;
    int at = 0;
    while (at < result.entries.size() && result.entries[at].number < entry.number) ++at;
    result.entries.insert(at, entry);
  }
  if (chosenPort == 0) {
    if (present.isEmpty()) return result;
    chosenPort = present.first().number;  // the first port that opens
    result.portNumber = chosenPort;
    result.choiceChanged = true;
  }
  int at = 0;
  while (at < result.entries.size() && result.entries[at].number < chosenPort) ++at;
  if (at < result.entries.size() && result.entries[at].number == chosenPort) {
    result.selectedIndex = at;
    return result;
  }
  // The chosen port is gone: it stays, marked, until another is chosen.
  PortCatalog::Entry missing;
  missing.number = chosenPort;
  missing.text = (chosenText.isEmpty() ? QStringLiteral("COM%1").arg(chosenPort) : chosenText) +
                 QLatin1Char(' ') + missingMark;
  result.entries.insert(at, missing);
  result.selectedIndex = at;
  return result;
}
