// Read, write, reset, core log and format detection against the simulated
// terminal on the virtual clock: the requests, the message lines, the pauses.
#include <QtTest>

#include "TerminalRig.h"

using namespace std::chrono_literals;
using Kind = TransactionEngine::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {

/// Answers every probe "LBTW" but at "9600,E,8,1", where it answers right.
struct HandshakeToProbes : SimDevice {
  DeviceReply Receive(const QByteArray&, const QString& settings) override {
    return {settings == "9600,E,8,1" ? "L35W" : "LBTW", {}, false};
  }
};

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
    const auto row = [](const char* name, Kind kind, const char* setup, bool ok,
                        const QString& lines, const QString& writes) {
      QTest::newRow(name) << kind << QString(setup) << ok << lines.split('|')
                          << (writes.isEmpty() ? QStringList() : writes.split('|'));
    };
    const QString progress = "2%|3%|5%|6%|8%|9%|11%|12%|14%|16%|17%|19%|20%|22%|23%|25%";
    QString reads;
    for (int a = 0; a <= 0x100; a += 16) reads += QString("52%1").arg(a, 4, 16, QChar('0')) + "10|";
    const QString lastBlock = "5700f010" + QString(10, '0') + "33" + QString(20, '0') + "8a";
    // Greeting at 7 data bits, the transfer at 8.
    row("read", Kind::Read, "9600,E,7,1", true,
        "读取数据|Try(0):9600,E,7,1|0%|" + progress + "|100%|读取成功!",
        "4c425457|" + reads + "52040004|45");
    // A repeated "L35W" outside a session is a probe, answered "L35W": wrong too.
    row("wrong handshake", Kind::Read, "bad handshake", false,
        "读取数据|Try(0):9600,N,8,1|Retry(1): |Retry(2): |读取数据失败!|读取失败!",
        "4c425457|4c333557|4c333557");
    row("reset", Kind::Reset, "", true, "设置数据|Try(0):9600,N,8,1|102%|设置成功",
        "4c425457|570400005b|45");
    row("write, adjust mode", Kind::Write, "adjust", true,
        "设置数据|Try(0):9600,N,8,1|" + progress + "|100%|设置成功",
        lastBlock + "|5703f00180cb|45");
    row("link format outside the table", Kind::Reset, "9600,N,8,2", true,
        "软件串口格式为:9600,N,8,2(A 0 0)|设置数据|102%|设置成功", "570400005b|45");
    row("log, nothing marked", Kind::Log, "00000000", true, "读取数据|Try(0):9600,N,8,1|读取完毕!",
        "4c425457|5200007f|45");
    // The last marked record: offset 10, length 20, so the text ends at 0x081E.
    row("log, two text blocks", Kind::Log, "7705000077140a00", true,
        "读取数据|Try(0):9600,N,8,1|看门狗复位 No.1 |电压低 2.9V 告警|读取完毕!",
        "5200007f|5208007f|5208107f|45");
    row("log, mark after the end of the index", Kind::Log, "7705000000000000771f0000", true,
        "读取数据|Try(0):9600,N,8,1|看门狗复位 No.1 |读取完毕!", "5200007f|5208007f|45");
    row("log, second index block", Kind::Log, "770100007701000077010000770100007701020000000000",
        true, "读取数据|Try(0):9600,N,8,1|看门狗复位 No.1 |读取完毕!",
        "5200007f|5200107f|5208007f|45");
    row("detection", Kind::Detect, "9600,O,8,1", true,
        "自动匹配|Try(0):9600,N,8,1|Try(1):9600,E,8,1|Retry(1): |Try(2):9600,O,8,1|Retry(2): |"
        "自动匹配成功,匹配格式为:9600,O,8,1",
        "4c333557|4c333557|4c333557|45");
    // A wrong answer moves on to the next format a second later.
    row("detection, handshake answers to probes", Kind::Detect, "LBTW to probes", true,
        "自动匹配|Try(0):9600,N,8,1|Try(0):9600,E,8,1|Retry(0): "
        "|自动匹配成功,匹配格式为:9600,E,8,1",
        "4c333557|4c333557|45");
    row("detection, no port", Kind::Detect, "no port", false,
        "自动匹配失败,请重新自动匹配或手动匹配!", "");
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
    if (setup.startsWith("9600,")) rig.terminal.SetFormat(setup);
    if (setup.contains(",7,")) rig.engine.SetLinkSettings(setup);
    if (setup.endsWith(",2")) rig.engine.SameAsDevice(setup);
    if (setup == "no port") rig.link.SetPresentPorts({});
    HandshakeToProbes wrongAnswers;
    if (setup == "LBTW to probes") rig.link.AttachDevice(&wrongAnswers);
    QVERIFY(kind == Kind::Read    ? rig.engine.StartRead()
            : kind == Kind::Write ? rig.engine.StartWrite()
            : kind == Kind::Reset ? rig.engine.StartReset()
            : kind == Kind::Log   ? rig.engine.StartLog()
                                  : rig.engine.StartDetect());
    QCOMPARE(rig.finishedCount, 0);  // never from inside Start
    QVERIFY(rig.WaitFinished());
    QCOMPARE(rig.finishedOk, ok);
    QVERIFY(!rig.link.IsOpen());
    QCOMPARE(rig.sink.Lines(), lines);
    QStringList sent;
    for (const QByteArray& bytes : rig.link.Writes()) sent << bytes.toHex();
    QCOMPARE(sent.mid(sent.size() - writes.size()), writes);
    QCOMPARE(rig.prompts.Texts(),
             setup == "no port" ? QStringList{"请重新选择端口！"} : QStringList());
    if (setup == "LBTW to probes") QCOMPARE(WriteGapsMs(rig.link).first(), 1002);  // a second
    if (kind == Kind::Read && ok) {
      // 5 ms closed and 2 ms before the open at the change to 8 data bits, 2 ms before every
      // further request, the end at once.
      QCOMPARE(WriteGapsMs(rig.link), QList<int>{9} + QList<int>(17, 2) + QList<int>{0});
      QCOMPARE(rig.link.WriteSettings(), QStringList{setup} + QStringList(19, "9600,E,8,1"));
      QCOMPARE(rig.engine.LinkSettings(), setup);
    }
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

  // An index whose text would end past the log memory: the read stops at its last block.
  void logStopsAtTheEndOfItsMemory() {
    TerminalRig rig;
    rig.terminal.SetLogBytes(0, QByteArray::fromHex("77ffffff"));
    QVERIFY(rig.engine.StartLog());
    QVERIFY(rig.WaitFinished() && rig.finishedOk);
    const QList<QByteArray> writes = rig.link.Writes();
    QCOMPARE(writes.size(), 1 + 1 + 1920 + 1);  // handshake, index, text 0x0800 to 0x7FF0, end
    QCOMPARE(writes.mid(1920), (QList<QByteArray>{QByteArray::fromHex("527fe07f"),
                                                  QByteArray::fromHex("527ff07f"), "E"}));
    QCOMPARE(rig.sink.Lines().last(), QString("读取完毕!"));
  }

  void oneTransactionAtATimeAndCancel() {
    TerminalRig rig;
    rig.terminal.MutableFaults().delay = 300ms;
    QVERIFY(rig.engine.StartRead() && !rig.engine.StartWrite() && !rig.engine.StartDetect());
    rig.clock.RunFor(700ms);
    rig.engine.Cancel();
    QVERIFY(!rig.link.IsOpen());
    QVERIFY(rig.WaitFinished(1s) && !rig.finishedOk);
    QCOMPARE(rig.sink.Lines().last(), QString("读取失败!"));
  }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
