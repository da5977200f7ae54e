#include "production/RecordStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QVariant>

#include <atomic>

namespace {

constexpr qint64 kLockKey = 5906;  ///< advisory lock of the counter (PostgreSQL)

std::atomic<int> connections{0};

const char* StateName(RecordStore::SerialState state) {
  switch (state) {
    case RecordStore::SerialState::Taken:
      return "taken";
    case RecordStore::SerialState::Used:
      return "used";
    case RecordStore::SerialState::Void:
      return "void";
    case RecordStore::SerialState::Unknown:
      break;
  }
  return "";
}

QString Now() { return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs); }

}  // namespace

RecordStore::RecordStore()
    : connection_(QStringLiteral("tr5906records%1").arg(connections.fetch_add(1))) {}

RecordStore::~RecordStore() {
  {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (db.isValid()) db.close();
  }
  if (QSqlDatabase::contains(connection_)) QSqlDatabase::removeDatabase(connection_);
}

QString RecordStore::DefaultPath() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return QDir(dir).filePath(QStringLiteral("tr5906/production.sqlite"));
}

bool RecordStore::Open(const QString& url, QString* error) {
  const QUrl parsed(url);
  postgres_ = parsed.scheme() == QLatin1String("postgresql") ||
              parsed.scheme() == QLatin1String("postgres");
  const QString driver = postgres_ ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
  if (!QSqlDatabase::isDriverAvailable(driver)) {
    *error = QStringLiteral("the Qt SQL driver %1 is not installed (Debian: %2)")
                 .arg(driver, postgres_ ? QStringLiteral("libqt6sql6-psql")
                                        : QStringLiteral("libqt6sql6-sqlite"));
    return false;
  }
  QSqlDatabase db = QSqlDatabase::addDatabase(driver, connection_);
  if (postgres_) {
    db.setHostName(parsed.host());
    if (parsed.port() > 0) db.setPort(parsed.port());
    db.setUserName(parsed.userName());
    db.setPassword(parsed.password());
    db.setDatabaseName(parsed.path().mid(1));
    QUrl shown = parsed;
    shown.setPassword(QString());
    description_ = shown.toString();
  } else {
    const QString path = url.isEmpty() ? DefaultPath() : url;
    QDir().mkpath(QFileInfo(path).absolutePath());
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
    description_ = QFileInfo(path).absoluteFilePath();
  }
  if (!db.open()) {
    *error =
        QStringLiteral("cannot open the database %1: %2").arg(description_, db.lastError().text());
    return false;
  }
  // PostgreSQL notes every table that already exists; nobody needs to read that.
  if (postgres_ && !Exec(QStringLiteral("SET client_min_messages TO WARNING"), {}, error))
    return false;
  return CreateSchema(error);
}

bool RecordStore::Exec(const QString& sql, const QVariantList& values, QString* error) {
  QSqlQuery query(QSqlDatabase::database(connection_));
  bool ok;
  if (values.isEmpty()) {
    ok = query.exec(sql);  // BEGIN and COMMIT cannot be prepared on PostgreSQL
  } else {
    query.prepare(sql);
    for (const QVariant& value : values) query.addBindValue(value);
    ok = query.exec();
  }
  if (ok) return true;
  if (error) *error = QStringLiteral("database: %1").arg(query.lastError().text());
  return false;
}

bool RecordStore::Begin(QString* error) {
  // SQLite: take the write lock at once, so two processes queue up here
  // instead of failing when a read lock would have to be upgraded.
  if (!postgres_) return Exec(QStringLiteral("BEGIN IMMEDIATE"), {}, error);
  if (!Exec(QStringLiteral("BEGIN"), {}, error)) return false;
  if (Exec(QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {kLockKey}, error)) return true;
  Rollback();
  return false;
}

bool RecordStore::Commit(QString* error) {
  if (Exec(QStringLiteral("COMMIT"), {}, error)) return true;
  Rollback();
  return false;
}

void RecordStore::Rollback() { Exec(QStringLiteral("ROLLBACK"), {}, nullptr); }

