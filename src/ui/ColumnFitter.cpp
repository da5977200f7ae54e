#include "ui/ColumnFitter.h"

#include <QEvent>
#include <QTableWidget>

#include <algorithm>

namespace {

// Room around a grid cell's text: the cell's margins and the grid line.
constexpr int kCellPadding = 16;
constexpr int kRowPadding = 6;

}  // namespace

ColumnFitter::ColumnFitter(const QList<QTableWidget*>& grids, QObject* parent)
    : QObject(parent), grids_(grids) {
  for (QTableWidget* grid : grids_) {
    Fit(grid);
    grid->installEventFilter(this);
  }
}

bool ColumnFitter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    for (QTableWidget* grid : grids_)
      if (grid == watched) Fit(grid);
  }
  return QObject::eventFilter(watched, event);
}

void ColumnFitter::Fit(QTableWidget* grid) {
  const QFontMetrics metrics(grid->font());
  for (int column = 0; column < grid->columnCount(); ++column) {
    int width = grid->columnWidth(column);
    for (int row = 0; row < grid->rowCount(); ++row) {
      if (const QTableWidgetItem* item = grid->item(row, column))
        width = std::max(width, metrics.horizontalAdvance(item->text()) + kCellPadding);
    }
    grid->setColumnWidth(column, width);
  }
  for (int row = 0; row < grid->rowCount(); ++row)
    grid->setRowHeight(row, std::max(grid->rowHeight(row), metrics.height() + kRowPadding));
  grid->updateGeometry();
}
