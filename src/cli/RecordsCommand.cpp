// records: the units a filter chooses, or their summary, as a table or as CSV,
// each row printed as the database hands it over.
#include "CliOptions.h"
#include "Commands.h"
#include "ConsoleStreams.h"
#include "production/DatabaseAddress.h"
#include "production/RecordReader.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <vector>

namespace {

/// Rows a table reads before it prints: what its columns are sized by.
constexpr size_t kLookahead = 1000;
/// Characters gathered before they are written.
constexpr int kChunk = 16384;

/// Rows printed as they come: as CSV, or as a table whose columns take the
/// width of the rows read ahead and widen for a longer value after those.
class Printer {
 public:
  explicit Printer(bool csv) : csv_(csv) { pending_.reserve(2 * kChunk); }

  /// False once standard output has failed (a pipe closed early).
  bool Add(const QStringList& row) {
    if (csv_) {
      AddCsv(row);
    } else if (held_.empty() && printing_) {
      AddTable(row);
    } else {
      Widen(row);
      held_.push_back(row);
      if (held_.size() >= kLookahead) return Flush();
    }
    return pending_.size() < kChunk || Write();
  }
  /// Why standard output failed; empty while it takes what is printed.
  QString failure;

  /// Prints what is held and gathered.
  bool Flush() {
    for (const QStringList& row : held_) AddTable(row);
    held_.clear();
    printing_ = true;
    return Write();
  }

