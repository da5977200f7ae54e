// Read, write, reset and core log against the simulated terminal on the
// virtual clock: the bytes on the wire, the formats and pauses they travel
// at, and every message line in order. Faults: tst_faultmatrix.
#include <QtTest>

#include "TerminalRig.h"

using namespace std::chrono_literals;
using Kind = TransactionEngine::Kind;

namespace {

const QStringList kReadProgress = {"0%",  "2%",  "3%",  "5%",  "6%",  "8%",  "9%",  "11%", "12%",
                                   "14%", "16%", "17%", "19%", "20%", "22%", "23%", "25%", "100%"};
const QStringList kWriteProgress = {"2%",  "3%",  "5%",  "6%",  "8%",  "9%",  "11%", "12%",
                                    "14%", "16%", "17%", "19%", "20%", "22%", "23%", "25%"};

/// Requests "R address count" for every 16th address of [from, to].
QStringList Reads(int from, int to, const char* count = "10") {
  QStringList reads;
  for (int a = from; a <= to; a += 16)
    reads << QStringLiteral("52%1%2").arg(a, 4, 16, QChar('0')).arg(count);
  return reads;
}

QStringList Hex(const QList<QByteArray>& writes) {
  QStringList hex;
  for (const QByteArray& w : writes) hex << QString::fromLatin1(w.toHex());
  return hex;
}

QList<int> GapsMs(const FakeSerialLink& link) {
  QList<int> gaps;
  ManualClock::Duration last{-1};
  for (const auto& event : link.WireLog()) {
    if (event.type != FakeSerialLink::WireEvent::Type::Write) continue;
    if (last.count() >= 0)
      gaps << static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(event.at - last).count());
    last = event.at;
  }
  return gaps;
}

}  // namespace

