#pragma once

#include <QString>

/// The message-list lines of the transfers and the identity in English, for
/// `--english`. Lines it does not know (percentages, try lines, the
/// terminal's own log texts) stay as they are.
class EnglishLines {
 public:
  /// `line` in English.
  static QString Of(const QString& line);
};
