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

/// Simulators dumping their memory and flash into a folder.
struct Sims {
  QTemporaryDir dir;
  std::deque<SimProcess> all;
  QString Dump(int i) const { return dir.filePath(QString("sim%1").arg(i)); }
  /// One simulator for each list of faults (an empty one: a healthy terminal).
  bool Start(const QList<QStringList>& faults) {
    for (const QStringList& fault : faults) {
      const QString dump = Dump(int(all.size()));
      if (!all.emplace_back().Start(
              QStringList{"--dump-image", dump, "--dump-flash", dump + ".flash"} + fault))
        return false;
    }
    return true;
  }
  QStringList Provision(const QString& db, int from, int to, const QStringList& more = {}) {
    QStringList args{"provision", "--db", db, "--first-serial", "TR-2026-000100", "--config"};
    args << TR5906_TEST_DATA "/provision.quelt" << more;
    for (int i = from; i < to; ++i) args << "--port" << all[i].path;
    return args;
  }
  /// Stops them all; the serial numbers the first `count` hold, sorted.
  QStringList Held(int count) {
    QStringList held;
    for (int i = 0; i < int(all.size()); ++i) {
      all[i].Stop();
      const QByteArray serial = ReadFile(Dump(i)).mid(2048, 32);
      if (i < count) held << QString::fromLatin1(serial.left(serial.indexOf('\0')));
    }
    held.sort();
    return held;
  }
};

/// The serial numbers of the units that passed, sorted, and every record's
/// result ("pass" or "fail <step>"), sorted: from records --csv.
QPair<QStringList, QStringList> Records(const QString& db) {
  QStringList passed, results;
  for (const QString& line : RunCtl({"records", "--db", db, "--csv"}).lines.mid(1)) {
    const QStringList f = line.split(',');
    results << (f.value(6) == "pass" ? "pass" : "fail " + f.value(7));
    if (f.value(6) == "pass") passed << f.value(3);
  }
  passed.sort();
  results.sort();
  return {passed, results};
}

}  // namespace

class TestProvisionE2e : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Three faulty terminals among two healthy ones, in one run with a firmware
  // update: each faulty unit is recorded with the step it failed at, a number
  // it took is void, and the two that pass hold two others.
  void faultyTerminalsAmongHealthyOnes() {
    Sims sims;
    QVERIFY(sims.Start({{},
                        {},
                        {"--hangup-after", "1500"},
                        {"--refuse-block", "1"},
                        {"--boot-refuse-block", "0"}}));
    const QString db = sims.dir.filePath("line.sqlite");
    const QStringList firmware = {"--firmware", TR5906_TEST_DATA "/firmware_linear.hex"};
    const CtlRun run = RunCtl(sims.Provision(db, 0, 5, firmware), 60000);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines.last(), "2 passed, 3 failed");
    const auto [passed, results] = Records(db);
    QCOMPARE(results,
             (QStringList{"fail firmware", "fail identity", "fail write", "pass", "pass"}));
    QCOMPARE(passed, sims.Held(2));
    QCOMPARE(ReadFile(sims.Dump(0) + ".flash").mid(0x1FFC0, 4).toHex(), "030a1118");  // updated
  }

  void killedRunNeverRepeatsANumber() {
    Sims sims;
    QVERIFY(sims.Start({{}, {}}));
    const QString db = sims.dir.filePath("line.sqlite");
    // Killed (SIGKILL) once both ports write their number.
    QVERIFY(RunCtl(sims.Provision(db, 0, 2), 30000, "TR-2026-000101  write", [](QProcess& ctl) {
              ctl.kill();
            }).triggered);
    QCOMPARE(RunCtl(sims.Provision(db, 0, 2), 60000).exitCode, 0);
    // 100 and 101 went to the killed run; they are void, never handed out again.
    QCOMPARE(sims.Held(2), (QStringList{"TR-2026-000102", "TR-2026-000103"}));
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
    QVERIFY(sims.Start({{}, {}, {}, {}}));
    QProcess first, second;
    first.start(TR5906_CTL, sims.Provision(db, 0, 2));
    second.start(TR5906_CTL, sims.Provision(db, 2, 4));
    QVERIFY(first.waitForFinished(90000) && second.waitForFinished(90000));
    QCOMPARE(first.exitCode() + second.exitCode(), 0);
    const QStringList held = sims.Held(4);
    QCOMPARE(held,
             (QStringList{"TR-2026-000100", "TR-2026-000101", "TR-2026-000102", "TR-2026-000103"}));
    QCOMPARE(Records(db).first, held);
    QSqlQuery(admin).exec("DROP DATABASE " + name);
  }
};

QTEST_GUILESS_MAIN(TestProvisionE2e)
#include "tst_provision_e2e.moc"
