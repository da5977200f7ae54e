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
    QTest::addColumn<int>("answerLength");  // bytes awaited before the answer is looked at
    const auto row = [](const char* name, const Frame::Request& request, const char* hex,
                        int length) {
      QTest::newRow(name) << request << QByteArray::fromHex(hex) << length;
    };
    row("handshake", Frame::Handshake(), "4C425457", 4);
    row("repeated handshake", Frame::RepeatedHandshake(), "4C333557", 4);
    row("probe", Frame::Probe(), "4C333557", 4);
    row("block read", Frame::Read(0x0100, 16), "52010010", 20);
    row("identity read", Frame::Read(0x0400, 4), "52040004", 8);
    row("log read", Frame::Read(0x0810, 0x7F), "5208107F", 20);
    row("block write", Frame::Write(0x0010, QByteArray(16, '\0')),
        "570010100000000000000000000000000000000077", 1);
    row("adjust write", Frame::Write(0x03F0, QByteArray(1, '\x80')), "5703F00180CB", 1);
    row("reset", Frame::Reset(), "570400005B", 1);
    row("end", Frame::End(), "45", 0);
  }
  void requests() {
    QFETCH(Frame::Request, request);
    QFETCH(QByteArray, wire);
    QFETCH(int, answerLength);
    QCOMPARE(request.bytes.toHex(' '), wire.toHex(' '));
    QCOMPARE(request.answerLength, answerLength);
  }

  void answers_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("good");  // the kind of request it is the good answer to
    QTest::newRow("LBTW") << QByteArray("LBTW") << "handshake";
    QTest::newRow("LBTW and more") << QByteArray("LBTWxyz") << "handshake";
    QTest::newRow("LBTX") << QByteArray("LBTX") << "";
    QTest::newRow("L35W") << QByteArray("L35W") << "probe";
    QTest::newRow("ack and more") << QByteArray::fromHex("06AA") << "data";
    QTest::newRow("refusal") << QByteArray::fromHex("15") << "";
    QTest::newRow("nothing") << QByteArray() << "";
  }
  void answers() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, good);
    QCOMPARE(Frame::IsGoodHandshake(answer), good == "handshake");
    QCOMPARE(Frame::IsGoodProbe(answer), good == "probe");
    QCOMPARE(Frame::IsAcknowledge(answer), good == "data");
  }

  // Never past the answer received nor past the image.
  void readData() {
    const QByteArray data = QByteArray::fromHex("0102030405060708090A0B0C0D0E0F10");
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("06000010") + data + "extra"), data);
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("060000FF") + data), data);
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("06000002") + data), QByteArray::fromHex("0102"));
    QCOMPARE(Frame::ReadData(QByteArray::fromHex("0600")), QByteArray());
    ParameterImage image;
    const QByteArray answer = QByteArray::fromHex("06000010") + data;
    QCOMPARE(Frame::StoreReadData(answer, 10230, image), 10);
    QCOMPARE(image.Byte(10239), uint8_t(0x0A));
    QCOMPARE(Frame::StoreReadData(answer, 10240, image), 0);
    QCOMPARE(Frame::StoreReadData(answer, -16, image), 0);
  }

  // Probing order: ten baud rates, each with five formats (the wrap after the
  // last one: tst_engine's detection).
  void formatTable_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("entry");
    for (const char* row :
         {"0 9600,N,8,1", "1 9600,E,8,1", "2 9600,O,8,1", "3 9600,E,7,1", "4 9600,O,7,1",
          "5 19200,N,8,1", "13 38400,E,7,1", "16 57600,E,8,1", "22 115200,O,8,1", "25 2400,N,8,1",
          "30 4800,N,8,1", "39 28800,O,7,1", "40 1200,N,8,1", "49 128000,O,7,1"})
      QTest::newRow(row) << QString(row).section(' ', 0, 0).toInt() << QString(row).section(' ', 1);
  }
  void formatTable() {
    QFETCH(int, position);
    QFETCH(QString, entry);
    QCOMPARE(FormatTable::At(position), entry);
    QCOMPARE(FormatTable::IndexOf(entry), position);
  }

  void linkFormats() {
    QCOMPARE(Frame::TransferSettings("115200,O,7,1"), QString("115200,O,8,1"));
    QCOMPARE(Frame::TransferSettings("19200,N,8,1"), QString("19200,N,8,1"));
    QCOMPARE(FormatTable::At(50), QString());
    QCOMPARE(FormatTable::IndexOf("9600,N,8,2"), FormatTable::kNone);
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
