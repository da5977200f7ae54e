// Automatic format detection against the simulated terminal: the probe at
// every table format (parity and data bits included), the wrap after the
// last format, the question after 55 time-outs, wrong answers and Cancel.
#include <QtTest>

#include "TerminalRig.h"
#include "link/FormatTable.h"

using namespace std::chrono_literals;

namespace {

/// Answers every probe with "LBTW" except at one format, where it answers right.
class HandshakeToProbes : public SimDevice {
 public:
  explicit HandshakeToProbes(QString format) : format_(std::move(format)) {}
  DeviceReply Receive(const QByteArray&, const QString& settings) override {
    return {settings == format_ ? QByteArray("L35W") : QByteArray("LBTW"), {}, false};
  }

 private:
  QString format_;
};

QList<ManualClock::Duration> WriteTimes(const FakeSerialLink& link) {
  QList<ManualClock::Duration> times;
  for (const auto& event : link.WireLog())
    if (event.type == FakeSerialLink::WireEvent::Type::Write) times << event.at;
  return times;
}

}  // namespace

class TestDetection : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void findsTheFormatAfterSixTimeOuts() {
    TerminalRig rig;
    rig.terminal.SetFormat("19200,E,8,1");
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(1h));
    QVERIFY(rig.finishedOk);

    QStringList expected{"自动匹配", "Try(0):9600,N,8,1"};
    for (int k = 1; k <= 6; ++k)
      expected << QStringLiteral("Try(%1):%2").arg(k).arg(FormatTable::At(k))
               << QStringLiteral("Retry(%1): ").arg(k);
    expected << "自动匹配成功,匹配格式为:19200,E,8,1";
    QCOMPARE(rig.sink.Lines(), expected);

    // Each probe at its table format, parity and data bits as they are.
    QCOMPARE(rig.link.WriteSettings().mid(0, 7), FormatTable::Entries().mid(0, 7));
    QCOMPARE(rig.link.Writes(), QList<QByteArray>(7, "L35W") << "E");
    QCOMPARE(rig.engine.LinkSettings(), QString("19200,E,8,1"));
    QCOMPARE(rig.engine.FormatIndex(), 6);
    QVERIFY(!rig.link.IsOpen());

    // The next read greets at the detected format.
    rig.sink.Clear();
    rig.link.ClearLog();
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.WaitFinished(5s));
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.sink.Lines().at(1), QString("Try(0):19200,E,8,1"));
    QCOMPARE(rig.link.WriteSettings().first(), QString("19200,E,8,1"));
  }

  void sevenBitFormatsAreProbedAtSevenBits() {
    TerminalRig rig;
    rig.terminal.SetFormat("38400,O,7,1");
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(1h));
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.engine.FormatIndex(), 14);
    QCOMPARE(rig.link.WriteSettings().last(), QString("38400,O,7,1"));
  }

  void wrapsAfterTheLastFormatAndAsksAtTheFiftyFifth() {
    TerminalRig rig;
    rig.terminal.MutableFaults().silent = true;
    rig.engine.SetLinkSettings("9600,E,7,1");
    rig.prompts.QueueRetry(true);  // one more probe at the same format, then Cancel
    int linesAtQuestion = -1;
    rig.prompts.SetHook([&](const ScriptedPrompts::Prompt&) {
      if (linesAtQuestion < 0) linesAtQuestion = rig.sink.Lines().size();
    });
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(2h));
    QVERIFY(!rig.finishedOk);

    const QStringList lines = rig.sink.Lines();
    QCOMPARE(linesAtQuestion, 2 + 2 * 54);
    QCOMPARE(lines.at(2 + 2 * 48), QString("Try(49):128000,O,7,1"));
    QCOMPARE(lines.at(2 + 2 * 49), QString("Try(50):9600,N,8,1"));
    QCOMPARE(lines.at(2 + 2 * 53), QString("Try(54):9600,O,7,1"));
    // Retry at the question probes the same format again, counting from 0.
    QCOMPARE(lines.at(linesAtQuestion), QString("Try(0):9600,O,7,1"));
    QCOMPARE(lines.at(linesAtQuestion + 1), QString("Retry(0): "));
    QCOMPARE(lines.last(), QString("自动匹配失败,请重新自动匹配或手动匹配!"));
    QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::AskRetry), 2);
    QCOMPARE(rig.link.Writes().size(), 55 + 55);
    // A failed detection leaves the link format and its position alone.
    QCOMPARE(rig.engine.LinkSettings(), QString("9600,E,7,1"));
    QCOMPARE(rig.engine.FormatIndex(), 3);
    QVERIFY(!rig.link.IsOpen());
  }

  void handshakeAnswerToAProbeIsNotAccepted() {
    TerminalRig rig;
    HandshakeToProbes device("9600,E,8,1");
    rig.link.AttachDevice(&device);
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(1h));
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.sink.Lines(), (QStringList{"自动匹配", "Try(0):9600,N,8,1", "Try(0):9600,E,8,1",
                                            "Retry(0): ", "自动匹配成功,匹配格式为:9600,E,8,1"}));
    const auto times = WriteTimes(rig.link);
    QVERIFY(times.at(1) - times.at(0) >= 1000ms);
    QVERIFY(times.at(1) - times.at(0) < 1010ms);
  }

  void wrongAnswersEverywhereUntilCancel() {
    // Wrong answers never reach the question; the pause after each is a
    // timer, so Cancel gets through while it runs.
    TerminalRig rig;
    HandshakeToProbes device("none");
    rig.link.AttachDevice(&device);
    QVERIFY(rig.engine.StartDetect());
    rig.clock.RunFor(120s);
    QVERIFY(rig.engine.Busy());
    QVERIFY(rig.prompts.Asked().isEmpty());
    QVERIFY(rig.link.Writes().size() > 100);
    rig.engine.Cancel();
    const int probes = rig.link.Writes().size();
    QVERIFY(rig.WaitFinished(1s));
    QVERIFY(!rig.finishedOk);
    QCOMPARE(rig.sink.Lines().last(), QString("自动匹配失败,请重新自动匹配或手动匹配!"));
    rig.clock.RunFor(10s);
    QCOMPARE(rig.link.Writes().size(), probes);
    QVERIFY(!rig.link.IsOpen());
  }

  void portThatDoesNotOpen() {
    TerminalRig rig;
    rig.link.SetPresentPorts({});
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(1s));
    QCOMPARE(rig.prompts.Texts(), QStringList{"请重新选择端口！"});
    QCOMPARE(rig.sink.Lines(), QStringList{"自动匹配失败,请重新自动匹配或手动匹配!"});
  }

  void deviceVanishingWhileProbing() {
    TerminalRig rig;
    rig.terminal.MutableFaults().silent = true;
    QVERIFY(rig.engine.StartDetect());
    rig.clock.RunFor(3500ms);
    rig.link.InjectLost("unplugged");
    QVERIFY(rig.WaitFinished(1s));
    QVERIFY(!rig.finishedOk);
    QCOMPARE(rig.sink.Lines().mid(rig.sink.Lines().size() - 2),
             (QStringList{"串口错误:unplugged", "自动匹配失败,请重新自动匹配或手动匹配!"}));
  }
};

QTEST_GUILESS_MAIN(TestDetection)
#include "tst_detection.moc"
