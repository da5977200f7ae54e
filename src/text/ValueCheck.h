#pragma once

#include "text/ConfigChanges.h"
#include "text/ConfigSchema.h"

#include <QList>
#include <QString>

/// One value as a configuration text gives it, before it is checked.
struct ScalarValue {
  QString text;          ///< the scalar's text
  bool quoted = false;   ///< written in quotes: a text, never a number
  bool missing = false;  ///< no value at all ("key:" or null)
  QString shape;         ///< empty for a scalar, "map" or "list" otherwise
  QString tag;           ///< empty, or the tag written before the value ("!raw")
  int line = 0;          ///< 1-based; 0 for a command-line argument
  int column = 0;
};

/// The checks of one field's value: its type, its range or choices, a text's
/// length in GBK bytes, "{serial}", and the `!raw` form that holds a stored
/// value the window would not show as it is.
class ValueCheck {
 public:
  /// The placeholder a text may hold for the unit's production number.
  static constexpr const char* kSerialPlaceholder = "{serial}";

  /// Checks `value` for the field of `rule`. On success fills `out` and returns
  /// true; otherwise appends one error to `errors`. `longestSerial` is the
  /// length of the longest production number the caller can give (-1: none,
  /// "{serial}" is refused).
  static bool Check(const ConfigSchema::Rule& rule, const ScalarValue& value, int longestSerial,
                    Assignment* out, QList<ConfigError>* errors);

  /// An error at the place of a value: "`name`: ..." in both languages (an
  /// empty name: the message alone).
  static ConfigError Error(const ScalarValue& at, const QString& name, const QString& english,
                           const QString& chinese);

  /// The problems of a text for a field (after "{serial}" has been replaced),
  /// as an error message pair; empty when it can be stored as it is.
  static QStringList TextProblem(const ConfigSchema::Rule& rule, const QString& text);
};
