#pragma once

#include "settings/SettingsDialog.h"

class ParameterImage;
class QLineEdit;

/// The factory window: the production serial number, up to 32 characters
/// at bytes 2048 to 2079 of the option block. Reading takes printable ASCII
/// (32 to 126) up to the first other byte; storing writes the text's bytes
/// and a 0 terminator when there is room, and an empty box clears only the
/// first byte.
class FormFactory : public SettingsDialog {
  Q_OBJECT
 public:
  /// Builds the window and shows the number stored in `image`, which it then
  /// edits. `english` only chooses the language of the byte hint; the
  /// captions are the same in both languages.
  FormFactory(ParameterImage& image, bool english, QWidget* parent = nullptr);

  /// The number as the window shows it: bytes 2048 on, printable ASCII up to
  /// the first other byte, at most 32 characters.
  static QString ReadSerialNumber(const ParameterImage& image);
  /// Stores the number by the rules above; the text's bytes are cut at a
  /// whole character when they exceed 32.
  static void WriteSerialNumber(ParameterImage& image, const QString& text);

 private:
  void Text1_LostFocus();

  ParameterImage& image_;
  QLineEdit* text1_ = nullptr;
};
