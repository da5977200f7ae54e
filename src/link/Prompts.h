#pragma once

#include <QString>

/// The questions a transaction or a command may have to put to the user.
/// The window answers with message boxes and file dialogs; the tests and
/// the command-line tool answer from a script.
class Prompts {
 public:
  virtual ~Prompts() = default;
  /// Critical icon, OK button ("请重新选择端口！", "文档有误", ...).
  virtual void Critical(const QString& text) = 0;
  /// The same with `details` behind the box's details button (a refused
  /// file's line and reason, the values of a failed check). Prompts without
  /// such a button say the text alone.
  virtual void CriticalDetails(const QString& text, const QString& details) {
    (void)details;
    Critical(text);
  }
  /// Exclamation icon, OK button ("升级成功").
  virtual void Information(const QString& text) = 0;
  /// Critical icon, Retry and Cancel buttons; true for Retry.
  virtual bool AskRetry(const QString& text) = 0;
  /// Exclamation icon, OK and Cancel buttons; true for OK.
  virtual bool AskOkCancel(const QString& text) = 0;

  /// The answers to the question about edits that were not saved.
  enum class SaveAnswer { Save, Discard, Cancel };
  /// Exclamation icon, Save, Discard and Cancel buttons: asked when the window
  /// closes with edits that were neither saved nor written. Prompts without a
  /// user to ask (the command line) discard.
  virtual SaveAnswer AskSave(const QString& text) {
    (void)text;
    return SaveAnswer::Discard;
  }

  enum class FileMode { Open, Save };
  /// A file dialog. `hex` chooses the firmware filters ("烧录文件(*.hex)")
  /// instead of the configuration ones ("烧录文件(*.quelt)"). Returns the
  /// chosen path, or an empty string when the user cancelled.
  virtual QString ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                             bool hex) = 0;
};
