// The parameter image: word encodings, GBK text fields, the field table and
// the start-up defaults.
#include <QtTest>

#include "image/Defaults.h"
#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "image/TextCodec.h"

#include <vector>

namespace {

constexpr int kExt = 4096;

QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

/// An image whose every byte is `fill`, so untouched bytes are easy to see.
ParameterImage Filled(uint8_t fill) {
  ParameterImage image;
  std::memset(image.Data(), fill, ParameterImage::kSize);
  return image;
}

void Put(ParameterImage& image, int index, const QByteArray& bytes) {
  image.Store(index, reinterpret_cast<const uint8_t*>(bytes.constData()),
              static_cast<int>(bytes.size()));
}

}  // namespace

class TestParameterImage : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void words() {
    ParameterImage image;
    image.SetWord(0, 0x1234);
    image.SetWord(22, 32768 + 1500);
    image.StampValidMarker();
    QCOMPARE(image.Bytes(0, 2), Hex("3412"));
    QCOMPARE(image.GetUWord(22), uint16_t{34268});
    QCOMPARE(image.GetWord(22), int16_t{34268 - 65536});
    QCOMPARE(image.Bytes(6142, 2), Hex("55aa"));
    QVERIFY(image.HasValidMarker());
    QCOMPARE(image.GetExtWordText(2046), QStringLiteral("43605"));
  }

  void extWordFromText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stored");
    QTest::newRow("empty keeps") << QString() << 777;
    QTest::newRow("blank keeps") << QStringLiteral("  ") << 777;
    QTest::newRow("number") << QStringLiteral("1883") << 1883;
    QTest::newRow("leading zeros") << QStringLiteral("007") << 7;
    QTest::newRow("too large is held") << QStringLiteral("99999999999") << 65535;
    QTest::newRow("negative") << QStringLiteral("-5") << 0;
    QTest::newRow("no digits") << QStringLiteral("abc") << 0;
    QTest::newRow("digits then junk") << QStringLiteral("12x") << 12;
  }
  void extWordFromText() {
    QFETCH(QString, text);
    QFETCH(int, stored);
    ParameterImage image;
    image.SetExtWord(344, 777);
    QCOMPARE(int{image.SetExtWordText(344, text)}, stored);
    QCOMPARE(image.Bytes(kExt + 344, 3),
             QByteArray(1, char(stored & 0xFF)) + char(stored >> 8) + '\0');
  }

  void storeAndBytesClipToTheImage() {
    ParameterImage image;
    const uint8_t data[4] = {1, 2, 3, 4};
    QCOMPARE(image.Store(10238, data, 4), 2);
    QCOMPARE(image.Bytes(10236, 10), Hex("00000102"));
    QCOMPARE(image.Store(-2, data, 4), 2);
    QCOMPARE(image.Bytes(0, 3), Hex("030400"));
    QCOMPARE(image.Store(20000, data, 4), 0);
  }

  void textWriter_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");  // the field after the write, from a field of 0x77
    QTest::newRow("terminator") << 10 << "ABC" << Hex("41424300777777777777");
    QTest::newRow("terminator in the last byte") << 4 << "ABC" << Hex("41424300");
    QTest::newRow("chinese") << 6 << "中文" << Hex("d6d0cec40077");
    QTest::newRow("date fills the field") << 10 << "2024-05-01" << QByteArray("2024-05-01");
    QTest::newRow("ascii cut") << 10 << "ABCDEFGHIJKL" << QByteArray("ABCDEFGHIJ");
    QTest::newRow("two-byte fits exactly") << 4 << "中文" << Hex("d6d0cec4");
    QTest::newRow("two-byte would be split") << 3 << "中文" << Hex("d6d000");
    QTest::newRow("split, no room for terminator") << 4 << "abc中" << Hex("61626300");
    QTest::newRow("unmappable becomes ?") << 6 << "a\U0001F600b" << Hex("613f62007777");
    QTest::newRow("empty clears") << 6 << QString() << Hex("000000000000");
  }
  void textWriter() {
    QFETCH(int, length);
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    ParameterImage image = Filled(0x77);
    image.WriteImageText(170, length, text);
    QCOMPARE(image.Bytes(kExt + 169, length + 2).toHex(), ('w' + field + 'w').toHex());
  }

  void textReader_data() {
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("fresh") << Hex("00000000") << QString();
    QTest::newRow("erased") << Hex("ffff4142") << QString();
    QTest::newRow("text then erased") << Hex("4142ffff") << "AB";
    QTest::newRow("no terminator") << QByteArray("ABCD") << "ABCD";
    QTest::newRow("stops at zero") << Hex("41004243") << "A";
    QTest::newRow("lead byte last is dropped") << Hex("4142d6") << "AB";
    QTest::newRow("chinese") << Hex("d6d0cec4") << "中文";
    QTest::newRow("bad trail stops") << Hex("41d62042") << "A";
    QTest::newRow("control byte stops") << Hex("410a4243") << "A";
    QTest::newRow("byte 128 stops") << Hex("41804243") << "A";
  }
  void textReader() {
    QFETCH(QByteArray, field);
    QFETCH(QString, text);
    ParameterImage image = Filled(0x5A);
    Put(image, kExt + 4, field);
    QCOMPARE(image.ReadImageText(4, static_cast<int>(field.size())), text);
  }

  void textReaderNeverPassesTheField() {
    ParameterImage image;
    for (int pair = 0; pair < 65536; ++pair) {
      image.SetByte(10238, static_cast<uint8_t>(pair >> 8));
      image.SetByte(10239, static_cast<uint8_t>(pair & 0xFF));
      QVERIFY(image.ReadImageText(10238 - kExt, 2).size() <= 2);
    }
    QCOMPARE(TextCodec::FromGbk(Hex("41d6d0cec4d6")), QStringLiteral("A中文\uFFFD"));
    QCOMPARE(TextCodec::ToGbk(QString(QChar(0xD800))), QByteArray("?"));
  }

  void fieldTable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QJsonValue>("json");
    QTest::newRow("offset") << "adc1_offset" << 1500 << "1.5" << QJsonValue(1.5);
    QTest::newRow("offset negative") << "adc1_offset" << 32768 + 1500 << "-1.5" << QJsonValue(-1.5);
    QTest::newRow("offset minus zero") << "adc1_offset" << 32768 << "-0" << QJsonValue(0.0);
    QTest::newRow("multiplier") << "adc1_multiplier" << 125 << "1.25" << QJsonValue(1.25);
    QTest::newRow("baud") << "rs485_baud" << 96 << "9600" << QJsonValue(9600);
    QTest::newRow("parity") << "rs485_parity" << 1 << "1 (E)" << QJsonValue(1);
    QTest::newRow("parity beyond names") << "rs485_parity" << 3 << "3" << QJsonValue(3);
    QTest::newRow("air rate") << "lora_air_rate" << 12 << "12 (0.48Kbps)" << QJsonValue(12);
    QTest::newRow("kind other") << "adc2_kind" << 7 << "7 (Current)" << QJsonValue(7);
    QTest::newRow("filter bits") << "din_filter_ms" << 0xF123 << "291" << QJsonValue(291);
    QTest::newRow("edge bits") << "capture_edges" << 0x4FFF << "4" << QJsonValue(4);
  }
  void fieldTable() {
    QFETCH(QString, name);
    QFETCH(int, word);
    QFETCH(QString, text);
    QFETCH(QJsonValue, json);
    const Field* field = FieldTable::Find(name);
    QVERIFY(field != nullptr);
    ParameterImage image;
    image.SetWord(field->byte / 2, static_cast<uint16_t>(word));
    QCOMPARE(FieldTable::DisplayText(image, *field), text);
    QCOMPARE(FieldTable::JsonValue(image, *field), json);
  }

  void bitGroupsKeepEachOther() {
    ParameterImage image;
    image.SetWord(67, 0xF005);
    FieldTable::StoreRaw(image, *FieldTable::Find("din_filter_ms"), 4095);
    QCOMPARE(image.GetUWord(67), uint16_t{0xFFFF});
    FieldTable::StoreRaw(image, *FieldTable::Find("capture_edges"), 4);
    QCOMPARE(image.GetUWord(67), uint16_t{0x4FFF});
    const Field* serial = FieldTable::Find("serial_number");
    Put(image, 2048, "SN-0001\xd6\xd0X");
    QCOMPARE(FieldTable::Text(image, *serial), QStringLiteral("SN-0001"));
    Put(image, 2048, QByteArray(40, 'A'));
    QCOMPARE(FieldTable::Text(image, *serial), QString(32, QLatin1Char('A')));
  }

  void noTwoFieldsShareABit() {
    std::vector<uint8_t> used(ParameterImage::kSize, 0);
    for (const Field& f : FieldTable::Fields()) {
      const int first = f.kind == FieldKind::Bits ? f.bitShift : 0;
      const int count = f.kind == FieldKind::Bits ? f.bitCount : 8 * f.length;
      QVERIFY2(f.byte >= 0 && f.byte + f.length <= 6144, f.name);
      for (int bit = first; bit < first + count; ++bit) {
        uint8_t& taken = used[static_cast<size_t>(f.byte + bit / 8)];
        QVERIFY2(!(taken & (1 << (bit % 8))), f.name);
        taken = static_cast<uint8_t>(taken | (1 << (bit % 8)));
      }
    }
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
    for (int i = 138; i < ParameterImage::kSize; ++i)
      QVERIFY2(image.Byte(i) == 0xA5, qPrintable(QString::number(i)));
  }
};

QTEST_GUILESS_MAIN(TestParameterImage)
#include "tst_parameterimage.moc"
