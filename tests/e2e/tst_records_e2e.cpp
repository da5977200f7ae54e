// tr5906ctl records on SQLite and on PostgreSQL: every filter and their combinations on a
// record of literal rows, the summary, a record of the older schema, and the memory a
// record of 100,000 units takes to print.
#include "Postgres.h"
#include "SimProcess.h"
#include "production/RecordStore.h"

#include <QSqlError>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

// The record: finished_at station port serial firmware_before firmware_after result step
// reason seconds serial_before ("" stored as NULL), and what records --csv prints of it.
const char* const kUnits[][2] = {
    {"2026-12-06T23:59:59.999Z|a|COM1|N-100|1.10|1.11|pass|||3.0|",
     "2026-12-06 23:59:59,a,COM1,N-100,1.10,1.11,pass,,,3.0,,,,"},
    {"2026-12-07T00:00:00.000Z|a|COM2|N-101|1.10|1.11|fail|verify|device_name: wrote P, read "
     "X|4.2|",
     "2026-12-07 00:00:00,a,COM2,N-101,1.10,1.11,fail,verify,\"device_name: wrote P, read "
     "X\",4.2,,,,"},
    {"2026-12-07T08:30:00.000Z|b|COM1||1.10||fail|serial|N-100 is being worked on at a "
     "COM1|0.5|N-100",
     "2026-12-07 08:30:00,b,COM1,,1.10,,fail,serial,N-100 is being worked on at a "
     "COM1,0.5,N-100,,,"},
    {"2026-12-07T08:31:59.500Z|b|COM1|N-102|1.10|1.11|pass|||3.1|XY-7",
     "2026-12-07 08:31:59,b,COM1,N-102,1.10,1.11,pass,,,3.1,XY-7,,,"},
    {"2026-12-07T12:00:00.000Z|a|COM2|N-103|1.10|1.11|pass|||2.9|N-101",
     "2026-12-07 12:00:00,a,COM2,N-103,1.10,1.11,pass,,,2.9,N-101,,,"},
    {"2026-12-08T00:00:00.000Z|b|COM2|N-100|1.10|1.11|pass|||2.0|N-100",
     "2026-12-08 00:00:00,b,COM2,N-100,1.10,1.11,pass,,,2.0,N-100,,,"},
    {"2026-12-08T09:15:00.000Z|a|COM1||||fail|identity|no answer|1.0|",
     "2026-12-08 09:15:00,a,COM1,,,,fail,identity,no answer,1.0,,,,"}};
const char* const kHeader =
    "time,station,port,serial,firmware_before,firmware_after,result,step,reason,seconds,"
    "serial_before,config_sha256,firmware_sha256,program";
const char* const kColumns =
    "finished_at, station, port, serial, firmware_before, firmware_after, result, step, reason, "
    "seconds, serial_before, config_sha256, firmware_sha256, program";

/// A connection of the test's own to the record at `url`.
QSqlDatabase Connect(const QString& url) {
  const bool postgres = url.startsWith("postgresql:");
  QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? "QPSQL" : "QSQLITE", url);
  db.setDatabaseName(postgres ? url.section('/', 3) : url);
  return db.open() ? db : QSqlDatabase();
}

/// An empty record at `url`, made by the program.
QSqlDatabase Create(const QString& url) {
  DatabaseAddress address;
  QString error;
  RecordStore store;
  if (!DatabaseAddress::Parse(url, &address, &error) || !store.Open(address, true, &error))
    qFatal("%s", qPrintable(error));
  return Connect(url);
}

/// Runs tr5906ctl, its standard output into `out`; its peak memory in KB, 0 when it failed.
long PeakKb(const QStringList& arguments, const QString& out) {
  QByteArrayList bytes{TR5906_CTL};
  for (const QString& argument : arguments) bytes << argument.toLocal8Bit();
  std::vector<char*> argv;
  for (QByteArray& argument : bytes) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, qPrintable(out), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = 0;
  int status = -1;
  rusage usage{};
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0 ||
      wait4(pid, &status, 0, &usage) != pid)
    status = -1;
  posix_spawn_file_actions_destroy(&actions);
  return status == 0 ? usage.ru_maxrss : 0;
}

}  // namespace

class TestRecordsE2e : public QObject {
  Q_OBJECT
  QTemporaryDir dir;
  QMap<QString, QString> records;  // "sqlite", "postgresql": the literal record's --db

