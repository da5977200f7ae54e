#include "production/RecordReader.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

/// A stamp as the record stores it, "2026-12-07T01:44:37.123Z", read without
/// the general parser (a year's record holds hundreds of thousands).
QDateTime TimeOf(const QString& stamp) {
  if (stamp.size() == 24 && stamp.at(10) == QLatin1Char('T') && stamp.at(23) == QLatin1Char('Z')) {
    const auto number = [&stamp](int at, int length) {
      int value = 0;
      for (int i = at; i < at + length; ++i) {
        const char16_t digit = stamp.at(i).unicode();
        if (digit < u'0' || digit > u'9') return -1;
        value = value * 10 + (digit - u'0');
      }
      return value;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const QTime time(number(11, 2), number(14, 2), number(17, 2), number(20, 3));
    if (date.isValid() && time.isValid()) return QDateTime(date, time, Qt::UTC);
  }
  return QDateTime::fromString(stamp, Qt::ISODateWithMs);
}

/// A text column's value: SQLite hands it over as a blob (see ForEachUnit).
QString Text(const QVariant& value) {
  return value.typeId() == QMetaType::QByteArray ? QString::fromUtf8(value.toByteArray())
                                                 : value.toString();
}

}  // namespace

const QStringList& RecordReader::FailureSteps() {
  static const QStringList steps{QStringLiteral("identity"), QStringLiteral("firmware"),
                                 QStringLiteral("restart"),  QStringLiteral("serial"),
                                 QStringLiteral("write"),    QStringLiteral("verify"),
                                 QStringLiteral("record")};
  return steps;
}

bool RecordReader::Start(QSqlQuery& query, const QString& sql, const QVariantList& values,
                         QString* error) {
  // Forward-only: the driver keeps no row it has handed on (PostgreSQL's
  // fetches them one at a time).
  query.setForwardOnly(true);
  if (!query.prepare(sql)) return store_.Failed(query, error);
  for (const QVariant& value : values) query.addBindValue(value);
  return query.exec() || store_.Failed(query, error);
}

bool RecordReader::Finished(const QSqlQuery& query, QString* error) {
  // A connection lost part-way ends the rows as if they were all.
  return query.lastError().type() == QSqlError::NoError || store_.Failed(query, error);
}

bool RecordReader::ForEachUnit(const RecordFilter& filter,
                               const std::function<bool(const RecordStore::Unit&)>& each,
                               QString* error) {
  // SQLite converts text to UTF-16 and copies it before Qt copies it again;
  // a blob it hands over as stored, UTF-8, which Qt reads at once. A year's
  // record is read in two thirds of the time.
  QStringList columns = QString::fromLatin1(RecordStore::kUnitColumns).split(QStringLiteral(", "));
  for (QString& column : columns)
    if (!store_.postgres_ && column != QLatin1String("seconds"))
      column = QStringLiteral("CAST(%1 AS BLOB)").arg(column);
  QVariantList values;
  const QString sql = QStringLiteral("SELECT %1 FROM tr5906_units WHERE %2 ORDER BY id")
                          .arg(columns.join(QStringLiteral(", ")), filter.Condition(&values));
  QSqlQuery query(QSqlDatabase::database(store_.connection_));
  query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);  // seconds as a number, not text
  if (!Start(query, sql, values, error)) return false;
  RecordStore::Unit unit;
  while (query.next()) {
    unit.time = TimeOf(Text(query.value(0)));
    unit.station = Text(query.value(1));
    unit.port = Text(query.value(2));
    unit.serial = Text(query.value(3));
    unit.firmwareBefore = Text(query.value(4));
    unit.firmwareAfter = Text(query.value(5));
    unit.passed = Text(query.value(6)) == QLatin1String("pass");
    unit.step = Text(query.value(7));
    unit.reason = Text(query.value(8));
    unit.seconds = query.value(9).toDouble();
    unit.serialBefore = Text(query.value(10));
    unit.configSha256 = Text(query.value(11));
    unit.firmwareSha256 = Text(query.value(12));
    unit.program = Text(query.value(13));
    if (!each(unit)) break;
  }
  return Finished(query, error);
}

bool RecordReader::Summary(const RecordFilter& filter,
                           const std::function<bool(const SummaryRow&)>& each, QString* error) {
  // The units per day and station, and beside them their failures and
  // reworks, counted from an index that holds only those (few). A rework, a
  // unit that came holding a number of this line, counts among the units,
  // never towards the first-pass yield.
  QVariantList values;
  const QString where = filter.Condition(&values);
  values << QVariantList(values);
  const QString rework = QStringLiteral("serial_before IN (SELECT serial FROM tr5906_serials)");
  QString sql =
      QStringLiteral("SELECT units.day, units.station, units.n, failed, reworks, reworks_passed");
  QString counts = QStringLiteral(
                       "SUM(CASE WHEN result <> 'pass' THEN 1 ELSE 0 END) AS failed, "
                       "SUM(CASE WHEN %1 THEN 1 ELSE 0 END) AS reworks, "
                       "SUM(CASE WHEN result = 'pass' AND %1 THEN 1 ELSE 0 END) AS reworks_passed")
                       .arg(rework);
  for (int i = 0; i < FailureSteps().size(); ++i) {
    sql += QStringLiteral(", failed_%1").arg(i);
    counts += QStringLiteral(
                  ", SUM(CASE WHEN result <> 'pass' AND step = '%1' THEN 1 ELSE 0 END) "
                  "AS failed_%2")
                  .arg(FailureSteps()[i])
                  .arg(i);
  }
  sql += QStringLiteral(
             " FROM (SELECT %1 AS day, station, COUNT(*) AS n FROM tr5906_units WHERE %2 "
             "GROUP BY %1, station) units LEFT JOIN (SELECT %1 AS day, station, %3 FROM "
             "tr5906_units WHERE (result <> 'pass' OR serial_before IS NOT NULL) AND %2 "
             "GROUP BY %1, station) exceptions ON exceptions.day = units.day AND "
             "exceptions.station = units.station ORDER BY units.day, units.station")
             .arg(QLatin1String(RecordStore::kDay), where, counts);
  QSqlQuery query(QSqlDatabase::database(store_.connection_));
  if (!Start(query, sql, values, error)) return false;
  SummaryRow row;
  while (query.next()) {
    row.day = query.value(0).toString();
    row.station = query.value(1).toString();
    row.units = query.value(2).toLongLong();
    row.passed = row.units - query.value(3).toLongLong();
    row.fresh = row.units - query.value(4).toLongLong();
    row.firstPass = row.passed - query.value(5).toLongLong();
    row.failedAt.clear();
    for (int i = 0; i < FailureSteps().size(); ++i)
      row.failedAt.push_back(query.value(6 + i).toLongLong());
    if (!each(row)) break;
  }
  return Finished(query, error);
}
