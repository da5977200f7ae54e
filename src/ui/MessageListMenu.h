#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QListWidget;

/// The message list's context menu: copy the selected lines (also Ctrl+C in
/// the list) and save the whole list as a UTF-8 text file, one line per
/// message, for support. Several lines can be selected.
class MessageListMenu : public QObject {
  Q_OBJECT
 public:
  /// Chooses the file to save to; an empty path means cancelled.
  using FileChooser = std::function<QString()>;
  /// Reports a file that could not be written.
  using FailureReport = std::function<void(const QString& text)>;

  MessageListMenu(QListWidget* list, bool english);

  /// The selected lines, top to bottom, joined by line feeds.
  QString SelectedText() const;
  /// Writes every line of the list to `path` (UTF-8, each line ended by a
  /// line feed); false with `error` set when the file could not be written.
  bool SaveTo(const QString& path, QString* error) const;

  void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
  void SetFailureReport(FailureReport report) { report_ = std::move(report); }

 protected:
  /// Ctrl+C in the list copies every selected line (the list's own copy
  /// takes only the current one).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Copy();
  void Save();

  QListWidget* list_;
  bool english_;
  FileChooser chooser_;
  FailureReport report_;
};
