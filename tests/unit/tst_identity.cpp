// Identity lines and LoRa channel lists after a read.
#include <QtTest>

#include "image/Identity.h"
#include "image/ParameterImage.h"

namespace {

ParameterImage WithIdentity(uint8_t minor, uint8_t major, uint8_t variant) {
  ParameterImage image;
  image.SetByte(1024, minor);
  image.SetByte(1025, major);
  image.SetByte(1027, variant);
  return image;
}

}  // namespace

class TestIdentity : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void firmwareLine_data() {
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("variant");
    QTest::addColumn<QString>("line");
    QTest::newRow("two digits") << 0x23 << 0x41 << 2 << QStringLiteral("固件版本:41.23.Kestrel");
    QTest::newRow("one digit twice") << 5 << 0x41 << 3 << QStringLiteral("固件版本:41.55.Plover");
    QTest::newRow("all zero") << 0 << 0 << 0 << QStringLiteral("固件版本:0.00.Kestrel_Old");
    QTest::newRow("upper hex") << 0xAB << 0x9C << 4 << QStringLiteral("固件版本:9C.AB.Merlin");
    QTest::newRow("unknown variant")
        << 0x10 << 0x91 << 200 << QStringLiteral("固件版本:91.10.Kestrel_Old");
  }
  void firmwareLine() {
    QFETCH(int, minor);
    QFETCH(int, major);
    QFETCH(int, variant);
    QFETCH(QString, line);
    const ParameterImage image = WithIdentity(uint8_t(minor), uint8_t(major), uint8_t(variant));
    QCOMPARE(Identity::FirmwareLine(image), line);
  }

  void productionLineAndOrder() {
    ParameterImage image = WithIdentity(0x10, 0x01, 2);
    image.SetWord(2, 2024);
    image.SetWord(3, 12);
    image.SetWord(4, 31);
    QCOMPARE(Identity::Lines(image),
             (QStringList{"REZUZODO", "固件版本:1.10.Kestrel", "生产日期:2024-12-31"}));
  }

  void channelLists_data() {
    QTest::addColumn<int>("band");
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("some");  // entries 0, 1, 19, 20 and the last
    QTest::newRow("400 MHz") << 0x40 << 6
                             << QStringList{"1-411.125MHz", "2-421.125MHz", "3-432.125MHz",
                                            "4-442.125MHz", "5-465.125MHz", "6-486.125MHz"};
    QTest::newRow("900 MHz") << 0x90 << 100
                             << QStringList{"1-863MHz", "2-863.25MHz", "20-867.75MHz", "21-902MHz",
                                            "100-921.75MHz"};
    QTest::newRow("plain") << 0x00 << 100 << QStringList{"1", "2", "20", "21", "100"};
    QTest::newRow("other band") << 0xF0 << 100 << QStringList{"1", "2", "20", "21", "100"};
  }
  void channelLists() {
    QFETCH(int, band);
    QFETCH(int, size);
    QFETCH(QStringList, some);
    const QStringList list = Identity::ChannelList(band);
    QCOMPARE(list.size(), size);
    if (size == 6)
      QCOMPARE(list, some);
    else
      QCOMPARE((QStringList{list[0], list[1], list[19], list[20], list[99]}), some);
  }

  void channelIndex_data() {
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("index");
    QTest::newRow("900 band, entry 21") << 0x91 << 20 << 20;
    QTest::newRow("400 band, just beyond") << 0x41 << 6 << 0;
    QTest::newRow("400 band, last") << 0x41 << 5 << 5;
    QTest::newRow("plain, last") << 0x00 << 99 << 99;
    QTest::newRow("plain, huge") << 0x00 << 65535 << 0;
  }
  void channelIndex() {
    QFETCH(int, major);
    QFETCH(int, word);
    QFETCH(int, index);
    ParameterImage image = WithIdentity(0, uint8_t(major), 0);
    image.SetWord(14, uint16_t(word));
    const ParameterImage before = image;
    const int size = static_cast<int>(Identity::ChannelList(Identity::BandCode(image)).size());
    QCOMPARE(Identity::ChannelIndex(image, size), index);
    QVERIFY(image == before);
  }
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "tst_identity.moc"
