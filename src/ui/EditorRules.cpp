#include "ui/EditorRules.h"

#include <cmath>
#include <limits>

namespace EditorRules {

namespace {

/// The digits of a text's leading decimal number.
struct Decimal {
  bool negative = false;
  QString whole;     ///< digits before the point
  QString fraction;  ///< digits after the point
};

bool IsDigit(QChar ch) { return ch >= QChar('0') && ch <= QChar('9'); }

Decimal ParseLeading(const QString& text) {
  Decimal d;
  int i = 0;
  const int n = static_cast<int>(text.size());
  while (i < n && text.at(i).isSpace()) ++i;
  if (i < n && (text.at(i) == QChar('-') || text.at(i) == QChar('+'))) {
    d.negative = text.at(i) == QChar('-');
    ++i;
  }
  while (i < n && IsDigit(text.at(i))) d.whole.append(text.at(i++));
  if (i < n && text.at(i) == QChar('.')) {
    ++i;
    while (i < n && IsDigit(text.at(i))) d.fraction.append(text.at(i++));
  }
  // Leading zeros carry no value and would only lengthen the arithmetic.
  int zeros = 0;
  while (zeros < d.whole.size() && d.whole.at(zeros) == QChar('0')) ++zeros;
  d.whole.remove(0, zeros);
  return d;
}

uint16_t ClampWord(double value) {
  if (!(value > 0)) return 0;  // negative, zero (and never NaN)
  if (value >= 65535) return 65535;
  return static_cast<uint16_t>(std::nearbyint(value));  // halves to even
}

}  // namespace

double LeadingNumber(const QString& text) {
  const Decimal d = ParseLeading(text);
  if (d.whole.isEmpty() && d.fraction.isEmpty()) return 0;
  const QString plain = (d.whole.isEmpty() ? QStringLiteral("0") : d.whole) + QChar('.') +
                        (d.fraction.isEmpty() ? QStringLiteral("0") : d.fraction);
  bool ok = false;
  double value = plain.toDouble(&ok);
  if (!ok || std::isinf(value)) value = std::numeric_limits<double>::infinity();
  return d.negative ? -value : value;
}

int64_t ScaledRound(const QString& text, int decimals) {
  const Decimal d = ParseLeading(text);
  constexpr int64_t kCap = 1000000000000000LL;  // far beyond any limit of the editors
  if (d.whole.size() + decimals > 15) return d.negative ? -kCap : kCap;
  int64_t result = 0;
  for (const QChar ch : d.whole) result = result * 10 + (ch.unicode() - '0');
  for (int k = 0; k < decimals; ++k) {
    const int digit = k < d.fraction.size() ? d.fraction.at(k).unicode() - '0' : 0;
    result = result * 10 + digit;
  }
  // The digits beyond the kept ones decide: above half up, below half down,
  // exactly half to the even neighbour.
  const QString rest = d.fraction.mid(decimals);
  if (!rest.isEmpty()) {
    const QChar first = rest.at(0);
    bool restNonZero = false;
    for (int k = 1; k < rest.size(); ++k) restNonZero |= rest.at(k) != QChar('0');
    if (first > QChar('5') || (first == QChar('5') && (restNonZero || result % 2 != 0))) ++result;
  }
  return d.negative ? -result : result;
}

QString ScaledText(int64_t value, int decimals) {
  int64_t divisor = 1;
  for (int k = 0; k < decimals; ++k) divisor *= 10;
  const bool negative = value < 0;
  const uint64_t magnitude =
      negative ? static_cast<uint64_t>(-(value + 1)) + 1 : static_cast<uint64_t>(value);
  QString text = QString::number(magnitude / static_cast<uint64_t>(divisor));
  if (decimals > 0) {
    QString fraction =
        QString::number(magnitude % static_cast<uint64_t>(divisor)).rightJustified(decimals, '0');
    while (!fraction.isEmpty() && fraction.endsWith(QChar('0'))) fraction.chop(1);
    if (!fraction.isEmpty()) text += QChar('.') + fraction;
  }
  return negative ? QChar('-') + text : text;
}

const NumberRule kDeviceAddr{"1", "1", 255, "255"};
const NumberRule kUartLostTime{"10", "1", 255, "255"};
const NumberRule kUartPackageSize{"200", "1", 255, "255"};
const NumberRule kCycle{"6", nullptr, 8640, "8640"};
const NumberRule kSavePeriod{"10", nullptr, 65535, "65535"};
const NumberRule kDinFilter{"5", nullptr, 4095, "5"};
const NumberRule kAdjustVol{"0", nullptr, 255, "255"};

Replaced ApplyNumberRule(const NumberRule& rule, const QString& text) {
  QString shown = text;
  if (text.isEmpty()) {
    shown = QString::fromLatin1(rule.emptyText);
  } else {
    const double value = LeadingNumber(text);
    if (rule.zeroText && value == 0)
      shown = QString::fromLatin1(rule.zeroText);
    else if (value > rule.maximum)
      shown = QString::fromLatin1(rule.overText);
  }
  return {shown, ClampWord(LeadingNumber(shown))};
}

Replaced CloseFullScale(const QString& text) {
  if (text.isEmpty()) return {QStringLiteral("20"), 20};
  const double value = LeadingNumber(text);
  if (value > 65535) return {QStringLiteral("65535"), 65535};
  const uint16_t word = ClampWord(value);
  bool digitsOnly = true;
  for (const QChar ch : text) digitsOnly &= IsDigit(ch);
  // Typed digits stay as they are; anything else (pasted) shows its number.
  return {digitsOnly ? text : QString::number(word), word};
}

Replaced CloseOffset(const QString& text) {
  QString shown = text.isEmpty() ? QStringLiteral("0") : text;
  const double value = LeadingNumber(shown);
  if (value > 30) shown = QStringLiteral("30");
  if (value < -30) shown = QStringLiteral("-30");
  const int64_t thousandths = ScaledRound(shown, 3);
  const uint16_t stored = thousandths >= 0 ? static_cast<uint16_t>(thousandths)
                                           : static_cast<uint16_t>(32768 - thousandths);
  return {ScaledText(thousandths, 3), stored};
}

Replaced CloseMultiplier(const QString& text) {
  QString shown = text.isEmpty() ? QStringLiteral("1") : text;
  const double value = LeadingNumber(shown);
  if (value > 500) shown = QStringLiteral("500");
  if (value < 0) shown = QStringLiteral("0");
  const int64_t hundredths = ScaledRound(shown, 2);
  return {ScaledText(hundredths, 2), static_cast<uint16_t>(hundredths)};
}

QString OffsetText(uint16_t word) {
  const QString magnitude = ScaledText(word & 0x7FFF, 3);
  return (word & 0x8000) ? QChar('-') + magnitude : magnitude;
}

uint16_t WithDirection(uint16_t word, int pin, bool input) {
  const uint16_t bit = static_cast<uint16_t>(32u << pin);
  return input ? static_cast<uint16_t>(word | bit) : static_cast<uint16_t>(word & ~bit);
}

uint16_t WithDinFilter(uint16_t word, uint16_t filter) {
  return static_cast<uint16_t>((word & 0xF000) | (filter & 0x0FFF));
}

RepeatWords RepeatFromIndex(int index) {
  if (index <= 0) return {0, 1};
  return {1, static_cast<uint16_t>(index - 1)};
}

uint16_t BaudWord(const QString& text) { return ClampWord(LeadingNumber(text) / 100); }

uint16_t ParityWord(const QString& text) {
  if (text == QLatin1String("E")) return 1;
  if (text == QLatin1String("O")) return 2;
  return 0;
}

uint16_t DataBitsWord(const QString& text) { return text == QLatin1String("8") ? 8 : 7; }

uint16_t StopBitsWord(const QString& text) {
  if (text == QLatin1String("2")) return 2;
  if (text == QLatin1String("1.5")) return 3;
  return 1;
}

}  // namespace EditorRules
