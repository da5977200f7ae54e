#pragma once

#include <QByteArray>
#include <QString>

/// Bytes as hexadecimal text: pairs of digits separated by spaces, a pair
/// followed by "*N" standing for N copies of that byte ("00*870").
class HexRuns {
 public:
  /// "55 aa 00*16": runs of four or more equal bytes are written with "*N".
  static QString Encode(const QByteArray& bytes);
  /// The bytes of such a text (case and spacing free, at most `limit` bytes);
  /// false when it is not such a text or holds more.
  static bool Decode(const QString& text, int limit, QByteArray* bytes);
};
