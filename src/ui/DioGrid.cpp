#include "ui/DioGrid.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QHeaderView>

#include "image/ParameterImage.h"
#include "ui/EditorRules.h"

namespace {

constexpr int kDirectionWord = 60;
constexpr int kDirectionColumn = 1;
constexpr int kOutput = 0;  // entry "DO", bit clear
constexpr int kInput = 1;   // entry "DI", bit set

// The layout in twips, at 15 twips to the pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int kPinColumnWidth = 1500 / kTwipsPerPixel;
constexpr int kDirectionColumnWidth = 1550 / kTwipsPerPixel;
constexpr int kHeadingRowHeight = 500 / kTwipsPerPixel;

const char* const kDirections[] = {"DO", "DI"};

}  // namespace

DioGrid::DioGrid(ParameterImage& image, const bool& fillingControls, QWidget* parent)
    : QTableWidget(kRows, kColumns, parent), image_(image), filling_(fillingControls) {
  setObjectName(QStringLiteral("MSHFlexGriddigitalSetting"));
  horizontalHeader()->hide();
  verticalHeader()->hide();
  verticalHeader()->setMinimumSectionSize(1);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);  // the size of its cells

  const QBrush headingBrush = palette().brush(QPalette::Button);
  const int rowHeight = fontMetrics().height() + 6;
  for (int row = 0; row < kRows; ++row) {
    setRowHeight(row, row == 0 ? std::max(kHeadingRowHeight, rowHeight) : rowHeight);
    for (int column = 0; column < kColumns; ++column) {
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
  setColumnWidth(0, kPinColumnWidth);
  setColumnWidth(1, kDirectionColumnWidth);
  item(0, 0)->setText(QStringLiteral("管脚"));
  for (int pin = 0; pin < kPins; ++pin) item(pin + 1, 0)->setText(QString::number(10 + pin));

  combo_ = new QComboBox(viewport());
  combo_->setObjectName(QStringLiteral("ComboDIOConfig"));
  combo_->hide();
  combo_->installEventFilter(this);

  connect(this, &QTableWidget::cellClicked, this, &DioGrid::OpenList);
  connect(combo_, qOverload<int>(&QComboBox::activated), this, &DioGrid::Choose);
  ApplyCaptions(false);
}

QSize DioGrid::sizeHint() const {
  int width = 2 * frameWidth();
  for (int column = 0; column < kColumns; ++column) width += columnWidth(column);
  int height = 2 * frameWidth();
  for (int row = 0; row < kRows; ++row) height += rowHeight(row);
  return {width, height};
}

void DioGrid::ApplyCaptions(bool english) {
  item(0, 0)->setText(english ? QStringLiteral("PIN") : QStringLiteral("管脚"));
  item(0, 1)->setText(english ? QStringLiteral("Config") : QStringLiteral("配置"));
  combo_->clear();
  for (const char* direction : kDirections) combo_->addItem(QString::fromLatin1(direction));
}

void DioGrid::ShowImage() {
  CloseList();
  const uint16_t word = image_.GetUWord(kDirectionWord);
  for (int pin = 0; pin < kPins; ++pin) {
    const bool input = (word >> (5 + pin)) & 1u;
    item(pin + 1, kDirectionColumn)->setText(QString::fromLatin1(kDirections[input ? 1 : 0]));
  }
}

void DioGrid::OpenList(int row, int column) {
  gridRow_ = row;
  gridColumn_ = column;
  if (column != kDirectionColumn || row < 1 || row > kPins) return;
  // Selecting the cell's entry is not a choice: it stores nothing. A cell
  // holding neither text opens on "DI".
  const QString text = item(row, column)->text();
  combo_->setCurrentIndex(text == QLatin1String(kDirections[kOutput]) ? kOutput : kInput);
  const QRect cell = visualRect(model()->index(row, column));
  combo_->setGeometry(cell.left(), cell.top(), cell.width(),
                      std::max(cell.height(), combo_->sizeHint().height()));
  combo_->show();
  combo_->raise();
  open_ = true;
  combo_->setFocus(Qt::MouseFocusReason);
}

void DioGrid::Choose(int index) {
  if (!open_ || filling_) return;
  if (gridRow_ < 1 || gridRow_ > kPins || gridColumn_ != kDirectionColumn || index < 0) {
    CloseList();
    return;
  }
  const uint16_t word =
      EditorRules::WithDirection(image_.GetUWord(kDirectionWord), gridRow_ - 1, index == kInput);
  image_.SetWord(kDirectionWord, word);
  item(gridRow_, kDirectionColumn)->setText(combo_->itemText(index));
  open_ = false;
  setFocus(Qt::OtherFocusReason);
  combo_->hide();
}

bool DioGrid::eventFilter(QObject* watched, QEvent* event) {
  // The list's own popup opening is not a loss of focus.
  if (watched == combo_ && event->type() == QEvent::FocusOut &&
      static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
      !QApplication::activePopupWidget())
    CloseList();
  return QTableWidget::eventFilter(watched, event);
}

void DioGrid::CloseList() {
  open_ = false;
  combo_->hide();
}
