#pragma once

#include "link/MessageSink.h"

#include <cstdio>

/// Prints each message-list line as it comes, in UTF-8, flushed at once so
/// that a script reading the output sees the transfer's progress live; in
/// English when asked (`--english`). A closed output only drops the lines.
class ConsoleSink : public MessageSink {
 public:
  explicit ConsoleSink(std::FILE* stream = stdout, bool english = false)
      : stream_(stream), english_(english) {}
  void AddMessage(const QString& text) override;

 private:
  std::FILE* stream_;
  bool english_;
};
