#include "text/ValueCheck.h"

#include "image/FieldTable.h"
#include "image/TextCodec.h"
#include "text/HexRuns.h"

#include <QDate>
#include <QRegularExpression>

namespace {

using Rule = ConfigSchema::Rule;
using ValueKind = ConfigSchema::ValueKind;

constexpr int kMaxDigits = 15;   ///< more digits than any field holds: out of range
constexpr int kMaxDecimals = 9;  ///< more decimals than any field's scaling has

/// "a number" / "数字" for what a field takes.
QStringList Wants(const Rule& rule) {
  switch (rule.kind) {
    case ValueKind::Number:
      return {QStringLiteral("a number"), QStringLiteral("数字")};
    case ValueKind::Choice:
      return {QStringLiteral("one of its choices"), QStringLiteral("可选值之一")};
    case ValueKind::Text:
      break;
  }
  return {QStringLiteral("a text"), QStringLiteral("文本")};
}

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

bool WrongShape(const Rule& rule, const ScalarValue& v, QList<ConfigError>* errors) {
  QStringList found;
  if (v.shape == QLatin1String("map"))
    found = QStringList{QStringLiteral("a map"), QStringLiteral("映射")};
  else if (v.shape == QLatin1String("list"))
    found = QStringList{QStringLiteral("a list"), QStringLiteral("列表")};
  else if (v.missing)
    found = QStringList{QStringLiteral("an empty value"), QStringLiteral("空值")};
  else if (v.quoted && rule.kind == ValueKind::Number && v.tag.isEmpty())
    found = QStringList{QStringLiteral("a text in quotes"), QStringLiteral("带引号的文本")};
  if (found.isEmpty()) return false;
  const QStringList wants = Wants(rule);
  errors->push_back(ValueCheck::Error(v, rule.Name(),
                                      QStringLiteral("takes %1, not %2").arg(wants[0], found[0]),
                                      QStringLiteral("应为%1，而不是%2").arg(wants[1], found[1])));
  return true;
}

bool RangeError(const Rule& rule, const ScalarValue& v, QList<ConfigError>* errors) {
  const QString low = ConfigSchema::ScaledText(*rule.field, rule.minimum);
  const QString high = ConfigSchema::ScaledText(*rule.field, rule.maximum);
  errors->push_back(ValueCheck::Error(
      v, rule.Name(), QStringLiteral("%1 is out of range (%2 to %3)").arg(v.text, low, high),
      QStringLiteral("%1 超出范围（%2 到 %3）").arg(v.text, low, high)));
  return false;
}

/// A number in display units to stored bits: exact or refused.
bool CheckNumber(const Rule& rule, const ScalarValue& v, Assignment* out,
                 QList<ConfigError>* errors) {
  static const QRegularExpression number(QStringLiteral("^([+-]?)(\\d+)(?:\\.(\\d+))?$"));
  const QRegularExpressionMatch m = number.match(v.text);
  if (!m.hasMatch()) {
    errors->push_back(ValueCheck::Error(v, rule.Name(),
                                        QStringLiteral("%1 is not a number").arg(v.text),
                                        QStringLiteral("%1 不是数字").arg(v.text)));
    return false;
  }
  const Field& field = *rule.field;
  const bool negative = m.captured(1) == QLatin1String("-");
  QString fraction = m.captured(3);
  while (fraction.endsWith(QLatin1Char('0'))) fraction.chop(1);
  QString digits = m.captured(2) + fraction;
  while (digits.size() > 1 && digits.startsWith(QLatin1Char('0'))) digits.remove(0, 1);
  if (digits.size() > kMaxDigits) return RangeError(rule, v, errors);
  // No field has more decimals than kMaxDecimals: more are never exact.
  const bool tooFine = fraction.size() > kMaxDecimals;
  int64_t scale = 1;
  for (qsizetype k = 0; k < fraction.size() && !tooFine; ++k) scale *= 10;
  // display = stored x multiplier / divisor, so stored = digits x divisor / (scale x multiplier).
  const int64_t numerator = digits.toLongLong() * field.divisor;
  const int64_t denominator = scale * field.multiplier;
  if (tooFine || numerator % denominator != 0) {
    if (field.multiplier > 1) {
      errors->push_back(ValueCheck::Error(
          v, rule.Name(),
          QStringLiteral("%1 is not a multiple of %2").arg(v.text).arg(field.multiplier),
          QStringLiteral("%1 不是 %2 的整数倍").arg(v.text).arg(field.multiplier)));
    } else if (field.divisor == 1) {
      errors->push_back(ValueCheck::Error(v, rule.Name(),
                                          QStringLiteral("%1 is not a whole number").arg(v.text),
                                          QStringLiteral("%1 不是整数").arg(v.text)));
    } else {
      const int decimals = static_cast<int>(QString::number(field.divisor).size()) - 1;
      errors->push_back(ValueCheck::Error(
          v, rule.Name(), QStringLiteral("%1 has more than %2 decimals").arg(v.text).arg(decimals),
          QStringLiteral("%1 的小数超过 %2 位").arg(v.text).arg(decimals)));
    }
    return false;
  }
  const int64_t magnitude = numerator / denominator;
  const int64_t value = negative ? -magnitude : magnitude;
  if (value < rule.minimum || value > rule.maximum) return RangeError(rule, v, errors);
  if (field.kind == FieldKind::SignedMagnitude)
    out->stored = static_cast<uint32_t>(magnitude) | (negative ? 0x8000u : 0u);  // "-0" too
  else
    out->stored = static_cast<uint32_t>(value);
  return true;
}

QString ChoiceList(const Rule& rule, bool english) {
  QStringList items;
  for (const ConfigSchema::Choice& c : rule.choices) {
    const QString number =
        c.others ? (english ? QStringLiteral("other numbers") : QStringLiteral("其他数字"))
                 : QString::number(c.value);
    items << QStringLiteral("%1 (%2)").arg(c.key, number);
  }
  return items.join(QStringLiteral(", "));
}

bool CheckChoice(const Rule& rule, const ScalarValue& v, Assignment* out,
                 QList<ConfigError>* errors) {
  for (const ConfigSchema::Choice& c : rule.choices) {
    for (const QString& name : {c.key, c.english, c.chinese}) {
      if (v.text.compare(name, Qt::CaseInsensitive) != 0) continue;
      out->stored = c.value;
      return true;
    }
  }
  static const QRegularExpression whole(QStringLiteral("^\\d{1,6}$"));
  if (!v.quoted && whole.match(v.text).hasMatch()) {
    const uint32_t n = v.text.toUInt();
    const ConfigSchema::Choice* c = rule.ChoiceOf(n);
    if (c != nullptr && n <= ConfigSchema::StorageMaximum(*rule.field)) {
      out->stored = n;
      return true;
    }
  }
  errors->push_back(ValueCheck::Error(
      v, rule.Name(), QStringLiteral("%1 is not one of %2").arg(v.text, ChoiceList(rule, true)),
      QStringLiteral("%1 不在可选值中：%2").arg(v.text, ChoiceList(rule, false))));
  return false;
}

bool CheckText(const Rule& rule, const ScalarValue& v, int longestSerial, Assignment* out,
               QList<ConfigError>* errors) {
  const QString placeholder = QString::fromLatin1(ValueCheck::kSerialPlaceholder);
  QString text = v.text;
  const bool serial = text.contains(placeholder);
  if (serial && longestSerial < 0) {
    errors->push_back(ValueCheck::Error(
        v, rule.Name(), QStringLiteral("%1 is replaced only when provisioning").arg(placeholder),
        QStringLiteral("%1 只在生产烧录时替换").arg(placeholder)));
    return false;
  }
  // The longest number the counter gives, in ASCII digits and letters: one byte each.
  if (serial) text.replace(placeholder, QString(longestSerial, QLatin1Char('0')));
  QStringList problem = ValueCheck::TextProblem(rule, text);
  if (!problem.isEmpty()) {
    if (serial) {
      problem[0] +=
          QStringLiteral(" (with the longest serial number, %1 characters)").arg(longestSerial);
      problem[1] += QStringLiteral("（按最长的序列号 %1 个字符计）").arg(longestSerial);
    }
    errors->push_back(ValueCheck::Error(v, rule.Name(), problem[0], problem[1]));
    return false;
  }
  out->text = v.text;
  return true;
}

bool CheckRaw(const Rule& rule, const ScalarValue& v, Assignment* out, QList<ConfigError>* errors) {
  const Field& field = *rule.field;
  out->raw = true;
  if (rule.kind == ValueKind::Text) {
    if (HexRuns::Decode(v.text, field.length, &out->bytes) && out->bytes.size() == field.length)
      return true;
    errors->push_back(ValueCheck::Error(
        v, rule.Name(), QStringLiteral("!raw takes %1 bytes in hexadecimal").arg(field.length),
        QStringLiteral("!raw 应为 %1 个十六进制字节").arg(field.length)));
    return false;
  }
  static const QRegularExpression whole(QStringLiteral("^\\d{1,6}$"));
  const uint32_t maximum = ConfigSchema::StorageMaximum(field);
  if (!v.quoted && whole.match(v.text).hasMatch() && v.text.toUInt() <= maximum) {
    out->stored = v.text.toUInt();
    return true;
  }
  errors->push_back(ValueCheck::Error(
      v, rule.Name(), QStringLiteral("!raw takes a whole number 0 to %1").arg(maximum),
      QStringLiteral("!raw 应为 0 到 %1 的整数").arg(maximum)));
  return false;
}

}  // namespace

