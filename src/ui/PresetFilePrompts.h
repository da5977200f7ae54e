#pragma once

#include "link/Prompts.h"

/// Prompts that answer the first file choice with a file given beforehand
/// (a file dropped on the window) and hand every other question to the
/// window's own prompts.
class PresetFilePrompts : public Prompts {
 public:
  PresetFilePrompts(Prompts& inner, QString path) : inner_(inner), path_(std::move(path)) {}

  void Critical(const QString& text) override { inner_.Critical(text); }
  void CriticalDetails(const QString& text, const QString& details) override {
    inner_.CriticalDetails(text, details);
  }
  void Information(const QString& text) override { inner_.Information(text); }
  bool AskRetry(const QString& text) override { return inner_.AskRetry(text); }
  bool AskOkCancel(const QString& text) override { return inner_.AskOkCancel(text); }
  QString ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                     bool hex) override {
    if (path_.isEmpty()) return inner_.ChooseFile(mode, title, defaultName, hex);
    return std::exchange(path_, QString());
  }

 private:
  Prompts& inner_;
  QString path_;
};
