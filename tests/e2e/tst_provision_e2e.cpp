// tr5906ctl provision against simulators on pseudo-terminals: one faulty
// terminal among healthy ones, a run killed mid-way and started again, and
// two processes sharing one PostgreSQL counter.
#include <QtTest>

#include "SimProcess.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <memory>
#include <vector>

namespace {

using Sims = std::vector<std::unique_ptr<SimProcess>>;

/// Starts `count` simulators dumping their memory into `dir`.
bool StartSims(Sims* sims, int count, const QTemporaryDir& dir, const QStringList& extra = {}) {
  for (int i = 0; i < count; ++i) {
    const int n = int(sims->size());
    sims->push_back(std::make_unique<SimProcess>());
    if (!sims->back()->Start(
            QStringList{"--dump-image", dir.filePath(QString("sim%1.quelt").arg(n))} +
            (i == 0 ? extra : QStringList{})))
      return false;
  }
  return true;
}

/// The serial number each stopped simulator holds, by index.
QStringList Held(Sims* sims, const QTemporaryDir& dir) {
  QStringList held;
  for (size_t i = 0; i < sims->size(); ++i) {
    (*sims)[i]->Stop();
    QFile file(dir.filePath(QString("sim%1.quelt").arg(i)));
    QByteArray serial = file.open(QIODevice::ReadOnly) ? file.readAll().mid(2048, 32) : "";
    held << QString::fromLatin1(serial.left(serial.indexOf('\0')));
  }
  return held;
}

QStringList Provision(const Sims& sims, size_t from, size_t to, const QString& db) {
  QStringList args{"provision",     "--config", TR5906_TEST_DATA "/provision.quelt",
                   "--db",          db,         "--first-serial",
                   "TR-2026-000100"};
  for (size_t i = from; i < to; ++i) args << "--port" << sims[i]->Path();
  return args;
}

/// serial -> "pass" or "fail <step>", from records --csv.
QMap<QString, QString> Records(const QString& db) {
  QMap<QString, QString> result;
  const CtlRun run = RunCtl({"records", "--db", db, "--csv"});
  for (const QString& line : run.lines.mid(1)) {
    const QStringList f = line.split(',');
    result.insert(f.value(3), f.value(6) == "pass" ? "pass" : "fail " + f.value(7));
  }
  return result;
}

}  // namespace

