// tr5906ctl provision against simulators on pseudo-terminals: a faulty terminal
// among healthy ones, a run killed mid-way and started again, and two processes
// sharing one PostgreSQL counter.
#include "SimProcess.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>

namespace {

/// Simulators dumping their memory into a folder; Held() stops them and gives
/// the serial number each one ended with, sorted.
struct Sims {
  QTemporaryDir dir;
  std::deque<SimProcess> all;
  QString Dump(int i) const { return dir.filePath(QString("sim%1").arg(i)); }
  bool Start(int count, const QStringList& firstFault = {}) {
    for (int i = 0; i < count; ++i) {
      const QStringList fault = i == 0 ? firstFault : QStringList();
      if (!all.emplace_back().Start(QStringList{"--dump-image", Dump(i)} + fault)) return false;
    }
    return true;
  }
  QStringList Provision(const QString& db, int from, int to, const QStringList& more = {}) {
    QStringList args{"provision", "--db", db, "--first-serial", "TR-2026-000100", "--config"};
    args << TR5906_TEST_DATA "/provision.quelt" << more;
    for (int i = from; i < to; ++i) args << "--port" << all[i].path;
    return args;
  }
  QStringList Held(int from = 0) {
    QStringList held;
    for (int i = from; i < int(all.size()); ++i) {
      all[i].Stop();
      const QByteArray serial = ReadFile(Dump(i)).mid(2048, 32);
      held << QString::fromLatin1(serial.left(serial.indexOf('\0')));
    }
    held.sort();
    return held;
  }
};

/// serial -> "pass" or "fail <step>", from records --csv.
QMap<QString, QString> Records(const QString& db) {
  QMap<QString, QString> result;
  for (const QString& line : RunCtl({"records", "--db", db, "--csv"}).lines.mid(1)) {
    const QStringList f = line.split(',');
    result.insert(f.value(3), f.value(6) == "pass" ? "pass" : "fail " + f.value(7));
  }
  return result;
}

}  // namespace

class TestProvisionE2e : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // The first of three terminals is faulty. A number it took is void: the two
  // that pass hold the two others.
  void faultyTerminalAmongHealthyOnes_data() {
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<QStringList>("firmware");
    QTest::addColumn<QString>("failed");  // the faulty unit's record
    QTest::newRow("pulled mid-write")
        << QStringList{"--hangup-after", "1500"} << QStringList{} << "fail write";
    QTest::newRow("refusing a block")
        << QStringList{"--refuse-block", "1"} << QStringList{} << "fail identity";
    QTest::newRow("boot loader refusing a block")
        << QStringList{"--boot-refuse-block", "0"}
        << QStringList{"--firmware", TR5906_TEST_DATA "/firmware_linear.hex"} << "fail firmware";
  }
  void faultyTerminalAmongHealthyOnes() {
    QFETCH(QStringList, fault);
    QFETCH(QStringList, firmware);
    QFETCH(QString, failed);
    Sims sims;
    QVERIFY(sims.Start(3, fault));
    const QString db = sims.dir.filePath("line.sqlite");
    const CtlRun run = RunCtl(sims.Provision(db, 0, 3, firmware), 60000);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines.last(), "2 passed, 1 failed");
    const QMap<QString, QString> records = Records(db);
    QCOMPARE(records.values().count(failed), 1);
    QCOMPARE(records.keys("pass"), sims.Held(1));
  }

  void killedRunNeverRepeatsANumber() {
    Sims sims;
    QVERIFY(sims.Start(2));
    const QString db = sims.dir.filePath("line.sqlite");
    // Killed (SIGKILL) once both ports write their number.
    QVERIFY(RunCtl(sims.Provision(db, 0, 2), 30000, "TR-2026-000101  write", [](QProcess& ctl) {
              ctl.kill();
            }).triggered);
    QCOMPARE(RunCtl(sims.Provision(db, 0, 2), 60000).exitCode, 0);
    // 100 and 101 went to the killed run; they are void, never handed out again.
    QCOMPARE(sims.Held(), (QStringList{"TR-2026-000102", "TR-2026-000103"}));
  }

  void twoProcessesShareOnePostgresCounter() {
    if (qEnvironmentVariableIsEmpty("PGHOST") || qEnvironmentVariableIsEmpty("PGDATABASE"))
      QSKIP("no PostgreSQL server (PGHOST, PGDATABASE unset): run under pg_virtualenv");
    const QString name = QString("tr5906_e2e_%1").arg(QCoreApplication::applicationPid());
    QSqlDatabase admin = QSqlDatabase::addDatabase("QPSQL", "admin");
    admin.setDatabaseName(qEnvironmentVariable("PGDATABASE"));
    QVERIFY(admin.open() && QSqlQuery(admin).exec("CREATE DATABASE " + name));
    const QString db = "postgresql:///" + name;  // server and user from PGHOST, PGUSER, ...
    Sims sims;
    QVERIFY(sims.Start(4));
    QProcess first, second;
    first.start(TR5906_CTL, sims.Provision(db, 0, 2));
    second.start(TR5906_CTL, sims.Provision(db, 2, 4));
    QVERIFY(first.waitForFinished(90000) && second.waitForFinished(90000));
    QCOMPARE(first.exitCode() + second.exitCode(), 0);
    const QStringList held = sims.Held();
    QCOMPARE(held,
             (QStringList{"TR-2026-000100", "TR-2026-000101", "TR-2026-000102", "TR-2026-000103"}));
    QCOMPARE(Records(db).keys("pass"), held);
    QSqlQuery(admin).exec("DROP DATABASE " + name);
  }
};

QTEST_GUILESS_MAIN(TestProvisionE2e)
#include "tst_provision_e2e.moc"
