#include "ui/FormCompare.h"

#include "image/FieldDiff.h"
#include "image/FieldLabels.h"
#include "image/FieldTable.h"
#include "ui/Captions.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column { kCaption, kPage, kForm, kOther, kColumns };

}  // namespace

FormCompare::FormCompare(ParameterImage& form, bool english, QWidget* parent)
    : QDialog(parent), form_(form), english_(english) {
  setObjectName(QStringLiteral("FormCompare"));
  setWindowTitle(Pick(english_, "Compare", "对比配置"));

  commandFile_ = new QPushButton(Pick(english_, "With &file...", "与文件对比(&F)..."), this);
  commandFile_->setObjectName(QStringLiteral("CommandCompareFile"));
  commandTerminal_ = new QPushButton(Pick(english_, "With &terminal", "与终端对比(&T)"), this);
  commandTerminal_->setObjectName(QStringLiteral("CommandCompareTerminal"));
  commandTake_ = new QPushButton(Pick(english_, "Take selected", "采用所选"), this);
  commandTake_->setObjectName(QStringLiteral("CommandCompareTake"));
  auto* close = new QPushButton(Pick(english_, "&Close", "关闭(&C)"), this);
  close->setObjectName(QStringLiteral("CommandClose"));
  for (QPushButton* button : {commandFile_, commandTerminal_, commandTake_, close})
    button->setAutoDefault(false);

  labelCount_ = new QLabel(
      Pick(english_, "Choose what to compare the form with.", "请选择与当前配置对比的文件或终端。"),
      this);
  labelCount_->setObjectName(QStringLiteral("LabelCompareCount"));
  labelBusy_ = new QLabel(Pick(english_,
                               "The terminal is busy: compare with it once the running "
                               "transaction has ended.",
                               "终端正忙:请在当前操作结束后再与终端对比。"),
                          this);
  labelBusy_->setObjectName(QStringLiteral("LabelCompareBusy"));
  labelBusy_->setVisible(false);

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("TableCompare"));
  table_->setHorizontalHeaderLabels(
      {Pick(english_, "Field", "字段"), Pick(english_, "Page", "页面"),
       Pick(english_, "Form", "当前配置"), Pick(english_, "Other", "对比对象")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setMinimumSize(640, 320);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(commandFile_);
  buttons->addWidget(commandTerminal_);
  buttons->addStretch(1);
  buttons->addWidget(commandTake_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(labelBusy_);
  layout->addWidget(labelCount_);
  layout->addWidget(table_, 1);
  resize(820, 440);
  UpdateButtons();

  connect(commandFile_, &QPushButton::clicked, this, &FormCompare::fileRequested);
  connect(commandTerminal_, &QPushButton::clicked, this, &FormCompare::terminalRequested);
  connect(commandTake_, &QPushButton::clicked, this, &FormCompare::TakeSelected);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
    Q_EMIT fieldActivated(table_->item(row, kCaption)->data(Qt::UserRole).toString());
  });
}

void FormCompare::ShowDifferences(const ParameterImage& other, const QString& source) {
  other_ = other;
  source_ = source;
  hasOther_ = true;
  QList<FieldDiff::Row> differences = FieldDiff::Compare(form_, other_);
  // By page, as the technician looks for them; what no page shows comes last.
  std::stable_sort(differences.begin(), differences.end(),
                   [](const FieldDiff::Row& a, const FieldDiff::Row& b) {
                     return FieldLabels::Of(*a.field).group < FieldLabels::Of(*b.field).group;
                   });
  table_->horizontalHeaderItem(kOther)->setText(source);
  table_->setRowCount(static_cast<int>(differences.size()));
  for (int row = 0; row < differences.size(); ++row) {
    const FieldDiff::Row& difference = differences[row];
    const FieldLabel label = FieldLabels::Of(*difference.field);
    const QString texts[kColumns] = {english_ ? label.english : label.chinese,
                                     FieldLabels::GroupName(label.group, english_), difference.left,
                                     difference.right};
    for (int column = 0; column < kColumns; ++column)
      table_->setItem(row, column, new QTableWidgetItem(texts[column]));
    QTableWidgetItem* caption = table_->item(row, kCaption);
    caption->setData(Qt::UserRole, QString::fromLatin1(difference.field->name));
    caption->setCheckState(Qt::Unchecked);  // items can be ticked by default
  }
  const int count = static_cast<int>(differences.size());
  labelCount_->setText(
      count == 0
          ? Pick(english_, "No differences from %1.", "与%1没有不同。").arg(source)
          : Pick(english_, "%1 fields differ from %2.", "与%2有%1处不同。").arg(count).arg(source));
  UpdateButtons();
}

void FormCompare::ShowFailure(const QString& text) {
  hasOther_ = false;
  table_->setRowCount(0);
  labelCount_->setText(text);
  UpdateButtons();
}

void FormCompare::SetReading(bool reading) {
  reading_ = reading;
  if (reading) labelCount_->setText(Pick(english_, "Reading the terminal...", "正在读取终端..."));
  UpdateButtons();
}

void FormCompare::SetLinkBusy(bool busy) {
  linkBusy_ = busy;
  labelBusy_->setVisible(busy);
  UpdateButtons();
}

void FormCompare::UpdateButtons() {
  commandFile_->setEnabled(!reading_);
  commandTerminal_->setEnabled(!reading_ && !linkBusy_);
  commandTake_->setEnabled(!reading_ && !linkBusy_ && table_->rowCount() > 0);
}

void FormCompare::TakeSelected() {
  if (!hasOther_) return;
  bool changed = false;
  for (int row = 0; row < table_->rowCount(); ++row) {
    const QTableWidgetItem* caption = table_->item(row, kCaption);
    if (caption->checkState() != Qt::Checked) continue;
    const Field* field = FieldTable::Find(caption->data(Qt::UserRole).toString());
    if (!field) continue;
    if (field->kind == FieldKind::Text || field->kind == FieldKind::SerialNumber) {
      const QByteArray bytes = other_.Bytes(field->byte, field->length);
      form_.Store(field->byte, reinterpret_cast<const uint8_t*>(bytes.constData()),
                  static_cast<int>(bytes.size()));
    } else {
      FieldTable::StoreRaw(form_, *field, FieldTable::RawValue(other_, *field));
    }
    changed = true;
  }
  if (!changed) return;
  ShowDifferences(other_, source_);
  Q_EMIT taken();
}
