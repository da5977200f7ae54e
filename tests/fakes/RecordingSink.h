#pragma once

#include "link/MessageSink.h"

#include <QStringList>

/// A MessageSink that keeps every line, in order.
class RecordingSink : public MessageSink {
 public:
  void AddMessage(const QString& text) override { lines_.append(text); }
  const QStringList& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  QStringList lines_;
};