 private Q_SLOTS:
  void initTestCase() {
    const QStringList urls{dir.filePath("line.sqlite"), PostgresDatabase("records")};
    for (const QString& url : urls) {
      if (url.isEmpty()) continue;
      QSqlDatabase db = Create(url);
      for (const auto& unit : kUnits) {
        QSqlQuery insert(db);
        insert.prepare(QString("INSERT INTO tr5906_units (%1) VALUES (?%2)")
                           .arg(kColumns, QString(", ?").repeated(13)));
        const QStringList fields = QString(unit[0]).split('|');
        for (const QString& field : fields + QStringList{"", "", ""})
          insert.addBindValue(field.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : field);
        QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
      }
      QVERIFY(
          QSqlQuery(db).exec("INSERT INTO tr5906_serials (serial, state, station, port, "
                             "taken_at) VALUES ('N-100', 'used', 'a', 'COM1', ''), ('N-101', "
                             "'void', 'a', 'COM2', ''), ('N-102', 'used', 'b', 'COM1', ''), "
                             "('N-103', 'used', 'a', 'COM2', '')"));
      records[url.startsWith("postgresql:") ? "postgresql" : "sqlite"] = url;
    }
  }

  // Units as numbers of kUnits (printed with --csv), other output line by line ("|"), or the
  // refusal of a bad value, which comes before the database is opened.
  void filters_data() {
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("args");  // split at "|"
    QTest::addColumn<QString>("expected");
    const QString summary =
        "day,station,units,passed,first_pass_yield,fail_identity,"
        "fail_firmware,fail_restart,fail_serial,fail_write,fail_verify,"
        "fail_record|";
    for (const char* backend : {"sqlite", "postgresql"}) {
      const auto row = [backend](const char* args, const QString& expected) {
        QTest::newRow(qPrintable(QString("%1: %2").arg(backend, args)))
            << backend << args << expected;
      };
      row("", "1 2 3 4 5 6 7");
      row("--serial|N-100", "1 3 6");  // got it, came with it (claimed elsewhere), reworked
      row("--serial|N-101", "2 5");
      row("--serial| XY-7 ", "4");
      row("--since|2026-12-07", "2 3 4 5 6 7");
      row("--until|2026-12-07", "1 2 3 4 5");
      row("--since|2026-12-07 08:30:01|--until|2026-12-07T08:31Z", "4");  // the whole minute
      row("--until|2026-12-07 08:31:59", "1 2 3 4");                      // the whole second
      row("--until|2026-12-07 08:31:58", "1 2 3");
      row("--station|b", "3 4 6");
      row("--station|a' OR '1' = '1", "");
      row("--port|COM2", "2 5 6");
      row("--station|a|--port|COM2", "2 5");
      row("--result|FAIL", "2 3 7");
      row("--result|pass|--station|b", "4 6");
      row("--last|2", "6 7");
      row("--last|2|--station|a", "5 7");
      row("--last|10|--result|fail|--since|2026-12-07 08:00", "3 7");
      row("--serial|N-100|--result|pass|--since|2026-12-08", "6");
      row("--summary|--csv",
          summary +
              "2026-12-06,a,1,1,100.0%,0,0,0,0,0,0,0|2026-12-07,a,2,1,0.0%,0,0,0,0,0,1,0|"
              "2026-12-07,b,2,1,100.0%,0,0,0,1,0,0,0|2026-12-08,a,1,0,0.0%,1,0,0,0,0,0,0|"
              "2026-12-08,b,1,1,-,0,0,0,0,0,0,0");
      row("--summary|--csv|--serial|N-100",
          summary +
              "2026-12-06,a,1,1,100.0%,0,0,0,0,0,0,0|2026-12-07,b,1,0,-,0,0,0,1,0,0,0|"
              "2026-12-08,b,1,1,-,0,0,0,0,0,0,0");
      row("--summary|--csv|--last|3|--port|COM1|--until|2026-12-07",
          summary + "2026-12-06,a,1,1,100.0%,0,0,0,0,0,0,0|2026-12-07,b,2,1,100.0%,0,0,0,1,0,0,0");
      row("--serial|N-101",  // a table
          "time                 station  port  serial  firmware_before  firmware_after  result  "
          "step    reason                        seconds  serial_before  config_sha256  "
          "firmware_sha256  program|2026-12-07 00:00:00  a        COM2  N-101   1.10             "
          "1.11            fail    verify  device_name: wrote P, read X  4.2|2026-12-07 "
          "12:00:00  a        COM2  N-103   1.10             1.11            pass                "
          "                          2.9      N-101");
    }
    const auto refused = [](const char* args, const char* error) {
      QTest::newRow(args) << "none" << args << QString("tr5906ctl: ") + error;
    };
    refused("--since|2026-02-30",
            "--since \"2026-02-30\" is neither a date (YYYY-MM-DD) nor a date and time "
            "(YYYY-MM-DD HH:MM[:SS]), UTC");
    refused("--until|2026-12-07 24:00",
            "--until \"2026-12-07 24:00\" is neither a date (YYYY-MM-DD) nor a date and time "
            "(YYYY-MM-DD HH:MM[:SS]), UTC");
    refused("--since|2026-12-08|--until|2026-12-07",
            "--since comes after --until: no unit finished between them");
    refused("--result|passed", "--result takes pass or fail, not \"passed\"");
    refused("--last|0", "--last takes a number of units, 1 or more, not \"0\"");
    refused("--station| ", "--station needs a value");
  }
  void filters() {
    QFETCH(QString, backend);
    QFETCH(QString, args);
    QFETCH(QString, expected);
    if (backend == "postgresql" && !records.contains(backend))
      QSKIP("no PostgreSQL server (PGHOST, PGDATABASE unset): run under pg_virtualenv");
    const bool units = !expected.contains(QRegularExpression("[^ 0-9]"));
    QStringList command{"records", "--db", records.value(backend, dir.filePath("none.sqlite"))};
    command << (args.isEmpty() ? QStringList() : args.split('|'));
    if (units) command << "--csv";
    const CtlRun run = RunCtl(command);
    if (backend == "none") {
      QCOMPARE(run.errors.trimmed(), expected);
      QCOMPARE(run.exitCode, 2);
      return;
    }
    QStringList lines = expected.split('|');
    if (units) {
      lines = QStringList{kHeader};
      for (const QString& number : expected.split(' ', Qt::SkipEmptyParts))
        lines << kUnits[number.toInt() - 1][1];
    }
    QCOMPARE(run.lines, lines);
    QCOMPARE(run.exitCode, 0);
  }

