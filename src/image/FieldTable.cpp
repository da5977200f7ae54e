#include "image/FieldTable.h"

#include "image/ParameterImage.h"

#include <QStringList>

#include <cstdlib>

namespace {

constexpr int kWordMax = 65535;
constexpr uint16_t kSignBit = 0x8000;
constexpr uint16_t kMagnitude = 0x7FFF;

Field Make(const char* name, FieldKind kind, int byte, int length, const char* description) {
  return Field{name, kind, byte, length, 0, 16, 1, 1, false, 0, 0, kWordMax, nullptr, description};
}

/// Option word `word` with its default and display range.
Field OptionWord(const char* name, int word, int def, int minimum, int maximum,
                 const char* description, const char* choices = nullptr) {
  Field f = Make(name, FieldKind::Word, 2 * word, 2, description);
  f.hasDefault = true;
  f.defaultValue = def;
  f.minimum = minimum;
  f.maximum = maximum;
  f.choices = choices;
  return f;
}

Field OptionBits(const char* name, int word, int shift, int count, int def,
                 const char* description) {
  Field f = OptionWord(name, word, def, 0, (1 << count) - 1, description);
  f.kind = FieldKind::Bits;
  f.bitShift = shift;
  f.bitCount = count;
  return f;
}

Field OptionByte(const char* name, int byte, const char* description,
                 const char* choices = nullptr) {
  Field f = Make(name, FieldKind::Byte, byte, 1, description);
  f.maximum = 255;
  f.choices = choices;
  return f;
}

Field ExtWord(const char* name, int offset, const char* description, const char* choices = nullptr,
              int minimum = 0, int maximum = kWordMax) {
  Field f = Make(name, FieldKind::Word, ParameterImage::kExtendedBase + offset, 2, description);
  f.choices = choices;
  f.minimum = minimum;
  f.maximum = maximum;
  return f;
}

Field ExtText(const char* name, int offset, int length, const char* description) {
  return Make(name, FieldKind::Text, ParameterImage::kExtendedBase + offset, length, description);
}

Field Scaled(Field f, int multiplier, int divisor) {
  f.multiplier = multiplier;
  f.divisor = divisor;
  return f;
}

// Names that outlive the table (it keeps plain pointers).
const char* Keep(const QString& text) {
  static std::vector<QByteArray> store;
  store.push_back(text.toLatin1());
  return store.back().constData();
}

void AddPort(std::vector<Field>& t, const char* port, int first, const char* which) {
  const QString p = QString::fromLatin1(port);
  const QString w = QString::fromLatin1(which);
  t.push_back(Scaled(OptionWord(Keep(p + "_baud"), first, 96, 12, 1280,
                                Keep(w + " port baud rate, stored as baud / 100")),
                     100, 1));
  t.push_back(
      OptionWord(Keep(p + "_parity"), first + 1, 0, 0, 2, Keep(w + " port parity"), "N|E|O"));
  t.push_back(OptionWord(Keep(p + "_stop_bits"), first + 2, 1, 1, 3,
                         Keep(w + " port stop bits (3 stands for 1.5)")));
  t.push_back(OptionWord(Keep(p + "_data_bits"), first + 3, 8, 7, 8, Keep(w + " port data bits")));
}

void AddAdcColumn(std::vector<Field>& t, const char* what, int first, int def, const Field& model) {
  for (int k = 0; k < 9; ++k) {
    Field f = model;
    f.name = Keep(QStringLiteral("adc%1_%2").arg(k + 1).arg(QLatin1String(what)));
    f.byte = 2 * (first + k);
    f.defaultValue = def;
    f.description = Keep(QStringLiteral("%1, channel %2%3")
                             .arg(QLatin1String(model.description))
                             .arg(k + 1)
                             .arg(k == 8 ? QStringLiteral(" (not shown)") : QString()));
    t.push_back(f);
  }
}

std::vector<Field> BuildTable() {
  std::vector<Field> t;
  t.push_back(OptionWord("device_address", 0, 1, 1, 255, "Device address"));
  t.push_back(OptionWord("word1", 1, 1, 0, kWordMax, "Not shown, carried unchanged"));
  t.push_back(OptionWord("production_year", 2, 2019, 0, kWordMax, "Production year"));
  t.push_back(OptionWord("production_month", 3, 1, 0, kWordMax, "Production month"));
  t.push_back(OptionWord("production_day", 4, 1, 0, kWordMax, "Production day"));
  AddPort(t, "ttl", 5, "TTL");
  AddPort(t, "rs485", 9, "RS-485");
  t.push_back(OptionWord("word13", 13, 100, 0, kWordMax, "Not shown, carried unchanged"));
  t.push_back(OptionWord("lora_channel", 14, 1, 0, 99, "LoRa channel, index of the channel list"));
  t.push_back(OptionWord("lora_air_rate", 15, 10, 5, 12, "LoRa air rate code",
                         "5:62.5Kbps|6:31.3Kbps|7:15.6Kbps|8:7.84Kbps|9:3.92Kbps|10:1.92Kbps|"
                         "11:0.96Kbps|12:0.48Kbps"));
  t.push_back(OptionWord("word16", 16, 1, 0, kWordMax, "Not shown, carried unchanged"));
  t.push_back(OptionWord("word17", 17, 5, 0, kWordMax, "Not shown, carried unchanged"));
  t.push_back(OptionWord("lora_tx_power", 18, 22, 0, 22, "LoRa transmit power, dBm"));
  t.push_back(
      OptionWord("repeat_enable", 19, 1, 0, kWordMax, "LoRa repeat", "0:No repeat|*:Repeat"));
  t.push_back(OptionWord("repeat_target", 20, 0, 0, kWordMax, "LoRa repeat target",
                         "0:To 485|*:To Gateway"));
  t.push_back(OptionWord("adc_type", 21, 0, 0, 2, "ADC type of all channels",
                         "Voltage|Current|UserDefined"));

  Field offset = OptionWord("", 0, 0, -32767, 32767, "ADC offset, thousandths");
  offset.kind = FieldKind::SignedMagnitude;
  offset.divisor = 1000;
  AddAdcColumn(t, "offset", 22, 0, offset);
  AddAdcColumn(t, "full_scale", 31, 10, OptionWord("", 0, 0, 0, kWordMax, "ADC full scale"));
  AddAdcColumn(t, "multiplier", 40, 100,
               Scaled(OptionWord("", 0, 0, 0, kWordMax, "ADC multiplier, hundredths"), 1, 100));
  AddAdcColumn(t, "kind", 49, 1,
               OptionWord("", 0, 0, 0, kWordMax, "ADC channel kind", "0:Voltage|*:Current"));

  t.push_back(OptionWord("uart_timeout_ms", 58, 20, 1, 255, "Serial time-out, milliseconds"));
  t.push_back(OptionWord("uart_max_frame", 59, 200, 1, 255, "Maximum frame length"));
  t.push_back(OptionBits("pin_directions", 60, 5, 5, 0,
                         "Digital pins 1 to 5, bit set = input (DI), clear = output (DO)"));
  t.push_back(OptionWord("watchdog_reset_cycle", 61, 366, 0, 8640,
                         "Watchdog reset cycle, 0 = watchdog off"));
  t.push_back(OptionWord("watchdog_idle_cycle", 62, 6, 1, 8640, "Watchdog idle cycle"));
  t.push_back(OptionWord("log_level", 63, 0, 0, 4, "Log level", "Off|ERROR|WARNING|INFO|DEBUG"));
  t.push_back(OptionWord("log_port", 64, 0, 0, 3, "Log port", "None|TTL|Real|Debug"));
  t.push_back(OptionWord("word65", 65, 0, 0, kWordMax, "Not shown, carried unchanged"));
  t.push_back(OptionWord("word66", 66, 0, 0, kWordMax, "Not shown, carried unchanged"));
  t.push_back(OptionBits("din_filter_ms", 67, 0, 12, 5, "Input debounce time, milliseconds"));
  t.push_back(OptionBits("capture_edges", 67, 12, 4, 15,
                         "Rising-edge counting of DIN1 to DIN4, one bit each"));
  t.push_back(OptionWord("save_period_s", 68, 10, 0, kWordMax, "Acquisition save period, seconds"));

  t.push_back(OptionByte("adjust", ParameterImage::kAdjustByte, "Adjust value (adjust mode only)"));
  t.push_back(
      OptionByte("firmware_minor", ParameterImage::kIdentityByte, "Firmware minor version"));
  t.push_back(OptionByte("firmware_major", ParameterImage::kIdentityByte + 1,
                         "Firmware major version, high nibble = radio band"));
  t.push_back(OptionByte("byte1026", ParameterImage::kIdentityByte + 2, "Not used by the tool"));
  t.push_back(OptionByte("hardware_variant", ParameterImage::kIdentityByte + 3, "Hardware variant",
                         "2:Kestrel|3:Plover|4:Merlin|*:Kestrel_Old"));
  t.push_back(Make("serial_number", FieldKind::SerialNumber, ParameterImage::kSerialNumberByte,
                   ParameterImage::kSerialNumberLength, "Production serial number"));

  t.push_back(ExtWord("lte_enable", 0, "LTE module", "0:Off|*:On"));
  t.push_back(ExtWord("clock_source", 2, "Clock source", "0:LTE Module|*:MQTT Service"));
  t.push_back(ExtText("apn", 4, 16, "LTE access point name"));
  t.push_back(ExtText("device_name", 20, 50, "Device name"));
  t.push_back(ExtText("device_sn", 70, 50, "Device serial number"));
  t.push_back(ExtText("install_address", 120, 50, "Install address"));
  t.push_back(ExtText("device_sort", 170, 10, "Device sort"));
  t.push_back(ExtText("install_date", 180, 10, "Install date, YYYY-MM-DD"));
  t.push_back(ExtText("mqtt_server", 190, 32, "MQTT server address"));
  t.push_back(ExtText("mqtt_port", 222, 6, "MQTT server port, decimal text"));
  t.push_back(ExtText("mqtt_user", 228, 16, "MQTT user name"));
  t.push_back(ExtText("mqtt_password", 244, 16, "MQTT password"));
  t.push_back(ExtWord("report_type", 260, "Report key type", "Function name|Variable name"));
  t.push_back(ExtText("mqtt_client_id", 262, 16, "MQTT client identifier"));
  t.push_back(ExtText("publish_topic", 278, 32, "Publish topic"));
  t.push_back(ExtText("subscribe_topic", 310, 32, "Subscribe topic"));
  t.push_back(ExtWord("mqtt_version", 342, "MQTT version", nullptr, 3, 4));
  t.push_back(ExtWord("report_period", 344, "Report period"));
  t.push_back(ExtWord("heartbeat_period", 346, "Heartbeat period"));
  t.push_back(ExtWord("qos", 348, "QoS level", nullptr, 0, 2));
  t.push_back(ExtWord("keep_alive", 350, "Keep-alive time"));
  t.push_back(ExtWord("ping_interval", 352, "Ping interval"));
  for (int k = 0; k < 26; ++k) {
    const QString point = k < 8    ? QStringLiteral("DO%1").arg(k)
                          : k < 16 ? QStringLiteral("DI%1").arg(k - 8)
                          : k < 24 ? QStringLiteral("AI%1").arg(k - 16)
                                   : QStringLiteral("AO%1").arg(k - 24);
    const int base = 354 + 32 * k;
    t.push_back(ExtWord(Keep("var_" + point + "_report"), base, Keep("Report switch of " + point),
                        "0:No|*:Yes"));
    t.push_back(
        ExtText(Keep("var_" + point + "_name"), base + 2, 30, Keep("Variable name of " + point)));
  }
  t.push_back(ExtWord("valid_marker", ParameterImage::kValidMarkerOffset,
                      "Extended block valid marker (43605 when valid)"));
  return t;
}

uint16_t WordAt(const ParameterImage& image, int byte) {
  return static_cast<uint16_t>(image.Byte(byte) | (image.Byte(byte + 1) << 8));
}

void PutWord(ParameterImage& image, int byte, uint16_t value) {
  image.SetByte(byte, static_cast<uint8_t>(value & 0xFF));
  image.SetByte(byte + 1, static_cast<uint8_t>(value >> 8));
}

bool IsNumeric(const Field& field) {
  return field.kind != FieldKind::Text && field.kind != FieldKind::SerialNumber;
}

}  // namespace

