// Requests, answer checks and the link-format rules, byte for byte.
#include <QtTest>

#include "image/ParameterImage.h"
#include "link/FormatTable.h"
#include "link/Frame.h"
#include "link/TransactionEngine.h"

class TestFrame : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void requestsAreTheProtocolBytes() {
    QCOMPARE(Frame::Handshake().bytes, QByteArray("LBTW"));
    QCOMPARE(Frame::RepeatedHandshake().bytes, QByteArray("L35W"));
    QCOMPARE(Frame::RepeatedHandshake().answerKind, int(Frame::kHandshakeAnswer));
    QCOMPARE(Frame::Probe().bytes, QByteArray("L35W"));
    QCOMPARE(Frame::Probe().answerKind, int(Frame::kProbeAnswer));
    QCOMPARE(Frame::Reset().bytes, QByteArray::fromHex("570400005B"));
    QCOMPARE(Frame::End().bytes, QByteArray("E"));
    QCOMPARE(Frame::End().answerLength, 0);

    QCOMPARE(Frame::Read(0x0100, 16).bytes, QByteArray::fromHex("52010010"));
    QCOMPARE(Frame::Read(0x0100, 16).answerLength, 20);
    QCOMPARE(Frame::Read(0x0400, 4).answerLength, 8);
    QCOMPARE(Frame::Read(0x0810, 0x7F).answerLength, 20);

    ParameterImage image;
    const auto block = Frame::WriteFromImage(0x0010, 16, image);
    QCOMPARE(block.bytes, QByteArray::fromHex("57001010") + QByteArray(16, '\0') + "\x77");
    QCOMPARE(block.answerLength, 1);
    image.SetByte(ParameterImage::kAdjustByte, 0x80);
    QCOMPARE(Frame::WriteFromImage(0x03F0, 1, image).bytes, QByteArray::fromHex("5703F00180CB"));
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

  void transferSettingsChangeOnlyTheDataBits() {
    QCOMPARE(Frame::TransferSettings("9600,E,7,1"), QString("9600,E,8,1"));
    QCOMPARE(Frame::TransferSettings("115200,O,7,1"), QString("115200,O,8,1"));
    QCOMPARE(Frame::TransferSettings("19200,N,8,1"), QString("19200,N,8,1"));
    // The baud rate keeps its sevens: only the last five characters change.
    QCOMPARE(Frame::TransferSettings("57600,N,7,1"), QString("57600,N,8,1"));
  }

  void formatTableOrderAndWrap() {
    QCOMPARE(FormatTable::Entries().size(), 50);
    QCOMPARE(FormatTable::At(0), QString("9600,N,8,1"));
    QCOMPARE(FormatTable::At(6), QString("19200,E,8,1"));
    QCOMPARE(FormatTable::At(28), QString("2400,E,7,1"));
    QCOMPARE(FormatTable::At(49), QString("128000,O,7,1"));
    QCOMPARE(FormatTable::At(50), QString());
    QCOMPARE(FormatTable::IndexOf("115200,N,8,1"), 20);
    QCOMPARE(FormatTable::IndexOf("9600,N,8,2"), FormatTable::kNone);
    QCOMPARE(FormatTable::Advance(48), 49);
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
