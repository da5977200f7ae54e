// tr5906ctl as a shell user meets it: the port scan and the remembered port
// against simulators, Ctrl-C, pipes, --english, refused usage and the help.
// The transactions themselves run in tst_faultmatrix_e2e.
#include "SimProcess.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestCtlEndToEnd : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString File(const QString& name) const { return dir_.filePath(name); }
  /// PTY: the simulator's device, DIR/: the test's folder, DATA/: the test data.
  QString Expand(QString text, const QString& pty = {}) const {
    return text.replace("PTY", pty)
        .replace("DIR/", dir_.path() + "/")
        .replace("DATA/", TR5906_TEST_DATA "/");
  }
  /// tr5906ctl with its output into `reader` (CTL: tr5906ctl again).
  static CtlRun Piped(const QStringList& args, QStringList reader) {
    QProcess ctl, second;
    ctl.setStandardOutputProcess(&second);
    second.start(reader.takeFirst().replace("CTL", TR5906_CTL), reader);
    ctl.start(TR5906_CTL, args);
    CtlRun run;
    if (ctl.waitForFinished(20000) && second.waitForFinished(5000) &&
        ctl.exitStatus() == QProcess::NormalExit)
      run.exitCode = ctl.exitCode();
    run.lines = QString::fromUtf8(second.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.errors = QString::fromUtf8(ctl.readAllStandardError());
    return run;
  }

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
      QCOMPARE(ctl.errors, "tr5906ctl: read on " + terminal.path + " cancelled (interrupted)\n");
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
    // Without --port a command that only reads uses the remembered port, COM3.
    QCOMPARE(RunCtl(QStringList{"log"} + store).exitCode, 0);
    // A simulator removes its mapping when it ends: the refresh then selects
    // and stores another port.
    three.Stop();
    const QStringList after = RunCtl(QStringList{"ports"} + store).lines;
    QVERIFY2(!after.join('|').contains("COM3 (") && after.first().startsWith("* COM"),
             qPrintable(after.join('|')));
    QVERIFY(QSettings(settings, QSettings::IniFormat).value("ComPort").toString() != "3");
  }

  // One run each, against a simulator when the command names PTY; with
  // SIGINT once standard output shows `interrupt`; with its output into
  // `reader` (CTL: tr5906ctl) when given: the status, lines in a row of the
  // output (none at all when empty), the whole of standard error, and the
  // first bytes of a file afterwards (DIR/memory: the terminal's).
  void runs_data() {
    QTest::addColumn<QStringList>("sim");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("interrupt");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("errors");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("reader");
    const auto row = [](const char* name, const QStringList& sim, const QStringList& args,
                        const QString& interrupt, int exitCode, const QString& lines,
                        const QString& errors = {}, const QString& file = {},
                        const QByteArray& bytes = {}, const QStringList& reader = {}) {
      QTest::newRow(name) << sim << args << interrupt << exitCode << lines << errors << file
                          << bytes << reader;
    };
    const QByteArray kept = ReadFile(TR5906_TEST_DATA "/provision.quelt");
    WriteFile(File("other.quelt"), QByteArray(1, 42) + kept.mid(1));
    WriteFile(File("notes.txt"), "hi\n");
    WriteFile(File("forced.txt"), "hi\n");
    QSettings(File("three.conf"), QSettings::IniFormat).setValue("ComPort", "3");
    const QStringList image = {"--image", "DATA/provision.quelt"};
    const QStringList update = {"update", "DATA/firmware_linear.hex", "--port", "PTY"};
    const QString cancelled = "tr5906ctl: firmware update on PTY cancelled (interrupted): ";
    const QString incomplete = "the flash may now be incomplete: update again before using it\n";
    const QString progress = "0%|2%|3%|5%|6%|8%|9%|11%|12%|14%|16%|17%|19%|20%|22%|23%|25%|100%";
    const auto refused = [&row](const char* name, const QStringList& args, const QString& what) {
      row(name, {}, args, "", 2, "",
          QString("tr5906ctl: %1 does not take %2 (see tr5906ctl help %1)\n").arg(args[0], what));
    };
    row("write | head -1", {},
        {"write", "DATA/provision.quelt", "--adjust", "0x80", "--port", "PTY"}, "", 0, "设置数据",
        "", "DIR/memory", kept.left(256) + QByteArray(752, 0) + '\x80', {"head", "-1"});
    row("read -o FILE | head -3", image, {"read", "-o", "DIR/piped.quelt", "--port", "PTY"}, "", 0,
        "读取数据|Try(0):9600,N,8,1|0%", "", "DIR/piped.quelt", kept.left(272), {"head", "-3"});
    row("read -o - | show -", image, {"read", "-o", "-", "--port", "PTY"}, "", 0,
        "device_address = 7|word1 = 0",
        QString("读取数据|Try(0):9600,N,8,1|" + progress +
                "|读取成功!|REZUZODO|固件版本:0.00.Kestrel_Old|生产日期:0-0-0|")
            .replace('|', '\n'),
        "", {}, {"CTL", "show", "-"});
    row("update / Ctrl-C while greeting the boot loader", {}, update, "更新固件", 1,
        "完成进度:0%|更新固件", cancelled + "the flash was not changed\n");
    row("update / Ctrl-C while a block is written", {"--boot-late-block", "3"}, update,
        "完成进度:24%", 1, "完成进度:24%", cancelled + incomplete);
    row("update / Ctrl-C at the last block", {"--boot-late-block", "10"}, update, "完成进度:91%", 1,
        "完成进度:91%", cancelled + incomplete);
    row("english / read", image, {"read", "-o", "DIR/e.quelt", "--english", "--port", "PTY"}, "", 0,
        "Reading data|Try(0):9600,N,8,1|" + progress +
            "|Read succeeded!|REZUZODO|Firmware version: 0.00.Kestrel_Old|Production date: 0-0-0");
    row("english / firmware refused", {"--boot-version", "0x11"}, update + QStringList{"--english"},
        "", 1, "Progress: 0%|Updating firmware",
        "tr5906ctl: firmware update failed on PTY: The new firmware is older than the terminal's! "
        "Update refused!\n");
    row("english / silent terminal", {"--silent"}, {"reset", "--english", "--port", "PTY"}, "", 1,
        "Writing data|Try(0):9600,N,8,1|Retry(1): |Retry(2): ",
        "tr5906ctl: reset failed on PTY: Check connection!Retry or cancel? -> Cancel\n");
    row("english / port that is not there", {},
        {"read", "-o", "DIR/x", "--english", "--port", "/dev/tr5906-none"}, "", 1, "Read failed!",
        "tr5906ctl: read failed: /dev/tr5906-none: No such file or directory (the device is not "
        "there: adapter unplugged?)\n");
    refused("show -o", {"show", "DATA/provision.quelt", "-o", "DIR/x"}, "-o");
    refused("show --port", {"show", "DATA/provision.quelt", "--port", "COM1"}, "--port");
    refused("log -i", {"log", "-i", "DATA/provision.quelt"}, "-i");
    refused("read --json", {"read", "-o", "DIR/x", "--json"}, "--json");
    refused("records --json", {"records", "--json"}, "--json");
    row("read into a missing folder", image, {"read", "-o", "DIR/none/x.quelt", "--port", "PTY"},
        "", 1, "",
        "tr5906ctl: Cannot save the configuration file DIR/none/x.quelt: No such file or "
        "directory\n");
    row("read over a file that is not a configuration file", image,
        {"read", "-o", "DIR/notes.txt", "--port", "PTY"}, "", 2, "",
        "tr5906ctl: DIR/notes.txt is not a configuration file (3 bytes, not 10240): overwrite it "
        "with --force\n",
        "DIR/notes.txt", "hi\n");
    row("read over it with --force", image, {"read", "DIR/forced.txt", "--port", "PTY", "--force"},
        "", 0, "读取成功!", "", "DIR/forced.txt", kept.left(272));
    for (const QStringList& command :
         {QStringList{"write", "DATA/provision.quelt"}, QStringList{"reset"}, update.mid(0, 2)}) {
      row(qPrintable(command[0] + " without --port"), {},
          command + QStringList{"--settings", "DIR/three.conf"}, "", 2, "",
          "tr5906ctl: " + command[0] +
              " changes the terminal: name its port with --port (the remembered port is COM3)\n");
    }
    row("verify / a field differs", {"--image", "DIR/other.quelt"},
        {"verify", "DATA/provision.quelt", "--port", "PTY"}, "", 1,
        "读取成功!|device_address: wrote 7, read 42",
        "tr5906ctl: verify failed on PTY: 1 field differs from the file\n");
    row("verify / the same", image, {"verify", "-i", "DATA/provision.quelt", "--port", "PTY"}, "",
        0, "读取成功!|verified: the terminal holds what the file writes");
    row("verify / silent terminal", {"--silent"},
        {"verify", "DATA/provision.quelt", "--port", "PTY"}, "", 1,
        "读取数据|Try(0):9600,N,8,1|Retry(1): |Retry(2): ",
        "tr5906ctl: verify failed on PTY: 检测连接！重试或取消？ -> Cancel\n");
    row("write --verify / a block acknowledged but lost", {"--lose-write-block", "3"},
        {"write", "DATA/provision.quelt", "--verify", "--port", "PTY"}, "", 1,
        "设置成功|读取数据|Try(0):9600,N,8,1|" + progress +
            "|读取成功!|adc1_full_scale: wrote 0, read 10",
        "tr5906ctl: verify failed on PTY: 1 field differs from the file\n");
    row("unknown command", {}, {"frobnicate"}, "", 2, "",
        "tr5906ctl: unknown command \"frobnicate\" (see --help)\n");
    row("COM100", {}, {"reset", "--port", "COM100"}, "", 2, "",
        "tr5906ctl: --port \"COM100\" is neither COM1 to COM99 nor a device path\n");
    row("adjust 256", {}, {"write", "a", "--adjust", "256"}, "", 2, "",
        "tr5906ctl: --adjust takes a byte value, 0 to 255\n");
    row("--port twice", {}, {"log", "--port", "COM1", "--port", "COM2"}, "", 2, "",
        "tr5906ctl: --port is given more than once\n");
    row("no file", {}, {"write"}, "", 2, "",
        "tr5906ctl: write needs FILE.quelt (see tr5906ctl help write)\n");
    row("a file too many", {}, {"show", "a", "b"}, "", 2, "",
        "tr5906ctl: unexpected argument \"b\" (see tr5906ctl help show)\n");
    row("firmware check", {}, {"update", "DATA/firmware_linear.hex", "--check"}, "", 0,
        "start 0x0801FFC0|end 0x080204FF|size 1344");
    row("firmware with a bad checksum", {},
        {"update", "DATA/firmware_badsum.hex", "--port", "/dev/tr5906-none"}, "", 1, "",
        "tr5906ctl: DATA/firmware_badsum.hex: line 2: bad checksum\n");
    row("show", {}, {"show", "DIR/other.quelt"}, "", 0, "device_address = 42|word1 = 0");
    row("show the defaults as JSON", {}, {"show", "--defaults", "--json"}, "", 0,
        "    \"word13\": 100,");
    row("diff", {}, {"diff", "DATA/provision.quelt", "DIR/other.quelt"}, "", 1,
        "device_address: 7 -> 42");
    row("diff, same", {}, {"diff", "DIR/other.quelt", "DIR/other.quelt"}, "", 0, "");
    row("help of a command", {}, {"help", "diff"}, "", 0,
        "Usage: tr5906ctl diff A.quelt B.quelt [options]|Print the fields in which two files "
        "differ.|Options:|  -h, --help                  this help|Example:|  tr5906ctl diff "
        "old.quelt new.quelt");
    row("version", {}, {"--version"}, "", 0,
        "tr5906ctl " QT_STRINGIFY(TR5906_VERSION_MAJOR) "." QT_STRINGIFY(
            TR5906_VERSION_MINOR) "." QT_STRINGIFY(TR5906_VERSION_PATCH) " (Qt " QT_VERSION_STR
                                                                         ")");
  }
  void runs() {
    QFETCH(QStringList, sim);
    QFETCH(QStringList, args);
    QFETCH(QString, interrupt);
    QFETCH(int, exitCode);
    QFETCH(QString, lines);
    QFETCH(QString, errors);
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, reader);
    SimProcess terminal;
    for (QString& arg : sim) arg = Expand(arg);
    if (args.contains("PTY")) QVERIFY(terminal.Start(sim << "--dump-image" << File("memory")));
    for (QString& arg : args) arg = Expand(arg, terminal.path);
    QElapsedTimer sinceInterrupt;
    const CtlRun run = reader.isEmpty() ? RunCtl(args, 20000, interrupt,
                                                 [&sinceInterrupt](QProcess& p) {
                                                   sinceInterrupt.start();
                                                   ::kill(pid_t(p.processId()), SIGINT);
                                                 })
                                        : Piped(args, reader);
    terminal.Stop();
    const QString seen = run.lines.join('|');
    QVERIFY2(lines.isEmpty()
                 ? seen.isEmpty()
                 : ("|" + seen + "|").contains("|" + Expand(lines, terminal.path) + "|"),
             qPrintable(seen));
    QCOMPARE(run.errors, Expand(errors, terminal.path));
    QCOMPARE(run.exitCode, exitCode);
    // Ended within 2 s of Ctrl-C, which closed the port.
    QVERIFY(interrupt.isEmpty() || (run.triggered && sinceInterrupt.elapsed() < 2000));
    if (!file.isEmpty()) QCOMPARE(ReadFile(Expand(file)).left(bytes.size()).toHex(), bytes.toHex());
  }

  // The commands README lists are those --help lists, in its order.
  void readmeListsTheCommands() {
    QFile readme(TR5906_SOURCE_DIR "/README.md");
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString section = QString::fromUtf8(readme.readAll())
                                .section("## Talking to a terminal from the shell", 1)
                                .section("\n## ", 0, 0);
    QStringList documented, listed;
    auto matches = QRegularExpression("\n- `(\\w+)").globalMatch(section);
    while (matches.hasNext()) documented << matches.next().captured(1);
    const QStringList help = RunCtl({"--help"}).lines;
    for (int i = help.indexOf("Commands:") + 1; i > 0 && help.value(i).startsWith("  "); ++i)
      listed << help[i].simplified().section(' ', 0, 0);
    QCOMPARE(documented, listed);
  }
};

QTEST_GUILESS_MAIN(TestCtlEndToEnd)
#include "tst_ctl_e2e.moc"
