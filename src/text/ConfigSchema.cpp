#include "text/ConfigSchema.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"

#include <QHash>
#include <QRegularExpression>

namespace {

struct ChoiceEntry {
  int value;  ///< -1: every other number (written as `written`)
  const char* key;
  const char* english;
  const char* chinese;
};

struct ChoiceSet {
  const char* pattern;  ///< the field names it serves (a regular expression)
  int written;          ///< the number written for the "other numbers" choice
  std::initializer_list<ChoiceEntry> entries;
};

// Stable keys of the choices, with the captions the window shows for them.
const ChoiceSet kChoiceSets[] = {
    {"^(ttl|rs485)_parity$", 0, {{0, "N", "N", "N"}, {1, "E", "E", "E"}, {2, "O", "O", "O"}}},
    {"^(ttl|rs485)_stop_bits$",
     0,
     {{1, "1", "1", "1"}, {2, "2", "2", "2"}, {3, "1.5", "1.5", "1.5"}}},
    {"^lora_air_rate$",
     0,
     {{12, "0.48Kbps", "0.48Kbps", "0.48Kbps"},
      {11, "0.96Kbps", "0.96Kbps", "0.96Kbps"},
      {10, "1.92Kbps", "1.92Kbps", "1.92Kbps"},
      {9, "3.92Kbps", "3.92Kbps", "3.92Kbps"},
      {8, "7.84Kbps", "7.84Kbps", "7.84Kbps"},
      {7, "15.6Kbps", "15.6Kbps", "15.6Kbps"},
      {6, "31.3Kbps", "31.3Kbps", "31.3Kbps"},
      {5, "62.5Kbps", "62.5Kbps", "62.5Kbps"}}},
    {"^repeat_enable$", 1, {{0, "off", "No repeat", "不转发"}, {-1, "on", "Repeat", "转发"}}},
    {"^repeat_target$",
     1,
     {{0, "rs485", "To 485", "转发到实串口"}, {-1, "gateway", "To Gateway", "转发到TTL口"}}},
    {"^adc_type$",
     0,
     {{0, "voltage", "Voltage", "电压"},
      {1, "current", "Current", "电流"},
      {2, "user", "UserDefined", "自由"}}},
    {"^adc\\d_kind$", 1, {{0, "voltage", "Voltage", "电压"}, {-1, "current", "Current", "电流"}}},
    {"^log_level$",
     0,
     {{0, "off", "Off", "关"},
      {1, "error", "ERROR", "ERROR"},
      {2, "warning", "WARNING", "WARNING"},
      {3, "info", "INFO", "INFO"},
      {4, "debug", "DEBUG", "DEBUG"}}},
    {"^log_port$",
     0,
     {{0, "none", "None", "无"},
      {1, "ttl", "TTL", "TTL串口"},
      {2, "rs485", "Real", "实串口"},
      {3, "debug", "Debug", "调试串口"}}},
    {"^lte_enable$", 1, {{0, "off", "Off", "关"}, {-1, "on", "On", "开"}}},
    {"^clock_source$",
     1,
     {{0, "lte", "LTE Module", "LTE模块"}, {-1, "mqtt", "MQTT Service", "MQTT服务器"}}},
    {"^report_type$",
     0,
     {{0, "function", "Func Name", "功能名"}, {1, "variable", "Var Name", "变量名"}}},
    {"^var_\\w+_report$", 1, {{0, "off", "No", "否"}, {-1, "on", "Yes", "是"}}},
};

// Where the window keeps a narrower range than the field table's display, a
// file is held to the window's: what it would not keep is refused, not changed.
struct RangeEntry {
  const char* pattern;
  int64_t minimum;  ///< stored units
  int64_t maximum;
};
const RangeEntry kRanges[] = {
    {"^adc\\d_offset$", -30000, 30000},  // the grid limits an offset to -30 .. 30
    {"^adc\\d_multiplier$", 0, 50000},   // and a multiplier to 0 .. 500
    {"^(keep_alive|report_period)$", 0, 3600},
    {"^(ping_interval|heartbeat_period)$", 5, 60},
};

struct NoteEntry {
  const char* name;
  const char* note;
};
const NoteEntry kNotes[] = {
    {"lora_channel", "index in the channel list, 0 = first entry"},
    {"pin_directions", "one bit a pin: 1 = pin 1 ... 16 = pin 5; set = DI, clear = DO"},
    {"capture_edges", "one bit an input: 1 = DIN1, 2 = DIN2, 4 = DIN3, 8 = DIN4"},
    {"watchdog_reset_cycle", "0 = watchdog off"},
    {"mqtt_port", "digits"},
    {"install_date", "YYYY-MM-DD or empty"},
    {"hardware_variant", "2 = Kestrel, 3 = Plover, 4 = Merlin, other = Kestrel_Old"},
    {"valid_marker", "43605 when the extended block is valid"},
};

bool Matches(const char* pattern, const QString& name) {
  // Each pattern is compiled once: the rules are built for every field.
  static QHash<const char*, QRegularExpression> compiled;
  auto it = compiled.constFind(pattern);
  if (it == compiled.constEnd())
    it = compiled.insert(pattern, QRegularExpression(QString::fromLatin1(pattern)));
  return it->match(name).hasMatch();
}

ConfigSchema::Rule MakeRule(const Field& field) {
  ConfigSchema::Rule rule;
  rule.field = &field;
  rule.group = FieldLabels::Of(field).group;
  const QString name = rule.Name();
  if (field.kind == FieldKind::Text || field.kind == FieldKind::SerialNumber) {
    rule.kind = ConfigSchema::ValueKind::Text;
  } else {
    rule.minimum = field.minimum;
    rule.maximum = field.maximum;
  }
  for (const ChoiceSet& set : kChoiceSets) {
    if (!Matches(set.pattern, name)) continue;
    rule.kind = ConfigSchema::ValueKind::Choice;
    for (const ChoiceEntry& e : set.entries) {
      const bool others = e.value < 0;
      rule.choices.push_back({static_cast<uint32_t>(others ? set.written : e.value),
                              QString::fromUtf8(e.key), QString::fromUtf8(e.english),
                              QString::fromUtf8(e.chinese), others});
    }
  }
  for (const RangeEntry& r : kRanges) {
    if (!Matches(r.pattern, name)) continue;
    rule.minimum = r.minimum;
    rule.maximum = r.maximum;
  }
  for (const NoteEntry& n : kNotes)
    if (name == QLatin1String(n.name)) rule.note = QString::fromUtf8(n.note);
  return rule;
}

uint16_t WordOf(const ParameterImage& image, const Field& field) {
  Field word = field;
  word.kind = FieldKind::Word;
  return static_cast<uint16_t>(FieldTable::RawValue(image, word));
}

}  // namespace

