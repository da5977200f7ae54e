// records: the provisioned units, or their summary, as a table or as CSV.
#include "CliOptions.h"
#include "Commands.h"
#include "production/DatabaseAddress.h"
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

void Print(const QString& line) {
  const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
  std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}

/// Rows printed as CSV at once, or kept for a table with aligned columns.
struct Output {
  bool csv = false;
  std::vector<QStringList> rows;

  void Add(const QStringList& row) {
    if (!csv) return rows.push_back(row);
    QStringList fields;
    for (const QString& field : row) fields << CsvField(field);
    Print(fields.join(QLatin1Char(',')));
  }
  void Finish() {
    std::vector<int> widths;
    for (const QStringList& row : rows) {
      widths.resize(std::max(widths.size(), static_cast<size_t>(row.size())), 0);
      for (int c = 0; c < row.size(); ++c)
        widths[static_cast<size_t>(c)] =
            std::max(widths[static_cast<size_t>(c)], int(row[c].size()));
    }
    for (const QStringList& row : rows) {
      QStringList cells;
      for (int c = 0; c < row.size(); ++c)
        cells << (c + 1 < row.size() ? row[c].leftJustified(widths[static_cast<size_t>(c)])
                                     : row[c]);
      Print(cells.join(QStringLiteral("  ")).trimmed());
    }
    std::fflush(stdout);
  }
};

QStringList UnitRow(const RecordStore::Unit& u, bool csv) {
  // A table shows the start of each checksum; CSV keeps them whole.
  const int hash = csv ? -1 : 12;
  return {u.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
          u.station,
          u.port,
          u.serial,
          u.firmwareBefore,
          u.firmwareAfter,
          u.passed ? QStringLiteral("pass") : QStringLiteral("fail"),
          u.step,
          u.reason,
          QString::number(u.seconds, 'f', 1),
          u.serialBefore,
          u.configSha256.left(hash),
          u.firmwareSha256.left(hash),
          u.program};
}

QStringList SummaryRow(const RecordStore::SummaryRow& r) {
  QStringList row{r.day, r.station, QString::number(r.units), QString::number(r.passed),
                  r.fresh > 0
                      ? QString::number(100.0 * r.firstPass / r.fresh, 'f', 1) + QLatin1Char('%')
                      : QStringLiteral("-")};
  for (int failed : r.failedAt) row << QString::number(failed);
  return row;
}

}  // namespace

int RunRecords(const CliOptions& options) {
  DatabaseAddress address;
  QString error;
  if (!DatabaseAddress::Parse(options.db, &address, &error)) {
    PrintError(error);
    return kExitUsage;
  }
  RecordStore store;
  if (!store.Open(address, false, &error)) {
    PrintError(error);
    return kExitFailure;
  }
  Output out;
  out.csv = options.csv;
  bool ok;
  if (options.summary) {
    QStringList header{QStringLiteral("day"), QStringLiteral("station"), QStringLiteral("units"),
                       QStringLiteral("passed"), QStringLiteral("first_pass_yield")};
    for (const QString& step : RecordStore::FailureSteps())
      header << QStringLiteral("fail_") + step;
    out.Add(header);
    ok = store.Summary([&out](const RecordStore::SummaryRow& row) { out.Add(SummaryRow(row)); },
                       &error);
  } else {
    out.Add({QStringLiteral("time"), QStringLiteral("station"), QStringLiteral("port"),
             QStringLiteral("serial"), QStringLiteral("firmware_before"),
             QStringLiteral("firmware_after"), QStringLiteral("result"), QStringLiteral("step"),
             QStringLiteral("reason"), QStringLiteral("seconds"), QStringLiteral("serial_before"),
             QStringLiteral("config_sha256"), QStringLiteral("firmware_sha256"),
             QStringLiteral("program")});
    ok = store.ForEachUnit(
        [&out](const RecordStore::Unit& unit) { out.Add(UnitRow(unit, out.csv)); }, &error);
  }
  if (!ok) {
    std::fflush(stdout);
    PrintError(error);
    return kExitFailure;
  }
  out.Finish();
  return kExitSuccess;
}