 private:
  bool Write() {
    const QByteArray bytes = pending_.toUtf8();
    pending_.resize(0);
    if (ConsoleStreams::Write(stdout, bytes)) return true;
    if (failure.isEmpty()) failure = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  void AddCsv(const QStringList& row) {
    // Fields without a comma, quote or line break (nearly all) are copied
    // into place; the others are quoted, their quotes doubled.
    qsizetype size = row.size();  // the commas and the line break
    bool plain = true;
    for (const QString& field : row) {
      size += field.size();
      plain = plain && Plain(field);
    }
    if (plain) {
      const qsizetype at = pending_.size();
      pending_.resize(at + size);
      QChar* out = pending_.data() + at;
      for (const QString& field : row) {
        std::copy(field.cbegin(), field.cend(), out);
        out += field.size();
        *out++ = QLatin1Char(',');
      }
      out[-1] = QLatin1Char('\n');
      return;
    }
    for (int c = 0; c < row.size(); ++c) {
      QString field = row[c];
      if (c > 0) pending_ += QLatin1Char(',');
      if (!Plain(field))
        field = QLatin1Char('"') + field.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                QLatin1Char('"');
      pending_ += field;
    }
    pending_ += QLatin1Char('\n');
  }
  /// Whether a CSV field needs no quotes.
  static bool Plain(const QString& field) {
    for (const QChar ch : field) {
      // ',' '"' CR and LF all come before '-': most characters pass one test.
      if (ch.unicode() < u'-' && (ch == u',' || ch == u'"' || ch == u'\n' || ch == u'\r'))
        return false;
    }
    return true;
  }
  void Widen(const QStringList& row) {
    widths_.resize(std::max(widths_.size(), static_cast<size_t>(row.size())), 0);
    for (int c = 0; c < row.size(); ++c)
      widths_[static_cast<size_t>(c)] =
          std::max(widths_[static_cast<size_t>(c)], static_cast<int>(row[c].size()));
  }
  void AddTable(const QStringList& row) {
    Widen(row);
    const int start = static_cast<int>(pending_.size());
    for (int c = 0; c < row.size(); ++c) {
      if (c > 0) pending_ += QStringLiteral("  ");
      pending_ += row[c];
      if (c + 1 < row.size())
        pending_ += QString(std::max(0, widths_[static_cast<size_t>(c)] - int(row[c].size())),
                            QLatin1Char(' '));
    }
    while (pending_.size() > start && pending_.endsWith(QLatin1Char(' '))) pending_.chop(1);
    pending_ += QLatin1Char('\n');
  }

  bool csv_;
  bool printing_ = false;
  std::vector<QStringList> held_;
  std::vector<int> widths_;
  QString pending_;
};

/// "2026-12-07 01:44:37" (UTC).
QString TimeText(const QDateTime& utc) {
  const QDate date = utc.date();
  const QTime time = utc.time();
  QString text = QStringLiteral("0000-00-00 00:00:00");
  const auto put = [&text](int at, int length, int value) {
    for (int i = at + length - 1; i >= at; --i, value /= 10)
      text[i] = QLatin1Char(static_cast<char>('0' + value % 10));
  };
  put(0, 4, date.year());
  put(5, 2, date.month());
  put(8, 2, date.day());
  put(11, 2, time.hour());
  put(14, 2, time.minute());
  put(17, 2, time.second());
  return text;
}

/// "2.8": seconds to a tenth.
QString Seconds(double seconds) {
  char text[32];
  const std::to_chars_result end =
      std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 1);
  return end.ec == std::errc() ? QString::fromLatin1(text, int(end.ptr - text))
                               : QString::number(seconds, 'f', 1);
}

QStringList UnitRow(const RecordStore::Unit& u, bool csv) {
  // A table shows the start of each checksum; CSV keeps them whole.
  const int hash = csv ? -1 : 12;
  return {TimeText(u.time.toUTC()),
          u.station,
          u.port,
          u.serial,
          u.firmwareBefore,
          u.firmwareAfter,
          u.passed ? QStringLiteral("pass") : QStringLiteral("fail"),
          u.step,
          u.reason,
          Seconds(u.seconds),
          u.serialBefore,
          u.configSha256.left(hash),
          u.firmwareSha256.left(hash),
          u.program};
}

QStringList SummaryRow(const RecordReader::SummaryRow& r) {
  QStringList row{r.day, r.station, QString::number(r.units), QString::number(r.passed),
                  r.fresh > 0
                      ? QString::number(100.0 * double(r.firstPass) / double(r.fresh), 'f', 1) +
                            QLatin1Char('%')
                      : QStringLiteral("-")};
  for (qint64 failed : r.failedAt) row << QString::number(failed);
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
  RecordReader reader(store);
  Printer out(options.csv);
  bool written = true;  // standard output takes what is printed
  const auto print = [&out, &written](const QStringList& row) { return written = out.Add(row); };
  bool ok;
  if (options.summary) {
    QStringList header{QStringLiteral("day"), QStringLiteral("station"), QStringLiteral("units"),
                       QStringLiteral("passed"), QStringLiteral("first_pass_yield")};
    for (const QString& step : RecordReader::FailureSteps())
      header << QStringLiteral("fail_") + step;
    ok = print(header) &&
         reader.Summary(
             options.records,
             [&print](const RecordReader::SummaryRow& row) { return print(SummaryRow(row)); },
             &error);
  } else {
    ok = print({QStringLiteral("time"), QStringLiteral("station"), QStringLiteral("port"),
                QStringLiteral("serial"), QStringLiteral("firmware_before"),
                QStringLiteral("firmware_after"), QStringLiteral("result"), QStringLiteral("step"),
                QStringLiteral("reason"), QStringLiteral("seconds"),
                QStringLiteral("serial_before"), QStringLiteral("config_sha256"),
                QStringLiteral("firmware_sha256"), QStringLiteral("program")}) &&
         reader.ForEachUnit(
             options.records,
             [&print, &options](const RecordStore::Unit& unit) {
               return print(UnitRow(unit, options.csv));
             },
             &error);
  }
  written = written && out.Flush();
  if (!written) {
    PrintError(QStringLiteral("cannot write to standard output: %1").arg(out.failure));
    return kExitFailure;
  }
  if (ok) return kExitSuccess;
  PrintError(error);
  return kExitFailure;
}