QString ConfigSchema::Rule::Name() const { return QString::fromLatin1(field->name); }

const ConfigSchema::Choice* ConfigSchema::Rule::ChoiceOf(uint32_t stored) const {
  const Choice* other = nullptr;
  for (const Choice& c : choices) {
    if (c.others)
      other = &c;
    else if (c.value == stored)
      return &c;
  }
  return other;
}

const QList<ConfigSchema::Rule>& ConfigSchema::Rules() {
  static const QList<Rule> rules = [] {
    QList<Rule> out;
    for (const Field& field : FieldTable::Fields()) out.push_back(MakeRule(field));
    return out;
  }();
  return rules;
}

const ConfigSchema::Rule* ConfigSchema::Find(const QString& name) {
  static const QHash<QString, int> index = [] {
    QHash<QString, int> out;
    for (int i = 0; i < Rules().size(); ++i) out.insert(Rules()[i].Name(), i);
    return out;
  }();
  const auto it = index.constFind(name);
  return it == index.constEnd() ? nullptr : &Rules()[*it];
}

bool ConfigSchema::Technician(const Rule& rule) {
  return rule.group != FieldGroup::Unshown && rule.group != FieldGroup::Service;
}

QList<FieldGroup> ConfigSchema::Groups() {
  return {FieldGroup::SerialPorts, FieldGroup::Communication, FieldGroup::Analog,
          FieldGroup::Digital,     FieldGroup::Cloud,         FieldGroup::ReportVariables,
          FieldGroup::Service,     FieldGroup::Unshown};
}

