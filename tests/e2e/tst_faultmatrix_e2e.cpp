// The faults that need a real line: tr5906ctl against tr5906-sim through a
// pseudo-terminal, the simulator vanishing in the middle of a read, a write,
// a core log and a firmware update, and answers slower than the time-out and
// just inside it, on real timers. Every run has a hard time limit; each must
// end on its own, report the failure, and leave nothing half done behind.
#include "HexRecord.h"
#include "SimProcess.h"
#include "image/ConfigFile.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

/// One line for the reliability report: "MATRIX<TAB>case<TAB>expected<TAB>seen".
void ReportCase(const QString& name, const QString& expected, const QString& seen) {
  qInfo().noquote() << QStringLiteral("MATRIX\t%1\t%2\t%3").arg(name, expected, seen);
}

QString Seen(const CtlRun& run) {
  const QString last = run.lines.isEmpty() ? QString() : run.lines.last();
  return QStringLiteral("exit %1; last line \"%2\"; %3 s")
      .arg(run.timedOut ? QStringLiteral("(killed: time limit)") : QString::number(run.exitCode),
           last)
      .arg(run.elapsedMs / 1000.0, 0, 'f', 1);
}

/// A HEX file of `size` bytes from 0x08010000, 32 to a record.
QByteArray HexFile(int size) {
  QByteArray text = ":020000040801F1\n";
  for (int offset = 0; offset < size; offset += 32) {
    QByteArray data;
    for (int i = 0; i < 32; ++i) data.append(char((offset + i) * 7));
    text += HexRecord(0, offset, data) + '\n';
  }
  return text + ":00000001FF\n";
}

/// tr5906-sim that can vanish at once, as a pulled cable does.
using PullableSim = SimProcess;

/// Runs tr5906ctl and kills the simulator once the output shows `trigger`;
/// the run itself must end by itself within `limitMs`.
CtlRun RunAndPullTheCable(PullableSim& sim, const QStringList& arguments, const QString& trigger,
                          int limitMs) {
  CtlRun run;
  QProcess process;
  process.setProgram(QStringLiteral(TR5906_CTL));
  process.setArguments(arguments);
  QElapsedTimer timer;
  timer.start();
  process.start();
  if (!process.waitForStarted(5000)) return run;
  QByteArray out;
  bool pulled = false;
  while (process.state() == QProcess::Running && timer.elapsed() < limitMs) {
    process.waitForReadyRead(50);
    out += process.readAllStandardOutput();
    if (!pulled && out.contains(trigger.toUtf8())) {
      sim.Kill();
      pulled = true;
    }
  }
  if (process.state() == QProcess::Running) {
    run.timedOut = true;
    process.kill();
  }
  process.waitForFinished(2000);
  out += process.readAllStandardOutput();
  run.elapsedMs = timer.elapsed();
  if (!run.timedOut && process.exitStatus() == QProcess::NormalExit)
    run.exitCode = process.exitCode();
  run.lines = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  run.errors = QString::fromUtf8(process.readAllStandardError());
  if (!pulled) run.errors += QStringLiteral("\n(the trigger line never came)");
  return run;
}

}  // namespace

