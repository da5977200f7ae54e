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
  // Against a simulator started from provision.quelt, DIR/out.quelt (a copy of it) given
  // as -o where the row says: the status, standard output without the progress lines,
  // standard error, and the memory the simulator ends with as provision.quelt with bytes
  // changed ("offset:hex"; "-": not looked at). A refused run leaves out.quelt as it was.
  void runs_data() {
    QTest::addColumn<QByteArray>("yaml");  // DIR/c.yaml
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("errors");
    QTest::addColumn<QString>("memory");
    const QString read = "读取数据|Try(0):9600,N,8,1|读取成功!|";
    const QString verified = "|设置数据|Try(0):9600,N,8,1|设置成功|" + read +
                             "verified: the terminal holds what the file writes";
    const QStringList apply{"apply", "DIR/c.yaml", "--port", "PTY", "-o", "DIR/out.quelt"};
    const auto refused = [&](const char* name, const QByteArray& yaml, const QString& lines) {
      QTest::newRow(name) << yaml << apply << 2 << ""
                          << "DIR/c.yaml:" + lines +
                                 "\ntr5906ctl: DIR/c.yaml refused (1 error): nothing was written\n"
                          << "";
    };
    QTest::newRow("apply --port") << QByteArray(
                                         "communication:\n  device_address: 12\n"
                                         "  lora_channel: 5\n")
                                  << apply << 0
                                  << read +
                                         "communication (通信参数 / Options):|  device_address: "
                                         "7 -> 12|  lora_channel: 0 -> 5|write: the option block" +
                                         verified
                                  << ""
                                  << "0:0c 28:05";
    QTest::newRow("apply --port, a cloud field")
        << QByteArray("cloud:\n  mqtt_client_id: tr-9\n") << apply.mid(0, 4) << 0
        << read +
               "cloud (云服务配置 / Cloud Service):|  mqtt_client_id: \"\" -> \"tr-9\"|write: the "
               "option block, the serial number and the extended block (service transfer)" +
               verified
        << ""
        << "4358:74722d39";
    QTest::newRow("set, nothing changes")
        << QByteArray() << QStringList{"set", "--port", "PTY", "device_address=7"} << 0
        << read + "nothing changes"
        << ""
        << "";
    QTest::newRow("set --no-verify")
        << QByteArray() << QStringList{"set", "--port", "PTY", "log_level=info", "--no-verify"} << 0
        << read +
               "communication (通信参数 / Options):|  log_level: off -> "
               "info|write: the option block|设置数据|Try(0):9600,N,8,"
               "1|设置成功"
        << ""
        << "126:03";
    QTest::newRow("a terminal that hangs up mid-write")
        << QByteArray("communication:\n  device_address: 12\n")
        << apply + QStringList{"--hangup-after", "400"} << 1 << "-"
        << "tr5906ctl: write failed: PTY: Inappropriate ioctl for device (the device is gone: "
           "adapter unplugged?)\ntr5906ctl: the terminal may now hold only part of the new values: "
           "run the command again once it answers\n"
        << "-";
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
    QTest::newRow("set, bad values")
        << QByteArray()
        << QStringList{"set", "--port", "PTY", "qos=3", "apn", "-o", "DIR/out.quelt"} << 2 << ""
        << "set: `qos`: 3 is out of range (0 to 2)\nset: `apn`: takes NAME=VALUE\ntr5906ctl: set "
           "refused (2 errors): nothing was written\n"
        << "";
    QTest::newRow("beyond what a write sends")
        << QByteArray(
               "communication:\n  adjust: 1\ncarried:\n  firmware_minor: 3\nbytes:\n"
               "  300: \"01 02\"\n  400: \"05\"\n")
        << apply << 2
        << read +
               "communication (通信参数 / Options):|  adjust: 0 -> 1|carried (不在页面上 / Not "
               "on a page):|  firmware_minor: 0 -> 3|bytes no field names: 3 change (300 to "
               "301, 400)"
        << "tr5906ctl: DIR/c.yaml changes what a write cannot send to the terminal: bytes 300 to "
           "301, byte 400, adjust, firmware_minor (apply it to a file with --base and -o); nothing "
           "was written\n"
        << "";
    QTest::newRow("set, the link stays the terminal's")
        << QByteArray() << QStringList{"set", "--port", "PTY", "rs485_baud=19200"} << 0
        << read +
               "serial_ports (串口参数 / Serial Ports):|  rs485_baud: 9600 -> 19200|write: the "
               "option block" +
               verified
        << ""
        << "18:c0";
    QTest::newRow("apply --dry-run") << QByteArray("communication:\n  device_address: 12\n")
                                     << apply + QStringList{"--dry-run"} << 0
                                     << read +
                                            "communication (通信参数 / Options):|  "
                                            "device_address: 7 -> 12|write: the option block"
                                     << ""
                                     << "";
    QTest::newRow("-o into a missing folder")
        << QByteArray("communication:\n  device_address: 12\n")
        << QStringList{"apply", "DIR/c.yaml", "--port", "PTY", "-o", "DIR/none/x.quelt"} << 1 << ""
        << "tr5906ctl: Cannot save the configuration file DIR/none/x.quelt: No such file or "
           "directory\n"
        << "";
    const QString usage = "tr5906ctl: %1\n";
    for (const auto& [args, error] : std::initializer_list<std::pair<QStringList, QString>>{
             {{"apply", "DIR/c.yaml", "-o", "DIR/x"},
              "apply needs one of --base FILE.quelt, --defaults or --port P"},
             {{"set", "--defaults", "qos=1"}, "set onto a file needs -o OUT.quelt or --dry-run"},
             {{"set", "--defaults", "--dry-run", "--no-verify", "qos=1"},
              "--verify and --no-verify are for --port"},
             {{"set", "--port", "PTY", "--verify", "--no-verify", "qos=1"},
              "set takes --verify or --no-verify, not both"},
             {{"apply", "DIR/c.yaml", "--defaults", "-o", "DIR/c.yaml"},
              "-o DIR/c.yaml: apply saves a .quelt image (export writes the text)"},
             {{"apply", "-", "--base", "-", "--dry-run"},
              "apply reads only one file from standard input"},
             {{"export", "--defaults", "DIR/out.quelt"},
              "export needs one of FILE.quelt, --defaults or --port P"}})
      QTest::newRow(qPrintable(args.join(' ')))
          << QByteArray() << args << 2 << "" << usage.arg(error) << "";
  }
  void runs() {
    QFETCH(QByteArray, yaml);
    QFETCH(QStringList, args);
    QFETCH(QString, memory);
    WriteFile(File("c.yaml"), yaml);
    WriteFile(File("out.quelt"), image_);
    SimProcess terminal;
    const int faults = args.indexOf("--hangup-after");
    QVERIFY(terminal.Start(QStringList{"--image", TR5906_TEST_DATA "/provision.quelt",
                                       "--dump-image", File("memory")} +
                           (faults > 0 ? args.mid(faults) : QStringList())));
    const auto expand = [&](QString text) {
      return text.replace("DIR/", dir_.path() + '/').replace("PTY", terminal.path);
    };
    for (QString& arg : args) arg = expand(arg);
    const CtlRun run = RunCtl(faults > 0 ? args.mid(0, faults) : args);
    terminal.Stop();
    QTEST(run.exitCode, "exitCode");
    QFETCH(QString, errors);
    QCOMPARE(run.errors, expand(errors));
    QFETCH(QString, out);
    const QStringList lines = run.lines.filter(QRegularExpression("^(?!\\d+%$)"));
    if (out != "-") QCOMPARE(lines.join('|'), out);
    QByteArray expected = image_;
    for (const QString& change : memory.split(' ', Qt::SkipEmptyParts)) {
      const QByteArray bytes = QByteArray::fromHex(change.section(':', 1).toLatin1());
      expected.replace(change.section(':', 0, 0).toInt(), bytes.size(), bytes);
    }
    if (memory != "-") QCOMPARE(ReadFile(File("memory")).toHex(), expected.toHex());
    if (run.exitCode != 0) QCOMPARE(ReadFile(File("out.quelt")).toHex(), image_.toHex());
  }

  // A simulator's memory (its defaults with three fields set) exported whole and applied
  // onto another image gives the memory byte for byte.
  void exportAllApplyAll() {
    SimProcess terminal;
    QVERIFY(terminal.Start({"--dump-image", File("sim.quelt")}));
    QCOMPARE(RunCtl({"export", "--defaults", "-o", File("all.yaml")}).exitCode, 0);
    QCOMPARE(RunCtl({"set", "--port", terminal.path, "device_address=33", "apn=cmnet",
                     "adc1_offset=-1.5"})
                 .exitCode,
             0);
    QCOMPARE(RunCtl({"export", "--port", terminal.path, "--all", "-o", File("all.yaml")}).exitCode,
             0);
    terminal.Stop();
    QCOMPARE(RunCtl({"apply", File("all.yaml"), "--base", TR5906_TEST_DATA "/provision.quelt", "-o",
                     File("other.quelt")})
                 .exitCode,
             0);
    const QByteArray memory = ReadFile(File("sim.quelt"));
    // set onto a file: that file with the field changed.
    QCOMPARE(
        RunCtl({"set", "--base", File("other.quelt"), "-o", File("set.quelt"), "qos=2"}).exitCode,
        0);
    QCOMPARE(ReadFile(File("set.quelt")).toHex(),
             memory.left(4096 + 348).toHex() + "0200" + memory.mid(4096 + 350).toHex());
    QCOMPARE(memory.mid(4096 + 4, 6), QByteArray("cmnet", 6));
    QCOMPARE(ReadFile(File("other.quelt")).toHex(), memory.toHex());
  }

  // Three terminals provisioned with a recipe onto a base file: each holds its own client
  // id beside the base's values.
  void provisionWithSerial() {
    WriteFile(File("recipe.yaml"), "cloud:\n  mqtt_client_id: \"tr-{serial}\"\n");
    std::deque<SimProcess> sims(3);
    QStringList args{
        "provision", File("recipe.yaml"), "--base",         TR5906_TEST_DATA "/provision.quelt",
        "--db",      File("line.sqlite"), "--first-serial", "A-097"};
    for (int i = 0; i < 3; ++i) {
      QVERIFY(sims[i].Start({"--dump-image", File(QString("unit%1").arg(i))}));
      args << "--port" << sims[i].path;
    }
    // Refused before the database is made when the longest number would not fit.
    WriteFile(File("long.yaml"), "cloud:\n  mqtt_client_id: \"tr-{serial}-abcdefgh\"\n");
    QStringList longer = args;
    longer[1] = File("long.yaml");
    QCOMPARE(RunCtl(longer).errors.remove(dir_.path() + '/'),
             "long.yaml:2:19: `mqtt_client_id`: 17 bytes in GBK, the field holds 16 (with the "
             "longest serial number, 5 characters)\ntr5906ctl: long.yaml refused (1 error): "
             "nothing was written\n");
    QVERIFY(!QFile::exists(File("line.sqlite")));
    QCOMPARE(RunCtl(args, 60000).lines.last(), "3 passed, 0 failed");
    // Without --first-serial, checked with the counter's numbers once it is read.
    longer.removeAt(longer.indexOf("--first-serial") + 1);
    longer.removeOne("--first-serial");
    QCOMPARE(RunCtl(longer).errors.remove(dir_.path() + '/').section('\n', 0, 0),
             "long.yaml:2:19: `mqtt_client_id`: 17 bytes in GBK, the field holds 16 (with the "
             "longest serial number, 5 characters)");
    QStringList ids;
    for (int i = 0; i < 3; ++i) {
      sims[i].Stop();
      const QByteArray memory = ReadFile(File(QString("unit%1").arg(i)));
      QCOMPARE(memory.at(0), '\x07');  // the base's device address
      ids << memory.mid(4096 + 262, 16) + '/' + memory.mid(2048, 6);
    }
    ids.sort();
    QCOMPARE(ids.join(' ').replace(QChar(0), '.'),
             "tr-A-097......../A-097. tr-A-098......../A-098. "
             "tr-A-099......../A-099.");
    // The record holds the hash of each unit's own image: the base, its id and its number.
    QStringList hashes, expected;
    for (const QString& line :
         RunCtl({"records", "--db", File("line.sqlite"), "--csv"}).lines.mid(1))
      hashes << line.section(',', 3, 3) + ' ' + line.section(',', 11, 11);
    for (const char* serial : {"A-097", "A-098", "A-099"}) {
      QByteArray unit = image_;
      unit.replace(4096 + 262, 8, "tr-" + QByteArray(serial)).replace(2048, 5, serial);
      expected << serial +
                      (' ' + QCryptographicHash::hash(unit, QCryptographicHash::Sha256).toHex());
    }
    hashes.sort();
    QCOMPARE(hashes, expected);
  }
};

QTEST_GUILESS_MAIN(TestConfigTextE2e)
#include "tst_configtext_e2e.moc"
