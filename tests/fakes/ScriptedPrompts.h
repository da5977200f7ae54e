#pragma once

#include "link/Prompts.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

/// Prompts answered from a script. Each kind of question takes its answers
/// from its own queue and falls back to a default answer when the queue is
/// empty. Every prompt is recorded with its text, in order.
class ScriptedPrompts : public Prompts {
 public:
  enum class Type { Critical, Information, AskRetry, AskOkCancel, ChooseFile };
  struct Prompt {
    Type type;
    QString text;  ///< the message, or the dialog title for ChooseFile
  };

  void Critical(const QString& text) override;
  void Information(const QString& text) override;
  bool AskRetry(const QString& text) override;
  bool AskOkCancel(const QString& text) override;
  QString ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                     bool hex) override;

  /// Queues the next answers of AskRetry (true: Retry).
  void QueueRetry(bool retry) { retries_.enqueue(retry); }
  /// Queues the next answers of AskOkCancel (true: OK).
  void QueueOkCancel(bool ok) { okCancel_.enqueue(ok); }
  /// Queues the next file choices (an empty path: cancelled).
  void QueueFile(const QString& path) { files_.enqueue(path); }
  /// Answers once the queues are empty; by default Cancel, Cancel, no file.
  void SetDefaultRetry(bool retry) { defaultRetry_ = retry; }
  void SetDefaultOkCancel(bool ok) { defaultOkCancel_ = ok; }
  void SetDefaultFile(const QString& path) { defaultFile_ = path; }

  /// Runs on every prompt, after it is recorded and before it is answered
  /// (a test can, for example, cancel a transaction from inside a question).
  void SetHook(std::function<void(const Prompt&)> hook) { hook_ = std::move(hook); }

  const QList<Prompt>& Asked() const { return asked_; }
  /// The texts of every prompt, in order.
  QStringList Texts() const;
  /// How many prompts of this kind were put.
  int Count(Type type) const;
  /// The last ChooseFile call's arguments.
  FileMode LastFileMode() const { return lastMode_; }
  QString LastDefaultName() const { return lastDefaultName_; }
  bool LastHex() const { return lastHex_; }
  void Clear() { asked_.clear(); }

 private:
  void Record(Type type, const QString& text);

  QQueue<bool> retries_;
  QQueue<bool> okCancel_;
  QQueue<QString> files_;
  bool defaultRetry_ = false;
  bool defaultOkCancel_ = false;
  QString defaultFile_;
  FileMode lastMode_ = FileMode::Open;
  QString lastDefaultName_;
  bool lastHex_ = false;
  QList<Prompt> asked_;
  std::function<void(const Prompt&)> hook_;
};