const std::vector<Field>& FieldTable::Fields() {
  static const std::vector<Field> table = BuildTable();
  return table;
}

const Field* FieldTable::Find(const QString& name) {
  for (const Field& f : Fields())
    if (name == QLatin1String(f.name)) return &f;
  return nullptr;
}

const Field& FieldTable::Named(const QString& name) {
  const Field* field = Find(name);
  if (field == nullptr) qFatal("No field named %s in the field table", qPrintable(name));
  return *field;
}

int FieldTable::ExtendedOffset(const Field& field) {
  return field.byte - ParameterImage::kExtendedBase;
}

int FieldTable::RawValue(const ParameterImage& image, const Field& field) {
  switch (field.kind) {
    case FieldKind::Word:
      return WordAt(image, field.byte);
    case FieldKind::SignedMagnitude: {
      const uint16_t v = WordAt(image, field.byte);
      const int magnitude = v & kMagnitude;
      return (v & kSignBit) ? -magnitude : magnitude;
    }
    case FieldKind::Bits:
      return (WordAt(image, field.byte) >> field.bitShift) & ((1 << field.bitCount) - 1);
    case FieldKind::Byte:
      return image.Byte(field.byte);
    case FieldKind::Text:
    case FieldKind::SerialNumber:
      break;
  }
  return 0;
}

