#pragma once

class QCoreApplication;

/// Qt's own texts (the buttons of message boxes, the file dialogs' labels and
/// columns) in the window's language: Qt's Chinese translations from the
/// system's Qt (Debian: qt6-translations-l10n) for the Chinese window.
class QtTranslations {
 public:
  /// Installs the translations into `app`; false for English (nothing to
  /// load) or when they are not installed (Qt's English texts stay).
  static bool Install(QCoreApplication& app, bool english);
};
