#pragma once

#include "ui/ParameterGrid.h"

class QComboBox;
class QLineEdit;

/// The analog channel grid "MSHFlexGridAdcParam": 9 rows (headings, channels
/// 1 to 8) by 5 columns (channel, full scale, offset, multiplier, kind). The
/// grid itself takes no typing: a click on an editable cell lays an in-cell
/// editor over it (`Text1` for columns 1 to 3, `ComboSingleAdcType` for
/// column 4 while the all-channels type is user defined), and when the editor
/// loses the focus its checked value goes into the cell and the image at once.
class AdcGrid : public ParameterGrid {
  Q_OBJECT
 public:
  static constexpr int kRows = 9;
  static constexpr int kColumns = 5;
  static constexpr int kChannels = 8;

  /// `fillingControls` is the window's flag, set while it shows the image;
  /// the editors store nothing while it is set.
  AdcGrid(ParameterImage& image, const bool& fillingControls, QWidget* parent = nullptr);

  /// Column headings and the entries of `ComboSingleAdcType`.
  void ApplyCaptions(bool english);
  /// Shows words 22 to 56 (offsets, full scales, multipliers, kinds); the
  /// kind column follows the all-channels type of word 21. An open editor is
  /// dropped without storing: the image just shown wins.
  void ShowImage();
  /// The all-channels type `ComboAdcType` was changed to `index`. When it
  /// differs from word 21, word 21 takes it and the grid follows: voltage or
  /// current writes that type into every kind cell and 10 or 20 into every
  /// full-scale cell and word 31 to 38; user defined empties the kind cell of
  /// every channel whose full-scale cell is empty.
  void AdcTypeChanged(int index);

  /// The in-cell text editor (`Text1`).
  QLineEdit* TextEditor() const { return text1_; }
  /// The in-cell kind editor (`ComboSingleAdcType`).
  QComboBox* KindEditor() const { return kindCombo_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OpenEditor(int row, int column);
  bool TextKeyAccepted(const QString& typed) const;
  /// The key rule of `Text1` for one character, given the text that stays.
  bool AcceptsChar(QChar ch, const QString& kept) const;
  void CloseTextEditor();
  void CloseKindEditor();
  void KindChosen(int index);
  void MoveAfterEnter(int nextRow, int nextColumn);
  void DropEditors();

  QLineEdit* text1_;
  QComboBox* kindCombo_;
  int adcTypeIndex_ = 0;  ///< what `ComboAdcType` shows: 2 is user defined
  bool textOpen_ = false;
  bool kindOpen_ = false;
  bool enterPressed_ = false;
};
