#pragma once

#include "link/MessageSink.h"

#include <cstdio>

/// Prints each message-list line as it comes, in UTF-8, flushed at once so
/// that a script reading the output sees the transfer's progress live.
class ConsoleSink : public MessageSink {
 public:
  explicit ConsoleSink(std::FILE* stream = stdout) : stream_(stream) {}
  void AddMessage(const QString& text) override;

 private:
  std::FILE* stream_;
};
