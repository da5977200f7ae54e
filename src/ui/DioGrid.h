#pragma once

#include "ui/ParameterGrid.h"

class QComboBox;

/// The digital I/O grid "MSHFlexGriddigitalSetting": 6 rows (headings, pins
/// 10 to 14) by 2 columns (pin, direction). A click on a direction cell lays
/// the list `ComboDIOConfig` over it; choosing "DO" or "DI" stores the pin's
/// bit of option word 60 (bits 5 to 9, the others kept) and closes the list.
/// The list closes without storing when it loses the focus.
class DioGrid : public ParameterGrid {
  Q_OBJECT
 public:
  static constexpr int kRows = 6;
  static constexpr int kColumns = 2;
  static constexpr int kPins = 5;

  /// `fillingControls` is the window's flag; no choice is stored while it is set.
  DioGrid(ParameterImage& image, const bool& fillingControls, QWidget* parent = nullptr);

  /// Headings "管脚"/"PIN", "配置"/"Config" and the entries "DO", "DI".
  void ApplyCaptions(bool english);
  /// Shows word 60: row r is "DI" when bit r + 4 is set, else "DO". An open
  /// list is closed without storing.
  void ShowImage();

  /// The direction list (`ComboDIOConfig`).
  QComboBox* DirectionEditor() const { return combo_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenList(int row, int column);
  void Choose(int index);
  void CloseList();

  QComboBox* combo_;
  bool open_ = false;
};
