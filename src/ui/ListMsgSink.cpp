#include "ui/ListMsgSink.h"

#include "link/EnglishLines.h"

#include <QListWidget>

void ListMsgSink::AddMessage(const QString& text) {
  list_->addItem(english_ ? EnglishLines::Of(text) : text);
  // Only the new line is selected, also where several lines can be.
  list_->setCurrentRow(list_->count() - 1, QItemSelectionModel::ClearAndSelect);
  list_->scrollToBottom();
}
