#include "ui/AdcGrid.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "image/ParameterImage.h"
#include "ui/EditorRules.h"
#include "ui/InsertionValidator.h"

namespace {

// Option words of channel r (1 to 8) are the column's base word + r.
constexpr int kOffsetBase = 21;      // words 22..29, column 2
constexpr int kFullScaleBase = 30;   // words 31..38, column 1
constexpr int kMultiplierBase = 39;  // words 40..47, column 3
constexpr int kKindBase = 48;        // words 49..56, column 4
constexpr int kAdcTypeWord = 21;

constexpr int kFullScaleColumn = 1;
constexpr int kOffsetColumn = 2;
constexpr int kMultiplierColumn = 3;
constexpr int kKindColumn = 4;

constexpr int kUserDefined = 2;

// The layout in twips, at 15 twips to the pixel.
constexpr int kTwipsPerPixel = 15;
constexpr int kChannelColumnWidth = 500 / kTwipsPerPixel;
constexpr int kValueColumnWidth = 1350 / kTwipsPerPixel;

}  // namespace

AdcGrid::AdcGrid(ParameterImage& image, const bool& fillingControls, QWidget* parent)
    : ParameterGrid(kRows, kColumns, image, fillingControls, parent) {
  setObjectName(QStringLiteral("MSHFlexGridAdcParam"));
  setWordWrap(true);
  setColumnWidth(0, kChannelColumnWidth);
  for (int column = 1; column < kColumns; ++column) setColumnWidth(column, kValueColumnWidth);
  for (int channel = 1; channel <= kChannels; ++channel)
    SetCell(channel, 0, QString::number(channel));

  text1_ = new QLineEdit(viewport());
  text1_->setObjectName(QStringLiteral("Text1"));
  text1_->setFrame(false);
  text1_->hide();
  text1_->installEventFilter(this);
  // Pasted and dropped text is held to the column's key rules as well.
  new InsertionValidator(
      text1_, [this](QChar ch, const QString& kept, bool) { return AcceptsChar(ch, kept); });

  kindCombo_ = NewInCellCombo(QStringLiteral("ComboSingleAdcType"));

  connect(this, &QTableWidget::cellClicked, this, &AdcGrid::OpenEditor);
  connect(kindCombo_, qOverload<int>(&QComboBox::activated), this, &AdcGrid::KindChosen);
  ApplyCaptions(false);
}

void AdcGrid::ApplyCaptions(bool english) {
  static const char* const kEnglish[kColumns] = {"Channel", "Full Voltage", "Offset Voltage", "Mul",
                                                 "Type"};
  static const char* const kChinese[kColumns] = {"信道", "满偏电流/电压", "修正电流/电压", "倍率",
                                                 "类型"};
  for (int column = 0; column < kColumns; ++column)
    SetCell(0, column, QString::fromUtf8(english ? kEnglish[column] : kChinese[column]));
  kindCombo_->clear();
  kindCombo_->addItem(english ? QStringLiteral("Voltage") : QStringLiteral("电压"));
  kindCombo_->addItem(english ? QStringLiteral("Current") : QStringLiteral("电流"));
}

void AdcGrid::ShowImage() {
  DropEditors();
  const uint16_t type = image_.GetUWord(kAdcTypeWord);
  adcTypeIndex_ = type > kUserDefined ? kUserDefined : type;
  for (int channel = 1; channel <= kChannels; ++channel) {
    SetCell(channel, kOffsetColumn,
            EditorRules::OffsetText(image_.GetUWord(kOffsetBase + channel)));
    SetCell(channel, kFullScaleColumn, QString::number(image_.GetUWord(kFullScaleBase + channel)));
    SetCell(channel, kMultiplierColumn,
            EditorRules::ScaledText(image_.GetUWord(kMultiplierBase + channel), 2));
    int kind = adcTypeIndex_;
    if (adcTypeIndex_ == kUserDefined) kind = image_.GetUWord(kKindBase + channel) == 0 ? 0 : 1;
    kindCombo_->setCurrentIndex(kind);
    SetCell(channel, kKindColumn, kindCombo_->currentText());
  }
}

void AdcGrid::AdcTypeChanged(int index) {
  if (filling_ || index < 0 || index > kUserDefined) return;
  adcTypeIndex_ = index;
  if (index == image_.GetUWord(kAdcTypeWord)) return;
  image_.SetWord(kAdcTypeWord, static_cast<uint16_t>(index));
  for (int channel = 1; channel <= kChannels; ++channel) {
    if (index == kUserDefined) {
      if (CellText(channel, kFullScaleColumn).isEmpty()) SetCell(channel, kKindColumn, QString());
      continue;
    }
    const uint16_t fullScale = index == 0 ? 10 : 20;
    SetCell(channel, kKindColumn, kindCombo_->itemText(index));
    SetCell(channel, kFullScaleColumn, QString::number(fullScale));
    image_.SetWord(kFullScaleBase + channel, fullScale);
  }
}

