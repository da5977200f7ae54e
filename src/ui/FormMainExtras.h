#pragma once

#include "image/ParameterImage.h"
#include "link/TransactionEngine.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class FormCompare;
class FormMain;
class MessageListMenu;
class PortWatcher;
class QCheckBox;
class QTableWidget;
class ReadBackCheck;
class UnsavedEdits;

/// What the main window offers beyond its buttons: the port list that
/// follows the adapters, the read-back check after a write, the compare
/// window, the unsaved-edits mark and question, files dropped on the window,
/// the message list's menu and grid columns as wide as their texts.
class FormMainExtras : public QObject {
  Q_OBJECT
 public:
  /// Settings key of the "写入后校验" box ("1" or "0"; missing: on).
  static constexpr const char* kVerifyKey = "VerifyWrite";

  explicit FormMainExtras(FormMain& window);
  ~FormMainExtras() override;

  /// The window's transaction has ended (after the window's own handling).
  void TransactionFinished(TransactionEngine::Kind kind, bool succeeded);
  /// The image was opened from or saved to `path`.
  void FileKept(const QString& path);
  /// Whether the window may close now (asks about unsaved edits).
  bool MayClose();

  /// The unsaved-edits tracker (the title's file and "*").
  UnsavedEdits& Edits() { return *edits_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool Idle() const;
  void ApplyCaptions();
  void FollowPorts();
  void ComboComPort_Activated(int index);
  QString MissingMark() const;
  void CheckVerify_Toggled(bool on);
  void CommandCompare_Click();
  void CompareWithFile();
  void CompareWithTerminal();
  void StartScratchRead();
  void ScratchFinished(bool succeeded);
  void ReadBackFinished(bool readOk);
  bool SaveForClose();
  void OpenDropped(const QString& path);
  static QString DroppedFile(const QEvent* event);
  static void FitColumns(QTableWidget* grid);

  enum class ScratchUse { None, Compare };

  FormMain& w_;
  UnsavedEdits* edits_ = nullptr;  ///< a child of the window
  MessageListMenu* menu_ = nullptr;
  std::unique_ptr<PortWatcher> watcher_;
  QCheckBox* checkVerify_ = nullptr;
  ParameterImage scratch_;  ///< the terminal's or a file's image, never the form's
  std::unique_ptr<TransactionEngine> scratchEngine_;
  ScratchUse scratchUse_ = ScratchUse::None;
  std::unique_ptr<ReadBackCheck> readBack_;  ///< the check after a write
  QPointer<FormCompare> compare_;
  bool closing_ = false;
};
