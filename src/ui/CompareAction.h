#pragma once

#include "image/ParameterImage.h"
#include "ui/TransactionHost.h"

#include <QObject>
#include <QPointer>

#include <memory>

class FormCompare;
class FormView;
class QWidget;
class TransactionEngine;

/// "对比配置": opens the compare window beside the main window and answers
/// it. A file is opened, and the terminal read, into an image of their own,
/// never into the form; "与终端对比" waits while any transaction holds the
/// link. A double-click on a row brings the field's page and box forward,
/// and the rows taken from the other side are shown in the form, which then
/// holds unsaved edits.
class CompareAction : public QObject {
  Q_OBJECT
 public:
  CompareAction(QWidget& window, FormView& form, TransactionHost& host,
                const TransactionHost::Parts& parts, bool english);
  ~CompareAction() override;

  /// Opens the compare window, or brings it forward when it is open.
  void Open();
  /// Stops its read and closes the compare window (the main window closes).
  void Close();
  /// True while the terminal is being read for the comparison.
  bool Busy() const { return reading_; }
  /// The window's transaction controls were disabled (a transaction holds
  /// the link) or enabled again.
  void LinkBusy(bool busy);

 private:
  void CompareWithFile();
  void CompareWithTerminal();
  void ReadFinished(bool succeeded);

  QWidget& window_;
  FormView& form_;
  TransactionHost& host_;
  Prompts& prompts_;
  bool english_;
  bool reading_ = false;
  bool linkBusy_ = false;
  ParameterImage terminal_;  ///< the terminal's image, never the form's
  std::unique_ptr<TransactionEngine> engine_;
  QPointer<FormCompare> compare_;
};