void FieldTable::StoreRaw(ParameterImage& image, const Field& field, int value) {
  switch (field.kind) {
    case FieldKind::Word:
      PutWord(image, field.byte, static_cast<uint16_t>(value));
      break;
    case FieldKind::SignedMagnitude: {
      const uint16_t magnitude = static_cast<uint16_t>(std::min(std::abs(value), int{kMagnitude}));
      PutWord(image, field.byte,
              static_cast<uint16_t>(value < 0 ? (kSignBit | magnitude) : magnitude));
      break;
    }
    case FieldKind::Bits: {
      const uint16_t mask = static_cast<uint16_t>(((1 << field.bitCount) - 1) << field.bitShift);
      const uint16_t bits = static_cast<uint16_t>((value << field.bitShift) & mask);
      PutWord(image, field.byte, static_cast<uint16_t>((WordAt(image, field.byte) & ~mask) | bits));
      break;
    }
    case FieldKind::Byte:
      image.SetByte(field.byte, static_cast<uint8_t>(value));
      break;
    case FieldKind::Text:
    case FieldKind::SerialNumber:
      break;
  }
}

QString FieldTable::Text(const ParameterImage& image, const Field& field) {
  if (field.kind == FieldKind::Text)
    return image.ReadImageText(field.byte - ParameterImage::kExtendedBase, field.length);
  if (field.kind != FieldKind::SerialNumber) return QString();
  QString text;
  for (int i = 0; i < field.length; ++i) {
    const uint8_t b = image.Byte(field.byte + i);
    if (b < 32 || b > 126) break;
    text += QLatin1Char(static_cast<char>(b));
  }
  return text;
}

