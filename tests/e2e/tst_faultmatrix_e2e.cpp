// tr5906ctl against a healthy and a faulty tr5906-sim through a pseudo-terminal,
// on real timers. A row's trigger pulls the cable (kills the simulator) once the
// output shows it. Every run must end on its own with the expected status and
// lines, and leave the expected bytes in the file it read, the terminal's memory
// or its flash (dumped when the simulator ends), or the earlier file as it was.
#include "SimProcess.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

/// A configuration file: a pattern in bytes 26 to 271, made on 2024-05-01,
/// RS-485 at 9600,N,8,1, identity 23 41 02 00.
QByteArray PatternFile() {
  QByteArray bytes = QByteArray::fromHex("01000100e8070500010060000000010008006000000001000800");
  for (int i = 26; i < 272; ++i) bytes += char(i * 7 + 3);
  return bytes + QByteArray(752, 0) + QByteArray::fromHex("23410200") + QByteArray(5114, 0) +
         "\x55\xAA" + QByteArray(4096, 0);
}

/// The two flash pages firmware_linear.hex touches, from 0x0801F800 (0x1F800 in
/// the dump) to 0x080207FF: erased, and after the update holding the file's bytes
/// from 0x0801FFC0 on.
QByteArray TwoPages(bool updated) {
  QByteArray pages(0x1000, '\xFF');
  const QByteArray file = ReadFile(TR5906_TEST_DATA "/firmware_linear.bin");
  return updated ? pages.replace(0x7C0, int(file.size()), file) : pages;
}

}  // namespace