ConfigError ValueCheck::Error(const ScalarValue& at, const QString& name, const QString& english,
                              const QString& chinese) {
  ConfigError e;
  e.line = at.line;
  e.column = at.column;
  e.english = name.isEmpty() ? english : QStringLiteral("`%1`: %2").arg(name, english);
  e.chinese = name.isEmpty() ? chinese : QStringLiteral("`%1`：%2").arg(name, chinese);
  return e;
}

QStringList ValueCheck::TextProblem(const Rule& rule, const QString& text) {
  const Field& field = *rule.field;
  const bool ascii = field.kind == FieldKind::SerialNumber;
  for (const QChar ch : text) {
    const char16_t c = ch.unicode();
    if (ch == QChar::ReplacementCharacter)  // what reading bytes that are no UTF-8 gives
      return {QStringLiteral("holds bytes that are not UTF-8 (save the file as UTF-8)"),
              QStringLiteral("含有非 UTF-8 的字节（请以 UTF-8 保存文件）")};
    const bool control = c < 32 || c == 127;
    if (control || (ascii && c > 126) ||
        (!ascii && c > 127 && TextCodec::FromGbk(TextCodec::ToGbk(QString(ch))) != QString(ch)) ||
        ch.isSurrogate()) {
      const QString shown =
          control ? QStringLiteral("U+%1").arg(c, 4, 16, QLatin1Char('0')) : Quoted(QString(ch));
      return {QStringLiteral("the character %1 cannot be stored%2")
                  .arg(shown, ascii ? QStringLiteral(" (printable ASCII only)") : QString()),
              QStringLiteral("字符 %1 无法存储%2")
                  .arg(shown, ascii ? QStringLiteral("（只能是可打印 ASCII）") : QString())};
    }
  }
  const qsizetype bytes = ascii ? text.size() : TextCodec::ToGbk(text).size();
  if (bytes > field.length)
    return {QStringLiteral("%1 bytes in GBK, the field holds %2").arg(bytes).arg(field.length),
            QStringLiteral("GBK 编码为 %1 字节，字段只能存 %2 字节").arg(bytes).arg(field.length)};
  const QString name = rule.Name();
  static const QRegularExpression port(QStringLiteral("^\\d{0,5}$"));
  if (name == QLatin1String("mqtt_port") && !port.match(text).hasMatch())
    return {QStringLiteral("%1 is not a port number (digits, at most 5)").arg(Quoted(text)),
            QStringLiteral("%1 不是端口号（最多 5 位数字）").arg(Quoted(text))};
  if (name == QLatin1String("install_date") && !text.isEmpty() &&
      !QDate::fromString(text, QStringLiteral("yyyy-MM-dd")).isValid())
    return {QStringLiteral("%1 is not a date (YYYY-MM-DD)").arg(Quoted(text)),
            QStringLiteral("%1 不是日期（YYYY-MM-DD）").arg(Quoted(text))};
  return {};
}

bool ValueCheck::Check(const Rule& rule, const ScalarValue& value, int longestSerial,
                       Assignment* out, QList<ConfigError>* errors) {
  *out = Assignment{};
  out->field = rule.field;
  out->line = value.line;
  out->column = value.column;
  if (WrongShape(rule, value, errors)) return false;
  if (value.tag == QLatin1String("!raw")) return CheckRaw(rule, value, out, errors);
  if (!value.tag.isEmpty()) {
    errors->push_back(Error(value, rule.Name(),
                            QStringLiteral("unknown tag %1 (only !raw)").arg(value.tag),
                            QStringLiteral("未知标记 %1（只有 !raw）").arg(value.tag)));
    return false;
  }
  switch (rule.kind) {
    case ValueKind::Number:
      return CheckNumber(rule, value, out, errors);
    case ValueKind::Choice:
      return CheckChoice(rule, value, out, errors);
    case ValueKind::Text:
      break;
  }
  return CheckText(rule, value, longestSerial, out, errors);
}
