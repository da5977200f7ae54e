#include "ui/MessageListMenu.h"

#include "ui/Captions.h"

#include <QAction>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QSaveFile>

#include <algorithm>

MessageListMenu::MessageListMenu(QListWidget* list, bool english)
    : QObject(list), list_(list), english_(english) {
  setObjectName(QStringLiteral("MessageListMenu"));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);

  auto* copy = new QAction(Pick(english_, "&Copy", "复制(&C)"), list_);
  copy->setObjectName(QStringLiteral("ActionCopyMessages"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, &MessageListMenu::Copy);
  list_->addAction(copy);

  auto* save = new QAction(Pick(english_, "&Save list...", "保存列表(&S)..."), list_);
  save->setObjectName(QStringLiteral("ActionSaveMessages"));
  connect(save, &QAction::triggered, this, &MessageListMenu::Save);
  list_->addAction(save);
  list_->installEventFilter(this);

  chooser_ = [this] {
    return QFileDialog::getSaveFileName(list_, Pick(english_, "Save", "保存"),
                                        QStringLiteral("messages.txt"),
                                        Pick(english_, "Text files (*.txt)", "文本文件(*.txt)"));
  };
  report_ = [this](const QString& text) {
    QMessageBox::critical(list_, kApplicationTitle, text, QMessageBox::Ok);
  };
}

QString MessageListMenu::SelectedText() const {
  QList<int> rows;
  const QList<QListWidgetItem*> items = list_->selectedItems();
  for (const QListWidgetItem* item : items) rows << list_->row(item);
  std::sort(rows.begin(), rows.end());
  QStringList lines;
  for (int row : rows) lines << list_->item(row)->text();
  return lines.join(QLatin1Char('\n'));
}

bool MessageListMenu::SaveTo(const QString& path, QString* error) const {
  QByteArray bytes;
  for (int row = 0; row < list_->count(); ++row) bytes += list_->item(row)->text().toUtf8() + '\n';
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

bool MessageListMenu::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    Copy();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

void MessageListMenu::Copy() {
  const QString text = SelectedText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

void MessageListMenu::Save() {
  const QString path = chooser_ ? chooser_() : QString();
  if (path.isEmpty()) return;
  QString error;
  if (!SaveTo(path, &error) && report_) {
    report_(Pick(english_, "Cannot save the message list %1: %2", "无法保存消息列表 %1：%2")
                .arg(path, error));
  }
}
