#include "production/RecordStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
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

RecordStore::SerialState StateFrom(const QString& name) {
  if (name == QLatin1String("used")) return RecordStore::SerialState::Used;
  if (name == QLatin1String("void")) return RecordStore::SerialState::Void;
  if (name == QLatin1String("taken")) return RecordStore::SerialState::Taken;
  return RecordStore::SerialState::Unknown;
}

QString Stamp(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }
QString Now() { return Stamp(QDateTime::currentDateTimeUtc()); }

/// The driver's text on one line.
QString OneLine(const QSqlError& error) {
  QStringList lines = error.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  for (QString& line : lines) line = line.trimmed();
  lines.removeAll(QString());
  return lines.join(QLatin1Char(' '));
}

/// "the next, A100, has more than 2 digits"
QString UsedUp(const SerialNumbers::Counter& counter) {
  return QStringLiteral("the next, %1%2, has more than %3 digits")
      .arg(counter.prefix)
      .arg(counter.value)
      .arg(counter.width);
}

// The first schema; PrepareSchema() brings it up to kSchemaVersion.
const char* const kTables[] = {
    "CREATE TABLE IF NOT EXISTS tr5906_schema (version INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS tr5906_counter (id INTEGER PRIMARY KEY, first_serial TEXT NOT "
    "NULL, prefix TEXT NOT NULL, width INTEGER NOT NULL, next_value BIGINT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS tr5906_serials (serial TEXT PRIMARY KEY, state TEXT NOT NULL, "
    "station TEXT NOT NULL, port TEXT NOT NULL, taken_at TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS tr5906_units (id %1, finished_at TEXT NOT NULL, station TEXT NOT "
    "NULL, port TEXT NOT NULL, serial TEXT, firmware_before TEXT, firmware_after TEXT, result "
    "TEXT NOT NULL, step TEXT, reason TEXT, seconds DOUBLE PRECISION)"};

// Version 2: claims, what went into each unit, and the indexes of the reading side.
const char* const kVersion2[] = {
    "ALTER TABLE tr5906_serials ADD COLUMN claim_station TEXT",
    "ALTER TABLE tr5906_serials ADD COLUMN claim_port TEXT",
    "ALTER TABLE tr5906_serials ADD COLUMN claimed_at TEXT",
    "ALTER TABLE tr5906_units ADD COLUMN serial_before TEXT",
    "ALTER TABLE tr5906_units ADD COLUMN config_sha256 TEXT",
    "ALTER TABLE tr5906_units ADD COLUMN firmware_sha256 TEXT",
    "ALTER TABLE tr5906_units ADD COLUMN program TEXT",
    "CREATE INDEX tr5906_serials_claim ON tr5906_serials (claim_station, claim_port)",
    "CREATE INDEX tr5906_units_time ON tr5906_units (finished_at)",
    "CREATE INDEX tr5906_units_serial ON tr5906_units (serial)",
    "CREATE INDEX tr5906_units_station ON tr5906_units (station)",
    "UPDATE tr5906_schema SET version = 2"};

// Version 3: what the filters of records and its summary read. A summary
// counts the units per day and station from one index, and the failures and
// reworks (few) from another that holds only those; both hold finished_at as
// well, so that they answer alone (an expression's own columns are read, not
// its indexed value). %1: the unit's day.
const char* const kVersion3[] = {
    "CREATE INDEX tr5906_units_serial_before ON tr5906_units (serial_before)",
    "CREATE INDEX tr5906_units_day ON tr5906_units ((%1), station, finished_at)",
    ("CREATE INDEX tr5906_units_exceptions ON tr5906_units ((%1), station, result, step, "
     "serial_before, finished_at) WHERE result <> 'pass' OR serial_before IS NOT NULL"),
    "UPDATE tr5906_schema SET version = 3"};

}  // namespace

const char* const RecordStore::kUnitColumns =
    "finished_at, station, port, serial, firmware_before, firmware_after, result, step, reason, "
    "seconds, serial_before, config_sha256, firmware_sha256, program";
const char* const RecordStore::kDay = "substr(finished_at, 1, 10)";

RecordStore::RecordStore()
    : connection_(QStringLiteral("tr5906records%1").arg(connections.fetch_add(1))) {}

RecordStore::~RecordStore() {
  {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (db.isValid()) db.close();
  }
  if (QSqlDatabase::contains(connection_)) QSqlDatabase::removeDatabase(connection_);
}

