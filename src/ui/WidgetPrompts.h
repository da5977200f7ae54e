#pragma once

#include "link/Prompts.h"

class QWidget;

/// Prompts on message boxes and file dialogs, titled with the application's
/// title and parented to the main window.
class WidgetPrompts : public Prompts {
 public:
  explicit WidgetPrompts(QWidget* parent) : parent_(parent) {}

  void Critical(const QString& text) override;
  void CriticalDetails(const QString& text, const QString& details) override;
  void Information(const QString& text) override;
  bool AskRetry(const QString& text) override;
  bool AskOkCancel(const QString& text) override;
  SaveAnswer AskSave(const QString& text) override;
  /// The open dialog wants an existing file; the save dialog asks before it
  /// overwrites one and appends ".quelt", ".yaml" (the text's filter) or
  /// ".hex" (firmware) to a name typed without an extension.
  QString ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                     bool hex) override;

  /// The filters of a file dialog: "烧录文件(*.hex)", or "烧录文件(*.quelt)" and
  /// "配置文本(*.yaml *.yml)"; then "所有文件(*.*)".
  static QStringList Filters(bool hex);
  /// The extension a save under `filter` gives a name typed without one.
  static QString SuffixOf(const QString& filter, bool hex);
  /// `path` with ".suffix" appended when its file name has no extension.
  static QString WithDefaultSuffix(const QString& path, const QString& suffix);

 private:
  QWidget* parent_;
};
