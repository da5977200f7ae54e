// Read, write, reset, core log and format detection against the simulated
// terminal on the virtual clock: the requests, the message lines, the pauses.
#include <QtTest>

#include "TerminalRig.h"

using namespace std::chrono_literals;
using Kind = TransactionEngine::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {

QStringList Hex(const QList<QByteArray>& writes) {
  QStringList hex;
  for (const QByteArray& w : writes) hex << QString::fromLatin1(w.toHex());
  return hex;
}

QList<int> WriteGapsMs(const FakeSerialLink& link) {
  QList<int> gaps;
  ManualClock::Duration last{-1};
  for (const auto& event : link.WireLog()) {
    if (event.type != FakeSerialLink::WireEvent::Type::Write) continue;
    if (last.count() >= 0) gaps << int((event.at - last) / 1ms);
    last = event.at;
  }
  return gaps;
}

bool Start(TransactionEngine& engine, Kind kind) {
  return kind == Kind::Read    ? engine.StartRead()
         : kind == Kind::Write ? engine.StartWrite()
         : kind == Kind::Reset ? engine.StartReset()
         : kind == Kind::Log   ? engine.StartLog()
                               : engine.StartDetect();
}

}  // namespace

class TestEngine : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void transactions_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("setup");  // switches; a log: its index; detection: the format
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("writes");  // the last ones, hex
    const QString hi = "4c425457", probe = "4c333557";
    const QStringList progress = {"2%",  "3%",  "5%",  "6%",  "8%",  "9%",  "11%", "12%",
                                  "14%", "16%", "17%", "19%", "20%", "22%", "23%", "25%"};
    QStringList reads;
    for (int a = 0; a <= 0x100; a += 16) reads << QString("52%1").arg(a, 4, 16, QChar('0')) + "10";
    QTest::newRow("read") << Kind::Read << "" << true
                          << QStringList{"读取数据", "Try(0):9600,N,8,1", "0%"} + progress +
                                 QStringList{"100%", "读取成功!"}
                          << QStringList{hi} + reads + QStringList{"52040004", "45"};
    // A repeated "L35W" outside a session is a probe, answered "L35W": wrong too.
    QTest::newRow("wrong handshake") << Kind::Read << "bad handshake" << false
                                     << QStringList{"读取数据",   "Try(0):9600,N,8,1", "Retry(1): ",
                                                    "Retry(2): ", "读取数据失败!",     "读取失败!"}
                                     << QStringList{hi, probe, probe};
    QTest::newRow("reset") << Kind::Reset << "" << true
                           << QStringList{"设置数据", "Try(0):9600,N,8,1", "102%", "设置成功"}
                           << QStringList{hi, "570400005b", "45"};
    QTest::newRow("write, adjust mode")
        << Kind::Write << "adjust" << true
        << QStringList{"设置数据", "Try(0):9600,N,8,1"} + progress + QStringList{"100%", "设置成功"}
        << QStringList{"5700f010" + QString(10, '0') + "33" + QString(20, '0') + "8a",
                       "5703f00180cb", "45"};
    QTest::newRow("link format outside the table")
        << Kind::Reset << "9600,N,8,2" << true
        << QStringList{"软件串口格式为:9600,N,8,2(A 0 0)", "设置数据", "102%", "设置成功"}
        << QStringList{"570400005b", "45"};
    QTest::newRow("log, nothing marked")
        << Kind::Log << "00000000" << true
        << QStringList{"读取数据", "Try(0):9600,N,8,1", "读取完毕!"}
        << QStringList{hi, "5200007f", "45"};
    // The last marked record: offset 10, length 20, so the text ends at 0x081E.
    QTest::newRow("log, two text blocks")
        << Kind::Log << "7705000077140a00" << true
        << QStringList{"读取数据", "Try(0):9600,N,8,1", "看门狗复位 No.1 ", "电压低 2.9V 告警",
                       "读取完毕!"}
        << QStringList{hi, "5200007f", "5208007f", "5208107f", "45"};
    QTest::newRow("log, mark after the end of the index")
        << Kind::Log << "7705000000000000771f0000" << true
        << QStringList{"读取数据", "Try(0):9600,N,8,1", "看门狗复位 No.1 ", "读取完毕!"}
        << QStringList{hi, "5200007f", "5208007f", "45"};
    QTest::newRow("log, second index block")
        << Kind::Log << "770100007701000077010000770100007701020000000000" << true
        << QStringList{"读取数据", "Try(0):9600,N,8,1", "看门狗复位 No.1 ", "读取完毕!"}
        << QStringList{hi, "5200007f", "5200107f", "5208007f", "45"};
    const QStringList probing = {"自动匹配",   "Try(0):9600,N,8,1", "Try(1):9600,E,8,1",
                                 "Retry(1): ", "Try(2):9600,O,8,1", "Retry(2): "};
    QTest::newRow("detection") << Kind::Detect << "9600,O,8,1" << true
                               << probing + QStringList{"自动匹配成功,匹配格式为:9600,O,8,1"}
                               << QStringList{probe, probe, probe, "45"};
    QTest::newRow("detection, no port")
        << Kind::Detect << "no port" << false
        << QStringList{"自动匹配失败,请重新自动匹配或手动匹配!"} << QStringList();
  }
  void transactions() {
    QFETCH(Kind, kind);
    QFETCH(QString, setup);
    QFETCH(bool, ok);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, writes);
    TerminalRig rig;
    if (kind == Kind::Log) rig.terminal.SetLogBytes(0, QByteArray::fromHex(setup.toLatin1()));
    rig.terminal.SetLogBytes(0x0800, QByteArray::fromHex("bfb4c3c5b9b7b8b4cebb204e6f2e3120b5e7d1b9"
                                                         "b5cd20322e395620b8e6beaf"));
    rig.terminal.MutableFaults().badHandshake = setup == "bad handshake";
    rig.image.SetByte(0x03F0, 0x80);
    rig.image.SetByte(2, 0x0A);
    rig.image.SetByte(0xF5, 0x33);
    rig.engine.SetAdjustMode(setup == "adjust");
    if (setup == "9600,N,8,2") {
      rig.terminal.SetFormat(setup);
      rig.engine.SameAsDevice(setup);
    }
    if (kind == Kind::Detect) rig.terminal.SetFormat(setup);
    if (setup == "no port") rig.link.SetPresentPorts({});
    QVERIFY(Start(rig.engine, kind));
    QCOMPARE(rig.finishedCount, 0);  // never from inside Start
    QVERIFY(rig.WaitFinished());
    QCOMPARE(rig.finishedOk, ok);
    QVERIFY(!rig.link.IsOpen());
    QCOMPARE(rig.sink.Lines(), lines);
    const QStringList sent = Hex(rig.link.Writes());
    QCOMPARE(sent.mid(sent.size() - writes.size()), writes);
    QCOMPARE(rig.prompts.Texts(),
             setup == "no port" ? QStringList{"请重新选择端口！"} : QStringList());
    if (kind == Kind::Detect) QCOMPARE(rig.engine.LinkSettings(), ok ? setup : "9600,N,8,1");
  }

  // 5 ms closed and 2 ms before the open at the change to 8 data bits, 2 ms
  // before every further request, the end at once.
  void readGreetsAtSevenBitsAndTransfersAtEight() {
    TerminalRig rig;
    rig.SetFormat("9600,E,7,1");
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.WaitFinished());
    QCOMPARE(rig.link.WriteSettings(), QStringList{"9600,E,7,1"} + QStringList(19, "9600,E,8,1"));
    QCOMPARE(WriteGapsMs(rig.link), QList<int>{9} + QList<int>(17, 2) + QList<int>{0});
    QCOMPARE(rig.engine.LinkSettings(), QString("9600,E,7,1"));
  }

  void serviceTransfer_data() {
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("serial");
    QTest::addColumn<int>("count");  // requests between the greeting and the end
    QTest::newRow("read") << Kind::Read << false << 17 + 1 + 2 + 128;
    QTest::newRow("write") << Kind::Write << false << 16 + 128;
    QTest::newRow("write with serial") << Kind::Write << true << 16 + 2 + 128;
  }
  void serviceTransfer() {
    QFETCH(Kind, kind);
    QFETCH(bool, serial);
    QFETCH(int, count);
    TerminalRig rig;
    ParameterImage& from = kind == Kind::Read ? rig.terminal.Memory() : rig.image;
    for (int i = 2048; i < 2080; ++i) from.SetByte(i, uint8_t('A' + i % 26));
    for (int i = 4096; i < 6142; ++i) from.SetByte(i, uint8_t(i * 13));
    rig.engine.SetServiceTransfer(true, serial);
    QVERIFY(Start(rig.engine, kind));
    QVERIFY(rig.WaitFinished());
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.link.Writes().size(), 2 + count);
    QCOMPARE(rig.sink.Lines().at(1 + count), QString("100%"));
    QCOMPARE(rig.terminal.Memory().Bytes(4096, 2046), rig.image.Bytes(4096, 2046));
    QCOMPARE(rig.terminal.Memory().Bytes(2048, 32) == rig.image.Bytes(2048, 32),
             kind == Kind::Read || serial);
  }

  // Fifty-five probes, wrapping after the last table format, then the
  // question; Retry probes the same format again, counting from 0.
  void detectionAsksAtTheFiftyFifthProbe() {
    TerminalRig rig;
    rig.terminal.MutableFaults().silent = true;
    rig.engine.SetLinkSettings("9600,E,7,1");
    rig.prompts.QueueRetry(true);
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(2h));
    const QStringList lines = rig.sink.Lines();
    QCOMPARE(
        lines.mid(2 + 2 * 48, 4),
        (QStringList{"Try(49):128000,O,7,1", "Retry(49): ", "Try(50):9600,N,8,1", "Retry(50): "}));
    QCOMPARE(lines.mid(2 + 2 * 53, 4),
             (QStringList{"Try(54):9600,O,7,1", "Retry(54): ", "Try(0):9600,O,7,1", "Retry(0): "}));
    QCOMPARE(lines.last(), QString("自动匹配失败,请重新自动匹配或手动匹配!"));
    QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::AskRetry), 2);
    QCOMPARE(rig.link.Writes().size(), 55 + 55);
    QCOMPARE(rig.engine.LinkSettings(), QString("9600,E,7,1"));
    QCOMPARE(rig.engine.FormatIndex(), 3);
  }

  // A wrong answer to a probe moves to the next format a second later.
  void wrongProbeAnswerWaitsASecond() {
    struct : SimDevice {
      DeviceReply Receive(const QByteArray&, const QString& settings) override {
        return {settings == "9600,E,8,1" ? "L35W" : "LBTW", {}, false};
      }
    } device;
    TerminalRig rig;
    rig.link.AttachDevice(&device);
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished());
    QCOMPARE(rig.sink.Lines(), (QStringList{"自动匹配", "Try(0):9600,N,8,1", "Try(0):9600,E,8,1",
                                            "Retry(0): ", "自动匹配成功,匹配格式为:9600,E,8,1"}));
    QCOMPARE(WriteGapsMs(rig.link).first(), 1002);
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
    QVERIFY(rig.clock.RunUntil([&] { return rig.finishedCount == 3; }));
    QVERIFY(chained && rig.finishedOk);
    QCOMPARE(rig.sink.Lines().last(), QString("设置成功"));
  }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