void AdcGrid::OpenEditor(int row, int column) {
  gridRow_ = row;
  gridColumn_ = column;
  if (row < 1 || row > kChannels) return;  // the heading row opens nothing
  if (column >= kFullScaleColumn && column <= kMultiplierColumn) {
    text1_->setGeometry(visualRect(model()->index(row, column)));
    text1_->setText(CellText(row, column));
    text1_->show();
    text1_->raise();
    textOpen_ = true;
    text1_->setFocus(Qt::MouseFocusReason);
    text1_->setSelection(0, static_cast<int>(text1_->text().size()));
  } else if (column == kKindColumn && adcTypeIndex_ == kUserDefined) {
    const int match = kindCombo_->findText(CellText(row, column), Qt::MatchExactly);
    kindCombo_->setCurrentIndex(match >= 0 ? match : 0);  // not a choice: stores nothing
    LayComboOver(kindCombo_, row, column);
    kindOpen_ = true;
    kindCombo_->setFocus(Qt::MouseFocusReason);
  }
}

bool AdcGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched != text1_ && watched != kindCombo_) return ParameterGrid::eventFilter(watched, event);
  if (event->type() == QEvent::FocusOut) {
    if (LeavesEditor(event)) {
      if (watched == text1_)
        CloseTextEditor();
      else
        CloseKindEditor();
    }
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    enterPressed_ = true;
    if (watched == text1_)
      CloseTextEditor();
    else
      CloseKindEditor();
    return true;
  }
  if (watched != text1_) return false;
  if (key->key() == Qt::Key_Backspace) return false;
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;  // shortcuts
  if (key->text().isEmpty()) return false;  // cursor keys, Delete
  return !TextKeyAccepted(key->text());
}

bool AdcGrid::TextKeyAccepted(const QString& typed) const {
  // The text that stays after the key: the selection is replaced.
  QString kept = text1_->text();
  if (text1_->hasSelectedText())
    kept.remove(text1_->selectionStart(), text1_->selectedText().size());
  for (const QChar ch : typed) {
    if (!AcceptsChar(ch, kept)) return false;
    kept.append(ch);
  }
  return true;
}

bool AdcGrid::AcceptsChar(QChar ch, const QString& kept) const {
  if (ch >= QChar('0') && ch <= QChar('9')) return true;
  // Offset and multiplier take one sign and one point.
  const bool signedColumn = gridColumn_ == kOffsetColumn || gridColumn_ == kMultiplierColumn;
  return signedColumn && (ch == QChar('-') || ch == QChar('.')) && !kept.contains(ch);
}

void AdcGrid::CloseTextEditor() {
  if (!textOpen_) return;
  textOpen_ = false;
  const bool enter = enterPressed_;
  enterPressed_ = false;
  if (!filling_ && gridRow_ >= 1 && gridRow_ <= kChannels) {
    EditorRules::Replaced result{};
    int word = 0;
    switch (gridColumn_) {
      case kFullScaleColumn:
        result = EditorRules::CloseFullScale(text1_->text());
        word = kFullScaleBase + gridRow_;
        break;
      case kOffsetColumn:
        result = EditorRules::CloseOffset(text1_->text());
        word = kOffsetBase + gridRow_;
        break;
      default:
        result = EditorRules::CloseMultiplier(text1_->text());
        word = kMultiplierBase + gridRow_;
        break;
    }
    image_.SetWord(word, result.value);
    text1_->setText(result.text);
    SetCell(gridRow_, gridColumn_, result.text);
    if (enter) {
      if (gridRow_ < kChannels && gridColumn_ == kMultiplierColumn)
        MoveAfterEnter(gridRow_ + 1, kFullScaleColumn);
      else
        MoveAfterEnter(gridRow_, gridColumn_ + 1);
    }
  }
  text1_->hide();
}

void AdcGrid::CloseKindEditor() {
  if (!kindOpen_) return;
  kindOpen_ = false;
  const bool enter = enterPressed_;
  enterPressed_ = false;
  const int index = kindCombo_->currentIndex();
  if (!filling_ && gridRow_ >= 1 && gridRow_ <= kChannels && gridColumn_ == kKindColumn &&
      index >= 0) {
    image_.SetWord(kKindBase + gridRow_, static_cast<uint16_t>(index));
    SetCell(gridRow_, gridColumn_, kindCombo_->itemText(index));
    if (enter && gridRow_ < kChannels) MoveAfterEnter(gridRow_ + 1, kFullScaleColumn);
  }
  kindCombo_->hide();
}

void AdcGrid::KindChosen(int index) {
  // Choosing a kind sets the channel's usual full scale; the kind itself is
  // stored when the editor closes.
  if (!kindOpen_ || filling_ || index < 0 || gridRow_ < 1 || gridRow_ > kChannels) return;
  const uint16_t fullScale = index == 0 ? 10 : 20;
  SetCell(gridRow_, kFullScaleColumn, QString::number(fullScale));
  image_.SetWord(kFullScaleBase + gridRow_, fullScale);
}

void AdcGrid::MoveAfterEnter(int nextRow, int nextColumn) {
  setCurrentCell(nextRow, nextColumn);
  setFocus(Qt::OtherFocusReason);
}

void AdcGrid::DropEditors() {
  textOpen_ = false;
  kindOpen_ = false;
  enterPressed_ = false;
  text1_->hide();
  kindCombo_->hide();
}
