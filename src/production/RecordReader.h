#pragma once

#include "production/RecordFilter.h"
#include "production/RecordStore.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QSqlQuery;

/// The reading side of the production record: the units a filter chooses,
/// and their summary, each row handed on as the database delivers it
/// (forward-only queries), so that a record of any size is read in constant
/// memory. The database does the choosing, the ordering and the counting.
class RecordReader {
 public:
  /// One line of the summary: the units of one station on one day (UTC).
  struct SummaryRow {
    QString day;
    QString station;
    qint64 units = 0;
    qint64 passed = 0;
    qint64 fresh = 0;              ///< units that came without a number of this line
    qint64 firstPass = 0;          ///< of those, the ones that passed
    std::vector<qint64> failedAt;  ///< per step of FailureSteps()
  };

  /// Reads through `store`'s open connection.
  explicit RecordReader(RecordStore& store) : store_(store) {}

  /// Calls `each` with every unit `filter` chooses, in the order recorded,
  /// until it returns false. False with a one-line reason when the query
  /// fails, also part-way.
  bool ForEachUnit(const RecordFilter& filter,
                   const std::function<bool(const RecordStore::Unit&)>& each, QString* error);
  /// Calls `each` with the summary of the chosen units per day and station,
  /// by day, then station, until it returns false.
  bool Summary(const RecordFilter& filter, const std::function<bool(const SummaryRow&)>& each,
               QString* error);
  /// The steps a summary counts failures at: "identity", "firmware", ...
  static const QStringList& FailureSteps();

 private:
  bool Start(QSqlQuery& query, const QString& sql, const QVariantList& values, QString* error);
  bool Finished(const QSqlQuery& query, QString* error);

  RecordStore& store_;
};
