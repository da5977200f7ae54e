// tr5906ctl against tr5906-sim through a real pseudo-terminal: every
// transaction, the faults that matter on a real line, the port scan and the
// remembered port. One-second time-outs are real here, so only the detection
// and the silent terminal wait for them.
#include "SimProcess.h"
#include "image/ConfigFile.h"
#include "image/Defaults.h"
#include "image/Identity.h"
#include "image/ParameterImage.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

/// Defaults with a recognisable pattern in bytes 26 to 271 and identity
/// bytes of their own (the RS-485 format stays 9600,N,8,1).
ParameterImage PatternImage() {
  ParameterImage image;
  LoadDefaults(image);
  for (int i = 26; i < 272; ++i) image.SetByte(i, static_cast<uint8_t>(i * 7 + 3));
  image.SetByte(1024, 0x23);
  image.SetByte(1025, 0x41);
  image.SetByte(1026, 0x02);
  image.SetByte(1027, 0x00);
  return image;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Percentages(std::initializer_list<int> values) {
  QStringList lines;
  for (int v : values) lines << QStringLiteral("%1%").arg(v);
  return lines;
}

const QStringList kReadProgress =
    Percentages({0, 2, 3, 5, 6, 8, 9, 11, 12, 14, 16, 17, 19, 20, 22, 23, 25, 100});
const QStringList kWriteProgress =
    Percentages({2, 3, 5, 6, 8, 9, 11, 12, 14, 16, 17, 19, 20, 22, 23, 25});

}  // namespace

