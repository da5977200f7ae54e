#pragma once

#include "link/Prompts.h"

#include <QQueue>
#include <QStringList>

#include <algorithm>
#include <functional>

/// Prompts answered from a queue per kind of question (Cancel, or the default
/// file, once it is empty); every prompt is recorded with its text or title, in order.
class ScriptedPrompts : public Prompts {
 public:
  enum class Type { Critical, Information, AskRetry, AskOkCancel, ChooseFile };
  struct Prompt {
    Type type;
    QString text;
  };

  void Critical(const QString& text) override { Record(Type::Critical, text); }
  void Information(const QString& text) override { Record(Type::Information, text); }
  bool AskRetry(const QString& text) override {
    Record(Type::AskRetry, text);
    return !retries_.isEmpty() && retries_.dequeue();
  }
  bool AskOkCancel(const QString& text) override {
    Record(Type::AskOkCancel, text);
    return !okCancel_.isEmpty() && okCancel_.dequeue();
  }
  QString ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                     bool hex) override {
    lastMode_ = mode;
    lastDefaultName_ = defaultName;
    lastHex_ = hex;
    Record(Type::ChooseFile, title);
    return files_.isEmpty() ? defaultFile_ : files_.dequeue();
  }

  void QueueRetry(bool retry) { retries_.enqueue(retry); }
  void QueueOkCancel(bool ok) { okCancel_.enqueue(ok); }
  void QueueFile(const QString& path) { files_.enqueue(path); }
  void SetDefaultFile(const QString& path) { defaultFile_ = path; }
  /// Runs on every prompt before it is answered.
  void SetHook(std::function<void(const Prompt&)> hook) { hook_ = std::move(hook); }

  const QList<Prompt>& Asked() const { return asked_; }
  QStringList Texts() const {
    QStringList texts;
    for (const Prompt& prompt : asked_) texts.append(prompt.text);
    return texts;
  }
  int Count(Type type) const {
    return static_cast<int>(std::count_if(asked_.begin(), asked_.end(),
                                          [type](const Prompt& p) { return p.type == type; }));
  }
  FileMode LastFileMode() const { return lastMode_; }
  QString LastDefaultName() const { return lastDefaultName_; }
  bool LastHex() const { return lastHex_; }

 private:
  void Record(Type type, const QString& text) {
    asked_.append(Prompt{type, text});
    if (hook_) hook_(asked_.last());
  }

  QQueue<bool> retries_;
  QQueue<bool> okCancel_;
  QQueue<QString> files_;
  QString defaultFile_;
  FileMode lastMode_ = FileMode::Open;
  QString lastDefaultName_;
  bool lastHex_ = false;
  QList<Prompt> asked_;
  std::function<void(const Prompt&)> hook_;
};