bool RecordStore::CreateSchema(QString* error) {
  if (!Begin(error)) return false;
  const QString id = postgres_ ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                               : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
  const QStringList statements{
      QStringLiteral("CREATE TABLE IF NOT EXISTS tr5906_schema (version INTEGER NOT NULL)"),
      QStringLiteral("CREATE TABLE IF NOT EXISTS tr5906_counter (id INTEGER PRIMARY KEY, "
                     "first_serial TEXT NOT NULL, prefix TEXT NOT NULL, width INTEGER NOT NULL, "
                     "next_value BIGINT NOT NULL)"),
      QStringLiteral("CREATE TABLE IF NOT EXISTS tr5906_serials (serial TEXT PRIMARY KEY, "
                     "state TEXT NOT NULL, station TEXT NOT NULL, port TEXT NOT NULL, "
                     "taken_at TEXT NOT NULL)"),
      QStringLiteral("CREATE TABLE IF NOT EXISTS tr5906_units (id %1, finished_at TEXT NOT NULL, "
                     "station TEXT NOT NULL, port TEXT NOT NULL, serial TEXT, "
                     "firmware_before TEXT, firmware_after TEXT, result TEXT NOT NULL, "
                     "step TEXT, reason TEXT, seconds DOUBLE PRECISION)")
          .arg(id)};
  for (const QString& sql : statements) {
    if (!Exec(sql, {}, error)) {
      Rollback();
      return false;
    }
  }
  QSqlQuery query(QSqlDatabase::database(connection_));
  if (!query.exec(QStringLiteral("SELECT version FROM tr5906_schema"))) {
    *error = QStringLiteral("database: %1").arg(query.lastError().text());
    Rollback();
    return false;
  }
  if (!query.next()) {
    if (!Exec(QStringLiteral("INSERT INTO tr5906_schema (version) VALUES (?)"), {kSchemaVersion},
              error)) {
      Rollback();
      return false;
    }
  } else if (query.value(0).toInt() != kSchemaVersion) {
    *error = QStringLiteral("the database %1 has record schema version %2; this program knows %3")
                 .arg(description_)
                 .arg(query.value(0).toInt())
                 .arg(kSchemaVersion);
    query.finish();
    Rollback();
    return false;
  }
  query.finish();
  return Commit(error);
}

bool RecordStore::ReadCounter(SerialNumbers::Counter* counter, QString* first, bool* exists,
                              QString* error) {
  QSqlQuery query(QSqlDatabase::database(connection_));
  if (!query.exec(QStringLiteral(
          "SELECT first_serial, prefix, width, next_value FROM tr5906_counter WHERE id = 1"))) {
    *error = QStringLiteral("database: %1").arg(query.lastError().text());
    return false;
  }
  *exists = query.next();
  if (*exists) {
    *first = query.value(0).toString();
    counter->prefix = query.value(1).toString();
    counter->width = query.value(2).toInt();
    counter->value = query.value(3).toLongLong();
  }
  return true;
}

bool RecordStore::HasCounter() {
  SerialNumbers::Counter counter;
  QString first;
  QString error;
  bool exists = false;
  return ReadCounter(&counter, &first, &exists, &error) && exists;
}

bool RecordStore::StartCounter(const QString& first, QString* error) {
  SerialNumbers::Counter start;
  if (!SerialNumbers::Parse(first, &start, error)) return false;
  if (!Begin(error)) return false;
  SerialNumbers::Counter counter;
  QString stored;
  bool exists = false;
  if (!ReadCounter(&counter, &stored, &exists, error)) {
    Rollback();
    return false;
  }
  if (exists) {
    Rollback();
    if (stored == first) return true;  // the same line started again
    *error =
        QStringLiteral("the database already counts from %1 (next %2); --first-serial %3 refused")
            .arg(stored, SerialNumbers::Format(counter, counter.value), first);
    return false;
  }
  if (!Exec(QStringLiteral("INSERT INTO tr5906_counter (id, first_serial, prefix, width, "
                           "next_value) VALUES (1, ?, ?, ?, ?)"),
            {first, start.prefix, start.width, QVariant::fromValue<qlonglong>(start.value)},
            error)) {
    Rollback();
    return false;
  }
  return Commit(error);
}