class TestCtlEndToEnd : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString File(const QString& name) const { return dir_.filePath(name); }

  /// Saves an image as a configuration file (the valid marker is stamped).
  QString SaveImage(const QString& name, ParameterImage image) {
    const QString path = File(name);
    if (!ConfigFile::Save(path, image)) return {};
    return path;
  }

 private Q_SLOTS:
  void read_fills_the_file_from_the_terminal() {
    const ParameterImage memory = PatternImage();
    const QString image = SaveImage(QStringLiteral("terminal.quelt"), memory);
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--image"), image}));
    const QString out = File(QStringLiteral("read.quelt"));
    const CtlRun run = RunCtl(
        {QStringLiteral("read"), QStringLiteral("-o"), out, QStringLiteral("--port"), sim.Path()});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.errors.isEmpty(), qPrintable(run.errors));

    QStringList expected = {QStringLiteral("读取数据"), QStringLiteral("Try(0):9600,N,8,1")};
    expected << kReadProgress << QStringLiteral("读取成功!") << Identity::Lines(memory);
    QCOMPARE(run.lines, expected);

    const QByteArray file = ReadAll(out);
    QCOMPARE(file.size(), ParameterImage::kSize);
    QCOMPARE(file.left(272), memory.Bytes(0, 272));
    QCOMPARE(file.mid(1024, 4), memory.Bytes(1024, 4));
  }

  void write_with_adjust_byte() {
    ParameterImage image = PatternImage();
    for (int i = 26; i < 256; ++i) image.SetByte(i, static_cast<uint8_t>(255 - i));
    const QString in = SaveImage(QStringLiteral("write.quelt"), image);
    const QString dump = File(QStringLiteral("after-write.bin"));
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--dump-image"), dump}));
    const CtlRun run =
        RunCtl({QStringLiteral("write"), QStringLiteral("-i"), in, QStringLiteral("--port"),
                sim.Path(), QStringLiteral("--adjust"), QStringLiteral("0x80")});
    QCOMPARE(run.exitCode, 0);
    QStringList expected = {QStringLiteral("设置数据"), QStringLiteral("Try(0):9600,N,8,1")};
    expected << kWriteProgress << QStringLiteral("100%") << QStringLiteral("设置成功");
    QCOMPARE(run.lines, expected);
    QCOMPARE(sim.Stop(), 0);
    const QByteArray memory = ReadAll(dump);
    QCOMPARE(memory.size(), ParameterImage::kSize);
    QCOMPARE(memory.left(256), ReadAll(in).left(256));
    QCOMPARE(uint8_t(memory.at(ParameterImage::kAdjustByte)), uint8_t(0x80));
  }

  void reset_and_core_log() {
    const QString image = SaveImage(QStringLiteral("before-reset.quelt"), PatternImage());
    const QString dump = File(QStringLiteral("after-reset.bin"));
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--image"), image, QStringLiteral("--dump-image"), dump,
                       QStringLiteral("--format"), QStringLiteral("19200,E,7,1"),
                       QStringLiteral("--log"), QStringLiteral("Watchdog reset at start-up"),
                       QStringLiteral("--log"), QStringLiteral("ADC3 over range")}));
    const QStringList link = {QStringLiteral("--port"), sim.Path(), QStringLiteral("--link"),
                              QStringLiteral("19200,E,7,1")};

    const CtlRun reset = RunCtl(QStringList{QStringLiteral("reset")} + link);
    QCOMPARE(reset.exitCode, 0);
    QCOMPARE(reset.lines,
             (QStringList{QStringLiteral("设置数据"), QStringLiteral("Try(0):19200,E,7,1"),
                          QStringLiteral("102%"), QStringLiteral("设置成功")}));

    const CtlRun log = RunCtl(QStringList{QStringLiteral("log")} + link);
    QCOMPARE(log.exitCode, 0);
    QVERIFY(log.lines.size() >= 5);
    QCOMPARE(log.lines.first(), QStringLiteral("读取数据"));
    QCOMPARE(log.lines.last(), QStringLiteral("读取完毕!"));
    const QString text = log.lines.mid(2, log.lines.size() - 3).join(QString());
    QVERIFY2(text.startsWith(QLatin1String("Watchdog reset at start-upADC3 over range")),
             qPrintable(text));

    QCOMPARE(sim.Stop(), 0);
    ParameterImage defaults = PatternImage();
    LoadDefaults(defaults);
    QCOMPARE(ReadAll(dump).left(kDefaultByteCount), defaults.Bytes(0, kDefaultByteCount));
  }

  void detection_finds_19200() {
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--format"), QStringLiteral("19200,N,8,1")}));
    const CtlRun run =
        RunCtl({QStringLiteral("detect"), QStringLiteral("--port"), sim.Path()}, 30000);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines.first(), QStringLiteral("自动匹配"));
    QCOMPARE(run.lines.at(1), QStringLiteral("Try(0):9600,N,8,1"));
    // Five silent formats at 9600 baud, then the first 19200 one answers.
    QCOMPARE(run.lines.at(run.lines.size() - 3), QStringLiteral("Try(5):19200,N,8,1"));
    QCOMPARE(run.lines.at(run.lines.size() - 2), QStringLiteral("Retry(5): "));
    QCOMPARE(run.lines.last(), QStringLiteral("自动匹配成功,匹配格式为:19200,N,8,1"));
  }

  void silent_terminal_with_no_retries() {
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--silent")}));
    const CtlRun run = RunCtl({QStringLiteral("read"), QStringLiteral("-o"),
                               File(QStringLiteral("never.quelt")), QStringLiteral("--port"),
                               sim.Path(), QStringLiteral("--retries"), QStringLiteral("0")});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines,
             (QStringList{QStringLiteral("读取数据"), QStringLiteral("Try(0):9600,N,8,1"),
                          QStringLiteral("Retry(1): "), QStringLiteral("Retry(2): "),
                          QStringLiteral("读取失败!")}));
    QVERIFY2(run.errors.contains(QStringLiteral("检测连接！重试或取消？")), qPrintable(run.errors));
    QVERIFY(run.errors.contains(QLatin1String("read failed")));
    QVERIFY(!QFile::exists(File(QStringLiteral("never.quelt"))));
  }

  void refusal_ends_the_read() {
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--refuse-block"), QStringLiteral("3")}));
    const CtlRun run =
        RunCtl({QStringLiteral("read"), QStringLiteral("-o"), File(QStringLiteral("refused.quelt")),
                QStringLiteral("--port"), sim.Path()});
    QCOMPARE(run.exitCode, 1);
    QStringList expected = {QStringLiteral("读取数据"), QStringLiteral("Try(0):9600,N,8,1")};
    expected << Percentages({0, 2, 3}) << QStringLiteral("读取失败") << QStringLiteral("读取失败!");
    QCOMPARE(run.lines, expected);
    QVERIFY(run.elapsedMs < 5000);
  }

  void device_vanishing_mid_read_and_mid_write() {
    for (const QString& command : {QStringLiteral("read"), QStringLiteral("write")}) {
      SimProcess sim;
      QVERIFY(sim.Start({QStringLiteral("--hangup-after"), QStringLiteral("60")}));
      const QString file = command == QLatin1String("read")
                               ? File(QStringLiteral("vanished.quelt"))
                               : SaveImage(QStringLiteral("to-write.quelt"), PatternImage());
      const CtlRun run = RunCtl(
          {command, command == QLatin1String("read") ? QStringLiteral("-o") : QStringLiteral("-i"),
           file, QStringLiteral("--port"), sim.Path()},
          10000);
      QVERIFY2(!run.timedOut, qPrintable(command));
      QCOMPARE(run.exitCode, 1);
      QVERIFY2(run.elapsedMs < 5000, qPrintable(QString::number(run.elapsedMs)));
      QVERIFY(run.lines.contains(command == QLatin1String("read") ? QStringLiteral("读取失败!")
                                                                  : QStringLiteral("写入失败")) ||
              run.lines.contains(QStringLiteral("设置数据失败!")) ||
              run.lines.join(QLatin1Char('\n')).contains(QStringLiteral("失败")));
      QVERIFY(!run.lines.contains(QStringLiteral("设置成功")));
      QVERIFY(sim.WaitForExit(5000));  // the simulator ends after hanging up
    }
  }

  void port_that_does_not_open() {
    const CtlRun run =
        RunCtl({QStringLiteral("read"), QStringLiteral("-o"), File(QStringLiteral("x.quelt")),
                QStringLiteral("--port"), QStringLiteral("/dev/tr5906-no-such-port")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errors.contains(QStringLiteral("请重新选择端口！")), qPrintable(run.errors));
    QVERIFY(run.errors.contains(QLatin1String("/dev/tr5906-no-such-port: ")));
    QVERIFY(run.errors.contains(QLatin1String("unplugged")));
    QVERIFY(run.lines.contains(QStringLiteral("读取失败!")));

    // --english switches the message box.
    const CtlRun english =
        RunCtl({QStringLiteral("reset"), QStringLiteral("--english"), QStringLiteral("--port"),
                QStringLiteral("COM42"), QStringLiteral("--settings"),
                File(QStringLiteral("empty.conf"))});
    QCOMPARE(english.exitCode, 1);
    QVERIFY2(english.errors.contains(QLatin1String("Please reselect COM port!")),
             qPrintable(english.errors));
    QVERIFY(english.errors.contains(QLatin1String("COM42")));
  }

  void ctrl_c_cancels_cleanly() {
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--silent")}));
    const CtlRun run = RunCtl(
        {QStringLiteral("read"), QStringLiteral("-o"), File(QStringLiteral("cancelled.quelt")),
         QStringLiteral("--port"), sim.Path(), QStringLiteral("--retries"), QStringLiteral("5")},
        10000, 300);
    QVERIFY(!run.timedOut);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.elapsedMs < 4000, qPrintable(QString::number(run.elapsedMs)));
    QVERIFY2(run.errors.contains(QLatin1String("cancelled")), qPrintable(run.errors));
    // The port was given back: the next run opens it at once.
    const CtlRun again = RunCtl({QStringLiteral("reset"), QStringLiteral("--port"), sim.Path(),
                                 QStringLiteral("--retries"), QStringLiteral("0")},
                                10000, 100);
    QCOMPARE(again.exitCode, 1);
    QVERIFY(!again.errors.contains(QStringLiteral("请重新选择端口！")));
  }

  void ports_scan_and_remembered_port() {
    // The machine's own serial devices get numbers too, so the test looks
    // only at its two mapped simulators.
    const QString settings = File(QStringLiteral("ports.conf"));
    {
      QSettings store(settings, QSettings::IniFormat);
      store.setValue(QStringLiteral("ComPort"), QStringLiteral("3"));
    }
    SimProcess seven;
    QVERIFY(seven.Start(
        {QStringLiteral("--map"), QStringLiteral("7"), QStringLiteral("--settings"), settings}));
    SimProcess three;
    QVERIFY(three.Start(
        {QStringLiteral("--map"), QStringLiteral("3"), QStringLiteral("--settings"), settings}));
    const QStringList store = {QStringLiteral("--settings"), settings};
    const QString threeEntry = QStringLiteral("COM3 (%1)").arg(three.Path().mid(5));
    const QString sevenEntry = QStringLiteral("COM7 (%1)").arg(seven.Path().mid(5));
    CtlRun ports = RunCtl(QStringList{QStringLiteral("ports")} + store);
    QCOMPARE(ports.exitCode, 0);
    QVERIFY2(ports.lines.contains(QStringLiteral("* ") + threeEntry),
             qPrintable(ports.lines.join(QLatin1Char('|'))));
    QVERIFY(ports.lines.contains(QStringLiteral("  ") + sevenEntry));
    QVERIFY(ports.lines.indexOf(QStringLiteral("* ") + threeEntry) <
            ports.lines.indexOf(QStringLiteral("  ") + sevenEntry));

    // Mapping by hand gives the device another number.
    ports = RunCtl(QStringList{QStringLiteral("ports"), QStringLiteral("--map"),
                               QStringLiteral("9"), seven.Path()} +
                   store);
    QCOMPARE(ports.exitCode, 0);
    const QString nineEntry = QStringLiteral("COM9 (%1)").arg(seven.Path().mid(5));
    QCOMPARE(ports.lines, QStringList{nineEntry});
    ports = RunCtl(QStringList{QStringLiteral("ports")} + store);
    QVERIFY(ports.lines.contains(QStringLiteral("  ") + nineEntry));

    // Without --port a transaction uses the remembered port, COM3.
    const CtlRun read = RunCtl(QStringList{QStringLiteral("read"), QStringLiteral("-o"),
                                           File(QStringLiteral("remembered.quelt"))} +
                               store);
    QCOMPARE(read.exitCode, 0);

    // A simulator removes its own mapping when it ends; the remembered port
    // is gone, so the refresh selects and stores another one.
    QCOMPARE(three.Stop(), 0);
    ports = RunCtl(QStringList{QStringLiteral("ports")} + store);
    QVERIFY(!ports.lines.join(QString()).contains(threeEntry));
    QVERIFY(ports.lines.first().startsWith(QLatin1String("* COM")));
    QSettings after(settings, QSettings::IniFormat);
    QVERIFY(after.value(QStringLiteral("ComPort")).toString() != QLatin1String("3"));
  }

  void firmware_check_reports_the_range_without_a_port() {
    // The update itself is covered by tst_update_e2e.
    const QString hex = QStringLiteral(TR5906_TEST_DATA "/firmware_linear.hex");
    FirmwareImage firmware;
    IntelHexReader reader(firmware);
    QVERIFY(reader.ReadFile(hex));
    const CtlRun check = RunCtl({QStringLiteral("update"), hex, QStringLiteral("--check"),
                                 QStringLiteral("--port"), QStringLiteral("/dev/tr5906-none")});
    QCOMPARE(check.exitCode, 0);
    const auto hex8 = [](uint32_t a) {
      return QString::number(a, 16).toUpper().rightJustified(8, QLatin1Char('0'));
    };
    QCOMPARE(check.lines,
             (QStringList{QStringLiteral("start 0x") + hex8(firmware.ImageStartAddress()),
                          QStringLiteral("end 0x") + hex8(firmware.ImageEndAddress()),
                          QStringLiteral("size %1").arg(firmware.DataSize())}));
  }

  void usage_errors() {
    for (const QStringList& args :
         {QStringList{}, QStringList{QStringLiteral("frobnicate")},
          QStringList{QStringLiteral("read")},
          QStringList{QStringLiteral("write"), QStringLiteral("-i")},
          QStringList{QStringLiteral("read"), QStringLiteral("-o"), QStringLiteral("a.quelt"),
                      QStringLiteral("--link"), QStringLiteral("9600,X,8,1")},
          QStringList{QStringLiteral("reset"), QStringLiteral("--port"), QStringLiteral("COM100")},
          QStringList{QStringLiteral("write"), QStringLiteral("-i"), QStringLiteral("a.quelt"),
                      QStringLiteral("--adjust"), QStringLiteral("256")},
          QStringList{QStringLiteral("ports"), QStringLiteral("--map"), QStringLiteral("7")}}) {
      const CtlRun run = RunCtl(args);
      QCOMPARE(run.exitCode, 2);
      QVERIFY2(run.errors.startsWith(QLatin1String("tr5906ctl: ")), qPrintable(run.errors));
      QCOMPARE(run.errors.count(QLatin1Char('\n')), 1);
    }
  }

  void show_and_diff() {
    ParameterImage a;
    LoadDefaults(a);
    ParameterImage b = a;
    b.SetWord(0, 42);  // device address
    const QString fileA = SaveImage(QStringLiteral("a.quelt"), a);
    const QString fileB = SaveImage(QStringLiteral("b.quelt"), b);
    CtlRun run = RunCtl({QStringLiteral("show"), fileB});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.contains(QStringLiteral("device_address = 42")));
    run = RunCtl({QStringLiteral("show"), QStringLiteral("--defaults"), QStringLiteral("--json")});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.contains(QStringLiteral("    \"device_address\": 1,")));
    run = RunCtl({QStringLiteral("diff"), fileA, fileB});
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.lines, QStringList{QStringLiteral("device_address: 1 -> 42")});
    run = RunCtl({QStringLiteral("diff"), fileA, fileA});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.isEmpty());
    run = RunCtl({QStringLiteral("show"), File(QStringLiteral("missing.quelt"))});
    QCOMPARE(run.exitCode, 1);
  }
};

QTEST_GUILESS_MAIN(TestCtlEndToEnd)
#include "tst_ctl_e2e.moc"
