#include "ui/DioGrid.h"

#include <QComboBox>

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

const char* const kDirections[] = {"DO", "DI"};

}  // namespace

DioGrid::DioGrid(ParameterImage& image, const bool& fillingControls, QWidget* parent)
    : ParameterGrid(kRows, kColumns, image, fillingControls, parent) {
  setObjectName(QStringLiteral("MSHFlexGriddigitalSetting"));
  setColumnWidth(0, kPinColumnWidth);
  setColumnWidth(1, kDirectionColumnWidth);
  SetCell(0, 0, QStringLiteral("管脚"));
  for (int pin = 0; pin < kPins; ++pin) SetCell(pin + 1, 0, QString::number(10 + pin));

  combo_ = NewInCellCombo(QStringLiteral("ComboDIOConfig"));

  connect(this, &QTableWidget::cellClicked, this, &DioGrid::OpenList);
  connect(combo_, qOverload<int>(&QComboBox::activated), this, &DioGrid::Choose);
  ApplyCaptions(false);
}

void DioGrid::ApplyCaptions(bool english) {
  SetCell(0, 0, english ? QStringLiteral("PIN") : QStringLiteral("管脚"));
  SetCell(0, 1, english ? QStringLiteral("Config") : QStringLiteral("配置"));
  combo_->clear();
  for (const char* direction : kDirections) combo_->addItem(QString::fromLatin1(direction));
}

void DioGrid::ShowImage() {
  CloseList();
  const uint16_t word = image_.GetUWord(kDirectionWord);
  for (int pin = 0; pin < kPins; ++pin) {
    const bool input = (word >> (5 + pin)) & 1u;
    SetCell(pin + 1, kDirectionColumn, QString::fromLatin1(kDirections[input ? 1 : 0]));
  }
}

void DioGrid::OpenList(int row, int column) {
  gridRow_ = row;
  gridColumn_ = column;
  if (column != kDirectionColumn || row < 1 || row > kPins) return;
  // Selecting the cell's entry is not a choice: it stores nothing. A cell
  // holding neither text opens on "DI".
  const QString text = CellText(row, column);
  combo_->setCurrentIndex(text == QLatin1String(kDirections[kOutput]) ? kOutput : kInput);
  LayComboOver(combo_, row, column);
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
  SetCell(gridRow_, kDirectionColumn, combo_->itemText(index));
  open_ = false;
  setFocus(Qt::OtherFocusReason);
  combo_->hide();
}

bool DioGrid::eventFilter(QObject* watched, QEvent* event) {
  // The list's own popup opening is not a loss of focus.
  if (watched == combo_ && LeavesEditor(event)) CloseList();
  return ParameterGrid::eventFilter(watched, event);
}

void DioGrid::CloseList() {
  open_ = false;
  combo_->hide();
}
