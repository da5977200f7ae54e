#pragma once

#include "link/PortCatalog.h"
#include "link/PortWatcher.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class Clock;
class QComboBox;
class TransactionHost;

/// The port list ComboComPort following the cable: while no transaction
/// runs, an adapter plugged in or pulled out shows within two seconds without
/// "刷新"; the chosen port stays chosen by its number, a chosen port that
/// vanished stays as "COM3 (未连接)" until another is chosen, and a port that
/// another program holds is listed as "COM7 (pts/0) (占用)" and tried again
/// about every two seconds and whenever the list is opened, so that it comes
/// back by itself once it is free. "ComPort" is stored only when the choice
/// changes.
class PortFollower : public QObject {
  Q_OBJECT
 public:
  /// `choose` makes list entry `index` the window's port (the port choice,
  /// which stores "ComPort").
  PortFollower(QComboBox& combo, PortCatalog& ports, Clock& clock, TransactionHost& host,
               bool english, std::function<void(int index)> choose);
  ~PortFollower() override;

  /// Fills the list after a refresh ("刷新", start-up) with its entries and
  /// choice, the held ports added and marked, and starts following from
  /// there. Returns the list index of the refresh's choice (-1: none).
  int ShowRefreshed(const PortCatalog::Selection& selection);

  /// The user chose list entry `index` (after the window took the choice):
  /// the entries of vanished ports leave the list.
  void Chosen(int index);

  /// "(未连接)" / "(not connected)", after a chosen port that is gone.
  static QString MissingMark(bool english);
  /// "(占用)" / "(in use)", after a port another program holds.
  static QString HeldMark(bool english);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Follow();
  void Show(const PortWatcher::Followed& followed);
  QString Unmarked(QString text) const;

  QComboBox& combo_;
  PortCatalog& ports_;
  bool english_;
  std::function<void(int)> choose_;
  std::unique_ptr<PortWatcher> watcher_;
};
