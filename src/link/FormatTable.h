#pragma once

#include <QString>
#include <QStringList>

/// The 50 serial formats automatic detection probes, in probing order: ten
/// baud rates (9600, 19200, 38400, 57600, 115200, 2400, 4800, 28800, 1200,
/// 128000), each with N,8,1 / E,8,1 / O,8,1 / E,7,1 / O,7,1.
class FormatTable {
 public:
  static constexpr int kSize = 50;
  static constexpr int kNone = -1;

  /// All 50 entries, position 0 ("9600,N,8,1") to 49 ("128000,O,7,1").
  static const QStringList& Entries();
  /// The entry at `position`; an empty string outside 0..49.
  static QString At(int position);
  /// The first position whose entry equals `settings`, or kNone.
  static int IndexOf(const QString& settings);
  /// The next position, 49 wrapping to 0.
  static int Advance(int position);
};
