#pragma once

#include <QString>

/// Receives the message-list lines ("读取数据", "Try(0):9600,E,7,1", "12%", ...).
/// The window's is ListMsg; the command-line tool prints them.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void AddMessage(const QString& text) = 0;
};
