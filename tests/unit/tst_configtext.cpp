// The configuration as text: export, the checks of a file (every error with its
// place), the plan of changes and the apply, against literal lines and bytes.
#include <QtTest>

#include "image/Defaults.h"
#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "text/ConfigApply.h"
#include "text/ConfigExport.h"
#include "text/ConfigPlan.h"
#include "text/ConfigReader.h"

#include <random>

Q_DECLARE_METATYPE(ParameterImage)

static QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

static void Put(ParameterImage& image, int byte, const QByteArray& bytes) {
  image.Store(byte, reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
}

static ParameterImage Defaults() {
  ParameterImage image;
  LoadDefaults(image);
  return image;
}

/// Every byte drawn from a fixed start; with `valid`, every field then holds a value
/// its page accepts (written through the image's own operations).
static ParameterImage Random(unsigned start, bool valid) {
  std::mt19937 random(start);
  ParameterImage image;
  for (int i = 0; i < ParameterImage::kSize; ++i) image.SetByte(i, uint8_t(random()));
  if (!valid) return image;
  const QString letters = QStringLiteral("AZaz09 -_.泵站水位");
  for (const Field& f : FieldTable::Fields()) {
    const QString name = QString::fromLatin1(f.name);
    if (f.kind == FieldKind::Text || f.kind == FieldKind::SerialNumber) {
      QString text;
      const int length = int(random() % uint32_t(f.length / 2 + 1));
      for (int k = 0; k < length; ++k)
        text += letters[int(random() % uint32_t(f.kind == FieldKind::Text ? letters.size() : 12))];
      if (name == "install_date") text = "2024-05-01";
      if (name == "mqtt_port") text = QString::number(random() % 65536);
      if (f.kind == FieldKind::Text)
        image.WriteImageText(f.byte - 4096, f.length, text);
      else
        Put(image, f.byte, text.toLatin1() + QByteArray(1, 0));
    } else if (name.contains("_parity") || name.contains("stop_bits") || name == "adc_type") {
      FieldTable::StoreRaw(image, f, 1 + int(random() % 2));
    } else if (name.startsWith("adc") && (name.endsWith("offset") || name.endsWith("multiplier"))) {
      FieldTable::StoreRaw(image, f, int(random() % 30001) * (name.endsWith("offset") ? -1 : 1));
    } else if (name.contains("period") || name.contains("interval") || name == "keep_alive") {
      FieldTable::StoreRaw(image, f, 5 + int(random() % 50));
    } else {
      FieldTable::StoreRaw(image, f,
                           f.minimum + int(random() % uint32_t(f.maximum - f.minimum + 1)));
    }
  }
  return image;
}

class TestConfigText : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // Export with "all", then apply onto another image: the same 10240 bytes.
  // Export of the technician's fields applied onto the image it came from:
  // nothing changes.
  void roundTrip_data() {
    QTest::addColumn<ParameterImage>("image");
    QTest::newRow("defaults") << Defaults();
    QTest::newRow("random valid image") << Random(5906, true);
    QTest::newRow("odd bytes everywhere") << Random(22, false);
    ParameterImage erased;
    std::memset(erased.Data(), 0xFF, ParameterImage::kSize);
    QTest::newRow("erased memory") << erased;
  }
  void roundTrip() {
    QFETCH(ParameterImage, image);
    const ConfigCheck all = ConfigReader::Read(ConfigExport::Export(image, {true, "test"}));
    QVERIFY2(all.Ok(), qPrintable(all.Lines("all").join('\n')));
    const ParameterImage applied = ConfigApply::Apply(Random(7, false), all.changes).image;
    QCOMPARE(applied.Bytes(0, ParameterImage::kSize).toHex(),
             image.Bytes(0, ParameterImage::kSize).toHex());
    const ConfigCheck some = ConfigReader::Read(ConfigExport::Export(image, {false, "test"}));
    QVERIFY2(some.Ok(), qPrintable(some.Lines("some").join('\n')));
    const ParameterImage same = ConfigApply::Apply(image, some.changes).image;
    QCOMPARE(ConfigPlan::Lines(image, same), QStringList());
    QVERIFY(same == image);
  }

  // Lines of an export, for images with values in every form.
  void exportLines_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("line");
    QTest::newRow("baud")
        << 10 << Hex("8004")
        << "  ttl_baud: 115200  # TTL串口波特率 / TTL BaudRate; 1200 to 128000, in steps of 100";
    QTest::newRow("negative offset")
        << 44 << Hex("dc85")
        << "  adc1_offset: -1.5  # 信道1 修正电流/电压 / Channel 1 Offset Voltage; -30 to 30";
    QTest::newRow("negative zero") << 46 << Hex("0080") << "  adc2_offset: -0  #";
    QTest::newRow("multiplier") << 82 << Hex("fa00") << "  adc2_multiplier: 2.5  #";
    QTest::newRow("choice")
        << 126 << Hex("0300")
        << "  log_level: info  # 实时日志 / Log Level; off (关 / Off), error (ERROR), "
           "warning (WARNING), info (INFO), debug (DEBUG)";
    QTest::newRow("air rate") << 30 << Hex("0c00") << "  lora_air_rate: 0.48Kbps  #";
    QTest::newRow("stop bits 1.5") << 22 << Hex("0300") << "  rs485_stop_bits: 1.5  #";
    QTest::newRow("choice of other numbers") << 38 << Hex("0500") << "  repeat_enable: 5  #";
    QTest::newRow("choice out of range")
        << 12 << Hex("0700")
        << "  ttl_parity: !raw 7  # TTL串口校验位 / TTL Parity; N, E, O; stored as it is";
    QTest::newRow("number out of range") << 0 << Hex("0000") << "  device_address: !raw 0  #";
    QTest::newRow("chinese text")
        << 4116 << Hex("b1c3d5be00")
        << "  device_name: \"泵站\"  # 设备名称 / Device Name; text, at most 50 bytes";
    QTest::newRow("text of no text")
        << 4266 << Hex("41812042424242424242") << "  device_sort: !raw \"41 81 20 42*7\"  #";
    QTest::newRow("erased text") << 4104 << Hex("ffff") << "  apn: !raw \"00*4 ff ff 00*10\"  #";
  }
  void exportLines() {
    QFETCH(int, byte);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, line);
    ParameterImage image = Defaults();
    Put(image, byte, bytes);
    const QStringList lines = QString::fromUtf8(ConfigExport::Export(image, {})).split('\n');
    const auto found = std::find_if(lines.begin(), lines.end(),
                                    [&](const QString& l) { return l.startsWith(line); });
    QVERIFY2(found != lines.end(), qPrintable(line));
  }

  // The groups of an export: the technician's pages, or everything.
  void groups() {
    QStringList keys[2];
    for (const bool all : {false, true})
      for (const QString& line :
           QString::fromUtf8(ConfigExport::Export(Defaults(), {all, ""})).split('\n'))
        if (line.endsWith(':') && !line.startsWith(' ')) keys[all] << line.chopped(1);
    QCOMPARE(keys[0].join(' '), "serial_ports communication analog digital cloud report_variables");
    QCOMPARE(
        keys[1].join(' '),
        "serial_ports communication analog digital cloud report_variables service carried bytes");
  }

  // Refused files: every error at once, with its line and column.
  void refused_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("errors");
    QTest::newRow("unknown key with suggestion")
        << QByteArray("communication:\n  devce_address: 5\n  radio: 1\n")
        << "a.yaml:2:3: `devce_address`: unknown key; did you mean `device_address`?\n"
           "a.yaml:3:3: `radio`: unknown key";
    QTest::newRow("out of range")
        << QByteArray("communication:\n  device_address: 300\nanalog:\n  adc1_offset: -30.5\n")
        << "a.yaml:2:19: `device_address`: 300 is out of range (1 to 255)\n"
           "a.yaml:4:16: `adc1_offset`: -30.5 is out of range (-30 to 30)";
    QTest::newRow("not exact")
        << QByteArray(
               "serial_ports:\n  ttl_baud: 9650\nanalog:\n  adc1_offset: 1.2345\n  adc2_offset: "
               "0.0000000000000000000001\n"
               "communication:\n  lora_tx_power: 1.5\n")
        << "a.yaml:2:13: `ttl_baud`: 9650 is not a multiple of 100\n"
           "a.yaml:4:16: `adc1_offset`: 1.2345 has more than 3 decimals\n"
           "a.yaml:5:16: `adc2_offset`: 0.0000000000000000000001 has more than 3 decimals\n"
           "a.yaml:7:18: `lora_tx_power`: 1.5 is not a whole number";
    QTest::newRow("bad choice")
        << QByteArray("serial_ports:\n  ttl_parity: X\ncommunication:\n  repeat_enable: 65536\n")
        << "a.yaml:2:15: `ttl_parity`: X is not one of N (0), E (1), O (2)\n"
           "a.yaml:4:18: `repeat_enable`: 65536 is not one of off (0), on (other numbers)";
    QTest::newRow("too long in GBK")
        << QByteArray("cloud:\n  device_sort: 泵站泵站泵站\n  device_name: 泵ก\n  apn: \xb1\xc3\n")
        << "a.yaml:2:16: `device_sort`: 12 bytes in GBK, the field holds 10\n"
           "a.yaml:3:16: `device_name`: the character \"ก\" cannot be stored\n"
           "a.yaml:4:8: `apn`: holds bytes that are not UTF-8 (save the file as UTF-8)";
    QTest::newRow("duplicate key")
        << QByteArray("communication:\n  log_level: info\n  log_level: 关\n")
        << "a.yaml:3:3: `log_level`: given twice (first on line 2)";
    QTest::newRow("newer version")
        << QByteArray("tr5906-config: 2\nradio: 1\n")
        << "a.yaml:1:16: `tr5906-config`: format version 2 is newer than this program reads (1)";
    QTest::newRow("syntax error") << QByteArray("analog: [1\n adc_type: 2")
                                  << "a.yaml:2:10: YAML syntax: end of sequence flow not found";
    QTest::newRow("wrong types")
        << QByteArray(
               "serial_ports:\n  ttl_data_bits: \"8\"\ncloud:\n  apn:\n  lte_enable: [1]\n"
               "  qos: 1e3\n  report_type: !str 1\n")
        << "a.yaml:2:18: `ttl_data_bits`: takes a number, not a text in quotes\n"
           "a.yaml:4:3: `apn`: takes a text, not an empty value\n"
           "a.yaml:5:15: `lte_enable`: takes one of its choices, not a list\n"
           "a.yaml:6:8: `qos`: 1e3 is not a number\n"
           "a.yaml:7:16: `report_type`: unknown tag !str (only !raw)";
    QTest::newRow("wrong group and texts")
        << QByteArray(
               "device_name: x\nanalog:\n  apn: x\ncloud:\n  install_date: 2024-02-30\n"
               "  mqtt_port: 18a3\n  publish_topic: \"a\\tb\"\n")
        << "a.yaml:1:1: `device_name`: belongs under `cloud`\n"
           "a.yaml:3:3: `apn`: belongs under `cloud`, not `analog`\n"
           "a.yaml:5:17: `install_date`: \"2024-02-30\" is not a date (YYYY-MM-DD)\n"
           "a.yaml:6:14: `mqtt_port`: \"18a3\" is not a port number (digits, at most 5)\n"
           "a.yaml:7:18: `publish_topic`: the character U+0009 cannot be stored";
    QTest::newRow("bytes and raw")
        << QByteArray(
               "bytes:\n  10: zz\n  10239: 00 00\n  5: \"00\"\n  4: 00 00\n"
               "carried:\n  word1: !raw 65536\ncloud:\n  apn: !raw \"00\"\n")
        << "a.yaml:2:7: `bytes`: 10: takes bytes in hexadecimal that end inside the image\n"
           "a.yaml:3:10: `bytes`: 10239: takes bytes in hexadecimal that end inside the image\n"
           "a.yaml:4:6: `bytes`: 5: overlaps the run on line 5\n"
           "a.yaml:7:10: `word1`: !raw takes a whole number 0 to 65535\n"
           "a.yaml:9:8: `apn`: !raw takes 16 bytes in hexadecimal";
    QTest::newRow("unreadable") << QByteArray(",analog:\n  adc_type: 2\n")
                                << "a.yaml:1:1: YAML syntax: cannot read on from here";
    QTest::newRow("two documents") << QByteArray("analog: {}\n---\ncloud: {}\n")
                                   << "a.yaml:2:1: the text holds more than one document";
    QTest::newRow("not a map") << QByteArray("- 1\n")
                               << "a.yaml:1:1: the text is not a map of groups (serial_ports:, "
                                  "communication:, ...)";
  }
  void refused() {
    QFETCH(QByteArray, file);
    QFETCH(QString, errors);
    QCOMPARE(ConfigReader::Read(file).Lines("a.yaml").join('\n'), errors);
  }

  // A partial file onto the defaults: the plan, and the bytes it writes.
  void partial_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("plan");
    QTest::addColumn<int>("byte");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("keys, numbers, captions")
        << QByteArray(
               "{\"serial_ports\": {\"rs485_parity\": \"E\", \"rs485_baud\": 19200},"
               " \"communication\": {\"log_level\": \"Warning\", \"lora_air_rate\": 12}}")
        << QStringList{"serial_ports (串口参数 / Serial Ports):",
                       "  rs485_baud: 9600 -> 19200",
                       "  rs485_parity: N -> E",
                       "communication (通信参数 / Options):",
                       "  lora_air_rate: 1.92Kbps -> 0.48Kbps",
                       "  log_level: off -> warning"}
        << 18 << Hex("c0000100");
    QTest::newRow("chinese caption and decimals")
        << QByteArray(
               "communication:\n  log_port: 实串口\nanalog:\n  adc2_offset: -1.5\n"
               "  adc2_multiplier: 0.2500000000000000000000\n")
        << QStringList{"communication (通信参数 / Options):", "  log_port: none -> rs485",
                       "analog (模拟量参数 / Analog):", "  adc2_offset: 0 -> -1.5",
                       "  adc2_multiplier: 1 -> 0.25"}
        << 46 << Hex("dc85");
    QTest::newRow("bits keep their word")
        << QByteArray("digital:\n  din_filter_ms: 4095\n  pin_directions: 5\nbytes:\n  121: 83\n")
        << QStringList{"digital (数字量参数 / Digital):", "  pin_directions: 0 -> 5",
                       "  din_filter_ms: 5 -> 4095", "bytes no field names: 1 change (121)"}
        << 120 << Hex("a0806e0106000000000000000000ffff");
    QTest::newRow("text and raw bytes")
        << QByteArray("cloud:\n  device_name: 泵站一\nbytes:\n  1030: \"7f\"\n  140: \"01 02*5\"\n")
        << QStringList{"cloud (云服务配置 / Cloud Service):", "  device_name: \"\" -> \"泵站一\"",
                       "bytes no field names: 7 change (140 to 145, 1030)"}
        << 4116 << Hex("b1c3d5bed2bb00");
    QTest::newRow("serial number")
        << QByteArray("service:\n  serial_number: TR-1\n")
        << QStringList{"service (生产序列号 / Serial Number):",
                       "  serial_number: \"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\" -> \"TR-1\""}
        << 2048 << Hex("54522d310041");
    QTest::newRow("same values, no change")
        << QByteArray("communication:\n  device_address: 1\n  repeat_enable: 转发\n")
        << QStringList{} << 0 << Hex("0100");
  }
  void partial() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, plan);
    QFETCH(int, byte);
    QFETCH(QByteArray, bytes);
    const ConfigCheck check = ConfigReader::Read(file);
    QVERIFY2(check.Ok(), qPrintable(check.Lines("a.yaml").join('\n')));
    ParameterImage before = Defaults();
    Put(before, 2048, QByteArray(32, 'A'));  // a serial number without terminator
    const ParameterImage after = ConfigApply::Apply(before, check.changes).image;
    QCOMPARE(ConfigPlan::Lines(before, after), plan);
    QCOMPARE(after.Bytes(byte, int(bytes.size())).toHex(), bytes.toHex());
  }

  // "{serial}": checked with the longest number the counter gives, replaced
  // by the unit's number on apply.
  void serial_data() {
    QTest::addColumn<int>("longest");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("outcome");  // an error line, or the client id's bytes
    QTest::newRow("fits") << 13 << "TR-2026-00010"
                          << "74722d54522d323032362d3030303130";
    QTest::newRow("shorter number") << 13 << "TR-7"
                                    << "74722d54522d370000";
    QTest::newRow("longest does not fit")
        << 14 << "TR-7"
        << "a.yaml:2:19: `mqtt_client_id`: 17 bytes in GBK, the field holds 16 (with the longest "
           "serial number, 14 characters)";
    QTest::newRow("number longer than checked")
        << 13 << "TR-2026-000100"
        << "a.yaml:2:19: `mqtt_client_id`: 17 bytes in GBK, the field holds 16";
    QTest::newRow("not provisioning")
        << -1 << "TR-7"
        << "a.yaml:2:19: `mqtt_client_id`: {serial} is replaced only when provisioning";
    QTest::newRow("no number given")
        << 13 << ""
        << "a.yaml:2:19: `mqtt_client_id`: {serial} needs a serial number";
  }
  void serial() {
    QFETCH(int, longest);
    QFETCH(QString, serial);
    QFETCH(QString, outcome);
    const ConfigCheck check =
        ConfigReader::Read("cloud:\n  mqtt_client_id: tr-{serial}\n", {longest});
    QStringList lines = check.Lines("a.yaml");
    if (check.Ok()) {
      const ConfigApply::Result r = ConfigApply::Apply(Defaults(), check.changes, serial);
      for (const ConfigError& e : r.errors) lines << e.Line("a.yaml");
      if (r.Ok()) lines << r.image.Bytes(4358, int(outcome.size() / 2)).toHex();
    }
    QCOMPARE(lines.join('\n'), outcome);
  }

  // NAME=VALUE arguments: the same checks, no lines.
  void arguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("outcome");  // errors, or the plan
    QTest::newRow("set")
        << QStringList{"device_name=泵站 3", "rs485_baud=4800"}
        << "serial_ports (串口参数 / Serial Ports):\n  rs485_baud: 9600 -> 4800\n"
           "cloud (云服务配置 / Cloud Service):\n  device_name: \"\" -> \"泵站 3\"";
    QTest::newRow("refused")
        << QStringList{"device_nam=x", "qos", "qos=3", "qos=1"}
        << "set: `device_nam`: unknown field; did you mean `device_name`?\n"
           "set: `qos`: takes NAME=VALUE\nset: `qos`: 3 is out of range (0 to 2)\n"
           "set: `qos`: given twice";
  }
  void arguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, outcome);
    const ConfigCheck check = ConfigReader::ReadArguments(arguments);
    const QStringList lines =
        check.Ok()
            ? ConfigPlan::Lines(Defaults(), ConfigApply::Apply(Defaults(), check.changes).image)
            : check.Lines("set");
    QCOMPARE(lines.join('\n'), outcome);
  }
};

QTEST_GUILESS_MAIN(TestConfigText)
#include "tst_configtext.moc"
