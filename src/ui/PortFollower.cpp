#include "ui/PortFollower.h"

#include "ui/Captions.h"
#include "ui/TransactionHost.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QSignalBlocker>

PortFollower::PortFollower(QComboBox& combo, PortCatalog& ports, Clock& clock,
                           TransactionHost& host, bool english, std::function<void(int)> choose)
    : combo_(combo),
      ports_(ports),
      english_(english),
      choose_(std::move(choose)),
      watcher_(std::make_unique<PortWatcher>(ports, clock)) {
  watcher_->SetIdleTest([&host] { return host.Idle(); });
  watcher_->SetChangedHandler([this] { Follow(); });
  watcher_->Start();
  combo_.installEventFilter(this);
}

PortFollower::~PortFollower() = default;

QString PortFollower::MissingMark(bool english) {
  return Pick(english, "(not connected)", "(未连接)");
}

QString PortFollower::HeldMark(bool english) { return Pick(english, "(in use)", "(占用)"); }

QString PortFollower::Unmarked(QString text) const {
  for (const QString& mark : {MissingMark(english_), HeldMark(english_)}) {
    if (text.endsWith(QLatin1Char(' ') + mark)) text.chop(mark.size() + 1);
  }
  return text;
}

int PortFollower::ShowRefreshed(const PortCatalog::Selection& selection) {
  const int chosen = selection.selectedIndex >= 0 ? selection.portNumber : 0;
  const PortWatcher::Followed followed =
      PortWatcher::Follow(selection.entries, ports_.Held(), chosen, QString(),
                          MissingMark(english_), HeldMark(english_));
  Show(followed);
  return followed.selectedIndex;
}

void PortFollower::Follow() {
  int chosen = 0;
  QString chosenText;
  if (combo_.currentIndex() >= 0) {
    chosenText = Unmarked(combo_.currentText());
    chosen = PortCatalog::NumberOfEntry(chosenText);
  }
  ports_.AssignSystemDevices();
  const QList<PortCatalog::Entry> present = ports_.Scan();
  const PortWatcher::Followed followed = PortWatcher::Follow(
      present, ports_.Held(), chosen, chosenText, MissingMark(english_), HeldMark(english_));
  Show(followed);
  // Only a new choice is stored; a kept, held or vanished one leaves "ComPort" alone.
  if (followed.choiceChanged) choose_(followed.selectedIndex);
}

void PortFollower::Show(const PortWatcher::Followed& followed) {
  watcher_->Rebase();  // numbers given to new devices are no change
  QStringList held;
  for (const PortCatalog::Entry& entry : ports_.Held()) held << entry.device;
  watcher_->SetHeldDevices(held);
  const QSignalBlocker block(&combo_);
  combo_.clear();
  for (const PortCatalog::Entry& entry : followed.entries) combo_.addItem(entry.text, entry.number);
  combo_.setCurrentIndex(followed.selectedIndex);
}

void PortFollower::Chosen(int index) {
  const QString mark = QLatin1Char(' ') + MissingMark(english_);
  const QSignalBlocker block(&combo_);
  for (int i = combo_.count() - 1; i >= 0; --i) {
    if (i != index && combo_.itemText(i).endsWith(mark)) combo_.removeItem(i);
  }
}

bool PortFollower::eventFilter(QObject* watched, QEvent* event) {
  // The list about to open: a held port that is free again shows in it.
  bool opening = event->type() == QEvent::MouseButtonPress;
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    opening = key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space ||
              (key->key() == Qt::Key_Down && (key->modifiers() & Qt::AltModifier));
  }
  if (watched == &combo_ && opening && combo_.isEnabled()) watcher_->LookAtHeld();
  return QObject::eventFilter(watched, event);
}
