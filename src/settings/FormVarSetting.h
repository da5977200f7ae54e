#pragma once

#include "settings/SettingsDialog.h"

#include <array>

class ParameterImage;
class QCheckBox;
class QLineEdit;

/// The report variable window: which of the terminal's 26 points (DO0-DO7,
/// DI0-DI7, AI0-AI7, AO0-AO1) are reported over MQTT, and each point's
/// variable name. Entry i is the field table's report flag word
/// "var_<point>_report" and its name field "var_<point>_name"; every tick
/// and name is stored at once.
class FormVarSetting : public SettingsDialog {
  Q_OBJECT
 public:
  /// Builds the window and fills it from `image`, which it then edits.
  FormVarSetting(ParameterImage& image, bool english, QWidget* parent = nullptr);

  static constexpr int kEntries = 26;

  /// Extended offset of entry i's report flag word (from the field table).
  static int FlagOffset(int entry);
  /// Extended offset of entry i's variable name (from the field table).
  static int NameOffset(int entry);
  /// Length in bytes of entry i's variable name field.
  static int NameLength(int entry);
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
