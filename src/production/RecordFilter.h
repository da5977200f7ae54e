#pragma once

#include <QString>
#include <QVariantList>

/// Which units of the production record `records` lists or summarises: every
/// condition given must hold. The values stay values: the condition the
/// record store runs binds them, it never pastes them into its SQL.
struct RecordFilter {
  enum class Result { Any, Pass, Fail };

  QString serial;   ///< the number a unit got or came with; empty: any
  QString station;  ///< empty: any
  QString port;     ///< as provision was given it; empty: any
  Result result = Result::Any;
  QString since;  ///< a stamp as stored: units finished at or after it; empty: no start
  QString until;  ///< a stamp as stored: units finished before it; empty: no end
  int last = 0;   ///< only the last this many units of those chosen; 0: all

  /// Reads a --since or --until value: "YYYY-MM-DD", "YYYY-MM-DD HH:MM" or
  /// "YYYY-MM-DD HH:MM:SS" (or with T between them, Z after), UTC. Both ends
  /// take in what they name: `until` gives the first instant after it (the
  /// next day, minute or second) as the stamp to stay below. False with a
  /// one-line reason naming `option`.
  static bool ParseTime(const QString& text, bool until, const QString& option, QString* stamp,
                        QString* error);

  /// The SQL condition on tr5906_units, its values appended to `values` in
  /// the order of their "?"; "1 = 1" when nothing is asked.
  QString Condition(QVariantList* values) const;
};
