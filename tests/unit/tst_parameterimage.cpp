// The parameter image: word encodings, GBK text fields, the field table and
// the start-up defaults.
#include <QtTest>

#include "image/Defaults.h"
#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "image/TextCodec.h"

#include <vector>

namespace {

constexpr int kExt = ParameterImage::kExtendedBase;

/// The bytes of the text field at extended offset `offset`.
QByteArray FieldBytes(const ParameterImage& image, int offset, int length) {
  return image.Bytes(kExt + offset, length);
}

QByteArray Hex(const char* text) { return QByteArray::fromHex(text); }

/// An image whose every byte is `fill`, so untouched bytes are easy to see.
ParameterImage Filled(uint8_t fill) {
  ParameterImage image;
  std::memset(image.Data(), fill, ParameterImage::kSize);
  return image;
}

}  // namespace

class TestParameterImage : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void wordsAreLittleEndianSignedAndUnsigned() {
    ParameterImage image;
    image.SetWord(0, 0x1234);
    QCOMPARE(image.Byte(0), uint8_t{0x34});
    QCOMPARE(image.Byte(1), uint8_t{0x12});
    image.SetWord(22, 32768 + 1500);
    QCOMPARE(image.GetUWord(22), uint16_t{34268});
    QCOMPARE(image.GetWord(22), int16_t{34268 - 65536});

