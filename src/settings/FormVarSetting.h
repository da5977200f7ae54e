#pragma once

#include "settings/SettingsDialog.h"

#include <array>

class ParameterImage;
class QCheckBox;
class QLineEdit;

/// The report variable window: which of the terminal's 26 points (DO0-DO7,
/// DI0-DI7, AI0-AI7, AO0-AO1) are reported over MQTT, and each point's
/// variable name. Entry i is a report flag word at extended offset
/// 354 + 32 i and a 30-byte name at 356 + 32 i; every tick and name is stored
/// at once.
class FormVarSetting : public SettingsDialog {
  Q_OBJECT
 public:
  /// Builds the window and fills it from `image`, which it then edits.
  FormVarSetting(ParameterImage& image, bool english, QWidget* parent = nullptr);

  static constexpr int kEntries = 26;
  static constexpr int kTableOffset = 354;
  static constexpr int kEntrySize = 32;
  static constexpr int kNameLength = 30;

  /// Extended offset of entry i's report flag word.
  static constexpr int FlagOffset(int entry) { return kTableOffset + kEntrySize * entry; }
  /// Extended offset of entry i's variable name.
  static constexpr int NameOffset(int entry) { return FlagOffset(entry) + 2; }
  /// The point's function name: "DO0" .. "DO7", "DI0" .. "DI7", "AI0" ..
  /// "AI7", "AO0", "AO1".
  static QString FunctionName(int entry);

 private:
  void BuildControls();
  void ApplyCaptions();
  void FillControls();
  void CheckFunction_Click(int entry, bool ticked);
  void TextVarName_LostFocus(int entry);

  ParameterImage& image_;
  std::array<QCheckBox*, kEntries> checks_{};
  std::array<QLineEdit*, kEntries> names_{};
};