  // A record made by the schema before this one: upgraded when first read, its units kept.
  void recordOfTheSecondSchema() {
    const QString db = dir.filePath("v2.sqlite");
    QVERIFY(QFile::copy(TR5906_TEST_DATA "/records_v2.sqlite", db));
    const CtlRun run = RunCtl({"records", "--db", db, "--serial", "TR-2026-000100", "--csv"});
    QCOMPARE(run.lines.mid(1).join('\n').replace(QRegularExpression(",[0-9a-f]{64},"), ",#,"),
             "2026-12-07 03:31:17,line2,/dev/pts/0,TR-2026-000100,1.10.Kestrel_Old,"
             "1.10.Kestrel_Old,pass,,,1.1,,#,,tr5906ctl 1.1.1\n"
             "2026-12-07 03:31:23,line2,/dev/pts/0,TR-2026-000100,1.10.Kestrel_Old,"
             "1.10.Kestrel_Old,pass,,,2.0,TR-2026-000100,#,,tr5906ctl 1.1.1");
    QSqlQuery schema(Connect(db));
    QVERIFY(schema.exec("SELECT version FROM tr5906_schema") && schema.next());
    QCOMPARE(schema.value(0).toInt(), 3);
  }

  // 100,000 units print in the memory one unit takes: rows are never gathered.
  void constantMemory_data() {
    QTest::addColumn<QString>("backend");
    QTest::newRow("sqlite") << "sqlite";
    QTest::newRow("postgresql") << "postgresql";
  }
  void constantMemory() {
    QFETCH(QString, backend);
    const QString url =
        backend == "sqlite" ? dir.filePath("year.sqlite") : PostgresDatabase("year");
    if (url.isEmpty()) QSKIP("no PostgreSQL server (PGHOST, PGDATABASE unset)");
    QSqlQuery fill(Create(url));
    QVERIFY2(fill.exec(QString("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                               "WHERE i < 100000) INSERT INTO tr5906_units (%1) SELECT "
                               "'2026-12-07T10:00:00.000Z', 'line2', '/dev/ttyUSB0', "
                               "'TR-2026-' || (100000 + i), '1.10.Kestrel_Old', '1.11.Plover', "
                               "'pass', '', '', 38.5, NULL, '%2', '%2', 'tr5906ctl 1.1.1' FROM n")
                           .arg(kColumns, QString(64, 'e'))),
             qPrintable(fill.lastError().text()));
    // Memory the sanitizers hold back from reuse is theirs, not the program's.
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qputenv("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "quarantine_size_mb=0");
    for (const QStringList& form : {QStringList{"--csv"}, QStringList{}}) {
      const QStringList args = QStringList{"records", "--db", url} + form;
      const long one = PeakKb(args + QStringList{"--last", "1"}, dir.filePath("one"));
      const long all = PeakKb(args, dir.filePath("all"));
      QVERIFY2(one > 0 && all - one < 8 * 1024,
               qPrintable(QString("%1 KB, for one unit %2 KB").arg(all).arg(one)));
      const QByteArrayList lines = ReadFile(dir.filePath("all")).split('\n');
      QCOMPARE(lines.size(), 100002);  // the header, the units, and nothing after the last
      if (!form.isEmpty())
        QCOMPARE(lines[100000],
                 "2026-12-07 10:00:00,line2,/dev/ttyUSB0,TR-2026-200000,1.10.Kestrel_Old,"
                 "1.11.Plover,pass,,,38.5,," +
                     QByteArray(64, 'e') + ',' + QByteArray(64, 'e') + ",tr5906ctl 1.1.1");
    }
  }
};

QTEST_GUILESS_MAIN(TestRecordsE2e)
#include "tst_records_e2e.moc"
