#pragma once

#include <QObject>
#include <QString>

#include <functional>

class Prompts;
class QWidget;
class TransactionHost;

/// Files dropped anywhere on the main window: a ".quelt" file or a
/// configuration text (".yaml") is opened as the open button does (after
/// "覆盖当前数据？"), a ".hex" file starts the
/// firmware update with the update button's checks. Other files, several
/// files and drops while a transaction runs are not taken.
class FileDrops : public QObject {
  Q_OBJECT
 public:
  /// A command of the window run with prompts whose first file choice is
  /// the dropped file.
  using Command = std::function<void(Prompts& prompts)>;

  FileDrops(QWidget& window, TransactionHost& host, Prompts& prompts, Command openConfig,
            Command updateFirmware);
  ~FileDrops() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Open(const QString& path);
  static QString DroppedFile(const QEvent* event);

  QWidget& window_;
  TransactionHost& host_;
  Prompts& prompts_;
  Command openConfig_;
  Command updateFirmware_;
};
