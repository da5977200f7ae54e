// Requests, answer checks and the link-format rules, byte for byte.
#include <QtTest>

#include "image/ParameterImage.h"
#include "link/FormatTable.h"
#include "link/Frame.h"
#include "link/TransactionEngine.h"

Q_DECLARE_METATYPE(Frame::Request)

class TestFrame : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void requests_data() {
    QTest::addColumn<Frame::Request>("request");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("answerLength");
    QTest::addColumn<int>("answerKind");
    QTest::newRow("handshake") << Frame::Handshake() << QByteArray("LBTW") << 4 << 16;
    QTest::newRow("repeated") << Frame::RepeatedHandshake() << QByteArray("L35W") << 4 << 16;
    QTest::newRow("probe") << Frame::Probe() << QByteArray("L35W") << 4 << 1;
    QTest::newRow("block read") << Frame::Read(0x0100, 16) << QByteArray::fromHex("52010010") << 20
                                << 17;
    QTest::newRow("identity read")
        << Frame::Read(0x0400, 4) << QByteArray::fromHex("52040004") << 8 << 17;
    QTest::newRow("log read") << Frame::Read(0x0810, 0x7F) << QByteArray::fromHex("5208107F") << 20
                              << 17;
    QTest::newRow("block write") << Frame::Write(0x0010, QByteArray(16, '\0'))
                                 << QByteArray::fromHex("57001010" + QByteArray(32, '0') + "77")
                                 << 1 << 17;
    QTest::newRow("adjust write") << Frame::Write(0x03F0, QByteArray(1, '\x80'))
                                  << QByteArray::fromHex("5703F00180CB") << 1 << 17;
    QTest::newRow("reset") << Frame::Reset() << QByteArray::fromHex("570400005B") << 1 << 17;
    QTest::newRow("end") << Frame::End() << QByteArray("E") << 0 << 0;
  }
  void requests() {
    QFETCH(Frame::Request, request);
    QFETCH(QByteArray, wire);
    QFETCH(int, answerLength);
    QFETCH(int, answerKind);
    QCOMPARE(request.bytes.toHex(' '), wire.toHex(' '));
    QCOMPARE(request.answerLength, answerLength);
    QCOMPARE(request.answerKind, answerKind);
  }

  void answers_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("handshake");
    QTest::addColumn<bool>("probe");
    QTest::addColumn<bool>("ack");
    QTest::newRow("LBTW") << QByteArray("LBTW") << true << false << false;
    QTest::newRow("LBTW and more") << QByteArray("LBTWxyz") << true << false << false;
    QTest::newRow("LBTX") << QByteArray("LBTX") << false << false << false;
    QTest::newRow("LBT") << QByteArray("LBT") << false << false << false;
    QTest::newRow("L35W") << QByteArray("L35W") << false << true << false;
    QTest::newRow("ack and more") << QByteArray::fromHex("06AA") << false << false << true;
    QTest::newRow("refusal") << QByteArray::fromHex("15") << false << false << false;
    QTest::newRow("nothing") << QByteArray() << false << false << false;
  }
  void answers() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, handshake);
    QFETCH(bool, probe);
    QFETCH(bool, ack);
    QCOMPARE(Frame::IsGoodHandshake(answer), handshake);
    QCOMPARE(Frame::IsGoodProbe(answer), probe);
    QCOMPARE(Frame::IsAcknowledge(answer), ack);
  }

  void readDataStaysInsideAnswerAndImage() {
    const QByteArray data = QByteArray::fromHex("0102030405060708090A0B0C0D0E0F10");
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("06000010") + data + "extra"), data);
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("060000FF") + data), data);  // 0xFF announced
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("06000002") + data), QByteArray::fromHex("0102"));
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("0600")), QByteArray());
    ParameterImage image;
    const QByteArray answer = QByteArray::fromHex("06000010") + data;
    QCOMPARE(Frame::StoreReadData(answer, 10230, image), 10);
    QCOMPARE(image.Byte(10239), uint8_t(0x0A));
    QCOMPARE(Frame::StoreReadData(answer, 10240, image), 0);
    QCOMPARE(Frame::StoreReadData(answer, -16, image), 0);
  }

  void transferSettings_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("transfer");
    QTest::newRow("7 bits") << "115200,O,7,1"
                            << "115200,O,8,1";
    QTest::newRow("8 bits") << "19200,N,8,1"
                            << "19200,N,8,1";
    QTest::newRow("baud keeps its 7") << "57600,E,7,1"
                                      << "57600,E,8,1";
  }
  void transferSettings() {
    QFETCH(QString, link);
    QFETCH(QString, transfer);
    QCOMPARE(Frame::TransferSettings(link), transfer);
  }

  void formatTable_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("entry");
    const char* const table[] = {"9600", "19200", "38400", "57600", "115200",
                                 "2400", "4800",  "28800", "1200",  "128000"};
    const char* const formats[] = {"N,8,1", "E,8,1", "O,8,1", "E,7,1", "O,7,1"};
    for (int b = 0; b < 10; ++b)
      for (int f = 0; f < 5; ++f)
        QTest::addRow("%d", 5 * b + f) << 5 * b + f << QString("%1,%2").arg(table[b], formats[f]);
  }
  void formatTable() {
    QFETCH(int, position);
    QFETCH(QString, entry);
    QCOMPARE(FormatTable::At(position), entry);
    QCOMPARE(FormatTable::IndexOf(entry), position);
    QCOMPARE(FormatTable::Advance(position), position == 49 ? 0 : position + 1);
  }

  void formatTableEdges() {
    QCOMPARE(FormatTable::At(50), QString());
    QCOMPARE(FormatTable::IndexOf("9600,N,8,2"), FormatTable::kNone);
  }

  void sameAsDeviceLine() {
    ParameterImage image;
    image.SetByte(2, 0x0A);
    image.SetByte(4, 0x55);
    image.SetByte(6, 0xC8);
    QCOMPARE(TransactionEngine::LinkFormatLine("9600,N,8,2", image),
             QString("软件串口格式为:9600,N,8,2(A 0 C8)"));
  }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
