// records: the provisioned units, as a table or as CSV.
#include "CliOptions.h"
#include "Commands.h"
#include "production/RecordStore.h"

#include <QStringList>

#include <cstdio>
#include <vector>

namespace {

QString CsvField(const QString& text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n')))
    return text;
  QString quoted = text;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList Row(const RecordStore::Unit& u) {
  return {u.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
          u.station,
          u.port,
          u.serial,
          u.firmwareBefore,
          u.firmwareAfter,
          u.passed ? QStringLiteral("pass") : QStringLiteral("fail"),
          u.step,
          u.reason,
          QString::number(u.seconds, 'f', 1)};
}

void Print(const QString& line) {
  const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

}  // namespace

int RunRecords(const CliOptions& options) {
  RecordStore store;
  QString error;
  std::vector<RecordStore::Unit> units;
  if (!store.Open(options.db, &error) || !store.Units(&units, &error)) {
    PrintError(error);
    return kExitFailure;
  }
  const QStringList header{QStringLiteral("time"),
                           QStringLiteral("station"),
                           QStringLiteral("port"),
                           QStringLiteral("serial"),
                           QStringLiteral("firmware_before"),
                           QStringLiteral("firmware_after"),
                           QStringLiteral("result"),
                           QStringLiteral("step"),
                           QStringLiteral("reason"),
                           QStringLiteral("seconds")};
  std::vector<QStringList> rows{header};
  for (const RecordStore::Unit& unit : units) rows.push_back(Row(unit));
  if (options.csv) {
    for (const QStringList& row : rows) {
      QStringList fields;
      for (const QString& field : row) fields << CsvField(field);
      Print(fields.join(QLatin1Char(',')));
    }
  } else {
    std::vector<int> widths(static_cast<size_t>(header.size()), 0);
    for (const QStringList& row : rows)
      for (int c = 0; c < row.size(); ++c)
        widths[static_cast<size_t>(c)] =
            std::max(widths[static_cast<size_t>(c)], int(row[c].size()));
    for (const QStringList& row : rows) {
      QStringList cells;
      for (int c = 0; c < row.size(); ++c)
        cells << (c + 1 < row.size() ? row[c].leftJustified(widths[static_cast<size_t>(c)])
                                     : row[c]);
      Print(cells.join(QStringLiteral("  ")).trimmed());
    }
  }
  std::fflush(stdout);
  return kExitSuccess;
}
