#include "settings/SettingsDialog.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "image/TextCodec.h"

SettingsDialog::SettingsDialog(bool english, QWidget* parent)
    : QDialog(parent), english_(english), byteHint_(new QLabel(this)) {
  byteHint_->setObjectName("LabelByteHint");
  // Reserve the line so the window does not jump when a hint appears.
  byteHint_->setMinimumHeight(byteHint_->fontMetrics().height());
  byteHint_->setStyleSheet("color: gray;");
}

SettingsDialog::~SettingsDialog() {
  // The boxes outlive this part of the window while it is torn down.
  for (Watched& watched : boxes_) watched.box->removeEventFilter(this);
}

void SettingsDialog::WatchBox(QLineEdit* box, std::function<void()> leave) {
  boxes_.push_back({box, std::move(leave), 0, false});
  box->installEventFilter(this);
}

void SettingsDialog::WatchFieldBytes(QLineEdit* box, int length, bool printableOnly) {
  Watched* watched = Find(box);
  Q_ASSERT(watched);
  if (!watched) return;
  watched->fieldLength = length;
  watched->printableOnly = printableOnly;
  box->setToolTip(english_ ? tr("At most %1 bytes; a Chinese character takes two.").arg(length)
                           : QString::fromUtf8("最多 %1 字节，一个汉字占 2 字节").arg(length));
  connect(box, &QLineEdit::textChanged, this, [this, box] {
    if (Watched* w = Find(box); w && box->hasFocus()) UpdateHint(*w);
  });
}

void SettingsDialog::LiftLengthCap(QLineEdit* box) { box->setMaxLength(32767); }

bool SettingsDialog::TakeEdit(QLineEdit* box, const QString& stored) {
  const bool edited = box->isModified() || box->text() != stored;
  box->setModified(false);
  return edited;
}

void SettingsDialog::done(int result) {
  // A box being edited stores its text before the window goes away.
  if (Watched* watched = Find(QApplication::focusWidget())) RunLeave(*watched);
  QDialog::done(result);
}

bool SettingsDialog::eventFilter(QObject* watchedObject, QEvent* event) {
  Watched* watched = Find(watchedObject);
  if (!watched) return QDialog::eventFilter(watchedObject, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key != Qt::Key_Return && key != Qt::Key_Enter) break;
      EnterPressed = true;
      RunLeave(*watched);
      return true;  // never reaches the dialog's default button
    }
    case QEvent::FocusIn:
      UpdateHint(*watched);
      break;
    case QEvent::FocusOut:
      // A context menu takes the focus only for a moment: editing goes on.
      if (static_cast<QFocusEvent*>(event)->reason() == Qt::PopupFocusReason) break;
      RunLeave(*watched);
      byteHint_->clear();
      break;
    default:
      break;
  }
  return QDialog::eventFilter(watchedObject, event);
}

SettingsDialog::Watched* SettingsDialog::Find(QObject* box) {
  for (Watched& watched : boxes_)
    if (watched.box == box) return &watched;
  return nullptr;
}

void SettingsDialog::RunLeave(Watched& watched) {
  if (inLeave_) return;  // focus moves made by the step itself
  inLeave_ = true;
  watched.leave();
  if (EnterPressed) {
    EnterPressed = false;
    watched.box->setFocus();
    watched.box->setSelection(0, watched.box->text().size());
  }
  inLeave_ = false;
}

void SettingsDialog::UpdateHint(const Watched& watched) {
  if (watched.fieldLength <= 0) {
    byteHint_->clear();
    return;
  }
  const QString text = watched.box->text();
  const int bytes = TextCodec::ToGbk(text).size();
  const int left = watched.fieldLength - bytes;
  bool warn = left < 0;
  QString hint;
  if (left < 0) {
    hint = english_ ? tr("%1 bytes too long: the end will be cut").arg(-left)
                    : QString::fromUtf8("超出 %1 字节，多出的部分将被截掉").arg(-left);
  } else {
    hint = english_ ? tr("%1 of %2 bytes left").arg(left).arg(watched.fieldLength)
                    : QString::fromUtf8("还可输入 %1 字节（共 %2 字节）")
                          .arg(left)
                          .arg(watched.fieldLength);
  }
  if (watched.printableOnly) {
    for (const QChar ch : text) {
      if (ch.unicode() < 32 || ch.unicode() > 126) {
        warn = true;
        hint += english_ ? tr("; only ASCII characters before \"%1\" are read back").arg(ch)
                         : QString::fromUtf8("；读回时只保留“%1”之前的 ASCII 字符").arg(ch);
        break;
      }
    }
  }
  byteHint_->setStyleSheet(warn ? "color: #c00000;" : "color: gray;");
  byteHint_->setText(hint);
}
