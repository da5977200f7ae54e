#include "production/SerialNumbers.h"

namespace {

bool Printable(QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; }

}  // namespace

bool SerialNumbers::IsValid(const QString& text) {
  if (text.isEmpty() || text.size() > kMaxLength) return false;
  for (QChar c : text)
    if (!Printable(c)) return false;
  return true;
}

bool SerialNumbers::Parse(const QString& text, Counter* counter, QString* error) {
  if (!IsValid(text)) {
    *error = QStringLiteral("\"%1\" is not a serial number: 1 to %2 printable ASCII characters")
                 .arg(text)
                 .arg(kMaxLength);
    return false;
  }
  int digits = 0;
  while (digits < text.size() && text.at(text.size() - 1 - digits).isDigit()) ++digits;
  if (digits == 0 || digits > kMaxWidth) {
    *error =
        QStringLiteral("\"%1\" must end in 1 to %2 digits that count up").arg(text).arg(kMaxWidth);
    return false;
  }
  counter->prefix = text.left(text.size() - digits);
  counter->width = digits;
  counter->value = text.right(digits).toLongLong();
  return true;
}

QString SerialNumbers::Format(const Counter& counter, int64_t value) {
  const QString digits = QString::number(value);
  if (value < 0 || digits.size() > counter.width) return QString();
  return counter.prefix + digits.rightJustified(counter.width, QLatin1Char('0'));
}
