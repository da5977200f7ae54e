// tr5906ctl against tr5906-sim through a real pseudo-terminal: every
// transaction, the faults that matter on a real line, the port scan and the
// remembered port. One-second time-outs are real here, so only the detection
// and the silent terminal wait for them.
#include "SimProcess.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QStringList kReadProgress = {"0%",  "2%",  "3%",  "5%",  "6%",  "8%",  "9%",  "11%", "12%",
                                   "14%", "16%", "17%", "19%", "20%", "22%", "23%", "25%", "100%"};

/// A configuration file: a pattern in bytes 26 to 271, made on 2024-05-01,
/// RS-485 at 9600,N,8,1, identity 23 41 02 00.
QByteArray PatternFile() {
  QByteArray bytes(10240, '\0');
  for (int i = 26; i < 272; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  const QByteArray head =
      QByteArray::fromHex("01000100e8070500010060000000010008006000000001000800");
  bytes.replace(0, head.size(), head);
  bytes.replace(1024, 4, QByteArray::fromHex("23410200"));
  bytes[6142] = char(0x55);
  bytes[6143] = char(0xAA);
  return bytes;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestCtlEndToEnd : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString File(const QString& name) const { return dir_.filePath(name); }
  QString Write(const QString& name, const QByteArray& bytes) {
    QFile file(File(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return file.fileName();
  }

 private Q_SLOTS:
  void readFillsTheFileFromTheTerminal() {
    const QString image = Write("terminal.quelt", PatternFile());
    SimProcess sim;
    QVERIFY(sim.Start({"--image", image}));
    const QString out = File("read.quelt");
    const CtlRun run = RunCtl({"read", "-o", out, "--port", sim.Path()});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors));
    QCOMPARE(run.lines, QStringList({"读取数据", "Try(0):9600,N,8,1"})
                            << kReadProgress << "读取成功!"
                            << "REZUZODO"
                            << "固件版本:41.23.Kestrel_Old"
                            << "生产日期:2024-5-1");
    const QByteArray file = ReadAll(out);
    QCOMPARE(file.size(), 10240);
    QCOMPARE(file.left(272), PatternFile().left(272));
    QCOMPARE(file.mid(1024, 4), QByteArray::fromHex("23410200"));
  }

  void writeWithAdjustByte() {
    QByteArray bytes = PatternFile();
    for (int i = 26; i < 256; ++i) bytes[i] = static_cast<char>(255 - i);
    const QString in = Write("write.quelt", bytes);
    const QString dump = File("after-write.bin");
    SimProcess sim;
    QVERIFY(sim.Start({"--dump-image", dump}));
    const CtlRun run = RunCtl({"write", "-i", in, "--port", sim.Path(), "--adjust", "0x80"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines, (QStringList{"设置数据", "Try(0):9600,N,8,1",
                                     "2%",       "3%",
                                     "5%",       "6%",
                                     "8%",       "9%",
                                     "11%",      "12%",
                                     "14%",      "16%",
                                     "17%",      "19%",
                                     "20%",      "22%",
                                     "23%",      "25%",
                                     "100%",     "设置成功"}));
    QCOMPARE(sim.Stop(), 0);
    const QByteArray memory = ReadAll(dump);
    QCOMPARE(memory.left(256), bytes.left(256));
    QCOMPARE(memory.at(1008), char(0x80));
  }

  void resetAndCoreLog() {
    const QString image = Write("before-reset.quelt", PatternFile());
    const QString dump = File("after-reset.bin");
    SimProcess sim;
    QVERIFY(sim.Start({"--image", image, "--dump-image", dump, "--format", "19200,E,7,1", "--log",
                       "看门狗复位", "--log", "ADC3 over range"}));
    const QStringList link = {"--port", sim.Path(), "--link", "19200,E,7,1"};
    const CtlRun reset = RunCtl(QStringList{"reset"} + link);
    QCOMPARE(reset.exitCode, 0);
    QCOMPARE(reset.lines, (QStringList{"设置数据", "Try(0):19200,E,7,1", "102%", "设置成功"}));

    const CtlRun log = RunCtl(QStringList{"log"} + link);
    QCOMPARE(log.exitCode, 0);
    QCOMPARE(log.lines.mid(0, 2), (QStringList{"读取数据", "Try(0):19200,E,7,1"}));
    QCOMPARE(log.lines.size(), 5);
    QCOMPARE(log.lines.at(2), "看门狗复位ADC3 o");
    QVERIFY2(log.lines.at(3).startsWith("ver range"), qPrintable(log.lines.at(3)));
    QCOMPARE(log.lines.at(4), "读取完毕!");

    QCOMPARE(sim.Stop(), 0);
    QCOMPARE(ReadAll(dump).left(138).toHex(),
             QByteArray("01000100e3070100010060000000010008006000000001000800640001000a0001000500"
                        "16000100000000000000000000000000000000000000000000000a000a000a000a000a"
                        "000a000a000a000a006400640064006400640064006400640064000100010001000100"
                        "010001000100010001001400c80000006e010600000000000000000005f00a00"));
  }

  void detectionFinds19200() {
    SimProcess sim;
    QVERIFY(sim.Start({"--format", "19200,N,8,1"}));
    const CtlRun run = RunCtl({"detect", "--port", sim.Path()}, 30000);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines,
             (QStringList{"自动匹配", "Try(0):9600,N,8,1", "Try(1):9600,E,8,1",
                          "Retry(1): ", "Try(2):9600,O,8,1", "Retry(2): ", "Try(3):9600,E,7,1",
                          "Retry(3): ", "Try(4):9600,O,7,1", "Retry(4): ", "Try(5):19200,N,8,1",
                          "Retry(5): ", "自动匹配成功,匹配格式为:19200,N,8,1"}));
  }

  void silentTerminalWithNoRetries() {
    SimProcess sim;
    QVERIFY(sim.Start({"--silent"}));
    const CtlRun run =
        RunCtl({"read", "-o", File("never.quelt"), "--port", sim.Path(), "--retries", "0"});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines, (QStringList{"读取数据", "Try(0):9600,N,8,1",
                                     "Retry(1): ", "Retry(2): ", "读取失败!"}));
    QVERIFY2(run.errors.contains("检测连接！重试或取消？"), qPrintable(run.errors));
    QVERIFY(!QFile::exists(File("never.quelt")));
  }

  void refusalEndsTheRead() {
    SimProcess sim;
    QVERIFY(sim.Start({"--refuse-block", "3"}));
    const CtlRun run = RunCtl({"read", "-o", File("refused.quelt"), "--port", sim.Path()});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines, (QStringList{"读取数据", "Try(0):9600,N,8,1", "0%", "2%", "3%", "读取失败",
                                     "读取失败!"}));
  }

  void deviceVanishing_data() {
    QTest::addColumn<QStringList>("command");
    QTest::newRow("read") << QStringList{"read", "-o", File("vanished.quelt")};
    QTest::newRow("write") << QStringList{"write", "-i", Write("to-write.quelt", PatternFile())};
  }
  void deviceVanishing() {
    QFETCH(QStringList, command);
    SimProcess sim;
    QVERIFY(sim.Start({"--hangup-after", "60"}));
    const CtlRun run = RunCtl(command + QStringList{"--port", sim.Path()}, 10000);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.lines.join('\n').contains("失败"));
    QVERIFY(!run.lines.contains("设置成功"));
    QVERIFY(sim.WaitForExit(5000));  // the simulator ends after hanging up
  }

  void portThatDoesNotOpen() {
    const CtlRun run =
        RunCtl({"read", "-o", File("x.quelt"), "--port", "/dev/tr5906-no-such-port"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains("请重新选择端口！"), qPrintable(run.errors));
    QVERIFY(run.errors.contains("/dev/tr5906-no-such-port: "));
    QCOMPARE(run.lines, QStringList{"读取失败!"});
    const CtlRun english =
        RunCtl({"reset", "--english", "--port", "COM42", "--settings", File("empty.conf")});
    QCOMPARE(english.exitCode, 1);
    QVERIFY2(english.errors.contains("Please reselect COM port!"), qPrintable(english.errors));
  }

  void ctrlCCancelsCleanly() {
    SimProcess sim;
    QVERIFY(sim.Start({"--silent"}));
    const CtlRun run =
        RunCtl({"read", "-o", File("cancelled.quelt"), "--port", sim.Path(), "--retries", "5"},
               10000, 300);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains("cancelled"), qPrintable(run.errors));
    // The port was given back: the next run opens it.
    const CtlRun again = RunCtl({"reset", "--port", sim.Path(), "--retries", "0"}, 10000, 100);
    QCOMPARE(again.exitCode, 1);
    QVERIFY(!again.errors.contains("请重新选择端口！"));
  }

  void portsScanAndRememberedPort() {
    // The machine's own serial devices get numbers too: only the two mapped
    // simulators are looked at.
    const QString settings = File("ports.conf");
    QSettings(settings, QSettings::IniFormat).setValue("ComPort", "3");
    SimProcess seven, three;
    QVERIFY(seven.Start({"--map", "7", "--settings", settings}));
    QVERIFY(three.Start({"--map", "3", "--settings", settings}));
    const QStringList store = {"--settings", settings};
    const QString threeEntry = "COM3 (" + three.Path().mid(5) + ")";
    const QString sevenEntry = "COM7 (" + seven.Path().mid(5) + ")";
    CtlRun ports = RunCtl(QStringList{"ports"} + store);
    QCOMPARE(ports.exitCode, 0);
    QVERIFY2(ports.lines.indexOf("* " + threeEntry) >= 0 &&
                 ports.lines.indexOf("* " + threeEntry) < ports.lines.indexOf("  " + sevenEntry),
             qPrintable(ports.lines.join('|')));

    ports = RunCtl(QStringList{"ports", "--map", "9", seven.Path()} + store);
    QCOMPARE(ports.lines, QStringList{"COM9 (" + seven.Path().mid(5) + ")"});
    // Without --port a transaction uses the remembered port, COM3.
    QCOMPARE(RunCtl(QStringList{"read", "-o", File("remembered.quelt")} + store).exitCode, 0);

    // A simulator removes its own mapping when it ends; the remembered port
    // is gone, so the refresh selects and stores another one.
    QCOMPARE(three.Stop(), 0);
    ports = RunCtl(QStringList{"ports"} + store);
    QVERIFY(!ports.lines.join(QString()).contains(threeEntry));
    QVERIFY(ports.lines.first().startsWith("* COM"));
    QVERIFY(QSettings(settings, QSettings::IniFormat).value("ComPort").toString() != "3");
  }

  void firmwareCheckWithoutAPort() {
    const CtlRun check = RunCtl({"update", TR5906_TEST_DATA "/firmware_linear.hex", "--check",
                                 "--port", "/dev/tr5906-none"});
    QCOMPARE(check.exitCode, 0);
    QCOMPARE(check.lines, (QStringList{"start 0x0801FFC0", "end 0x080204FF", "size 1344"}));
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown") << QStringList{"frobnicate"};
    QTest::newRow("read without -o") << QStringList{"read"};
    QTest::newRow("-i without file") << QStringList{"write", "-i"};
    QTest::newRow("bad link") << QStringList{"read", "-o", "a.quelt", "--link", "9600,X,8,1"};
    QTest::newRow("COM100") << QStringList{"reset", "--port", "COM100"};
    QTest::newRow("adjust 256") << QStringList{"write", "-i", "a.quelt", "--adjust", "256"};
    QTest::newRow("map without device") << QStringList{"ports", "--map", "7"};
  }
  void usageErrors() {
    QFETCH(QStringList, args);
    const CtlRun run = RunCtl(args);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.errors.startsWith("tr5906ctl: "), qPrintable(run.errors));
    QCOMPARE(run.errors.count('\n'), 1);
  }

  void showAndDiff() {
    QByteArray b = PatternFile();
    b[0] = 42;
    const QString fileA = Write("a.quelt", PatternFile());
    const QString fileB = Write("b.quelt", b);
    CtlRun run = RunCtl({"show", fileB});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.contains("device_address = 42"));
    QVERIFY(run.lines.contains("production_year = 2024"));
    run = RunCtl({"show", "--defaults", "--json"});
    QVERIFY(run.lines.contains("    \"word13\": 100,"));
    run = RunCtl({"diff", fileA, fileB});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines, QStringList{"device_address: 1 -> 42"});
    QCOMPARE(RunCtl({"diff", fileA, fileA}).exitCode, 0);
    QCOMPARE(RunCtl({"show", File("missing.quelt")}).exitCode, 1);
  }
};

QTEST_GUILESS_MAIN(TestCtlEndToEnd)
#include "tst_ctl_e2e.moc"
