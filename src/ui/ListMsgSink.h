#pragma once

#include "link/MessageSink.h"

class QListWidget;

/// The message list ListMsg as the transactions' MessageSink: each line is
/// appended and selected, which scrolls it into view. In an English window
/// the transfers' lines are shown in English too.
class ListMsgSink : public MessageSink {
 public:
  ListMsgSink(QListWidget* list, bool english) : list_(list), english_(english) {}
  void AddMessage(const QString& text) override;

 private:
  QListWidget* list_;
  bool english_;
};
