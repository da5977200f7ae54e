#include "ui/ListMsgSink.h"

#include <QListWidget>

void ListMsgSink::AddMessage(const QString& text) {
  list_->addItem(text);
  list_->setCurrentRow(list_->count() - 1);
  list_->scrollToBottom();
}