class TestFaultMatrixEndToEnd : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString File(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:
  void runs_data() {
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QStringList>("sim");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<int>("exitCode");   // -1: 0 or 1
    QTest::addColumn<QString>("lines");  // lines in a row of the output, joined by "|"
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray kept = ReadFile(TR5906_TEST_DATA "/provision.quelt");
    const auto row = [kept](const char* name, const QStringList& command, const QStringList& sim,
                            const QString& trigger, int exitCode, const QString& lines,
                            const QString& error = {}, const QString& file = "kept.quelt",
                            const QByteArray& bytes = {}) {
      QTest::newRow(name) << command << sim << trigger << exitCode << lines << error << file
                          << (file == "kept.quelt" ? kept : bytes);
    };
    const QString pattern = WriteFile(File("pattern.quelt"), PatternFile());
    WriteFile(File("kept.quelt"), kept);
    const QStringList read = {"read", "-o", File("kept.quelt")};
    const QStringList update = {"update", TR5906_TEST_DATA "/firmware_linear.hex"};
    const QString progress = "2%|3%|5%|6%|8%|9%|11%|12%|14%|16%|17%|19%|20%|22%|23%|25%|100%";
    const QString updated =
        "完成进度:0%|更新固件|完成进度:5%|完成进度:14%|完成进度:24%|完成进度:33%|完成进度:43%|"
        "完成进度:52%|完成进度:62%|完成进度:71%|完成进度:81%|完成进度:91%|完成进度:100%|升级成功！";
    QStringList longLog{"--wire"};
    for (int i = 0; i < 20; ++i)
      longLog << "--log" << QString("entry %1 of a long core log").arg(i);
    // The system's reason is left out: EIO or ENOTTY, whichever call meets the pulled cable first.
    const QString lost = "串口错误:PTY (the device is gone: adapter unplugged?)";
    row("read / healthy terminal", {"read", "-o", File("read.quelt")}, {"--image", pattern}, "", 0,
        "读取数据|Try(0):9600,N,8,1|0%|" + progress +
            "|读取成功!|REZUZODO|固件版本:41.23.Kestrel_Old|生产日期:2024-5-1",
        "", "read.quelt", PatternFile().left(272));
    row("write / adjust byte", {"write", "-i", pattern, "--adjust", "0x80"}, {}, "", 0,
        "设置数据|Try(0):9600,N,8,1|" + progress + "|设置成功", "", "memory",
        PatternFile().left(256) + QByteArray(752, '\0') + '\x80');
    const QByteArray factory = QByteArray::fromHex(
        "01000100e3070100010060000000010008006000000001000800640001000a0001000500"
        "16000100000000000000000000000000000000000000000000000a000a000a000a000a");
    row("reset / at 19200,E,7,1", {"reset", "--link", "19200,E,7,1"},
        {"--image", pattern, "--format", "19200,E,7,1"}, "", 0,
        "设置数据|Try(0):19200,E,7,1|102%|设置成功", "", "memory", factory);
    row("core log / at 19200,E,7,1", {"log", "--link", "19200,E,7,1"},
        {"--format", "19200,E,7,1", "--log", "看门狗复位", "--log", "ADC3 over range"}, "", 0,
        "读取数据|Try(0):19200,E,7,1|看门狗复位ADC3 o|ver range" +
            QString(7, QChar::ReplacementCharacter) + "|读取完毕!");
    row("detection / terminal at 19200,N,8,1", {"detect"}, {"--format", "19200,N,8,1"}, "", 0,
        "自动匹配|Try(0):9600,N,8,1|Try(1):9600,E,8,1|Retry(1): |Try(2):9600,O,8,1|Retry(2): |"
        "Try(3):9600,E,7,1|Retry(3): |Try(4):9600,O,7,1|Retry(4): |Try(5):19200,N,8,1|Retry(5): |"
        "自动匹配成功,匹配格式为:19200,N,8,1");
    row("firmware update / healthy boot loader", update, {}, "", 0, updated, "", "flash",
        TwoPages(true));
    row("firmware update / a block answered late, rewrites accepted", update,
        {"--boot-late-block", "1"}, "", 0, updated, "", "flash", TwoPages(true));
    row("firmware update / older version refused", update, {"--boot-version", "0x11"}, "", 1,
        "完成进度:0%|更新固件", "升级版本比机器版本低！禁止升级！", "flash", TwoPages(false));
    row("read / silent terminal", read, {"--silent"}, "", 1,
        "读取数据|Try(0):9600,N,8,1|Retry(1): |Retry(2): |读取失败!", "检测连接！重试或取消？");
    row("read / refusal of block 3", read, {"--refuse-block", "3"}, "", 1,
        "读取数据|Try(0):9600,N,8,1|0%|2%|3%|读取失败|读取失败!");
    row("reset / wrong handshake", {"reset"}, {"--bad-handshake"}, "", 1,
        "设置数据|Try(0):9600,N,8,1|Retry(1): |Retry(2): |设置数据失败!", "reset failed");
    row("read / cable pulled mid-read", read, {"--wire"}, "11%", 1, lost);
    row("write / cable pulled mid-write", {"write", "-i", File("kept.quelt")}, {"--wire"}, "11%", 1,
        lost, "write failed");
    row("core log / cable pulled mid-log", {"log"}, longLog, "logentry 2", 1, lost);
    row("firmware update / cable pulled mid-update", update, {"--wire"}, "完成进度:33%", 1,
        "完成进度:33%", "firmware update failed");
    row("reset / answers just inside the time-out", {"reset"}, {"--slow", "800"}, "", 0,
        "设置成功");
    // A late answer may be taken for the next request's (a failure), or on a busy machine
    // come before the tool looks at its time-out: "设置成功" only when the reset was made.
    row("reset / answers slower than the time-out", {"reset"},
        {"--image", pattern, "--slow", "1300"}, "", -1, "", "", "memory", factory);
  }
  void runs() {
    QFETCH(QStringList, command);
    QFETCH(QStringList, sim);
    QFETCH(QString, trigger);
    QFETCH(int, exitCode);
    QFETCH(QString, lines);
    QFETCH(QString, error);
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    for (const char* dump : {"memory", "flash"}) QFile::remove(File(dump));
    SimProcess terminal;
    QVERIFY(terminal.Start(
        sim + QStringList{"--dump-image", File("memory"), "--dump-flash", File("flash")}));
    lines.replace("PTY", terminal.path);
    const CtlRun run = RunCtl(command + QStringList{"--port", terminal.path, "--retries", "0"},
                              20000, trigger, [&terminal](QProcess&) { terminal.process.kill(); });
    terminal.Stop();
    // One line for the reliability report: case, expected, seen.
    qInfo().noquote() << QString("MATRIX\t%1\texit %2, \"%3\"\texit %4, last line \"%5\"; %6 s")
                             .arg(QTest::currentDataTag(),
                                  exitCode < 0 ? "0 or 1" : QString::number(exitCode),
                                  lines.section('|', -1), QString::number(run.exitCode),
                                  run.lines.value(run.lines.size() - 1),
                                  QString::number(run.elapsedMs / 1000.0, 'f', 1));
    QVERIFY2(trigger.isEmpty() || run.triggered, qPrintable(run.lines.join('|')));
    QVERIFY2(run.exitCode == exitCode || (exitCode < 0 && run.exitCode >= 0 && run.exitCode <= 1),
             qPrintable(QString::number(run.exitCode)));
    const QString seen = run.lines.join('|').replace(
        QRegularExpression("(串口错误:[^|]*): [^|(]+ (\\(the device is gone)"), "\\1 \\2");
    QVERIFY2(("|" + seen + "|").contains("|" + lines + "|") || lines.isEmpty(), qPrintable(seen));
    QVERIFY2(run.errors.contains(error), qPrintable(run.errors));
    QVERIFY2(run.elapsedMs < 10000, qPrintable(QString::number(run.elapsedMs)));
    for (const char* success : {"读取成功!", "设置成功", "读取完毕!", "升级成功！"})
      QVERIFY(run.exitCode == 0 || !run.lines.contains(QString::fromUtf8(success)));
    const int offset = file == "flash" ? 0x1F800 : 0;
    QCOMPARE(ReadFile(File(file)).mid(offset, bytes.size()).toHex(), bytes.toHex());
  }
};

QTEST_GUILESS_MAIN(TestFaultMatrixEndToEnd)
#include "tst_faultmatrix_e2e.moc"