QString FieldTable::DisplayText(const ParameterImage& image, const Field& field) {
  if (!IsNumeric(field)) return Text(image, field);
  QString text;
  if (field.kind == FieldKind::SignedMagnitude) {
    // The sign bit shows even on a zero magnitude, as the display does.
    const uint16_t v = WordAt(image, field.byte);
    text = QString((v & kSignBit) ? "-" : "") +
           DecimalText(static_cast<long long>(v & kMagnitude) * field.multiplier, field.divisor);
  } else {
    text = DecimalText(static_cast<long long>(RawValue(image, field)) * field.multiplier,
                       field.divisor);
  }
  const QString name = ChoiceName(field, RawValue(image, field));
  return name.isEmpty() ? text : text + " (" + name + ")";
}

QJsonValue FieldTable::JsonValue(const ParameterImage& image, const Field& field) {
  if (!IsNumeric(field)) return Text(image, field);
  const long long scaled = static_cast<long long>(RawValue(image, field)) * field.multiplier;
  if (field.divisor == 1) return QJsonValue(static_cast<qint64>(scaled));
  return QJsonValue(static_cast<double>(scaled) / field.divisor);
}

bool FieldTable::InRange(const ParameterImage& image, const Field& field) {
  if (!IsNumeric(field)) return true;
  const int v = RawValue(image, field);
  return v >= field.minimum && v <= field.maximum;
}

QString FieldTable::ChoiceName(const Field& field, int value) {
  if (field.choices == nullptr) return QString();
  QString fallback;
  int next = 0;
  const QStringList items = QString::fromUtf8(field.choices).split(QLatin1Char('|'));
  for (const QString& item : items) {
    const int colon = item.indexOf(QLatin1Char(':'));
    int key = next;
    QString name = item;
    if (colon > 0) {
      name = item.mid(colon + 1);
      if (item.left(colon) == QLatin1String("*")) {
        fallback = name;
        continue;
      }
      key = item.left(colon).toInt();
    }
    if (key == value) return name;
    next = key + 1;
  }
  return fallback;
}

QString FieldTable::KindName(FieldKind kind) {
  switch (kind) {
    case FieldKind::Word:
      return QStringLiteral("word");
    case FieldKind::SignedMagnitude:
      return QStringLiteral("signed");
    case FieldKind::Bits:
      return QStringLiteral("bits");
    case FieldKind::Byte:
      return QStringLiteral("byte");
    case FieldKind::Text:
      return QStringLiteral("text");
    case FieldKind::SerialNumber:
      return QStringLiteral("serial");
  }
  return QString();
}

QString FieldTable::DecimalText(long long value, int divisor) {
  if (divisor <= 0) divisor = 1;
  const bool negative = value < 0;
  const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                : static_cast<unsigned long long>(value);
  const auto d = static_cast<unsigned long long>(divisor);
  QString text = QString::number(magnitude / d);
  unsigned long long rest = magnitude % d;
  if (rest != 0) {
    text += QLatin1Char('.');
    for (int digits = 0; rest != 0 && digits < 9; ++digits) {
      rest *= 10;
      text += QChar(static_cast<char16_t>(u'0' + rest / d));
      rest %= d;
    }
  }
  return negative ? QLatin1Char('-') + text : text;
}
