#pragma once

#include <QDialog>
#include <QString>

class Clock;
class FirmwareTransfer;
class MessageSink;
class Prompts;
class QLabel;
class QProgressBar;
class SerialLink;

/// The firmware update window: a progress bar and the label `LabelProcess`
/// ("完成进度:0%"). Shown, it starts the FirmwareTransfer it is handed and
/// closes itself when the transfer ends (accepted on success). While the
/// update runs it cannot be closed; the transfer's own questions offer the
/// way out.
class FormProcess : public QDialog {
  Q_OBJECT
 public:
  /// `transfer` is configured (port, settings, language) and outlives the window.
  explicit FormProcess(FirmwareTransfer& transfer, QWidget* parent = nullptr);
  ~FormProcess() override;

  /// True once the terminal has confirmed the jump to the application.
  bool OperationSucceeded() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void Start();

  FirmwareTransfer& transfer_;
  QProgressBar* progress_;
  QLabel* label_;
  bool started_ = false;
};

/// The update button's whole procedure: choose a HEX file ("Open", firmware
/// filters; a window in another language chooses it beforehand and hands it
/// in through `prompts`), read it ("文档有误" when it is wrong, with the line and
/// the reason as details; the window does not open),
/// run the update window on `link` (port `port`, the application greeted at
/// `linkSettings`) and show "升级成功" after success. The caller has closed
/// its own use of the port; the link's handlers are taken over meanwhile.
/// Returns true when the terminal was updated.
bool RunFirmwareUpdate(QWidget* parent, Prompts& prompts, SerialLink& link, Clock& clock,
                       MessageSink& sink, int port, const QString& linkSettings, bool english);
