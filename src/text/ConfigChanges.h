#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

struct Field;

/// One refused key or value of a configuration text, with its place.
struct ConfigError {
  int line = 0;    ///< 1-based line in the text; 0 when it has none (an argument)
  int column = 0;  ///< 1-based column; 0 with line 0
  QString english;
  QString chinese;

  /// "FILE:LINE:COLUMN: message" in the chosen language; without a line
  /// "FILE: message" (`file` may name an argument instead, "argument 2").
  QString Line(const QString& file, bool englishLanguage = true) const;
};

/// A checked new value of one named field.
struct Assignment {
  const Field* field = nullptr;  ///< the field table's entry
  /// Numbers: the stored bits as they go into the image (a word, a byte or
  /// the value of a bit group; for signed-magnitude words the word itself).
  uint32_t stored = 0;
  /// Texts: the text, which may hold the placeholder "{serial}".
  QString text;
  /// Texts given as `!raw`: every byte of the field (then `text` is unused).
  QByteArray bytes;
  bool raw = false;
  int line = 0;  ///< where the value stands (1-based), for messages
  int column = 0;
};

/// Bytes that no field names, given by their image offset.
struct ByteRun {
  int offset = 0;
  QByteArray bytes;
  int line = 0;
  int column = 0;
};

/// What a checked configuration text sets: byte runs first, then fields, in
/// the order of the text.
struct ConfigChanges {
  QList<ByteRun> runs;
  QList<Assignment> fields;
  /// Whether some text holds "{serial}" (it needs a serial number to apply).
  bool UsesSerial() const;
};

/// The outcome of reading and checking a configuration text: either changes
/// (ok) or every error found, in text order.
struct ConfigCheck {
  ConfigChanges changes;
  QList<ConfigError> errors;
  bool Ok() const { return errors.isEmpty(); }
  /// Every error as a line ("site.yaml:3:5: ..."), in text order.
  QStringList Lines(const QString& file, bool englishLanguage = true) const;
};
