// tr5906ctl: the port scan and the remembered port against simulators, Ctrl-C
// during a transaction, and the commands that need no terminal. The
// transactions themselves run in tst_faultmatrix_e2e.
#include "SimProcess.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestCtlEndToEnd : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString File(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:
  // The first Ctrl-C cancels the transaction and gives the port back: the
  // second run opens it again.
  void ctrlCCancels() {
    SimProcess terminal;
    QVERIFY(terminal.Start({"--silent"}));
    for (int run = 0; run < 2; ++run) {
      const CtlRun ctl = RunCtl({"read", "-o", File("c"), "--port", terminal.path}, 10000, "Try(0)",
                                [](QProcess& p) { ::kill(pid_t(p.processId()), SIGINT); });
      QVERIFY(ctl.triggered);
      QCOMPARE(ctl.exitCode, 1);
      QVERIFY2(ctl.errors.contains("read cancelled"), qPrintable(ctl.errors));
    }
    QVERIFY(!QFile::exists(File("c")));
  }

  // The machine's own serial devices get numbers too: only the two mapped
  // simulators are looked at.
  void portsScanAndRememberedPort() {
    const QString settings = File("ports.conf");
    QSettings(settings, QSettings::IniFormat).setValue("ComPort", "3");
    SimProcess seven, three;
    QVERIFY(seven.Start({"--map", "7", "--settings", settings}));
    QVERIFY(three.Start({"--map", "3", "--settings", settings}));
    const QStringList store = {"--settings", settings};
    const QString threeEntry = "* COM3 (" + three.path.mid(5) + ")";
    const QStringList ports = RunCtl(QStringList{"ports"} + store).lines;
    QVERIFY2(ports.contains(threeEntry) &&
                 ports.indexOf(threeEntry) < ports.indexOf("  COM7 (" + seven.path.mid(5) + ")"),
             qPrintable(ports.join('|')));
    QCOMPARE(RunCtl(QStringList{"ports", "--map", "9", seven.path} + store).lines,
             QStringList{"COM9 (" + seven.path.mid(5) + ")"});
    // Without --port a transaction uses the remembered port, COM3.
    QCOMPARE(RunCtl(QStringList{"reset"} + store).exitCode, 0);
    // A simulator removes its mapping when it ends: the refresh then selects
    // and stores another port.
    three.Stop();
    const QStringList after = RunCtl(QStringList{"ports"} + store).lines;
    QVERIFY2(!after.join('|').contains("COM3 (") && after.first().startsWith("* COM"),
             qPrintable(after.join('|')));
    QVERIFY(QSettings(settings, QSettings::IniFormat).value("ComPort").toString() != "3");
  }

  // Commands that need no terminal, and usage errors: the exit status, lines
  // that must be among the output, and the error text.
  void withoutATerminal_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");
    const auto row = [](const char* name, const QStringList& args, int exitCode,
                        const QStringList& lines, const QString& error = {}) {
      QTest::newRow(name) << args << exitCode << lines << error;
    };
    const QString linear = TR5906_TEST_DATA "/firmware_linear.hex";
    const QString kept = TR5906_TEST_DATA "/provision.quelt";
    const QString other = WriteFile(File("other.quelt"), QByteArray(1, 42) + ReadFile(kept).mid(1));
    const QString low =
        WriteFile(File("low.hex"), ":020000040800F2\n:04FFC0000102030433\n:00000001FF\n");
    row("unknown command", {"frobnicate"}, 2, {}, "unknown command \"frobnicate\"");
    row("COM100", {"reset", "--port", "COM100"}, 2, {}, "neither COM1 to COM99 nor a device path");
    row("adjust 256", {"write", "-i", "a", "--adjust", "256"}, 2, {}, "0 to 255");
    row("port that does not open", {"read", "-o", File("x"), "--port", "/dev/tr5906-none"}, 1,
        {"读取失败!"}, "请重新选择端口！");
    row("port that does not open, English",
        {"reset", "--english", "--port", "COM42", "--settings", File("empty.conf")}, 1, {},
        "Please reselect COM port!");
    row("firmware check", {"update", linear, "--check"}, 0,
        {"start 0x0801FFC0", "end 0x080204FF", "size 1344"});
    row("firmware with a bad checksum",
        {"update", TR5906_TEST_DATA "/firmware_badsum.hex", "--port", "/dev/tr5906-none"}, 1, {},
        "line 2: bad checksum");
    row("firmware in the boot loader's pages", {"update", low, "--port", "/dev/tr5906-none"}, 1, {},
        "line 2: data at 0x0800FFC0, below the application at 0x08010000");
    row("show", {"show", other}, 0, {"device_address = 42"});
    row("show the defaults as JSON", {"show", "--defaults", "--json"}, 0, {"    \"word13\": 100,"});
    row("diff", {"diff", kept, other}, 1, {"device_address: 7 -> 42"});
    row("diff, same", {"diff", kept, kept}, 0, {});
  }
  void withoutATerminal() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    const CtlRun run = RunCtl(args);
    QCOMPARE(run.exitCode, exitCode);
    for (const QString& line : lines) QVERIFY2(run.lines.contains(line), qPrintable(line));
    QVERIFY2(run.errors.contains(error), qPrintable(run.errors));
  }
};

QTEST_GUILESS_MAIN(TestCtlEndToEnd)
#include "tst_ctl_e2e.moc"
