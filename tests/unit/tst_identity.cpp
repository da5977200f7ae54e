// Identity lines and LoRa channel lists after a read.
#include <QtTest>

#include "image/Defaults.h"
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
    ParameterImage image;
    LoadDefaults(image);
    QCOMPARE(Identity::ProductionLine(image), QStringLiteral("生产日期:2019-1-1"));
    image.SetWord(2, 2024);
    image.SetWord(3, 12);
    image.SetWord(4, 31);
    const QStringList lines = Identity::Lines(image);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("REZUZODO"));
    QVERIFY(lines[1].startsWith(QStringLiteral("固件版本:")));
    QCOMPARE(lines[2], QStringLiteral("生产日期:2024-12-31"));
  }

  void channelLists() {
    const QStringList band900 = Identity::ChannelList(0x90);
    QCOMPARE(band900.size(), 100);
    // 0.25 MHz steps from 863 MHz, then from 902 MHz after the 20th.
    QCOMPARE(band900.mid(0, 2), (QStringList{"1-863MHz", "2-863.25MHz"}));
    QCOMPARE(band900.mid(19, 2), (QStringList{"20-867.75MHz", "21-902MHz"}));
    QCOMPARE(band900[99], QStringLiteral("100-921.75MHz"));
    QCOMPARE(Identity::ChannelList(0x40).size(), 6);
    QCOMPARE(Identity::ChannelList(0x40).last(), QStringLiteral("6-486.125MHz"));
    const QStringList plain = Identity::ChannelList(0);
    QCOMPARE(plain.size(), 100);
    QCOMPARE(plain.last(), QStringLiteral("100"));
    QCOMPARE(Identity::ChannelList(0xF0), plain);
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
