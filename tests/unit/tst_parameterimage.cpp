// The parameter image: text and word fields written and read, the start-up
// defaults, the identity lines (fields as shown: the lines of tst_readbackcheck).
#include <QtTest>

#include "image/Defaults.h"
#include "image/FieldLabels.h"
#include "image/FieldTable.h"
#include "image/Identity.h"
#include "image/ParameterImage.h"

static constexpr int kExt = 4096;

static QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

/// An image whose every byte is `fill`, so untouched bytes are easy to see.
static ParameterImage Filled(uint8_t fill) {
  ParameterImage image;
  std::memset(image.Data(), fill, ParameterImage::kSize);
  return image;
}

class TestParameterImage : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void textWriter_data() {
    QTest::addColumn<int>("length");  // 0: a word field
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");  // the field after the write, from a field of 0x77
    QTest::newRow("word, blank keeps") << 0 << "  " << Hex("7777");
    QTest::newRow("word too large is held") << 0 << "99999999999" << Hex("ffff");
    QTest::newRow("word, digits then junk") << 0 << "12x" << Hex("0c00");
    QTest::newRow("terminator") << 10 << "ABC" << Hex("41424300777777777777");
    QTest::newRow("terminator in the last byte") << 4 << "ABC" << Hex("41424300");
    QTest::newRow("chinese") << 6 << "中文" << Hex("d6d0cec40077");
    QTest::newRow("ascii cut") << 10 << "ABCDEFGHIJKL" << QByteArray("ABCDEFGHIJ");
    QTest::newRow("two-byte would be split") << 3 << "中文" << Hex("d6d000");
    QTest::newRow("unmappable becomes ?") << 6 << "a\U0001F600b" << Hex("613f62007777");
    QTest::newRow("empty clears") << 6 << QString() << Hex("000000000000");
  }
  void textWriter() {
    QFETCH(int, length);
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    ParameterImage image = Filled(0x77);
    if (length == 0)
      image.SetExtWordText(170, text);
    else
      image.WriteImageText(170, length, text);
    QCOMPARE(image.Bytes(kExt + 169, int(field.size()) + 2).toHex(), ('w' + field + 'w').toHex());
  }
  void textReader_data() {
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("erased") << Hex("ffff4142") << QString();
    QTest::newRow("text then erased") << Hex("4142ffff") << "AB";
    QTest::newRow("stops at zero") << Hex("41004243") << "A";
    QTest::newRow("lead byte last is dropped") << Hex("4142d6") << "AB";
    QTest::newRow("chinese") << Hex("d6d0cec4") << "中文";
    QTest::newRow("bad trail stops") << Hex("41d62042") << "A";
    QTest::newRow("control byte stops") << Hex("410a4243") << "A";
  }
  void textReader() {
    QFETCH(QByteArray, field);
    QFETCH(QString, text);
    ParameterImage image = Filled(0x5A);
    image.Store(kExt + 4, reinterpret_cast<const uint8_t*>(field.constData()), int(field.size()));
    QCOMPARE(image.ReadImageText(4, int(field.size())), text);
  }
  // How a technician knows a field: the caption of its page, its tab, its control.
  void labels_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("label");  // group|tab|control|row,column|english|chinese
    QTest::newRow("list") << "lora_tx_power"
                          << "1|ComboTxPower|-1,-1|TX Power|发射功率";
    QTest::newRow("485 port") << "rs485_baud"
                              << "0|ComboBaudRate_1|-1,-1|RS-485 BaudRate|实串口波特率";
    QTest::newRow("grid cell")
        << "adc3_offset"
        << "2|MSHFlexGridAdcParam|3,2|Channel 3 Offset Voltage|信道3 修正电流/电压";
    QTest::newRow("9th channel") << "adc9_kind"
                                 << "-1||-1,-1|Channel 9 Type|信道9 类型";
    QTest::newRow("mqtt window") << "mqtt_client_id"
                                 << "4|CommandMqttSetting|-1,-1|Client ID|客户端ID";
    QTest::newRow("variables") << "var_AO1_name"
                               << "4|CommandVarSetting|-1,-1|AO1 Var Name|AO1 变量名";
    QTest::newRow("serial number") << "serial_number"
                                   << "-1|CommandFactory|-1,-1|Serial Number|生产序列号";
    QTest::newRow("reserved") << "word65"
                              << "-1||-1,-1|Reserved word 65|保留字65";
    QTest::newRow("identity") << "hardware_variant"
                              << "-1||-1,-1|Hardware variant|硬件型号";
  }
  void labels() {
    QFETCH(QString, field);
    QFETCH(QString, label);
    const FieldLabel l = FieldLabels::Of(FieldTable::Named(field));
    QCOMPARE(QStringLiteral("%1|%2|%3,%4|%5|%6")
                 .arg(FieldLabels::TabIndex(l.group))
                 .arg(l.control)
                 .arg(l.row)
                 .arg(l.column)
                 .arg(l.english, l.chinese),
             label);
    // No field is left to fall back on its bare name.
    for (const Field& f : FieldTable::Fields())
      QVERIFY2(FieldLabels::Caption(f, false) != QLatin1String(f.name), f.name);
  }

  void defaults() {
    // Words 0 to 68 as the terminal's manual lists them.
    const int words[69] = {1,   1,   2019, 1,   1,   96,  0,   1,  8,  96, 0,  1,      8,   100,
                           1,   10,  1,    5,   22,  1,   0,   0,  0,  0,  0,  0,      0,   0,
                           0,   0,   0,    10,  10,  10,  10,  10, 10, 10, 10, 10,     100, 100,
                           100, 100, 100,  100, 100, 100, 100, 1,  1,  1,  1,  1,      1,   1,
                           1,   1,   20,   200, 0,   366, 6,   0,  0,  0,  0,  0xF005, 10};
    ParameterImage image = Filled(0xA5);
    LoadDefaults(image);
    for (int w = 0; w < 69; ++w) QCOMPARE(int{image.GetUWord(w)}, words[w]);
    QCOMPARE(image.Bytes(138, 4), Hex("a5a5a5a5"));
  }
  void identity_data() {
    QTest::addColumn<QByteArray>("identity");   // bytes 1024 to 1027
    QTest::addColumn<int>("channel");           // word 14
    QTest::addColumn<QString>("firmware");      // the version line after its label
    QTest::addColumn<QStringList>("channels");  // all six, or entries 1, 2, 20, 21 and 100
    QTest::addColumn<int>("index");
    const QStringList band400{"1-411.125MHz", "2-421.125MHz", "3-432.125MHz",
                              "4-442.125MHz", "5-465.125MHz", "6-486.125MHz"};
    const QStringList band900{"1-863MHz", "2-863.25MHz", "20-867.75MHz", "21-902MHz",
                              "100-921.75MHz"};
    const QStringList plain{"1", "2", "20", "21", "100"};
    QTest::newRow("one digit twice") << Hex("05410003") << 6 << "41.55.Plover" << band400 << 0;
    QTest::newRow("upper hex") << Hex("ab9c0004") << 20 << "9C.AB.Merlin" << band900 << 20;
    QTest::newRow("unknown variant")
        << Hex("109100c8") << 99 << "91.10.Kestrel_Old" << band900 << 99;
    QTest::newRow("all zero") << Hex("00000002") << 65535 << "0.00.Kestrel" << plain << 0;
  }
  void identity() {
    QFETCH(QByteArray, identity);
    QFETCH(int, channel);
    QFETCH(QString, firmware);
    QFETCH(QStringList, channels);
    QFETCH(int, index);
    ParameterImage image;
    image.Store(1024, reinterpret_cast<const uint8_t*>(identity.constData()), 4);
    image.SetWord(2, 2024);
    image.SetWord(3, 12);
    image.SetWord(4, 31);
    image.SetWord(14, uint16_t(channel));
    QCOMPARE(Identity::Lines(image),
             (QStringList{"REZUZODO", "固件版本:" + firmware, "生产日期:2024-12-31"}));
    const QStringList list = Identity::ChannelList(Identity::BandCode(image));
    QCOMPARE(list.size(), channels.size() == 6 ? 6 : 100);
    QCOMPARE(
        list.size() == 6 ? list : (QStringList{list[0], list[1], list[19], list[20], list[99]}),
        channels);
    QCOMPARE(Identity::ChannelIndex(image, int(list.size())), index);
  }
};

QTEST_GUILESS_MAIN(TestParameterImage)
#include "tst_parameterimage.moc"
