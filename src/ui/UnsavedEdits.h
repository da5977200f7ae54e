#pragma once

#include "image/ParameterImage.h"
#include "link/Prompts.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

/// Tracks whether the window's parameter image holds edits that were neither
/// saved nor written: the image is compared with the one last read, opened,
/// saved or written (and checked). The window's title then names where the
/// form's values came from (the file last opened or saved, or the terminal
/// last read) and ends in "*" while there are such edits.
///
/// Editors store into the image on user events (a key, a click, leaving a
/// box, closing a window), so after any such event the comparison runs once
/// the event has been handled.
class UnsavedEdits : public QObject {
  Q_OBJECT
 public:
  /// `window`'s current title becomes the base of the title.
  UnsavedEdits(QWidget* window, const ParameterImage& image, bool english);

  /// The image as it is now counts as kept.
  void MarkClean();
  /// `kept` counts as kept (what a write sent and its check confirmed).
  void MarkKept(const ParameterImage& kept);
  /// The image was opened from or saved to `path`: kept, and named in the title.
  void MarkFile(const QString& path);
  /// A configuration text at `path` was applied onto the image: named in the
  /// title, and not kept (the image holds edits unless nothing changed).
  void MarkApplied(const QString& path);
  /// The image was read from a terminal, named `source` in the title ("终端(COM1)"): kept.
  void MarkRead(const QString& source);
  /// Compares the image with the kept one now and updates the title.
  void Check();

  /// True while the image differs from the kept one.
  bool Modified() const { return modified_; }
  /// The file last opened or saved ("" for none, or after a read).
  QString FilePath() const { return path_; }
  /// What the title names: a file's name or the terminal last read.
  QString Source() const { return source_; }

  /// Whether the window may close: without edits at once; with edits the
  /// question "配置已修改..." is put to `prompts` (Save runs `save`, which
  /// returns false when nothing was saved).
  bool MayClose(Prompts& prompts, const std::function<bool()>& save);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateTitle();

  QWidget* window_;
  const ParameterImage& image_;
  bool english_;
  QString baseTitle_;
  ParameterImage kept_;
  QString path_;
  QString source_;  ///< what the title names
  bool modified_ = false;
  bool checkQueued_ = false;
};