class TestEngine : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void transactions_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("setup");  // adjust, service, serial: switches; log: the index
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("writes");  // hex, "LBTW" = 4c425457
    const QString greet = "4c425457";
    QTest::newRow("read") << int(Kind::Read) << QString()
                          << (QStringList{"读取数据", "Try(0):9600,N,8,1"} << kReadProgress
                                                                           << "读取成功!")
                          << (QStringList{greet} << Reads(0, 0x100) << "52040004"
                                                 << "45");
    // "LBTX" three times; a repeated "L35W" outside a session is a probe to
    // the terminal, answered "L35W": wrong too.
    QTest::newRow("wrong handshake") << int(Kind::Read) << "bad handshake"
                                     << QStringList{"读取数据",   "Try(0):9600,N,8,1", "Retry(1): ",
                                                    "Retry(2): ", "读取数据失败!",     "读取失败!"}
                                     << QStringList{greet, "4c333557", "4c333557"};
    QTest::newRow("reset") << int(Kind::Reset) << QString()
                           << QStringList{"设置数据", "Try(0):9600,N,8,1", "102%", "设置成功"}
                           << QStringList{greet, "570400005b", "45"};
    QTest::newRow("write adjust") << int(Kind::Write) << "adjust"
                                  << (QStringList{"设置数据", "Try(0):9600,N,8,1"} << kWriteProgress
                                                                                   << "100%"
                                                                                   << "设置成功")
                                  << QStringList();
    QTest::newRow("log, nothing marked")
        << int(Kind::Log) << "00000000" << QStringList{"读取数据", "Try(0):9600,N,8,1", "读取完毕!"}
        << QStringList{greet, "5200007f", "45"};
    // The last marked record has offset 10 and length 20: text up to 0x081E.
    QTest::newRow("log, two blocks")
        << int(Kind::Log) << "7705000077140a00"
        << QStringList{"读取数据", "Try(0):9600,N,8,1", "看门狗复位 No.1 ", "电压低 2.9V 告警",
                       "读取完毕!"}
        << QStringList{greet, "5200007f", "5208007f", "5208107f", "45"};
    // The index ends at the first record without its mark, whatever follows.
    QTest::newRow("log, mark after the end")
        << int(Kind::Log) << "7705000000000000771f0000"
        << QStringList{"读取数据", "Try(0):9600,N,8,1", "看门狗复位 No.1 ", "读取完毕!"}
        << QStringList{greet, "5200007f", "5208007f", "45"};
    // Full index blocks go on to the next one.
    QTest::newRow("log, second index block")
        << int(Kind::Log) << "770100007701000077010000770100007701020000000000"
        << QStringList{"读取数据", "Try(0):9600,N,8,1", "看门狗复位 No.1 ", "读取完毕!"}
        << QStringList{greet, "5200007f", "5200107f", "5208007f", "45"};
  }
  void transactions() {
    QFETCH(int, kind);
    QFETCH(QString, setup);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, writes);
    TerminalRig rig;
    rig.terminal.SetLogBytes(0, QByteArray::fromHex(setup.toLatin1()));
    rig.terminal.MutableFaults().badHandshake = setup == "bad handshake";
    rig.terminal.SetLogBytes(
        0x0800,
        QByteArray::fromHex("bfb4c3c5b9b7b8b4cebb204e6f2e3120b5e7d1b9b5cd20322e395620b8e6beaf"));
    rig.image.SetByte(1008, 0x80);
    rig.engine.SetAdjustMode(setup == "adjust");
    const bool started = kind == int(Kind::Read)    ? rig.engine.StartRead()
                         : kind == int(Kind::Write) ? rig.engine.StartWrite()
                         : kind == int(Kind::Reset) ? rig.engine.StartReset()
                                                    : rig.engine.StartLog();
    QVERIFY(started);
    QCOMPARE(rig.finishedCount, 0);  // never from inside Start
    QVERIFY(rig.WaitFinished(5s));
    QCOMPARE(rig.finishedOk, setup != "bad handshake");
    QCOMPARE(rig.finishedKind, Kind(kind));
    QVERIFY(!rig.link.IsOpen());
    QCOMPARE(rig.sink.Lines(), lines);
    if (!writes.isEmpty()) QCOMPARE(Hex(rig.link.Writes()), writes);
  }

  void readGreetsAtSevenBitsAndTransfersAtEight() {
    TerminalRig rig;
    rig.SetFormat("9600,E,7,1");
    for (int i = 0; i < 272; ++i) rig.terminal.Memory().SetByte(i, uint8_t(i * 7 + 1));
    rig.terminal.SetIdentity({0x21, 0x01, 0x14, 0x03});
    rig.image.SetByte(0x0500, 0x77);
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.WaitFinished(5s));
    QCOMPARE(rig.link.WriteSettings(), QStringList{"9600,E,7,1"} + QStringList(19, "9600,E,8,1"));
    // 5 ms closed and 2 ms before the open around the format change, 2 ms
    // before every further request; the end goes at once.
    QCOMPARE(GapsMs(rig.link), QList<int>{9} + QList<int>(17, 2) + QList<int>{0});
    QCOMPARE(rig.engine.LinkSettings(), QString("9600,E,7,1"));
    QCOMPARE(rig.image.Byte(0), uint8_t(1));
    QCOMPARE(rig.image.Byte(271), uint8_t(271 * 7 + 1));
    QCOMPARE(rig.image.Bytes(1024, 4), QByteArray::fromHex("21011403"));
    QCOMPARE(rig.image.Byte(0x0500), uint8_t(0x77));  // nothing else is read
  }

  void writeSendsTheImage_data() {
    QTest::addColumn<bool>("adjust");
    QTest::newRow("plain") << false;
    QTest::newRow("adjust mode") << true;
  }
  void writeSendsTheImage() {
    QFETCH(bool, adjust);
    TerminalRig rig;
    rig.image.SetByte(1008, 0x80);
    rig.image.SetByte(0x10, 0x00);
    rig.image.SetByte(0xF5, 0x33);
    rig.engine.SetAdjustMode(adjust);
    QVERIFY(rig.engine.StartWrite());
    QVERIFY(rig.WaitFinished(5s));
    QVERIFY(rig.image.HasValidMarker());
    const QStringList writes = Hex(rig.link.Writes());
    QCOMPARE(writes.size(), adjust ? 19 : 18);
    QCOMPARE(writes.at(2), "57001010" + QString(32, '0') + "77");
    QCOMPARE(writes.at(16), "5700f010" + QString(10, '0') + "33" + QString(20, '0') + "8a");
    QCOMPARE(writes.at(17), adjust ? QString("5703f00180cb") : QString("45"));
    QCOMPARE(rig.terminal.Memory().Bytes(0, 256), rig.image.Bytes(0, 256));
    QCOMPARE(rig.terminal.AdjustWrites(), adjust ? 1 : 0);
  }

  void serviceTransfer_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("serial");
    QTest::addColumn<int>("requests");  // between the greeting and the end
    QTest::newRow("read") << int(Kind::Read) << false << 17 + 1 + 2 + 128;
    QTest::newRow("write") << int(Kind::Write) << false << 16 + 128;
    QTest::newRow("write with serial") << int(Kind::Write) << true << 16 + 128 + 2;
  }
  void serviceTransfer() {
    QFETCH(int, kind);
    QFETCH(bool, serial);
    QFETCH(int, requests);
    TerminalRig rig;
    ParameterImage& from = kind == int(Kind::Read) ? rig.terminal.Memory() : rig.image;
    for (int i = 2048; i < 2080; ++i) from.SetByte(i, uint8_t('A' + i % 26));
    for (int i = 4096; i < 6142; ++i) from.SetByte(i, uint8_t(i * 13));
    rig.engine.SetServiceTransfer(true, serial);
    QVERIFY(kind == int(Kind::Read) ? rig.engine.StartRead() : rig.engine.StartWrite());
    QVERIFY(rig.WaitFinished(10s));
    QVERIFY(rig.finishedOk);
    const QStringList writes = Hex(rig.link.Writes());
    QCOMPARE(writes.size(), 2 + requests);
    const QStringList lines = rig.sink.Lines();
    QCOMPARE(lines.at(1 + requests), QString("100%"));
    QCOMPARE(rig.terminal.Memory().Bytes(4096, 2046), rig.image.Bytes(4096, 2046));
    QCOMPARE(rig.terminal.Memory().Bytes(2048, 32) == rig.image.Bytes(2048, 32),
             kind == int(Kind::Read) || serial);
    if (kind == int(Kind::Read)) {
      QCOMPARE(writes.mid(18, 3), (QStringList{"52040004", "52080010", "52081010"}));
      QCOMPARE(lines.at(2), QString("0%"));
      QCOMPARE(writes.at(requests), QString("5217f010"));
    }
  }

  void linkFormatOutsideTheTableHasNoTryLine() {
    TerminalRig rig;
    rig.terminal.SetFormat("9600,N,8,2");
    rig.image.SetByte(2, 0x0A);
    rig.engine.SameAsDevice("9600,N,8,2");
    QCOMPARE(rig.engine.FormatIndex(), -1);
    QVERIFY(rig.engine.StartReset());
    QVERIFY(rig.WaitFinished(5s));
    QCOMPARE(rig.sink.Lines(),
             (QStringList{"软件串口格式为:9600,N,8,2(A 0 0)", "设置数据", "102%", "设置成功"}));
  }

  void oneTransactionAtATimeAndCancel() {
    TerminalRig rig;
    rig.terminal.MutableFaults().delay = 300ms;
    QVERIFY(rig.engine.StartRead());
    QVERIFY(!rig.engine.StartWrite());
    QVERIFY(!rig.engine.StartDetect());
    rig.clock.RunFor(700ms);
    rig.engine.Cancel();
    QVERIFY(!rig.link.IsOpen());
    QVERIFY(rig.WaitFinished(1s));
    QVERIFY(!rig.finishedOk);
    QCOMPARE(rig.sink.Lines().last(), QString("读取失败!"));

    // A transaction started from the finished handler runs normally.
    rig.terminal.MutableFaults().delay = 0ms;
    bool chained = false;
    rig.engine.SetFinishedHandler([&](Kind kind, bool ok) {
      ++rig.finishedCount;
      rig.finishedOk = ok;
      if (kind == Kind::Read) chained = rig.engine.StartReset();
    });
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.clock.RunUntil([&] { return rig.finishedCount == 3; }, 10s));
    QVERIFY(chained && rig.finishedOk);
    QCOMPARE(rig.sink.Lines().last(), QString("设置成功"));
  }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
