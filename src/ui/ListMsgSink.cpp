#include "ui/ListMsgSink.h"

#include <QListWidget>

void ListMsgSink::AddMessage(const QString& text) {
  list_->addItem(text);
  // Only the new line is selected, also where several lines can be.
  list_->setCurrentRow(list_->count() - 1, QItemSelectionModel::ClearAndSelect);
  list_->scrollToBottom();
}