    image.SetExtWord(2046, ParameterImage::kValidMarker);
    QCOMPARE(image.Byte(6142), uint8_t{0x55});
    QCOMPARE(image.Byte(6143), uint8_t{0xAA});
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
    QTest::newRow("top") << QStringLiteral("65535") << 65535;
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
    QCOMPARE(int{image.GetExtWord(344)}, stored);
    QCOMPARE(image.Byte(kExt + 346), uint8_t{0});
  }

  void storeAndBytesClipToTheImage() {
    ParameterImage image;
    const uint8_t data[4] = {1, 2, 3, 4};
    QCOMPARE(image.Store(10238, data, 4), 2);
    QCOMPARE(image.Bytes(10236, 10), Hex("00000102"));
    QCOMPARE(image.Store(-2, data, 4), 2);
    QCOMPARE(image.Bytes(0, 3), Hex("030400"));
    QCOMPARE(image.Store(20000, data, 4), 0);
    QCOMPARE(image.Bytes(-5, 0), QByteArray());
  }

  void textWriterBytes_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("field");  // the field after the write, from a field of 0x77
    QTest::newRow("ascii with terminator")
        << 10 << QStringLiteral("ABC") << Hex("41424300777777777777");
    QTest::newRow("chinese") << 6 << QStringLiteral("中文") << Hex("d6d0cec40077");
    QTest::newRow("date fills the field")
        << 10 << QStringLiteral("2024-05-01") << QByteArray("2024-05-01");
    QTest::newRow("ascii cut at the end")
        << 10 << QStringLiteral("ABCDEFGHIJKL") << QByteArray("ABCDEFGHIJ");
    QTest::newRow("two-byte fits exactly") << 4 << QStringLiteral("中文") << Hex("d6d0cec4");
    QTest::newRow("two-byte would be split") << 3 << QStringLiteral("中文") << Hex("d6d000");
    QTest::newRow("split after ascii") << 4 << QStringLiteral("a中文") << Hex("61d6d000");
    QTest::newRow("split, no room for terminator")
        << 4 << QStringLiteral("abc中") << Hex("61626300");
    QTest::newRow("one byte, two-byte first") << 1 << QStringLiteral("中") << Hex("00");
    QTest::newRow("unmappable becomes ?")
        << 6 << QStringLiteral("a\U0001F600b") << Hex("613f62007777");
    QTest::newRow("empty clears") << 6 << QString() << Hex("000000000000");
  }
  void textWriterBytes() {
    QFETCH(int, length);
    QFETCH(QString, text);
    QFETCH(QByteArray, field);
    ParameterImage image = Filled(0x77);
    image.WriteImageText(170, length, text);
    QCOMPARE(FieldBytes(image, 170, length), field);
    // The neighbours keep their bytes.
    QCOMPARE(image.Byte(kExt + 169), uint8_t{0x77});
    QCOMPARE(image.Byte(kExt + 170 + length), uint8_t{0x77});
  }

  void textReader_data() {
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("fresh") << Hex("00000000") << QString();
    QTest::newRow("erased") << Hex("ffffffff") << QString();
    QTest::newRow("text then erased") << Hex("4142ffff") << QStringLiteral("AB");
    QTest::newRow("no terminator") << QByteArray("ABCD") << QStringLiteral("ABCD");
    QTest::newRow("stops at zero") << Hex("41004243") << QStringLiteral("A");
    QTest::newRow("lead byte last is dropped") << Hex("4142d6") << QStringLiteral("AB");
    QTest::newRow("chinese") << Hex("d6d0cec4") << QStringLiteral("中文");
    QTest::newRow("bad trail stops") << Hex("41d62042") << QStringLiteral("A");
    QTest::newRow("control byte stops") << Hex("410a4243") << QStringLiteral("A");
    QTest::newRow("byte 127 stops") << Hex("417f4243") << QStringLiteral("A");
    QTest::newRow("byte 128 stops") << Hex("41804243") << QStringLiteral("A");
  }
  void textReader() {
    QFETCH(QByteArray, field);
    QFETCH(QString, text);
    ParameterImage image = Filled(0x5A);
    image.Store(kExt + 4, reinterpret_cast<const uint8_t*>(field.constData()),
                static_cast<int>(field.size()));
    QCOMPARE(image.ReadImageText(4, static_cast<int>(field.size())), text);
  }

  void textReaderTakesEveryBytepair() {
    // Every two-byte pattern, in the last two bytes of the extended block:
    // the reader never reads past the field and yields at most two characters.
    ParameterImage image;
    const int offset = ParameterImage::kSize - kExt - 2;
    for (int pair = 0; pair < 65536; ++pair) {
      image.SetByte(kExt + offset, static_cast<uint8_t>(pair >> 8));
      image.SetByte(kExt + offset + 1, static_cast<uint8_t>(pair & 0xFF));
      QVERIFY(image.ReadImageText(offset, 2).size() <= 2);
    }
    QString out;
    QVERIFY(!TextCodec::DecodePair(0xFF, 0xFF, out));
    QVERIFY(!TextCodec::DecodePair(0x41, 0x42, out));
    QVERIFY(out.isEmpty());
  }

  void codecOnArbitraryBytes() {
    QByteArray all;
    for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
    const QString decoded = TextCodec::FromGbk(all + all);
    QVERIFY(decoded.startsWith(QString(QChar(0)) + QChar(1)));
    QCOMPARE(TextCodec::FromGbk(Hex("d6d0cec4")), QStringLiteral("中文"));
    QCOMPARE(TextCodec::FromGbk(Hex("d6")), QString(QChar(QChar::ReplacementCharacter)));
    QCOMPARE(TextCodec::ToGbk(QStringLiteral("A中")), Hex("41d6d0"));
    QCOMPARE(TextCodec::ToGbk(QString(QChar(0xD800))), QByteArray("?"));
  }

  void fieldTableDecodes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QJsonValue>("json");
    QTest::newRow("offset positive") << "adc1_offset" << 1500 << "1.5" << QJsonValue(1.5);
    QTest::newRow("offset negative") << "adc1_offset" << 32768 + 1500 << "-1.5" << QJsonValue(-1.5);
    QTest::newRow("offset minus zero") << "adc1_offset" << 32768 << "-0" << QJsonValue(0.0);
    QTest::newRow("multiplier") << "adc1_multiplier" << 100 << "1" << QJsonValue(1.0);
    QTest::newRow("multiplier fraction") << "adc1_multiplier" << 125 << "1.25" << QJsonValue(1.25);
    QTest::newRow("baud") << "rs485_baud" << 96 << "9600" << QJsonValue(9600);
    QTest::newRow("parity") << "rs485_parity" << 1 << "1 (E)" << QJsonValue(1);
    QTest::newRow("parity beyond names") << "rs485_parity" << 3 << "3" << QJsonValue(3);
    QTest::newRow("air rate") << "lora_air_rate" << 12 << "12 (0.48Kbps)" << QJsonValue(12);
    QTest::newRow("kind other") << "adc2_kind" << 7 << "7 (Current)" << QJsonValue(7);
    QTest::newRow("unsigned") << "save_period_s" << 40000 << "40000" << QJsonValue(40000);
  }
  void fieldTableDecodes() {
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

  void fieldTableBitsAndTexts() {
    ParameterImage image;
    const Field* filter = FieldTable::Find(QStringLiteral("din_filter_ms"));
    const Field* edges = FieldTable::Find(QStringLiteral("capture_edges"));
    QVERIFY(filter && edges);
    image.SetWord(67, 0xF005);
    QCOMPARE(FieldTable::RawValue(image, *filter), 5);
    QCOMPARE(FieldTable::RawValue(image, *edges), 15);
    // One bit group never disturbs the other.
    FieldTable::StoreRaw(image, *filter, 4095);
    QCOMPARE(image.GetUWord(67), uint16_t{0xFFFF});
    FieldTable::StoreRaw(image, *edges, 4);
    QCOMPARE(image.GetUWord(67), uint16_t{0x4FFF});
    FieldTable::StoreRaw(image, *filter, 0);
    QCOMPARE(image.GetUWord(67), uint16_t{0x4000});

    const Field* name = FieldTable::Find(QStringLiteral("device_name"));
    QVERIFY(name);
    image.WriteImageText(20, 50, QStringLiteral("泵站"));
    QCOMPARE(FieldTable::DisplayText(image, *name), QStringLiteral("泵站"));
    QCOMPARE(FieldTable::JsonValue(image, *name), QJsonValue(QStringLiteral("泵站")));

    const Field* serial = FieldTable::Find(QStringLiteral("serial_number"));
    QVERIFY(serial);
    QCOMPARE(FieldTable::Text(image, *serial), QString());
    const QByteArray number = "SN-0001\xd6\xd0X";
    image.Store(2048, reinterpret_cast<const uint8_t*>(number.constData()),
                static_cast<int>(number.size()));
    QCOMPARE(FieldTable::Text(image, *serial), QStringLiteral("SN-0001"));
    image.Store(2048, reinterpret_cast<const uint8_t*>(QByteArray(40, 'A').constData()), 40);
    QCOMPARE(FieldTable::Text(image, *serial), QString(32, QLatin1Char('A')));

    QCOMPARE(FieldTable::ChoiceName(*FieldTable::Find(QStringLiteral("hardware_variant")), 9),
             QStringLiteral("Kestrel_Old"));
    QCOMPARE(FieldTable::DecimalText(-863250, 1000), QStringLiteral("-863.25"));
  }

  void fieldTableLayoutIsConsistent() {
    QSet<QString> names;
    std::vector<uint8_t> used(ParameterImage::kSize, 0);  // bits taken, per byte
    for (const Field& f : FieldTable::Fields()) {
      QVERIFY2(!names.contains(QLatin1String(f.name)), f.name);
      names.insert(QLatin1String(f.name));
      QVERIFY2(f.byte >= 0 && f.byte + f.length <= 6144, f.name);
      QVERIFY2(f.minimum <= f.maximum, f.name);
      if (f.hasDefault) QVERIFY2(f.byte + f.length <= kDefaultByteCount, f.name);
      // No two fields share a bit.
      const int first = f.kind == FieldKind::Bits ? f.bitShift : 0;
      const int count = f.kind == FieldKind::Bits ? f.bitCount : 8 * f.length;
      for (int bit = first; bit < first + count; ++bit) {
        uint8_t& taken = used[static_cast<size_t>(f.byte + bit / 8)];
        QVERIFY2(!(taken & (1 << (bit % 8))), f.name);
        taken = static_cast<uint8_t>(taken | (1 << (bit % 8)));
      }
    }
    QVERIFY(FieldTable::Find(QStringLiteral("nothing")) == nullptr);
  }

  void defaultsTouchOnlyTheirBytesAndAreInRange() {
    ParameterImage image = Filled(0xA5);
    LoadDefaults(image);
    QCOMPARE(image.Bytes(0, 6), Hex("01000100e307"));  // address 1, 2019 little-endian
    QCOMPARE(image.GetUWord(67), uint16_t{0xF005});    // filter 5 ms, every edge
    QCOMPARE(image.GetUWord(68), uint16_t{10});
    for (int i = kDefaultByteCount; i < ParameterImage::kSize; ++i)
      QVERIFY2(image.Byte(i) == 0xA5, qPrintable(QString::number(i)));

    ParameterImage fresh;
    LoadDefaults(fresh);
    QVERIFY(!fresh.HasValidMarker());
    QCOMPARE(fresh.ReadImageText(20, 50), QString());
    for (const Field& f : FieldTable::Fields())
      if (f.hasDefault) QVERIFY2(FieldTable::InRange(fresh, f), f.name);
  }
};

QTEST_GUILESS_MAIN(TestParameterImage)
#include "tst_parameterimage.moc"
