#pragma once

#include "link/MessageSink.h"

class QListWidget;

/// The message list ListMsg as the transactions' MessageSink: each line is
/// appended and selected, which scrolls it into view.
class ListMsgSink : public MessageSink {
 public:
  explicit ListMsgSink(QListWidget* list) : list_(list) {}
  void AddMessage(const QString& text) override;

 private:
  QListWidget* list_;
};
