#include "text/HexRuns.h"

#include <QStringList>

namespace {

constexpr int kRepeatFrom = 4;  ///< equal bytes written as one "hh*N"

int Digit(QChar ch) {
  const char16_t c = ch.toLower().unicode();
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

}  // namespace

QString HexRuns::Encode(const QByteArray& bytes) {
  QStringList tokens;
  for (qsizetype i = 0; i < bytes.size();) {
    qsizetype n = 1;
    while (i + n < bytes.size() && bytes[i + n] == bytes[i]) ++n;
    const QString pair = QString::fromLatin1(bytes.mid(i, 1).toHex());
    if (n >= kRepeatFrom) {
      tokens << pair + QLatin1Char('*') + QString::number(n);
    } else {
      for (qsizetype k = 0; k < n; ++k) tokens << pair;
    }
    i += n;
  }
  return tokens.join(QLatin1Char(' '));
}

bool HexRuns::Decode(const QString& text, int limit, QByteArray* bytes) {
  QByteArray out;
  const QStringList tokens = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  for (const QString& token : tokens) {
    const int star = static_cast<int>(token.indexOf(QLatin1Char('*')));
    const QString pair = star < 0 ? token : token.left(star);
    if (pair.size() != 2 || Digit(pair[0]) < 0 || Digit(pair[1]) < 0) return false;
    int count = 1;
    if (star >= 0) {
      bool ok = false;
      const QString digits = token.mid(star + 1);
      count = digits.size() <= 6 ? digits.toInt(&ok) : 0;
      if (!ok || count < 1 || digits.startsWith(QLatin1Char('+'))) return false;
    }
    if (out.size() + count > limit) return false;
    out.append(count, static_cast<char>(Digit(pair[0]) * 16 + Digit(pair[1])));
  }
  *bytes = out;
  return true;
}