bool RecordStore::TakeSerial(const QString& station, const QString& port, QString* serial,
                             QString* error) {
  if (!Begin(error)) return false;
  SerialNumbers::Counter counter;
  QString first;
  bool exists = false;
  if (!ReadCounter(&counter, &first, &exists, error)) {
    Rollback();
    return false;
  }
  if (!exists) {
    Rollback();
    *error = QStringLiteral("the database has no serial counter yet: start it with --first-serial");
    return false;
  }
  const QString number = SerialNumbers::Format(counter, counter.value);
  if (number.isEmpty()) {
    Rollback();
    *error = QStringLiteral("the serial numbers from %1 are used up").arg(first);
    return false;
  }
  if (!Exec(QStringLiteral("UPDATE tr5906_counter SET next_value = next_value + 1 WHERE id = 1"),
            {}, error) ||
      !Exec(QStringLiteral("INSERT INTO tr5906_serials (serial, state, station, port, taken_at) "
                           "VALUES (?, 'taken', ?, ?, ?)"),
            {number, station, port, Now()}, error)) {
    Rollback();
    return false;
  }
  if (!Commit(error)) return false;
  *serial = number;
  return true;
}

RecordStore::SerialState RecordStore::StateOf(const QString& serial) {
  QSqlQuery query(QSqlDatabase::database(connection_));
  query.prepare(QStringLiteral("SELECT state FROM tr5906_serials WHERE serial = ?"));
  query.addBindValue(serial);
  if (!query.exec() || !query.next()) return SerialState::Unknown;
  const QString state = query.value(0).toString();
  if (state == QLatin1String("used")) return SerialState::Used;
  if (state == QLatin1String("void")) return SerialState::Void;
  return SerialState::Taken;
}

bool RecordStore::SetState(const QString& serial, SerialState state, QString* error) {
  return Exec(QStringLiteral("UPDATE tr5906_serials SET state = ? WHERE serial = ?"),
              {QString::fromLatin1(StateName(state)), serial}, error);
}

int RecordStore::VoidUnfinished(const QString& station, const QString& port) {
  QSqlQuery query(QSqlDatabase::database(connection_));
  query.prepare(
      QStringLiteral("UPDATE tr5906_serials SET state = 'void' "
                     "WHERE state = 'taken' AND station = ? AND port = ?"));
  query.addBindValue(station);
  query.addBindValue(port);
  if (!query.exec()) return 0;
  return query.numRowsAffected();
}

bool RecordStore::AddUnit(const Unit& unit, QString* error) {
  return Exec(QStringLiteral("INSERT INTO tr5906_units (finished_at, station, port, serial, "
                             "firmware_before, firmware_after, result, step, reason, seconds) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
              {unit.time.toUTC().toString(Qt::ISODateWithMs), unit.station, unit.port,
               unit.serial.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : unit.serial,
               unit.firmwareBefore, unit.firmwareAfter,
               unit.passed ? QStringLiteral("pass") : QStringLiteral("fail"), unit.step,
               unit.reason, unit.seconds},
              error);
}

bool RecordStore::Units(std::vector<Unit>* units, QString* error) {
  QSqlQuery query(QSqlDatabase::database(connection_));
  if (!query.exec(QStringLiteral(
          "SELECT finished_at, station, port, serial, firmware_before, firmware_after, result, "
          "step, reason, seconds FROM tr5906_units ORDER BY id"))) {
    *error = QStringLiteral("database: %1").arg(query.lastError().text());
    return false;
  }
  units->clear();
  while (query.next()) {
    Unit unit;
    unit.time = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs);
    unit.station = query.value(1).toString();
    unit.port = query.value(2).toString();
    unit.serial = query.value(3).toString();
    unit.firmwareBefore = query.value(4).toString();
    unit.firmwareAfter = query.value(5).toString();
    unit.passed = query.value(6).toString() == QLatin1String("pass");
    unit.step = query.value(7).toString();
    unit.reason = query.value(8).toString();
    unit.seconds = query.value(9).toDouble();
    units->push_back(unit);
  }
  return true;
}
