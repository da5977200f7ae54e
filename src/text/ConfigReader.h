#pragma once

#include "text/ConfigChanges.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

/// Reads a configuration text (YAML, or JSON, which YAML reads too) and checks
/// every key and value before anything is applied. All errors are reported at
/// once, each with its line and column: YAML syntax, unknown keys (with the
/// nearest known name), a field under another page's group, keys given twice,
/// a newer format version, wrong types, numbers out of range or not exact in
/// their units, values not among the choices, texts too long for their field
/// in GBK bytes or holding characters it cannot store.
///
/// The text is a map: the header keys `tr5906-config` (the format version,
/// optional, 1 when left out), `program` and `source` (informational), one map
/// per group ("serial_ports", "communication", "analog", "digital", "cloud",
/// "report_variables", "service", "carried") of field names and values, and
/// `bytes` (image offset: hexadecimal bytes). Any subset of fields may be
/// given. A choice takes its stable key, its number or either language's
/// caption; `!raw N` sets a number's stored value (any the field can hold),
/// `!raw "hex"` every byte of a text field.
class ConfigReader {
 public:
  struct Options {
    /// Length of the longest production number the caller's counter gives:
    /// a text holding "{serial}" is checked with a number of that length in
    /// its place. -1: no number will be given and "{serial}" is refused.
    int longestSerial = -1;
  };

  /// Reads and checks a whole text.
  static ConfigCheck Read(const QByteArray& text, const Options& options);
  static ConfigCheck Read(const QByteArray& text) { return Read(text, Options{}); }

  /// Checks "NAME=VALUE" arguments, VALUE as typed (no quotes needed for
  /// texts, no `!raw`). The errors have no line; each names its field.
  static ConfigCheck ReadArguments(const QStringList& arguments, const Options& options);
  static ConfigCheck ReadArguments(const QStringList& arguments) {
    return ReadArguments(arguments, Options{});
  }

  /// The known key nearest to `key` by edit distance (field names, group and
  /// header keys), or an empty text when none is near enough.
  static QString Suggest(const QString& key);
};
