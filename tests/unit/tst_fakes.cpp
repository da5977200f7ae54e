// The test doubles other tests build on: the virtual clock and the fake link.
#include <QtTest>

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "ScriptedPrompts.h"
#include "SimDevice.h"

using namespace std::chrono_literals;

namespace {

/// Answers every request with its bytes reversed after a set delay.
class EchoDevice : public SimDevice {
 public:
  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    seen.append(settings);
    QByteArray reversed(bytes);
    std::reverse(reversed.begin(), reversed.end());
    return DeviceReply{reversed, delay, hangUp};
  }
  QStringList seen;
  std::chrono::milliseconds delay{10};
  bool hangUp = false;
};

}  // namespace

class TestFakes : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void clockRunsEventsInOrderAndSleepDefersThem() {
    ManualClock clock;
    QStringList order;
    clock.Schedule(20ms, [&] { order << "b"; });
    clock.Schedule(10ms, [&] {
      order << "a";
      clock.Sleep(15ms);  // b falls due meanwhile but runs only afterwards
      order << "a-end";
    });
    clock.Schedule(20ms, [&] { order << "c"; });
    const auto id = clock.Schedule(5ms, [&] { order << "never"; });
    clock.Cancel(id);
    clock.RunFor(100ms);
    QCOMPARE(order, (QStringList{"a", "a-end", "b", "c"}));
    QCOMPARE(clock.Elapsed(), ManualClock::Duration(100ms));
  }

  void timersRestartStopAndNeverHangRunUntil() {
    ManualClock clock;
    auto timer = clock.CreateTimer();
    int ticks = 0;
    timer->SetTickHandler([&] {
      ++ticks;
      timer->Start(1000ms);  // re-arms forever
    });
    timer->Start(1000ms);
    clock.RunFor(500ms);
    timer->Start(1000ms);  // restart: due at 1500 ms now
    clock.RunFor(900ms);
    QCOMPARE(ticks, 0);
    clock.RunFor(100ms);
    QCOMPARE(ticks, 1);
    QVERIFY(!clock.RunUntil([] { return false; }, 10s));
    QCOMPARE(ticks, 11);
    QVERIFY(!clock.RunAll(5s));
    timer->Stop();
    QVERIFY(!timer->IsActive());
    QVERIFY(clock.RunAll());
    timer.reset();
    QCOMPARE(clock.PendingCount(), 0);
  }

  void linkDeliversRepliesAtThresholdAfterWrite() {
    ManualClock clock;
    EchoDevice device;
    FakeSerialLink link(clock, &device);
    int received = 0;
    link.SetReceiveHandler([&] { ++received; });
    QVERIFY(!link.SetSettings("9600,X,8,1"));
    QVERIFY(link.SetSettings("9600,E,7,1"));
    QVERIFY(link.Open());
    link.SetThreshold(4);
    link.SetWireTimePerByte(1ms);
    QVERIFY(link.Write("abcd"));
    QCOMPARE(received, 0);  // never from inside Write
    clock.RunFor(17ms);     // 4 ms request, 10 ms delay, 3 of 4 answer bytes
    QCOMPARE(received, 0);
    clock.RunFor(1ms);
    QCOMPARE(received, 1);
    QCOMPARE(link.ReadAll(), QByteArray("dcba"));
    QCOMPARE(device.seen, QStringList{"9600,E,7,1"});
    // Settings changed while open apply at the next open.
    QVERIFY(link.SetSettings("9600,E,8,1"));
    QVERIFY(link.Write("x"));
    QCOMPARE(device.seen.last(), QString("9600,E,7,1"));
  }

  void closingDropsLateBytesAndHangUpRaisesLost() {
    ManualClock clock;
    EchoDevice device;
    FakeSerialLink link(clock, &device);
    QString lost;
    link.SetLostHandler([&](const QString& reason) { lost = reason; });
    link.SetThreshold(1);
    QVERIFY(link.Open());
    QVERIFY(link.Write("ab"));
    link.Close();
    QVERIFY(link.Open());
    clock.RunAll();
    QVERIFY(link.ReadAll().isEmpty());  // the answer belonged to the old session

    device.hangUp = true;
    QVERIFY(link.Write("ab"));
    clock.RunAll();
    QVERIFY(!link.IsOpen());
    QVERIFY(!lost.isEmpty());

    link.SetPresentPorts({3});
    link.SetPort(4);
    QVERIFY(!link.Open());
    QVERIFY(!link.ErrorString().isEmpty());
    link.SetPort(3);
    QVERIFY(link.Open());
    link.FailWrites(1, true);
    lost.clear();
    QVERIFY(!link.Write("a"));
    QVERIFY(!link.IsOpen());
    QVERIFY(!lost.isEmpty());
    QCOMPARE(link.Writes().size(), 2);
  }

  void promptsFollowTheScriptThenTheDefault() {
    ScriptedPrompts prompts;
    prompts.QueueRetry(true);
    prompts.SetDefaultRetry(false);
    QVERIFY(prompts.AskRetry("q1"));
    QVERIFY(!prompts.AskRetry("q2"));
    prompts.QueueFile("/tmp/a.quelt");
    QCOMPARE(prompts.ChooseFile(Prompts::FileMode::Save, "Save", "x", false),
             QString("/tmp/a.quelt"));
    QCOMPARE(prompts.Texts(), (QStringList{"q1", "q2", "Save"}));
    QCOMPARE(prompts.Count(ScriptedPrompts::Type::AskRetry), 2);
  }
};

QTEST_GUILESS_MAIN(TestFakes)
#include "tst_fakes.moc"
