// tr5906ctl export, apply and set against tr5906-sim, and provision with a recipe
// whose client id carries each unit's number.
#include "SimProcess.h"

#include <QTemporaryDir>
#include <QtTest>

#include <deque>

class TestConfigTextE2e : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString File(const QString& name) const { return dir_.filePath(name); }
  const QByteArray image_ = ReadFile(TR5906_TEST_DATA "/provision.quelt");

 private Q_SLOTS:
  // One run against a simulator started from provision.quelt (faults after "|" in args),
  // DIR/c.yaml holding `yaml`: the status, standard output without the progress lines,
  // standard error, and the memory the simulator ends with as provision.quelt with bytes
  // changed ("offset:hex"; "-": not looked at). A failed run leaves DIR/out.quelt as it was.
  void runs_data() {
    for (const char* column : {"yaml", "args", "out", "errors", "memory"})
      QTest::addColumn<QString>(column);
    QTest::addColumn<int>("exitCode");
    const auto row = [](const char* name, const QString& yaml, const QString& args, int exitCode,
                        const QString& out, const QString& errors, const QString& memory = {}) {
      QTest::newRow(name) << yaml << args << out << errors << memory << exitCode;
    };
    const QString read = "读取数据|Try(0):9600,N,8,1|读取成功!|";
    const QString written = "|设置数据|Try(0):9600,N,8,1|设置成功";
    const QString verified =
        written + '|' + read + "verified: the terminal holds what the file writes";
    const QString apply = "apply DIR/c.yaml --port PTY -o DIR/out.quelt";
    const QString options = read + "communication (通信参数 / Options):|  ";
    const auto refused = [&](const char* name, const QString& yaml, const QString& line) {
      row(name, yaml, apply, 2, "",
          "DIR/c.yaml:" + line +
              "\ntr5906ctl: DIR/c.yaml refused (1 error): nothing was written\n");
    };
    const QString address = "communication:\n  device_address: 12\n";
    row("apply --port", address + "  lora_channel: 5\n", apply, 0,
        options + "device_address: 7 -> 12|  lora_channel: 0 -> 5|write: the option block" +
            verified,
        "", "0:0c 28:05");
    row("apply --port, a cloud field", "cloud:\n  mqtt_client_id: tr-9\n", apply, 0,
        read +
            "cloud (云服务配置 / Cloud Service):|  mqtt_client_id: \"\" -> \"tr-9\"|write: the "
            "option block, the serial number and the extended block (service transfer)" +
            verified,
        "", "4358:74722d39");
    row("set --port, the link stays the terminal's", "", "set --port PTY rs485_baud=19200", 0,
        read +
            "serial_ports (串口参数 / Serial Ports):|  rs485_baud: 9600 -> 19200|write: the "
            "option block" +
            verified,
        "", "18:c0");
    row("set --no-verify", "", "set --port PTY log_level=info --no-verify", 0,
        options + "log_level: off -> info|write: the option block" + written, "", "126:03");
    row("set, nothing changes", "", "set --port PTY device_address=7", 0, read + "nothing changes",
        "");
    row("apply --dry-run", address, apply + " --dry-run", 0,
        options + "device_address: 7 -> 12|write: the option block", "");
    row("a terminal that hangs up mid-write", address, apply + "|--hangup-after 400", 1, "-",
        "tr5906ctl: write failed: PTY: Inappropriate ioctl for device (the device is gone: adapter "
        "unplugged?)\ntr5906ctl: the terminal may now hold only part of the new values: run the "
        "command again once it answers\n",
        "-");
    refused("unknown key", "communication:\n  device_adress: 7\n",
            "2:3: `device_adress`: unknown key; did you mean `device_address`?");
    refused("out of range", "communication:\n  lora_tx_power: 30\n",
            "2:18: `lora_tx_power`: 30 is out of range (0 to 22)");
    refused("bad choice", "communication:\n  log_level: verbose\n",
            "2:14: `log_level`: verbose is not one of off (0), error (1), warning (2), info (3), "
            "debug (4)");
    refused("too long in GBK", "cloud:\n  mqtt_client_id: \"温度传感器终端一号机\"\n",
            "2:19: `mqtt_client_id`: 20 bytes in GBK, the field holds 16");
    refused("duplicate key", "digital:\n  din_filter_ms: 5\n  din_filter_ms: 6\n",
            "3:3: `din_filter_ms`: given twice (first on line 2)");
    refused("newer version", "tr5906-config: 2\n",
            "1:16: `tr5906-config`: format version 2 is newer than this program reads (1)");
    refused("YAML syntax", "digital: [\n", "2:1: YAML syntax: end of sequence flow not found");
    row("set, bad values", "", "set --port PTY qos=3 apn -o DIR/out.quelt", 2, "",
        "set: `qos`: 3 is out of range (0 to 2)\nset: `apn`: takes NAME=VALUE\ntr5906ctl: set "
        "refused (2 errors): nothing was written\n");
    row("beyond what a write sends",
        "communication:\n  adjust: 1\ncarried:\n  firmware_minor: 3\nbytes:\n  300: \"01 02\"\n"
        "  400: \"05\"\n",
        apply, 2,
        options +
            "adjust: 0 -> 1|carried (不在页面上 / Not on a page):|  firmware_minor: 0 -> "
            "3|bytes no field names: 3 change (300 to 301, 400)",
        "tr5906ctl: DIR/c.yaml changes what a write cannot send to the terminal: bytes 300 to 301, "
        "byte 400, adjust, firmware_minor (apply it to a file with --base and -o); nothing was "
        "written\n");
    row("-o into a missing folder", address, "apply DIR/c.yaml --port PTY -o DIR/none/x.quelt", 1,
        "",
        "tr5906ctl: Cannot save the configuration file DIR/none/x.quelt: No such file or "
        "directory\n");
    for (const auto& [args, error] : std::initializer_list<std::pair<const char*, const char*>>{
             {"apply DIR/c.yaml -o DIR/x",
              "apply needs one of --base FILE.quelt, --defaults or "
              "--port P"},
             {"set --defaults qos=1", "set onto a file needs -o OUT.quelt or --dry-run"},
             {"set --defaults --dry-run --no-verify qos=1",
              "--verify and --no-verify are for --port"},
             {"set --port PTY --verify --no-verify qos=1",
              "set takes --verify or --no-verify, not "
              "both"},
             {"apply DIR/c.yaml --defaults -o DIR/c.yaml",
              "-o DIR/c.yaml: apply saves a .quelt image (export writes the text)"},
             {"apply - --base - --dry-run", "apply reads only one file from standard input"},
             {"apply DIR/none.yaml --defaults --dry-run",
              "Cannot open the configuration file DIR/none.yaml: No such file or directory"},
             {"provision DIR/out.quelt --base DIR/out.quelt --port PTY",
              "--base goes with a recipe (.yaml), not with a .quelt file"},
             {"export --defaults DIR/out.quelt",
              "export needs one of FILE.quelt, --defaults or "
              "--port P"}})
      row(args, "", args, 2, "", QString("tr5906ctl: %1\n").arg(error));
  }
  void runs() {
    QFETCH(QString, args);
    QFETCH(QString, out);
    QFETCH(QString, memory);
    QFETCH(QString, yaml);
    WriteFile(File("c.yaml"), yaml.toUtf8());
    WriteFile(File("out.quelt"), image_);
    SimProcess terminal;
    QVERIFY(terminal.Start(QStringList{"--image", TR5906_TEST_DATA "/provision.quelt",
                                       "--dump-image", File("memory")} +
                           args.section('|', 1).split(' ', Qt::SkipEmptyParts)));
    const auto expand = [&](QString text) {
      return text.replace("DIR/", dir_.path() + '/').replace("PTY", terminal.path);
    };
    const CtlRun run = RunCtl(expand(args.section('|', 0, 0)).split(' '));
    terminal.Stop();
    QTEST(run.exitCode, "exitCode");
    QFETCH(QString, errors);
    QCOMPARE(run.errors, expand(errors));
    if (out != "-") QCOMPARE(run.lines.filter(QRegularExpression("^(?!\\d+%$)")).join('|'), out);
    QByteArray expected = image_;
    for (const QString& change : memory.split(' ', Qt::SkipEmptyParts)) {
      const QByteArray bytes = QByteArray::fromHex(change.section(':', 1).toLatin1());
      expected.replace(change.section(':', 0, 0).toInt(), bytes.size(), bytes);
    }
    if (memory != "-") QCOMPARE(ReadFile(File("memory")).toHex(), expected.toHex());
    if (run.exitCode != 0) QCOMPARE(ReadFile(File("out.quelt")).toHex(), image_.toHex());
  }

  // A simulator's memory (its defaults with three fields set) exported whole and applied
  // onto another image gives the memory byte for byte; set onto that file changes its field.
  void exportAllApplyAll() {
    SimProcess terminal;
    QVERIFY(terminal.Start({"--dump-image", File("sim.quelt")}));
    const auto run = [&](const QString& args) {
      return RunCtl(
                 QString(args).replace("PTY", terminal.path).replace("DIR", dir_.path()).split(' '))
          .exitCode;
    };
    QCOMPARE(run("export --defaults -o DIR/all.yaml"), 0);  // replaced by the next export
    QCOMPARE(run("set --port PTY device_address=33 apn=cmnet adc1_offset=-1.5"), 0);
    QCOMPARE(run("export --port PTY --all -o DIR/all.yaml"), 0);
    terminal.Stop();
    QCOMPARE(
        run("apply DIR/all.yaml --base " TR5906_TEST_DATA "/provision.quelt -o DIR/other.quelt"),
        0);
    QCOMPARE(run("set --base DIR/other.quelt -o DIR/set.quelt qos=2"), 0);
    QCOMPARE(RunCtl({"set", "--defaults", "--dry-run", "qos=2"}).lines,
             QStringList({"cloud (云服务配置 / Cloud Service):", "  qos: 0 -> 2"}));
    const QByteArray memory = ReadFile(File("sim.quelt"));
    QCOMPARE(memory.mid(4096 + 4, 6), QByteArray("cmnet", 6));
    QCOMPARE(ReadFile(File("other.quelt")).toHex(), memory.toHex());
    QCOMPARE(ReadFile(File("set.quelt")).toHex(),
             memory.left(4096 + 348).toHex() + "0200" + memory.mid(4096 + 350).toHex());
  }

  // Three terminals provisioned with a recipe onto a base file: each holds its own client id
  // beside the base's values, and the record the hash of that image. A recipe whose text
  // would not fit the longest number is refused before the database is made, and without
  // --first-serial once the counter is read.
  void provisionWithSerial() {
    WriteFile(File("recipe.yaml"), "cloud:\n  mqtt_client_id: \"tr-{serial}\"\n");
    WriteFile(File("long.yaml"), "cloud:\n  mqtt_client_id: \"tr-{serial}-abcdefgh\"\n");
    std::deque<SimProcess> sims(3);
    QString args = "provision DIR/recipe.yaml --base " TR5906_TEST_DATA
                   "/provision.quelt --db DIR/line.sqlite --first-serial A-097";
    for (int i = 0; i < 3; ++i) {
      QVERIFY(sims[i].Start({"--dump-image", File(QString("unit%1").arg(i))}));
      args += " --port " + sims[i].path;
    }
    const auto run = [&](const QString& a) {
      return RunCtl(QString(a).replace("DIR/", dir_.path() + '/').split(' '), 60000);
    };
    const QString tooLong =
        "long.yaml:2:19: `mqtt_client_id`: 17 bytes in GBK, the field holds 16 "
        "(with the longest serial number, 5 characters)\n";
    const QString longer = QString(args).replace("recipe.yaml", "long.yaml");
    QCOMPARE(run(longer).errors.remove(dir_.path() + '/'),
             tooLong + "tr5906ctl: long.yaml refused (1 error): nothing was written\n");
    QVERIFY(!QFile::exists(File("line.sqlite")));
    QCOMPARE(run(args).lines.last(), "3 passed, 0 failed");
    QVERIFY(run(QString(longer).remove(" --first-serial A-097"))
                .errors.remove(dir_.path() + '/')
                .startsWith(tooLong));
    QStringList records = run("records --db DIR/line.sqlite --csv").lines.mid(1), units;
    for (QString& line : records) line = line.section(',', 3, 3) + ' ' + line.section(',', 11, 11);
    for (int i = 0; i < 3; ++i) {
      sims[i].Stop();
      const QByteArray memory = ReadFile(File(QString("unit%1").arg(i)));
      const QByteArray serial = memory.mid(2048, 5);
      QCOMPARE(memory.mid(4096 + 262, 9) + memory.mid(2048, 6),
               "tr-" + serial + '\0' + serial + '\0');
      QByteArray unit = image_;  // the base with its client id and number
      unit.replace(4096 + 262, 8, "tr-" + serial).replace(2048, 5, serial);
      units << serial + ' ' + QCryptographicHash::hash(unit, QCryptographicHash::Sha256).toHex();
    }
    units.sort();
    QCOMPARE(units.join(' ').remove(QRegularExpression(" [0-9a-f]{64}")), "A-097 A-098 A-099");
    records.sort();
    QCOMPARE(records, units);
  }
};

QTEST_GUILESS_MAIN(TestConfigTextE2e)
#include "tst_configtext_e2e.moc"
