// Read, write, reset and core log against the simulated terminal on the
// virtual clock: the bytes on the wire, the formats they travel at and
// every message line in order.
#include <QtTest>

#include "TerminalRig.h"
#include "link/Frame.h"

using namespace std::chrono_literals;
using Kind = TransactionEngine::Kind;

namespace {

QStringList Lines(std::initializer_list<QStringList> parts) {
  QStringList lines;
  for (const QStringList& part : parts) lines += part;
  return lines;
}

const QStringList kReadProgress = {"0%",  "2%",  "3%",  "5%",  "6%",  "8%",  "9%",  "11%", "12%",
                                   "14%", "16%", "17%", "19%", "20%", "22%", "23%", "25%", "100%"};
const QStringList kWriteProgress = {"2%",  "3%",  "5%",  "6%",  "8%",  "9%",  "11%", "12%",
                                    "14%", "16%", "17%", "19%", "20%", "22%", "23%", "25%"};

}  // namespace

class TestEngine : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void readGreetsAtSevenBitsAndTransfersAtEight() {
    TerminalRig rig;
    rig.SetFormat("9600,E,7,1");
    rig.terminal.Memory().SetByte(0x0105, 0x5A);
    rig.terminal.SetIdentity({0x21, 0x01, 0x14, 0x03});
    rig.image.SetByte(0x0500, 0x77);

    QVERIFY(rig.engine.StartRead());
    QCOMPARE(rig.finishedCount, 0);  // never from inside Start
    QVERIFY(rig.engine.Busy());
    QVERIFY(rig.WaitFinished(5s));
    QCOMPARE(rig.finishedCount, 1);
    QCOMPARE(rig.finishedKind, Kind::Read);
    QVERIFY(rig.finishedOk);
    QVERIFY(!rig.link.IsOpen());
    QVERIFY(!rig.engine.Busy());

    QCOMPARE(rig.sink.Lines(),
             Lines({{"读取数据", "Try(0):9600,E,7,1"}, kReadProgress, {"读取成功!"}}));
    const QList<QByteArray> writes = rig.link.Writes();
    QCOMPARE(writes.size(), 20);
    QCOMPARE(writes.first(), QByteArray("LBTW"));
    for (int block = 0; block <= 16; ++block)
      QCOMPARE(writes.at(1 + block), Frame::Read(block * 16, 16).bytes);
    QCOMPARE(writes.at(18), QByteArray::fromHex("52040004"));
    QCOMPARE(writes.at(19), QByteArray("E"));
    const QStringList settings = rig.link.WriteSettings();
    QCOMPARE(settings.first(), QString("9600,E,7,1"));
    QCOMPARE(settings.mid(1), QStringList(19, "9600,E,8,1"));
    QCOMPARE(rig.engine.LinkSettings(), QString("9600,E,7,1"));  // unchanged by the transfer

