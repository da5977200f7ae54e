#pragma once

#include <QTableWidget>

class ParameterImage;
class QComboBox;

/// The common ground of the window's option grids: a table of fixed size
/// with a heading row and a heading column (button coloured, centred, not
/// selectable), no typing into the table itself and one cell selected at a
/// time. A grid remembers the cell last clicked and shows words of the
/// window's parameter image; the window's filling flag tells it when the
/// image is being shown rather than edited.
class ParameterGrid : public QTableWidget {
  Q_OBJECT
 public:
  /// The cell of the editor open (or last opened).
  int GridRow() const { return gridRow_; }
  int GridColumn() const { return gridColumn_; }

  /// The size of all its cells and its frame.
  QSize sizeHint() const override;

 protected:
  /// Builds `rows` by `columns` empty cells, row 0 and column 0 as headings.
  /// `fillingControls` is the window's flag, set while it shows the image.
  ParameterGrid(int rows, int columns, ParameterImage& image, const bool& fillingControls,
                QWidget* parent);

  /// The text of a cell (every cell has an item).
  void SetCell(int row, int column, const QString& text);
  QString CellText(int row, int column) const;

  /// A hidden in-cell list named `objectName` on the grid's viewport, whose
  /// events go through the grid's eventFilter().
  QComboBox* NewInCellCombo(const QString& objectName);

  /// Lays `combo` over the cell, at least as tall as the combo wants to be,
  /// and shows it on top; the focus is left to the caller.
  void LayComboOver(QComboBox* combo, int row, int column);

  /// True for a loss of focus that leaves an in-cell editor: a popup opening
  /// (the list of a combo, a context menu) is not a leave.
  static bool LeavesEditor(const QEvent* event);

  ParameterImage& image_;  ///< the window's image, which the grid shows and edits
  const bool& filling_;    ///< the window's flag: set while it shows the image
  int gridRow_ = 0;        ///< the cell last clicked
  int gridColumn_ = 0;
};
