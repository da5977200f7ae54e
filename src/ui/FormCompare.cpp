#include "ui/FormCompare.h"

#include "image/FieldDiff.h"
#include "image/FieldTable.h"
#include "ui/Captions.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { kName, kDescription, kForm, kOther, kColumns };

}  // namespace

FormCompare::FormCompare(const ParameterImage& form, bool english, QWidget* parent)
    : QDialog(parent), form_(form), english_(english) {
  setObjectName(QStringLiteral("FormCompare"));
  setWindowTitle(Pick(english_, "Compare", "对比配置"));

  commandFile_ = new QPushButton(Pick(english_, "With &file...", "与文件对比(&F)..."), this);
  commandFile_->setObjectName(QStringLiteral("CommandCompareFile"));
  commandTerminal_ = new QPushButton(Pick(english_, "With &terminal", "与终端对比(&T)"), this);
  commandTerminal_->setObjectName(QStringLiteral("CommandCompareTerminal"));
  auto* close = new QPushButton(Pick(english_, "&Close", "关闭(&C)"), this);
  close->setObjectName(QStringLiteral("CommandClose"));
  for (QPushButton* button : {commandFile_, commandTerminal_, close}) button->setAutoDefault(false);

  labelCount_ = new QLabel(
      Pick(english_, "Choose what to compare the form with.", "请选择与当前配置对比的文件或终端。"),
      this);
  labelCount_->setObjectName(QStringLiteral("LabelCompareCount"));

  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("TableCompare"));
  table_->setHorizontalHeaderLabels(
      {Pick(english_, "Field", "字段"), Pick(english_, "Description", "说明"),
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
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(labelCount_);
  layout->addWidget(table_, 1);
  resize(820, 440);

  connect(commandFile_, &QPushButton::clicked, this, &FormCompare::fileRequested);
  connect(commandTerminal_, &QPushButton::clicked, this, &FormCompare::terminalRequested);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

void FormCompare::ShowDifferences(const ParameterImage& other, const QString& source) {
  const QList<FieldDiff::Row> differences = FieldDiff::Compare(form_, other);
  table_->horizontalHeaderItem(kOther)->setText(source);
  table_->setRowCount(static_cast<int>(differences.size()));
  for (int row = 0; row < differences.size(); ++row) {
    const FieldDiff::Row& difference = differences[row];
    const QString texts[kColumns] = {QString::fromLatin1(difference.field->name),
                                     QString::fromLatin1(difference.field->description),
                                     difference.left, difference.right};
    for (int column = 0; column < kColumns; ++column)
      table_->setItem(row, column, new QTableWidgetItem(texts[column]));
  }
  const int count = static_cast<int>(differences.size());
  labelCount_->setText(
      count == 0
          ? Pick(english_, "No differences from %1.", "与%1没有不同。").arg(source)
          : Pick(english_, "%1 fields differ from %2.", "与%2有%1处不同。").arg(count).arg(source));
}

void FormCompare::ShowFailure(const QString& text) {
  table_->setRowCount(0);
  labelCount_->setText(text);
}

void FormCompare::SetBusy(bool busy) {
  commandFile_->setEnabled(!busy);
  commandTerminal_->setEnabled(!busy);
}