    QCOMPARE(rig.image.Bytes(0, 272), rig.terminal.Memory().Bytes(0, 272));
    QCOMPARE(rig.image.Bytes(1024, 4), QByteArray::fromHex("21011403"));
    QCOMPARE(rig.image.Byte(0x0500), uint8_t(0x77));  // nothing else is read
    QVERIFY(rig.clock.Elapsed() < 1s);
  }

  void writeWithAndWithoutAdjustMode() {
    for (const bool adjust : {false, true}) {
      TerminalRig rig;
      for (int i = 0; i < 256; ++i) rig.image.SetByte(i, uint8_t(i * 7));
      rig.image.SetByte(ParameterImage::kAdjustByte, 0x80);
      rig.engine.SetAdjustMode(adjust);
      QVERIFY(rig.engine.StartWrite());
      QVERIFY(rig.WaitFinished(5s));
      QVERIFY(rig.finishedOk);
      QVERIFY(rig.image.HasValidMarker());

      QStringList expected = Lines({{"设置数据", "Try(0):9600,N,8,1"}, kWriteProgress});
      if (adjust) expected << "100%";
      expected << "设置成功";
      QCOMPARE(rig.sink.Lines(), expected);

      const QList<QByteArray> writes = rig.link.Writes();
      QCOMPARE(writes.size(), adjust ? 19 : 18);
      QCOMPARE(writes.at(1), Frame::WriteFromImage(0, 16, rig.image).bytes);
      if (adjust) QCOMPARE(writes.at(17), QByteArray::fromHex("5703F00180CB"));
      QCOMPARE(rig.terminal.Memory().Bytes(0, 256), rig.image.Bytes(0, 256));
      QCOMPARE(rig.terminal.AdjustWrites(), adjust ? 1 : 0);
      QCOMPARE(rig.terminal.LastAdjust(), adjust ? 0x80 : -1);
    }
  }

  void factoryReset() {
    TerminalRig rig;
    rig.terminal.Memory().SetByte(0, 0xEE);
    QVERIFY(rig.engine.StartReset());
    QVERIFY(rig.WaitFinished(5s));
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.sink.Lines(), (QStringList{"设置数据", "Try(0):9600,N,8,1", "102%", "设置成功"}));
    QCOMPARE(rig.link.Writes(),
             (QList<QByteArray>{"LBTW", QByteArray::fromHex("570400005B"), "E"}));
    QCOMPARE(rig.terminal.FactoryResets(), 1);
  }

  void coreLog() {
    {  // No marked record: one index block, no text.
      TerminalRig rig;
      QVERIFY(rig.engine.StartLog());
      QVERIFY(rig.WaitFinished(5s));
      QCOMPARE(rig.sink.Lines(), (QStringList{"读取数据", "Try(0):9600,N,8,1", "读取完毕!"}));
      QCOMPARE(rig.link.Writes(),
               (QList<QByteArray>{"LBTW", QByteArray::fromHex("5200007F"), "E"}));
    }
    {  // The last marked record has offset 10 and length 20: text up to 0x081E.
      TerminalRig rig;
      rig.terminal.SetLogBytes(0, QByteArray::fromHex("7705000077140A00"));
      rig.terminal.SetLogBytes(0x0800, "watchdog reset 1power low 2.9V  ");
      QVERIFY(rig.engine.StartLog());
      QVERIFY(rig.WaitFinished(5s));
      QCOMPARE(rig.sink.Lines(), (QStringList{"读取数据", "Try(0):9600,N,8,1", "watchdog reset 1",
                                              "power low 2.9V  ", "读取完毕!"}));
      QCOMPARE(rig.link.Writes().mid(1, 3),
               (QList<QByteArray>{QByteArray::fromHex("5200007F"), QByteArray::fromHex("5208007F"),
                                  QByteArray::fromHex("5208107F")}));
    }
    {  // An index reaching past 0x7FFF: the reading stops at 0x7FF0, normally.
      TerminalRig rig;
      rig.terminal.SetLogBytes(0, QByteArray::fromHex("77FFFFFF"));
      QVERIFY(rig.engine.StartLog());
      QVERIFY(rig.WaitFinished(1h));
      QVERIFY(rig.finishedOk);
      const QList<QByteArray> writes = rig.link.Writes();
      QCOMPARE(writes.at(writes.size() - 2), QByteArray::fromHex("527FF07F"));
      QCOMPARE(writes.size(), 1 + 1 + (0x7FF0 - 0x0800) / 16 + 1 + 1);
      QCOMPARE(rig.sink.Lines().last(), QString("读取完毕!"));
    }
  }

  void silentTerminalRetriesThenAsks() {
    TerminalRig rig;
    rig.terminal.MutableFaults().silent = true;
    rig.prompts.QueueRetry(true);  // once more, then Cancel
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.WaitFinished(1h));
    QVERIFY(!rig.finishedOk);
    QCOMPARE(rig.sink.Lines(),
             (QStringList{"读取数据", "Try(0):9600,N,8,1", "Retry(1): ", "Retry(2): ", "Retry(0): ",
                          "Retry(1): ", "Retry(2): ", "读取失败!"}));
    QCOMPARE(rig.prompts.Texts(), QStringList(2, "检测连接！重试或取消？"));
    QVERIFY(!rig.link.IsOpen());

    // The first request and its two repeats, one second apart: the repeats
    // are the repeated handshake.
    QList<ManualClock::Duration> times;
    for (const auto& event : rig.link.WireLog())
      if (event.type == FakeSerialLink::WireEvent::Type::Write) times << event.at;
    QCOMPARE(rig.link.Writes().mid(0, 3), (QList<QByteArray>{"LBTW", "L35W", "L35W"}));
    QVERIFY(times.at(1) - times.at(0) >= 1000ms && times.at(1) - times.at(0) < 1010ms);
    QVERIFY(times.at(2) - times.at(1) >= 1000ms && times.at(2) - times.at(1) < 1010ms);

    TerminalRig english;
    english.terminal.MutableFaults().silent = true;
    english.engine.SetLanguageEnglish(true);
    QVERIFY(english.engine.StartWrite());
    QVERIFY(english.WaitFinished(1h));
    QCOMPARE(english.prompts.Texts(), QStringList{"Check connection!Retry or cancel?"});
    QCOMPARE(english.sink.Lines().last(), QString("Retry(2): "));  // a write has no outcome line
  }

  void linkFormatOutsideTheTableHasNoTryLine() {
    TerminalRig rig;
    rig.terminal.SetFormat("9600,N,8,2");
    rig.image.SetByte(2, 0x0A);
    rig.engine.SameAsDevice("9600,N,8,2");
    QCOMPARE(rig.engine.LinkSettings(), QString("9600,N,8,2"));
    QCOMPARE(rig.engine.FormatIndex(), -1);
    QVERIFY(rig.engine.StartReset());
    QVERIFY(rig.WaitFinished(5s));
    QCOMPARE(rig.sink.Lines(),
             (QStringList{"软件串口格式为:9600,N,8,2(A 0 0)", "设置数据", "102%", "设置成功"}));
  }

  void lostDataAnswerResumesAtTheTransferFormat() {
    TerminalRig rig;
    rig.SetFormat("19200,O,7,1");
    rig.terminal.MutableFaults().firstTry = TerminalModel::Faults::FirstTry::DataRequest;
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.WaitFinished(1h));
    QVERIFY(rig.finishedOk);
    // The repeated handshake goes at the transfer format the port is at.
    QCOMPARE(rig.link.Writes().at(2), QByteArray("L35W"));
    QCOMPARE(rig.link.WriteSettings().at(2), QString("19200,O,8,1"));
  }

  void deviceVanishingEndsTheTransaction() {
    {  // Mid-write: a write fails.
      TerminalRig rig;
      rig.sink.SetHook([&](const QString& line) {
        if (line == "3%") rig.link.FailWrites(1);
      });
      QVERIFY(rig.engine.StartWrite());
      QVERIFY(rig.WaitFinished(5s));
      QVERIFY(!rig.finishedOk);
      QCOMPARE(rig.sink.Lines().mid(2),
               (QStringList{"2%", "3%", "设置数据失败!", "串口错误:Write error"}));
      QVERIFY(!rig.link.IsOpen());
    }
    {  // While the question is open: the answer to it no longer matters.
      TerminalRig rig;
      rig.terminal.MutableFaults().silent = true;
      rig.prompts.SetDefaultRetry(true);
      rig.prompts.SetHook([&](const ScriptedPrompts::Prompt&) { rig.link.InjectLost("gone"); });
      QVERIFY(rig.engine.StartLog());
      QVERIFY(rig.WaitFinished(1h));
      QCOMPARE(rig.sink.Lines().mid(4),
               (QStringList{"读取数据失败!", "串口错误:gone", "读取失败!"}));
      QCOMPARE(rig.link.Writes().size(), 3);
    }
  }

  void portThatDoesNotOpen() {
    TerminalRig rig;
    rig.link.SetPresentPorts({3});
    rig.engine.SetPortNumber(5);
    QVERIFY(rig.engine.StartRead());
    QCOMPARE(rig.finishedCount, 0);
    QCOMPARE(rig.prompts.Texts(), QStringList{"请重新选择端口！"});
    QVERIFY(rig.WaitFinished(1s));
    QVERIFY(!rig.finishedOk);
    QCOMPARE(rig.sink.Lines(), QStringList{"读取失败!"});
    QVERIFY(rig.link.Writes().isEmpty());

    rig.engine.SetLanguageEnglish(true);
    QVERIFY(rig.engine.StartReset());
    QVERIFY(rig.WaitFinished(1s));
    QCOMPARE(rig.prompts.Texts().last(), QString("Please reselect COM port!"));

    rig.engine.SetPortNumber(3);
    QVERIFY(rig.engine.StartReset());
    QVERIFY(rig.WaitFinished(1s));
    QVERIFY(rig.finishedOk);
  }

  void oneTransactionAtATimeAndCancel() {
    TerminalRig rig;
    rig.terminal.MutableFaults().delay = 300ms;
    QVERIFY(rig.engine.StartRead());
    QVERIFY(!rig.engine.StartWrite());
    QVERIFY(!rig.engine.StartDetect());
    QCOMPARE(rig.engine.Running(), Kind::Read);
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
    QVERIFY(chained);
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.sink.Lines().last(), QString("设置成功"));
  }

  void lostAdjustAnswerWritesTheAdjustByteAgain() {
    // The terminal misses the adjust request once; the retry must not report
    // success without it.
    struct DropAdjustOnce : SimDevice {
      TerminalModel& terminal;
      bool dropped = false;
      explicit DropAdjustOnce(TerminalModel& t) : terminal(t) {}
      DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
        if (!dropped && bytes.startsWith(QByteArray::fromHex("5703F0"))) {
          dropped = true;
          return {};
        }
        return terminal.Receive(bytes, settings);
      }
    };
    TerminalRig rig;
    DropAdjustOnce device(rig.terminal);
    rig.link.AttachDevice(&device);
    rig.image.SetByte(ParameterImage::kAdjustByte, 0x42);
    rig.engine.SetAdjustMode(true);
    QVERIFY(rig.engine.StartWrite());
    QVERIFY(rig.WaitFinished(1h));
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.sink.Lines(), Lines({{"设置数据", "Try(0):9600,N,8,1"},
                                      kWriteProgress,
                                      {"Retry(1): "},
                                      kWriteProgress,
                                      {"100%", "设置成功"}}));
    QCOMPARE(rig.terminal.LastAdjust(), 0x42);
  }
};

QTEST_GUILESS_MAIN(TestEngine)
#include "tst_engine.moc"