bool RecordStore::Open(const DatabaseAddress& address, bool create, QString* error) {
  postgres_ = address.kind == DatabaseAddress::Kind::Postgres;
  description_ = address.shown;
  const QString driver = postgres_ ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
  if (!QSqlDatabase::isDriverAvailable(driver)) {
    *error = QStringLiteral("the Qt SQL driver %1 is not installed (Debian: %2)")
                 .arg(driver, postgres_ ? QStringLiteral("libqt6sql6-psql")
                                        : QStringLiteral("libqt6sql6-sqlite"));
    return false;
  }
  if (!postgres_) {
    const QFileInfo file(address.path);
    if (!create && !file.exists()) {
      *error = QStringLiteral("there is no production record at %1").arg(description_);
      return false;
    }
    if (address.isDefault) QDir().mkpath(file.absolutePath());
    if (!QFileInfo(file.absolutePath()).isDir()) {
      *error = QStringLiteral("cannot make the record %1: the folder %2 does not exist")
                   .arg(description_, file.absolutePath());
      return false;
    }
  }
  QSqlDatabase db = QSqlDatabase::addDatabase(driver, connection_);
  if (postgres_) {
    if (!address.host.isEmpty()) db.setHostName(address.host);
    if (address.port > 0) db.setPort(address.port);
    db.setUserName(address.user);
    db.setPassword(address.password);
    db.setDatabaseName(address.database);
    db.setConnectOptions(address.options);
  } else {
    db.setDatabaseName(address.path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
  }
  if (!db.open()) {
    *error = QStringLiteral("cannot open the database %1: %2")
                 .arg(description_, OneLine(db.lastError()));
    return false;
  }
  if (!create && !db.tables().contains(QStringLiteral("tr5906_schema"))) {
    *error = QStringLiteral("%1 holds no production record").arg(description_);
    return false;
  }
  // PostgreSQL notes every table that already exists; nobody needs to read that.
  if (postgres_ && !Exec(QStringLiteral("SET client_min_messages TO WARNING"), {}, error))
    return false;
  return PrepareSchema(create, error);
}

void RecordStore::SetLockWait(std::chrono::milliseconds wait) {
  const auto ms = static_cast<qlonglong>(wait.count());
  Exec(postgres_ ? QStringLiteral("SET lock_timeout = %1").arg(ms)
                 : QStringLiteral("PRAGMA busy_timeout = %1").arg(ms),
       {}, nullptr);
}

bool RecordStore::Failed(const QSqlQuery& query, QString* error) {
  // Worth another try: SQLITE_BUSY, SQLITE_LOCKED, PostgreSQL's lock_not_available
  // (lock_timeout), a lost connection (a restarted server: the driver connects again).
  const QString code = query.lastError().nativeErrorCode();
  busy_ = code == QLatin1String("5") || code == QLatin1String("6") ||
          code == QLatin1String("55P03") || code == QLatin1String("57P01") ||
          code.startsWith(QLatin1String("08")) ||
          (postgres_ && query.lastError().type() == QSqlError::ConnectionError);
  if (error) *error = QStringLiteral("database: %1").arg(OneLine(query.lastError()));
  return false;
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
  return ok || Failed(query, error);
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
  const bool busy = busy_;
  Rollback();
  busy_ = busy;
  return false;
}

void RecordStore::Rollback() {
  const bool busy = busy_;
  Exec(QStringLiteral("ROLLBACK"), {}, nullptr);
  busy_ = busy;
}

bool RecordStore::PrepareSchema(bool create, QString* error) {
  if (!Begin(error)) return false;
  const auto fail = [this] {
    Rollback();
    return false;
  };
  const QString id = postgres_ ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                               : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
  for (const char* sql : kTables) {
    QString statement = QString::fromLatin1(sql);
    statement.replace(QStringLiteral("%1"), id);
    if (create && !Exec(statement, {}, error)) return fail();
  }
  QSqlQuery query(QSqlDatabase::database(connection_));
  if (!query.exec(QStringLiteral("SELECT version FROM tr5906_schema"))) {
    Failed(query, error);
    return fail();
  }
  const int version = query.next() ? query.value(0).toInt() : 0;
  query.finish();
  if (version > kSchemaVersion) {
    *error = QStringLiteral("the database %1 has record schema version %2; this program knows %3")
                 .arg(description_)
                 .arg(version)
                 .arg(kSchemaVersion);
    return fail();
  }
  if (version == 0 &&
      !Exec(QStringLiteral("INSERT INTO tr5906_schema (version) VALUES (1)"), {}, error))
    return fail();
  if (version < 2) {
    for (const char* sql : kVersion2)
      if (!Exec(QString::fromLatin1(sql), {}, error)) return fail();
  }
  if (version < 3) {
    for (const char* sql : kVersion3)
      if (!Exec(QString::fromLatin1(sql).replace(QStringLiteral("%1"), QLatin1String(kDay)), {},
                error))
        return fail();
  }
  return Commit(error);
}

bool RecordStore::ReadCounter(SerialNumbers::Counter* counter, QString* first, bool* exists,
                              QString* error) {
  QSqlQuery query(QSqlDatabase::database(connection_));
  if (!query.exec(QStringLiteral(
          "SELECT first_serial, prefix, width, next_value FROM tr5906_counter WHERE id = 1")))
    return Failed(query, error);
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

QString RecordStore::CounterFirst() {
  SerialNumbers::Counter counter;
  QString first;
  QString error;
  bool exists = false;
  return ReadCounter(&counter, &first, &exists, &error) && exists ? first : QString();
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
    const QString next = SerialNumbers::Format(counter, counter.value);
    *error = QStringLiteral("the database already counts from %1 (%2); --first-serial %3 refused")
                 .arg(stored,
                      next.isEmpty() ? QStringLiteral("used up: ") + UsedUp(counter)
                                     : QStringLiteral("next ") + next,
                      first);
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

bool RecordStore::ReleaseClaims(const QString& station, const QString& port, QString* error) {
  return Exec(QStringLiteral("UPDATE tr5906_serials SET claim_station = NULL, claim_port = NULL, "
                             "claimed_at = NULL WHERE claim_station = ? AND claim_port = ?"),
              {station, port}, error);
}

bool RecordStore::TakeSerial(const QString& station, const QString& port, QString* serial,
                             QString* error) {
  if (!Begin(error)) return false;
  SerialNumbers::Counter counter;
  QString first;
  bool exists = false;
  if (!ReleaseClaims(station, port, error) || !ReadCounter(&counter, &first, &exists, error)) {
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
    *error =
        QStringLiteral("the serial numbers from %1 are used up: %2").arg(first, UsedUp(counter));
    return false;
  }
  const QString now = Now();
  if (!Exec(QStringLiteral("UPDATE tr5906_counter SET next_value = next_value + 1 WHERE id = 1"),
            {}, error) ||
      !Exec(QStringLiteral("INSERT INTO tr5906_serials (serial, state, station, port, taken_at, "
                           "claim_station, claim_port, claimed_at) "
                           "VALUES (?, 'taken', ?, ?, ?, ?, ?, ?)"),
            {number, station, port, now, station, port, now}, error)) {
    Rollback();
    return false;
  }
  if (!Commit(error)) return false;
  *serial = number;
  return true;
}

bool RecordStore::ClaimSerial(const QString& serial, const QString& station, const QString& port,
                              Claim* claim, QString* error) {
  if (!Begin(error)) return false;
  if (!ReleaseClaims(station, port, error)) {
    Rollback();
    return false;
  }
  QSqlQuery query(QSqlDatabase::database(connection_));
  query.prepare(
      QStringLiteral("SELECT state, claim_station, claim_port, claimed_at FROM tr5906_serials "
                     "WHERE serial = ?"));
  query.addBindValue(serial);
  if (!query.exec()) {
    Failed(query, error);
    Rollback();
    return false;
  }
  *claim = Claim{};
  if (query.next()) {
    claim->state = StateFrom(query.value(0).toString());
    const QString limit =
        Stamp(QDateTime::currentDateTimeUtc().addSecs(-std::chrono::seconds(kClaimLimit).count()));
    if (!query.value(1).isNull() && query.value(3).toString() > limit)
      claim->holder = query.value(1).toString() + QLatin1Char(' ') + query.value(2).toString();
  }
  query.finish();
  const bool ours = claim->state == SerialState::Used || claim->state == SerialState::Taken;
  if (ours && claim->holder.isEmpty() &&
      !Exec(QStringLiteral("UPDATE tr5906_serials SET claim_station = ?, claim_port = ?, "
                           "claimed_at = ? WHERE serial = ?"),
            {station, port, Now(), serial}, error)) {
    Rollback();
    return false;
  }
  return Commit(error);
}

RecordStore::SerialState RecordStore::StateOf(const QString& serial) {
  QSqlQuery query(QSqlDatabase::database(connection_));
  query.prepare(QStringLiteral("SELECT state FROM tr5906_serials WHERE serial = ?"));
  query.addBindValue(serial);
  if (!query.exec() || !query.next()) return SerialState::Unknown;
  return StateFrom(query.value(0).toString());
}

bool RecordStore::FinishUnit(const Unit& unit, SerialState state, QString* error) {
  if (!Begin(error)) return false;
  const auto text = [](const QString& value) {
    return value.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(value);
  };
  bool ok = true;
  if (!unit.serial.isEmpty() && state != SerialState::Unknown)
    ok = Exec(QStringLiteral("UPDATE tr5906_serials SET state = ? WHERE serial = ?"),
              {QString::fromLatin1(StateName(state)), unit.serial}, error);
  ok = ok && (unit.serial.isEmpty() ||
              Exec(QStringLiteral("UPDATE tr5906_serials SET claim_station = NULL, claim_port = "
                                  "NULL, claimed_at = NULL WHERE serial = ? AND claim_station = ? "
                                  "AND claim_port = ?"),
                   {unit.serial, unit.station, unit.port}, error));
  ok =
      ok && Exec(QStringLiteral("INSERT INTO tr5906_units (%1) VALUES "
                                "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                     .arg(QLatin1String(kUnitColumns)),
                 {Stamp(unit.time), unit.station, unit.port, text(unit.serial), unit.firmwareBefore,
                  unit.firmwareAfter, unit.passed ? QStringLiteral("pass") : QStringLiteral("fail"),
                  unit.step, unit.reason, unit.seconds, text(unit.serialBefore),
                  text(unit.configSha256), text(unit.firmwareSha256), unit.program},
                 error);
  if (!ok) {
    Rollback();
    return false;
  }
  return Commit(error);
}
