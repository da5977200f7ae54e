#pragma once

#include "production/DatabaseAddress.h"
#include "production/SerialNumbers.h"

#include <QDateTime>
#include <QString>

#include <chrono>

class QSqlQuery;

/// The production record and the serial-number counter in a database
/// through Qt SQL: an SQLite file for one station, PostgreSQL for a line of
/// stations sharing one counter. The record store and its schema are the
/// only places that know SQL (RecordReader reads through its connection). The
/// schema carries a version number; an older one is upgraded in place.
class RecordStore {
 public:
  static constexpr int kSchemaVersion = 3;
  /// A claim older than this was left by a station that was killed.
  static constexpr std::chrono::minutes kClaimLimit{10};

  /// What a number's record says about it.
  enum class SerialState { Unknown, Taken, Used, Void };

  /// One provisioned (or failed) unit.
  struct Unit {
    QDateTime time;  ///< UTC, when the unit was finished
    QString station;
    QString port;
    QString serial;  ///< empty when the unit failed before it got one
    QString firmwareBefore;
    QString firmwareAfter;
    bool passed = false;
    QString step;    ///< the step that failed; empty when passed
    QString reason;  ///< why it failed
    double seconds = 0;
    QString serialBefore;    ///< the number the terminal held when it came
    QString configSha256;    ///< of the image written (with its number), hex
    QString firmwareSha256;  ///< of the firmware file the unit was updated with, hex
    QString program;         ///< the program and its version
  };

  /// A number a terminal holds, as claimed for a unit.
  struct Claim {
    SerialState state = SerialState::Unknown;
    QString holder;  ///< "station port" working on it elsewhere; empty: claimed here
  };

  RecordStore();
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  /// Opens the database and brings its schema to this version (creating it
  /// with `create`; otherwise a database without a record is refused and an
  /// SQLite file that does not exist is never made). False with a one-line
  /// reason.
  bool Open(const DatabaseAddress& address, bool create, QString* error);
  /// The SQLite path or the PostgreSQL address (its password masked).
  QString Description() const { return description_; }
  /// How long one statement waits for a lock another client holds (default
  /// 30 s); a wait that runs out fails the call with Busy() set.
  void SetLockWait(std::chrono::milliseconds wait);
  /// Whether the last failed call is worth trying again: it ran out of time
  /// waiting for a lock, or the connection was lost (a restarted server).
  bool Busy() const { return busy_; }

  /// Starts the counter at `first` when there is none. Refused when the
  /// database already counts from another first number.
  bool StartCounter(const QString& first, QString* error);
  bool HasCounter();
  /// The first number the counter counts from; empty when there is none.
  QString CounterFirst();

  /// Takes the next number in a transaction of its own that commits before
  /// it returns: the number is recorded as taken, claimed by `station` and
  /// `port`, and is never handed out again. Claims `port` held before are
  /// released.
  bool TakeSerial(const QString& station, const QString& port, QString* serial, QString* error);
  /// Claims a number a terminal holds for `station` and `port`, unless it is
  /// void, unknown, or claimed by a unit worked on elsewhere (then `holder`
  /// names it); releases the claims `port` held before.
  bool ClaimSerial(const QString& serial, const QString& station, const QString& port, Claim* claim,
                   QString* error);
  SerialState StateOf(const QString& serial);
  /// Records the unit and, in the same transaction, sets its number to
  /// `state` (Unknown: leaves it) and releases the unit's claim on it.
  bool FinishUnit(const Unit& unit, SerialState state, QString* error);

 private:
  friend class RecordReader;
  /// The columns of tr5906_units that make a Unit, in its order.
  static const char* const kUnitColumns;
  /// A unit's day (UTC) from its time: what the summary groups by and its indexes hold.
  static const char* const kDay;

  bool Exec(const QString& sql, const QVariantList& values, QString* error);
  bool Failed(const QSqlQuery& query, QString* error);
  bool Begin(QString* error);
  bool Commit(QString* error);
  void Rollback();
  bool PrepareSchema(bool create, QString* error);
  bool ReadCounter(SerialNumbers::Counter* counter, QString* first, bool* exists, QString* error);
  bool ReleaseClaims(const QString& station, const QString& port, QString* error);

  QString connection_;
  QString description_;
  bool postgres_ = false;
  bool busy_ = false;
};
