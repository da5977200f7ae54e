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
  if (now == known_) return;
  known_ = std::move(now);
  if (changed_) changed_();
}

PortWatcher::Followed PortWatcher::Follow(const QList<PortCatalog::Entry>& present, int chosenPort,
                                          const QString& chosenText, const QString& missingMark) {
  Followed result;
  result.entries = present;
  result.portNumber = chosenPort;
  if (chosenPort == 0) {
    if (result.entries.isEmpty()) return result;
    result.selectedIndex = 0;
    result.portNumber = result.entries.first().number;
    result.choiceChanged = true;
    return result;
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
