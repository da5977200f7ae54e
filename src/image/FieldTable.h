#pragma once

#include <QJsonValue>
#include <QString>

#include <vector>

class ParameterImage;

/// How a field's bytes encode its value.
enum class FieldKind {
  Word,             ///< unsigned 16-bit, low byte first
  SignedMagnitude,  ///< 16-bit word: bit 15 the sign, bits 0 to 14 the magnitude
  Bits,             ///< a group of bits inside a word
  Byte,             ///< one byte
  Text,             ///< GBK text field of `length` bytes (ReadImageText rules)
  SerialNumber,     ///< printable ASCII up to 32 bytes, ends at the first other byte
};

/// One named field of the parameter image. Numbers (default, minimum,
/// maximum) are in stored units; the display value is
/// stored x `multiplier` / `divisor`.
struct Field {
  const char* name;  ///< identifier, e.g. "device_address", "adc3_offset"
  FieldKind kind;
  int byte;                 ///< first byte in the image (0 to 10239)
  int length;               ///< bytes: 2 for words and bits, 1 for a byte, L for texts
  int bitShift;             ///< Bits: lowest bit inside the word
  int bitCount;             ///< Bits: number of bits
  int multiplier;           ///< display scale: 100 for baud/100
  int divisor;              ///< display scale: 1000 for thousandths
  bool hasDefault;          ///< written by LoadDefaults
  int defaultValue;         ///< stored value written by LoadDefaults
  int minimum;              ///< smallest value the display takes as it is
  int maximum;              ///< largest value the display takes as it is
  const char* choices;      ///< names of values, "N|E|O" or "2:Kestrel|*:Other"; or nullptr
  const char* description;  ///< a short English description
};

/// The layout of the parameter image: every named field of the option block
/// (words, single bytes, the production serial number) and of the extended
/// block (words, text fields, the report variable table, the valid marker).
class FieldTable {
 public:
  /// Every field, in image order.
  static const std::vector<Field>& Fields();
  /// The field with this name, or nullptr.
  static const Field* Find(const QString& name);
  /// The field with this name, which the caller knows to exist (the windows
  /// take their offsets and lengths from here); a missing name stops the
  /// program, as any other broken layout would.
  static const Field& Named(const QString& name);
  /// The extended offset of a field of the extended block (byte - 4096).
  static int ExtendedOffset(const Field& field);

  /// The stored number of a numeric field (the signed value for
  /// signed-magnitude words); 0 for text fields.
  static int RawValue(const ParameterImage& image, const Field& field);
  /// Stores a number into a numeric field (bits of a Bits field only; a
  /// signed-magnitude field takes a signed value). Text fields are left alone.
  static void StoreRaw(ParameterImage& image, const Field& field, int value);
  /// The decoded text of a text or serial-number field; empty for numbers.
  static QString Text(const ParameterImage& image, const Field& field);

  /// The field as display text: numbers scaled in shortest decimal form
  /// ("1.5", "-1.5", "9600"), followed by the value's name when it has one
  /// ("1 (E)"); texts decoded.
  static QString DisplayText(const ParameterImage& image, const Field& field);
  /// The field as a JSON value: a number in display units (an integer when
  /// unscaled) or a string.
  static QJsonValue JsonValue(const ParameterImage& image, const Field& field);
  /// Whether a numeric field holds a value inside its display range (texts: true).
  static bool InRange(const ParameterImage& image, const Field& field);
  /// The name of a value in a field's choices, or an empty text.
  static QString ChoiceName(const Field& field, int value);
  /// Lower-case name of a kind: "word", "signed", "bits", "byte", "text", "serial".
  static QString KindName(FieldKind kind);

  /// value / divisor in shortest decimal form: (1500, 1000) gives "1.5",
  /// (-1500, 1000) gives "-1.5", (100, 100) gives "1".
  static QString DecimalText(long long value, int divisor);
};