class TestFaultMatrixEndToEnd : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

 private Q_SLOTS:
  void cablePulled_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("trigger");
    QTest::newRow("read / cable pulled mid-read") << "read"
                                                  << "11%";
    QTest::newRow("write / cable pulled mid-write") << "write"
                                                    << "11%";
    QTest::newRow("core log / cable pulled mid-log") << "log"
                                                     << "logentry 2";
    QTest::newRow("firmware update / cable pulled mid-update") << "update"
                                                               << "完成进度:2";
  }
  void cablePulled() {
    QFETCH(QString, command);
    QFETCH(QString, trigger);
    ParameterImage image;
    LoadDefaults(image);
    const QString config = dir_.filePath(QStringLiteral("kept.quelt"));
    QVERIFY(ConfigFile::Save(config, image).ok);
    const QByteArray configBefore = [&] {
      QFile f(config);
      return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const QString hex = dir_.filePath(QStringLiteral("app.hex"));
    {
      QFile f(hex);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(HexFile(8192));
    }

    PullableSim sim;
    // On real wire time the transfer lasts long enough to be cut in the middle.
    QStringList simArguments{QStringLiteral("--wire")};
    for (int i = 0; i < 20; ++i)
      simArguments << QStringLiteral("--log")
                   << QStringLiteral("entry %1 of a long core log").arg(i);
    QVERIFY(sim.Start(simArguments));
    QStringList arguments{command};
    if (command == "read") arguments << "-o" << config;
    if (command == "write") arguments << "-i" << config;
    if (command == "update") arguments << hex;
    arguments << "--port" << sim.Path() << "--retries"
              << "0";
    const CtlRun run = RunAndPullTheCable(sim, arguments, trigger, 20000);
    ReportCase(QString::fromUtf8(QTest::currentDataTag()),
               QStringLiteral("exit 1 within 10 s, no success line, file kept"), Seen(run));

    QVERIFY2(!run.timedOut, qPrintable(run.lines.join('\n')));
    QVERIFY2(!run.errors.contains("trigger line never came"), qPrintable(run.lines.join('\n')));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.elapsedMs < 10000, qPrintable(QString::number(run.elapsedMs)));
    for (const char* success : {"读取成功!", "设置成功", "读取完毕!", "升级成功！"})
      QVERIFY(!run.lines.contains(QString::fromUtf8(success)));
    // A read that failed leaves the earlier file as it was.
    QFile f(config);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), configBefore);
  }

  void slowAnswers_data() {
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<bool>("ok");
    QTest::newRow("reset / answers just inside the time-out") << 800 << true;
    QTest::newRow("reset / answers slower than the time-out") << 1300 << false;
    QTest::newRow("read / answers slower than the time-out") << 1300 << false;
  }
  void slowAnswers() {
    QFETCH(int, delayMs);
    QFETCH(bool, ok);
    const bool read = QByteArray(QTest::currentDataTag()).startsWith("read");
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--slow"), QString::number(delayMs)}));
    QStringList arguments;
    if (read)
      arguments << "read"
                << "-o" << dir_.filePath(QStringLiteral("slow.quelt"));
    else
      arguments << "reset";
    arguments << "--port" << sim.Path() << "--retries"
              << "0";
    const CtlRun run = RunCtl(arguments, 20000);
    ReportCase(QString::fromUtf8(QTest::currentDataTag()),
               ok ? QStringLiteral("exit 0, \"设置成功\"")
                  : QStringLiteral("exit 1, failure reported, within 10 s"),
               Seen(run));
    QVERIFY2(!run.timedOut, "kept repeating without end");
    QCOMPARE(run.exitCode, ok ? 0 : 1);
    if (ok) {
      QVERIFY(run.lines.contains(QStringLiteral("设置成功")));
    } else {
      // Either the question (answered Cancel) or a late answer taken for
      // the wrong request ends it; either way it ends, as a failure.
      QVERIFY2(run.lines.join('\n').contains(QStringLiteral("失败")) ||
                   run.errors.contains(QStringLiteral("检测连接！重试或取消？")),
               qPrintable(run.errors));
      QVERIFY2(run.elapsedMs < 10000, qPrintable(QString::number(run.elapsedMs)));
      if (read) QVERIFY(!QFile::exists(dir_.filePath(QStringLiteral("slow.quelt"))));
    }
    QCOMPARE(sim.Stop(), 0);  // the simulator is still fine
  }

  // A terminal that never answers one request, a boot loader that answers a
  // data block late: each run ends on its own, and a success holds the file.
  void oneRequest_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("fault");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("read / never answers the identity read")
        << "read" << QStringList{"--silent-block", "64"} << 1;
    QTest::newRow("core log / never answers a text block")
        << "log" << QStringList{"--silent-block", "129"} << 1;
    QTest::newRow("firmware update / a block answered late, rewrites accepted")
        << "update" << QStringList{"--boot-late-block", "1"} << 0;
  }
  void oneRequest() {
    QFETCH(QString, command);
    QFETCH(QStringList, fault);
    QFETCH(int, exitCode);
    const QString hex = dir_.filePath(QStringLiteral("late.hex"));
    {
      QFile f(hex);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(HexFile(1024));
    }
    const QString dump = dir_.filePath(QStringLiteral("late-flash.bin"));
    SimProcess sim;
    QVERIFY(sim.Start(fault + QStringList{"--dump-flash", dump, "--log", "first entry", "--log",
                                          "second entry, a little longer"}));
    QStringList arguments{command};
    if (command == "read") arguments << "-o" << dir_.filePath(QStringLiteral("never.quelt"));
    if (command == "update") arguments << hex;
    arguments << "--port" << sim.Path() << "--retries"
              << "0";
    const CtlRun run = RunCtl(arguments, 30000);
    ReportCase(QString::fromUtf8(QTest::currentDataTag()),
               exitCode == 0 ? QStringLiteral("exit 0, \"升级成功！\", the flash holds the file")
                             : QStringLiteral("exit 1 after the question, within 15 s"),
               Seen(run));
    QVERIFY2(!run.timedOut, "kept repeating without end");
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(sim.Stop(), 0);
    if (exitCode != 0) {
      QVERIFY2(run.errors.contains(QStringLiteral("检测连接！重试或取消？")),
               qPrintable(run.errors));
      QVERIFY2(run.elapsedMs < 15000, qPrintable(QString::number(run.elapsedMs)));
      return;
    }
    QCOMPARE(run.lines.last(), QStringLiteral("升级成功！"));
    QFile f(dump);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray flash = f.readAll();
    QCOMPARE(flash.size(), 0x42000);
    for (int offset = 0; offset < 1024; ++offset)
      QCOMPARE(uint8_t(flash[0x10000 + offset]), uint8_t(offset * 7));
  }

  // The simulator's --format is the format its memory holds: a read finds it
  // in the RS-485 words (9 to 12: baud / 100, parity, stop bits, data bits).
  void simulatorFormatIsInItsMemory() {
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--format"), QStringLiteral("19200,E,8,1")}));
    const QString file = dir_.filePath(QStringLiteral("format.quelt"));
    const CtlRun run =
        RunCtl({QStringLiteral("read"), QStringLiteral("-o"), file, QStringLiteral("--port"),
                sim.Path(), QStringLiteral("--link"), QStringLiteral("19200,E,8,1")});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(sim.Stop(), 0);
    ParameterImage image;
    QVERIFY(ConfigFile::Open(file, image).ok);
    QCOMPARE(
        (QList<int>{image.GetUWord(9), image.GetUWord(10), image.GetUWord(11), image.GetUWord(12)}),
        (QList<int>{192, 1, 1, 8}));
  }
};

QTEST_GUILESS_MAIN(TestFaultMatrixEndToEnd)
#include "tst_faultmatrix_e2e.moc"
