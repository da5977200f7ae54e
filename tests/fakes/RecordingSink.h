#pragma once

#include "link/MessageSink.h"

#include <QStringList>

#include <functional>

/// A MessageSink that keeps every line, in order.
class RecordingSink : public MessageSink {
 public:
  void AddMessage(const QString& text) override {
    lines_.append(text);
    if (hook_) hook_(text);
  }
  const QStringList& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }
  /// Runs after each line is recorded.
  void SetHook(std::function<void(const QString&)> hook) { hook_ = std::move(hook); }

 private:
  QStringList lines_;
  std::function<void(const QString&)> hook_;
};
