// Automatic format detection against the simulated terminal: the probe at
// every table format (parity and data bits included), the wrap after the
// last format, the question after 55 time-outs and wrong answers. Wrong
// answers everywhere until Cancel, and a vanishing port: tst_faultmatrix.
#include <QtTest>

#include "TerminalRig.h"

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
  void findsTheFormatAfterTheTimeOuts_data() {
    QTest::addColumn<QStringList>("formats");  // probed in this order, the last answers
    QTest::newRow("19200,E,8,1") << QStringList{"9600,N,8,1", "9600,E,8,1", "9600,O,8,1",
                                                "9600,E,7,1", "9600,O,7,1", "19200,N,8,1",
                                                "19200,E,8,1"};
    QTest::newRow("first") << QStringList{"9600,N,8,1"};
  }
  void findsTheFormatAfterTheTimeOuts() {
    QFETCH(QStringList, formats);
    TerminalRig rig;
    rig.terminal.SetFormat(formats.last());
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(1h));
    QVERIFY(rig.finishedOk);

    QStringList expected{"自动匹配", "Try(0):9600,N,8,1"};
    for (int k = 1; k < formats.size(); ++k)
      expected << QStringLiteral("Try(%1):%2").arg(k).arg(formats[k])
               << QStringLiteral("Retry(%1): ").arg(k);
    expected << "自动匹配成功,匹配格式为:" + formats.last();
    QCOMPARE(rig.sink.Lines(), expected);
    // Each probe at its table format, parity and data bits as they are.
    QCOMPARE(rig.link.WriteSettings().mid(0, formats.size()), formats);
    QCOMPARE(rig.link.Writes(), QList<QByteArray>(formats.size(), "L35W") << "E");
    QCOMPARE(rig.engine.FormatIndex(), formats.size() - 1);
    QVERIFY(!rig.link.IsOpen());

    // The next read greets at the detected format.
    rig.sink.Clear();
    rig.link.ClearLog();
    QVERIFY(rig.engine.StartRead());
    QVERIFY(rig.WaitFinished(5s));
    QVERIFY(rig.finishedOk);
    QCOMPARE(rig.sink.Lines().at(1), "Try(0):" + formats.last());
    QCOMPARE(rig.link.WriteSettings().first(), formats.last());
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

  void portThatDoesNotOpen() {
    TerminalRig rig;
    rig.link.SetPresentPorts({});
    QVERIFY(rig.engine.StartDetect());
    QVERIFY(rig.WaitFinished(1s));
    QCOMPARE(rig.prompts.Texts(), QStringList{"请重新选择端口！"});
    QCOMPARE(rig.sink.Lines(), QStringList{"自动匹配失败,请重新自动匹配或手动匹配!"});
  }
};

QTEST_GUILESS_MAIN(TestDetection)
#include "tst_detection.moc"
