#include "text/ConfigChanges.h"

#include "text/ValueCheck.h"

#include <QStringList>

QString ConfigError::Line(const QString& file, bool englishLanguage) const {
  const QString& text = englishLanguage ? english : chinese;
  if (line <= 0) return QStringLiteral("%1: %2").arg(file, text);
  return QStringLiteral("%1:%2:%3: %4").arg(file).arg(line).arg(column).arg(text);
}

bool ConfigChanges::UsesSerial() const {
  for (const Assignment& a : fields)
    if (!a.raw && a.text.contains(QLatin1String(ValueCheck::kSerialPlaceholder))) return true;
  return false;
}

QStringList ConfigCheck::Lines(const QString& file, bool englishLanguage) const {
  QStringList lines;
  for (const ConfigError& e : errors) lines << e.Line(file, englishLanguage);
  return lines;
}
