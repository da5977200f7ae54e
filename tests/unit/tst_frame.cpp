// Requests, answer checks and the link-format rules, byte for byte.
#include <QtTest>

#include "image/ParameterImage.h"
#include "link/FormatTable.h"
#include "link/Frame.h"
#include "link/TransactionEngine.h"

class TestFrame : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void requestsAndTheirAnswerLengths() {
    // The bytes of read, write, reset and end are in the engine's wire tests.
    QCOMPARE(Frame::RepeatedHandshake().answerKind, int(Frame::kHandshakeAnswer));
    QCOMPARE(Frame::Probe().answerKind, int(Frame::kProbeAnswer));
    QCOMPARE(Frame::End().answerLength, 0);
    QCOMPARE(Frame::Read(0x0400, 4).answerLength, 8);
    QCOMPARE(Frame::Read(0x0810, 0x7F).answerLength, 20);  // a log block: 16 bytes at most
    QCOMPARE(Frame::Checksum(QByteArray::fromHex("FFFF02")), uint8_t(0x00));
  }

  void answerChecksLookOnlyAtTheBeginning() {
    QVERIFY(Frame::IsGoodHandshake("LBTW"));
    QVERIFY(Frame::IsGoodHandshake("LBTWxyz"));
    QVERIFY(!Frame::IsGoodHandshake("LBTX"));
    QVERIFY(!Frame::IsGoodHandshake("LBT"));
    QVERIFY(!Frame::IsGoodHandshake("L35W"));
    QVERIFY(Frame::IsGoodProbe("L35W"));
    QVERIFY(!Frame::IsGoodProbe("LBTW"));
    QVERIFY(Frame::IsAcknowledge(QByteArray::fromHex("06") + "junk"));
    QVERIFY(!Frame::IsAcknowledge(QByteArray::fromHex("15")));
    QVERIFY(!Frame::IsAcknowledge(QByteArray()));
  }

  void readDataNeverGoesPastTheAnswerOrTheImage() {
    const QByteArray header = QByteArray::fromHex("06000010");
    const QByteArray data = QByteArray::fromHex("0102030405060708090A0B0C0D0E0F10");
    QCOMPARE(Frame::ReadData(header + data), data);
    QCOMPARE(Frame::ReadData(header + data + "extra"), data);
    // The count announces 0xFF bytes, 16 came.
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("060000FF") + data), data);
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("0600")), QByteArray());

    ParameterImage image;
    image.SetByte(ParameterImage::kSize - 1, 0xEE);
    QCOMPARE(Frame::StoreReadData(header + data, ParameterImage::kSize - 10, image), 10);
    QCOMPARE(image.Byte(ParameterImage::kSize - 1), uint8_t(0x0A));
    QCOMPARE(Frame::StoreReadData(header + data, ParameterImage::kSize, image), 0);
    QCOMPARE(Frame::StoreReadData(header + data, -16, image), 0);
  }

  void transferSettingsAndFormatTable() {
    QCOMPARE(Frame::TransferSettings("115200,O,7,1"), QString("115200,O,8,1"));
    QCOMPARE(Frame::TransferSettings("19200,N,8,1"), QString("19200,N,8,1"));
    // The baud rate keeps its sevens: only the last five characters change.
    QCOMPARE(Frame::TransferSettings("57600,N,7,1"), QString("57600,N,8,1"));

    QCOMPARE(FormatTable::Entries().size(), 50);
    QCOMPARE(FormatTable::At(50), QString());
    QCOMPARE(FormatTable::IndexOf("115200,N,8,1"), 20);
    QCOMPARE(FormatTable::IndexOf("9600,N,8,2"), FormatTable::kNone);
    QCOMPARE(FormatTable::Advance(49), 0);
  }

  void sameAsDeviceLine() {
    ParameterImage image;
    image.SetByte(2, 0x0A);
    image.SetByte(3, 0x00);
    image.SetByte(6, 0xC8);
    QCOMPARE(TransactionEngine::LinkFormatLine("9600,N,8,2", image),
             QString("软件串口格式为:9600,N,8,2(A 0 C8)"));
  }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