class TestProvisionE2e : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void faultyTerminalAmongHealthyOnes_data() {
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<QString>("failed");  // the faulty unit's record
    QTest::newRow("pulled mid-write") << QStringList{"--hangup-after", "1500"} << "fail write";
    QTest::newRow("refusing a block") << QStringList{"--refuse-block", "1"} << "fail identity";
    QTest::newRow("silent mid-write") << QStringList{"--silent-after", "200"} << "fail write";
  }
  void faultyTerminalAmongHealthyOnes() {
    QFETCH(QStringList, fault);
    QFETCH(QString, failed);
    QTemporaryDir dir;
    Sims sims;
    QVERIFY(StartSims(&sims, 1, dir, fault));
    QVERIFY(StartSims(&sims, 3, dir));
    const QString db = dir.filePath("line.sqlite");
    const CtlRun run = RunCtl(Provision(sims, 0, 4, db), 60000);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.lines.contains("3 passed, 1 failed"));

    const QMap<QString, QString> records = Records(db);
    const QStringList held = Held(&sims, dir).mid(1);
    QStringList passed = records.keys("pass");
    QCOMPARE(records.values().count(failed), 1);
    QStringList heldSorted = held;
    heldSorted.sort();
    QCOMPARE(heldSorted, passed);
    QCOMPARE(QSet<QString>(held.begin(), held.end()).size(), 3);
  }

  void firmwareBeforeTheNumber_data() {
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<QString>("record");
    QTest::newRow("updated") << QStringList{} << "pass";
    QTest::newRow("block refused") << QStringList{"--boot-refuse-block", "0"} << "fail firmware";
  }
  void firmwareBeforeTheNumber() {
    QFETCH(QStringList, fault);
    QFETCH(QString, record);
    QTemporaryDir dir;
    SimProcess sim;
    QVERIFY(sim.Start(QStringList{"--dump-flash", dir.filePath("flash.bin")} + fault));
    const QString db = dir.filePath("line.sqlite");
    const CtlRun run = RunCtl({"provision", "--config", TR5906_TEST_DATA "/provision.quelt",
                               "--firmware", TR5906_TEST_DATA "/firmware_linear.hex", "--db", db,
                               "--first-serial", "F-1", "--port", sim.Path()},
                              120000);
    QCOMPARE(run.exitCode, record == "pass" ? 0 : 1);
    QCOMPARE(Records(db).value(record == "pass" ? "F-1" : ""), record);
    sim.Stop();
    QFile flash(dir.filePath("flash.bin"));
    QVERIFY(flash.open(QIODevice::ReadOnly));
    // The first record of the file, at 0x0801FFC0.
    QCOMPARE(flash.readAll().mid(0x1FFC0, 4) == QByteArray::fromHex("030A1118"), record == "pass");
  }

  void killedRunNeverRepeatsANumber() {
    QTemporaryDir dir;
    Sims sims;
    QVERIFY(StartSims(&sims, 2, dir, {}));
    const QString db = dir.filePath("line.sqlite");
    {
      QProcess ctl;  // killed (SIGKILL) once both ports write their number
      ctl.start(TR5906_CTL, Provision(sims, 0, 2, db));
      QByteArray out;
      QElapsedTimer timer;
      timer.start();
      while (out.count(" write") < 2 && timer.elapsed() < 30000 && ctl.waitForReadyRead(1000))
        out += ctl.readAllStandardOutput();
      ctl.kill();
      ctl.waitForFinished(5000);
      QCOMPARE(out.count(" write"), 2);
    }
    const CtlRun again = RunCtl(Provision(sims, 0, 2, db), 60000);
    QCOMPARE(again.exitCode, 0);
    QStringList held = Held(&sims, dir);
    held.sort();
    // 100 and 101 went to the killed run; they are void, never handed out again.
    QCOMPARE(held, (QStringList{"TR-2026-000102", "TR-2026-000103"}));
  }

  void twoProcessesShareOnePostgresCounter() {
    if (qEnvironmentVariableIsEmpty("PGHOST") || qEnvironmentVariableIsEmpty("PGDATABASE"))
      QSKIP("no PostgreSQL server (PGHOST, PGDATABASE unset): run under pg_virtualenv");
    const QString name = QString("tr5906_e2e_%1").arg(QCoreApplication::applicationPid());
    {
      QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "admin");
      admin.setDatabaseName(qEnvironmentVariable("PGDATABASE"));
      QVERIFY(admin.open());
      QVERIFY(QSqlQuery(admin).exec("CREATE DATABASE " + name));
    }
    QUrl url;
    url.setScheme("postgresql");
    url.setUserName(qEnvironmentVariable("PGUSER"));
    url.setPassword(qEnvironmentVariable("PGPASSWORD"));
    url.setHost(qEnvironmentVariable("PGHOST"));
    url.setPort(qEnvironmentVariable("PGPORT", "5432").toInt());
    url.setPath("/" + name);
    const QString db = url.toString();

    QTemporaryDir dir;
    Sims sims;
    QVERIFY(StartSims(&sims, 8, dir));
    QProcess first;
    QProcess second;
    first.start(TR5906_CTL, Provision(sims, 0, 4, db));
    second.start(TR5906_CTL, Provision(sims, 4, 8, db));
    QVERIFY(first.waitForFinished(90000) && second.waitForFinished(90000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);

    QStringList held = Held(&sims, dir);
    held.sort();
    QCOMPARE(held,
             (QStringList{"TR-2026-000100", "TR-2026-000101", "TR-2026-000102", "TR-2026-000103",
                          "TR-2026-000104", "TR-2026-000105", "TR-2026-000106", "TR-2026-000107"}));
    const QMap<QString, QString> records = Records(db);
    QCOMPARE(records.keys("pass"), held);
    QCOMPARE(RunCtl({"records", "--db", db, "--csv"}).lines.size(), 1 + 8);
    QSqlDatabase admin = QSqlDatabase::database("admin");
    QSqlQuery(admin).exec("DROP DATABASE " + name);
  }
};

QTEST_GUILESS_MAIN(TestProvisionE2e)
#include "tst_provision_e2e.moc"
