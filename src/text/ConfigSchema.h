#pragma once

#include "image/FieldLabels.h"

#include <QList>
#include <QString>

#include <cstdint>

struct Field;
class ParameterImage;

/// How each field of the field table is written in a configuration text: its
/// group key, the kind of value a person types, its range in stored units and
/// its choices by stable keys. The layout itself stays in the field table.
class ConfigSchema {
 public:
  enum class ValueKind {
    Number,  ///< a number in display units (the field table's scaling)
    Choice,  ///< a stable key; its number and the window's captions are taken too
    Text,    ///< a string
  };

  /// One value of a choice field.
  struct Choice {
    uint32_t value = 0;  ///< the stored number (for `others`: the one written)
    QString key;         ///< stable, language-independent ("even", "rs485", "1.5")
    QString english;     ///< the window's caption
    QString chinese;
    bool others = false;  ///< also stands for every number no other choice has
  };

  /// The text rule of one field.
  struct Rule {
    const Field* field = nullptr;
    FieldGroup group = FieldGroup::Unshown;
    ValueKind kind = ValueKind::Number;
    int64_t minimum = 0;  ///< numbers: smallest value a person may set (stored units, signed)
    int64_t maximum = 0;  ///< numbers: largest value
    QList<Choice> choices;
    QString note;  ///< what the comment adds ("bit 0 = pin 1 ... set = DI")

    QString Name() const;
    /// The choice of a stored number, or nullptr.
    const Choice* ChoiceOf(uint32_t stored) const;
  };

  /// Every field, in the field table's order.
  static const QList<Rule>& Rules();
  /// The rule of a field name, or nullptr.
  static const Rule* Find(const QString& name);
  /// Whether a technician sets the field (a page or a cloud window shows it);
  /// the rest is exported only with "all".
  static bool Technician(const Rule& rule);

  /// The groups in the order of the window's pages, "carried" (shown on no
  /// page) last.
  static QList<FieldGroup> Groups();
  /// The key of a group in the text: "serial_ports", "communication",
  /// "analog", "digital", "cloud", "report_variables", "service", "carried".
  static QString GroupKey(FieldGroup group);
  /// The group of a key; false when the key names none.
  static bool GroupOfKey(const QString& key, FieldGroup* group);

  /// The largest stored number a field can hold (65535, 255, 2^bits - 1;
  /// texts 0).
  static uint32_t StorageMaximum(const Field& field);
  /// A numeric field's stored bits (signed-magnitude words as the whole word).
  static uint32_t Stored(const ParameterImage& image, const Field& field);
  /// Stores the bits read by Stored (other bits of a bit group's word kept).
  static void Store(ParameterImage& image, const Field& field, uint32_t stored);
  /// A stored number in display units: "9600", "-1.5", "-0", "1".
  static QString NumberText(const Field& field, uint32_t stored);
  /// A signed value in stored units in display units (for ranges).
  static QString ScaledText(const Field& field, int64_t value);
  /// The signed value of stored bits (signed-magnitude words: the sign applied).
  static int64_t Signed(const Field& field, uint32_t stored);

  /// What the comment of a field says about the values it takes:
  /// "1 to 255", "N, E, O", "text, at most 50 bytes".
  static QString Values(const Rule& rule);
  /// "设备地址 / Device Addr"
  static QString Captions(const Rule& rule);
};
