#include "ScriptedPrompts.h"

void ScriptedPrompts::Record(Type type, const QString& text) {
  asked_.append(Prompt{type, text});
  if (hook_) hook_(asked_.last());
}

void ScriptedPrompts::Critical(const QString& text) { Record(Type::Critical, text); }

void ScriptedPrompts::Information(const QString& text) { Record(Type::Information, text); }

bool ScriptedPrompts::AskRetry(const QString& text) {
  Record(Type::AskRetry, text);
  return retries_.isEmpty() ? defaultRetry_ : retries_.dequeue();
}

bool ScriptedPrompts::AskOkCancel(const QString& text) {
  Record(Type::AskOkCancel, text);
  return okCancel_.isEmpty() ? defaultOkCancel_ : okCancel_.dequeue();
}

QString ScriptedPrompts::ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                                    bool hex) {
  lastMode_ = mode;
  lastDefaultName_ = defaultName;
  lastHex_ = hex;
  Record(Type::ChooseFile, title);
  return files_.isEmpty() ? defaultFile_ : files_.dequeue();
}

QStringList ScriptedPrompts::Texts() const {
  QStringList texts;
  for (const Prompt& prompt : asked_) texts.append(prompt.text);
  return texts;
}

int ScriptedPrompts::Count(Type type) const {
  int count = 0;
  for (const Prompt& prompt : asked_)
    if (prompt.type == type) ++count;
  return count;
}
