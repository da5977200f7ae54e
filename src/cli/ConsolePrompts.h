#pragma once

#include "link/Prompts.h"

#include <QString>

/// The command line's answers to the questions of a transaction. There is
/// nobody to show a message box to: its text is kept for the one failure
/// line on standard error. The Retry/Cancel question is answered Retry as
/// long as retries are left (`--retries N`, each noted on standard error),
/// then Cancel.
class ConsolePrompts : public Prompts {
 public:
  ConsolePrompts(int retries, bool english) : retriesLeft_(retries), english_(english) {}

  void Critical(const QString& text) override;
  /// A line on standard output.
  void Information(const QString& text) override;
  bool AskRetry(const QString& text) override;
  /// There is nobody to confirm: Cancel.
  bool AskOkCancel(const QString& text) override;
  /// There is nobody to choose: no file.
  QString ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                     bool hex) override;

  /// The last message box, or the question answered Cancel ("... -> Cancel"),
  /// in English with --english; empty when there was none.
  const QString& Problem() const { return problem_; }

 private:
  QString Text(const QString& text) const;

  int retriesLeft_;
  bool english_;
  QString problem_;
};
