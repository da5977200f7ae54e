// The behaviour every other unit test builds on: the virtual clock's order of
// events and the fake link's timing of answers.
#include <QtTest>

#include "FakeSerialLink.h"
#include "ManualClock.h"
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
    return DeviceReply{reversed, 10ms, false};
  }
  QStringList seen;
};

}  // namespace

class TestFakes : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void clockKeepsOrderAndIsBounded() {
    ManualClock clock;
    QStringList order;
    clock.Schedule(20ms, [&] { order << "b"; });
    clock.Schedule(10ms, [&] {
      order << "a";
      clock.Sleep(15ms);  // b falls due meanwhile but runs only afterwards
      order << "a-end";
    });
    clock.Cancel(clock.Schedule(5ms, [&] { order << "never"; }));
    clock.RunFor(100ms);
    QCOMPARE(order, (QStringList{"a", "a-end", "b"}));
    QCOMPARE(clock.Elapsed(), ManualClock::Duration(100ms));

    QVERIFY(!clock.RunUntil([] { return false; }, 10s));  // bounded, never hangs
  }

  void linkAnswersAfterTheWireTimeAndDropsLateBytes() {
    ManualClock clock;
    EchoDevice device;
    FakeSerialLink link(clock, &device);
    int received = 0;
    link.SetReceiveHandler([&] { ++received; });
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

    QVERIFY(link.Write("ab"));
    link.Close();
    QVERIFY(link.Open());
    clock.RunAll();
    QVERIFY(link.ReadAll().isEmpty());  // the answer belonged to the old session
  }
};

QTEST_GUILESS_MAIN(TestFakes)
#include "tst_fakes.moc"
