#include "production/RecordFilter.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>

bool RecordFilter::ParseTime(const QString& text, bool until, const QString& option, QString* stamp,
                             QString* error) {
  static const QRegularExpression pattern(
      QStringLiteral("^(\\d{4})-(\\d\\d)-(\\d\\d)(?:[ T](\\d\\d):(\\d\\d)(?::(\\d\\d))?)?Z?$"));
  const QRegularExpressionMatch match = pattern.match(text.trimmed());
  const auto number = [&match](int group) { return match.captured(group).toInt(); };
  const QDate date(number(1), number(2), number(3));
  const QTime time(number(4), number(5), number(6));
  if (!match.hasMatch() || !date.isValid() || !time.isValid()) {
    *error = QStringLiteral(
                 "%1 \"%2\" is neither a date (YYYY-MM-DD) nor a date and time "
                 "(YYYY-MM-DD HH:MM[:SS]), UTC")
                 .arg(option, text);
    return false;
  }
  QDateTime at(date, time, Qt::UTC);
  if (until) {
    if (match.captured(4).isEmpty())
      at = at.addDays(1);
    else
      at = at.addSecs(match.captured(6).isEmpty() ? 60 : 1);
  }
  *stamp = at.toString(Qt::ISODateWithMs);
  return true;
}

QString RecordFilter::Condition(QVariantList* values) const {
  QStringList terms;
  QVariantList bound;
  if (!serial.isEmpty()) {
    terms << QStringLiteral("(serial = ? OR serial_before = ?)");
    bound << serial << serial;
  }
  const auto equal = [&](const char* column, const QString& value) {
    if (value.isEmpty()) return;
    terms << QString::fromLatin1(column) + QStringLiteral(" = ?");
    bound << value;
  };
  equal("station", station);
  equal("port", port);
  if (result != Result::Any)
    equal("result", result == Result::Pass ? QStringLiteral("pass") : QStringLiteral("fail"));
  if (!since.isEmpty()) {
    terms << QStringLiteral("finished_at >= ?");
    bound << since;
  }
  if (!until.isEmpty()) {
    terms << QStringLiteral("finished_at < ?");
    bound << until;
  }
  QString where = terms.isEmpty() ? QStringLiteral("1 = 1") : terms.join(QStringLiteral(" AND "));
  if (last > 0) {
    // The oldest of the last N chosen, found from the newest end, bounds the rest.
    where += QStringLiteral(
                 " AND id >= (SELECT MIN(id) FROM (SELECT id FROM tr5906_units WHERE %1 ORDER "
                 "BY id DESC LIMIT ?) newest)")
                 .arg(where);
    const QVariantList inner = bound;
    bound << inner << last;
  }
  *values << bound;
  return where;
}
