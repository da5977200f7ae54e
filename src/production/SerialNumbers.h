#pragma once

#include <QString>

#include <cstdint>

/// Production serial numbers: a fixed prefix and a decimal count of fixed
/// width, "TR-2026-000100" is prefix "TR-2026-", value 100, width 6. The
/// whole text fits the terminal's 32-byte field in printable ASCII.
class SerialNumbers {
 public:
  static constexpr int kMaxLength = 32;
  static constexpr int kMaxWidth = 18;

  /// A counter's position.
  struct Counter {
    QString prefix;
    int64_t value = 0;
    int width = 0;
  };

  /// Splits a first number into its counter. False with a one-line reason
  /// when the text is empty, too long, not printable ASCII or does not end in
  /// a digit.
  static bool Parse(const QString& text, Counter* counter, QString* error);
  /// The number of `value` at the counter's width; empty when the value no
  /// longer fits the width (the counter is used up).
  static QString Format(const Counter& counter, int64_t value);
  /// Whether `text` is a serial number a terminal can hold (printable ASCII,
  /// 1 to 32 bytes).
  static bool IsValid(const QString& text);
};
