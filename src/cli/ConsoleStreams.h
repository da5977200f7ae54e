#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

/// The standard streams of the command line, behind the calls that differ
/// between systems. A stream whose reader has gone (a pipe closed early) is
/// no longer written to: the work goes on, its lines are dropped.
class ConsoleStreams {
 public:
  /// A closed pipe must not end the program half-way through a transfer:
  /// writes to it fail instead (SIGPIPE ignored where there is one).
  static void IgnoreBrokenPipe();
  /// Standard input and output carry images as bytes, untranslated.
  static void UseBinary(std::FILE* stream);

  /// Whether the stream is a terminal (a person watching), not a pipe or file.
  static bool IsTerminal(std::FILE* stream);

  /// Writes `bytes` and flushes; false once the stream has failed (and
  /// nothing more is written to it).
  static bool Write(std::FILE* stream, const QByteArray& bytes);
  /// One line in UTF-8.
  static bool WriteLine(std::FILE* stream, const QString& line);
};
