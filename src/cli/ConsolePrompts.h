#pragma once

#include "link/Prompts.h"

#include <QStringList>

/// The command line's answers to the questions of a transaction: message
/// boxes become lines on standard error; the Retry/Cancel question is
/// answered Retry as long as retries are left (`--retries N`), then Cancel.
class ConsolePrompts : public Prompts {
 public:
  explicit ConsolePrompts(int retries) : retriesLeft_(retries) {}

  void Critical(const QString& text) override;
  void Information(const QString& text) override;
  bool AskRetry(const QString& text) override;
  /// There is nobody to confirm: Cancel.
  bool AskOkCancel(const QString& text) override;
  /// There is nobody to choose: no file.
  QString ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                     bool hex) override;

  /// Every critical message shown so far.
  const QStringList& Criticals() const { return criticals_; }

 private:
  int retriesLeft_;
  QStringList criticals_;
};
