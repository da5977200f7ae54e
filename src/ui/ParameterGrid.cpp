#include "ui/ParameterGrid.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>

namespace {

// The heading row is 500 twips high, at 15 twips to the pixel, or as high as
// a line of text needs.
constexpr int kHeadingRowHeight = 500 / 15;

}  // namespace

ParameterGrid::ParameterGrid(int rows, int columns, ParameterImage& image,
                             const bool& fillingControls, QWidget* parent)
    : QTableWidget(rows, columns, parent), image_(image), filling_(fillingControls) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // the size of its cells

  const QBrush headingBrush = palette().brush(QPalette::Button);
  const int rowHeight = fontMetrics().height() + 6;
  for (int row = 0; row < rows; ++row) {
    setRowHeight(row, row == 0 ? std::max(kHeadingRowHeight, rowHeight) : rowHeight);
    for (int column = 0; column < columns; ++column) {
      auto* item = new QTableWidgetItem;
      if (row == 0 || column == 0) {
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(headingBrush);
        item->setTextAlignment(Qt::AlignCenter);
      } else {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      }
      setItem(row, column, item);
    }
  }
}

QSize ParameterGrid::sizeHint() const {
  int width = 2 * frameWidth();
  for (int column = 0; column < columnCount(); ++column) width += columnWidth(column);
  int height = 2 * frameWidth();
  for (int row = 0; row < rowCount(); ++row) height += rowHeight(row);
  return {width, height};
}

void ParameterGrid::SetCell(int row, int column, const QString& text) {
  item(row, column)->setText(text);
}

QString ParameterGrid::CellText(int row, int column) const { return item(row, column)->text(); }

QComboBox* ParameterGrid::NewInCellCombo(const QString& objectName) {
  auto* combo = new QComboBox(viewport());
  combo->setObjectName(objectName);
  combo->hide();
  combo->installEventFilter(this);
  return combo;
}

void ParameterGrid::LayComboOver(QComboBox* combo, int row, int column) {
  const QRect cell = visualRect(model()->index(row, column));
  combo->setGeometry(cell.left(), cell.top(), cell.width(),
                     std::max(cell.height(), combo->sizeHint().height()));
  combo->show();
  combo->raise();
}

bool ParameterGrid::LeavesEditor(const QEvent* event) {
  return event->type() == QEvent::FocusOut &&
         static_cast<const QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
         !QApplication::activePopupWidget();
}
