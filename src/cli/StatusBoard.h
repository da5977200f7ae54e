#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

/// The provisioning status: on a terminal one line per port, rewritten in
/// place; otherwise a plain line whenever a port's line changes (percent
/// changes alone are left out, so a log stays short).
class StatusBoard {
 public:
  /// `interactive`: the output is a terminal.
  StatusBoard(int lines, bool interactive, std::FILE* stream = stdout);

  /// Sets line `index`: `text` on a terminal; `plain` otherwise, printed
  /// when it changes.
  void Set(int index, const QString& text, const QString& plain);
  /// A line that stays (a finished unit): above the board on a terminal.
  void Note(const QString& text);

 private:
  void Draw();
  void Put(const QString& text);

  QStringList lines_;
  QStringList keys_;
  bool interactive_;
  bool drawn_ = false;
  std::FILE* stream_;
};