QString ConfigSchema::GroupKey(FieldGroup group) {
  switch (group) {
    case FieldGroup::SerialPorts:
      return QStringLiteral("serial_ports");
    case FieldGroup::Communication:
      return QStringLiteral("communication");
    case FieldGroup::Analog:
      return QStringLiteral("analog");
    case FieldGroup::Digital:
      return QStringLiteral("digital");
    case FieldGroup::Cloud:
      return QStringLiteral("cloud");
    case FieldGroup::ReportVariables:
      return QStringLiteral("report_variables");
    case FieldGroup::Service:
      return QStringLiteral("service");
    case FieldGroup::Unshown:
      break;
  }
  return QStringLiteral("carried");
}

bool ConfigSchema::GroupOfKey(const QString& key, FieldGroup* group) {
  for (FieldGroup g : Groups()) {
    if (GroupKey(g) != key) continue;
    *group = g;
    return true;
  }
  return false;
}

uint32_t ConfigSchema::StorageMaximum(const Field& field) {
  switch (field.kind) {
    case FieldKind::Word:
    case FieldKind::SignedMagnitude:
      return 0xFFFF;
    case FieldKind::Bits:
      return (1u << field.bitCount) - 1;
    case FieldKind::Byte:
      return 0xFF;
    case FieldKind::Text:
    case FieldKind::SerialNumber:
      break;
  }
  return 0;
}

uint32_t ConfigSchema::Stored(const ParameterImage& image, const Field& field) {
  if (field.kind == FieldKind::SignedMagnitude) return WordOf(image, field);
  return static_cast<uint32_t>(FieldTable::RawValue(image, field));
}

void ConfigSchema::Store(ParameterImage& image, const Field& field, uint32_t stored) {
  Field target = field;
  if (field.kind == FieldKind::SignedMagnitude) target.kind = FieldKind::Word;
  FieldTable::StoreRaw(image, target, static_cast<int>(stored & StorageMaximum(field)));
}

int64_t ConfigSchema::Signed(const Field& field, uint32_t stored) {
  if (field.kind != FieldKind::SignedMagnitude) return stored;
  const int64_t magnitude = stored & 0x7FFF;
  return (stored & 0x8000) ? -magnitude : magnitude;
}

QString ConfigSchema::ScaledText(const Field& field, int64_t value) {
  return FieldTable::DecimalText(value * field.multiplier, field.divisor);
}

QString ConfigSchema::NumberText(const Field& field, uint32_t stored) {
  if (field.kind == FieldKind::SignedMagnitude && (stored & 0x8000))
    return QLatin1Char('-') + ScaledText(field, stored & 0x7FFF);  // "-0" too
  return ScaledText(field, Signed(field, stored));
}

QString ConfigSchema::Values(const Rule& rule) {
  const Field& field = *rule.field;
  if (field.kind == FieldKind::SerialNumber)
    return QStringLiteral("printable ASCII, at most %1 characters").arg(field.length);
  if (rule.kind == ValueKind::Text)
    return QStringLiteral("text, at most %1 bytes").arg(field.length);
  if (rule.kind == ValueKind::Number) {
    QString range =
        ScaledText(field, rule.minimum) + QStringLiteral(" to ") + ScaledText(field, rule.maximum);
    if (field.multiplier > 1) range += QStringLiteral(", in steps of %1").arg(field.multiplier);
    return range;
  }
  QStringList items;
  for (const Choice& c : rule.choices) {
    QString item = c.key;
    QStringList captions;
    for (const QString& caption : {c.chinese, c.english})
      if (caption != c.key && !captions.contains(caption)) captions << caption;
    if (!captions.isEmpty())
      item += QStringLiteral(" (%1)").arg(captions.join(QStringLiteral(" / ")));
    items << item;
  }
  return items.join(QStringLiteral(", "));
}

QString ConfigSchema::Captions(const Rule& rule) {
  const FieldLabel label = FieldLabels::Of(*rule.field);
  return label.chinese == label.english ? label.english
                                        : label.chinese + QStringLiteral(" / ") + label.english;
}
