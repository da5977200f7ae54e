// The firmware transfer against the simulated boot loader on the virtual
// clock: the blocks and erases on the wire, the progress, the start answer.
// Faults of the line and of the boot loader: tst_faultmatrix_update.
#include <QtTest>

#include "tst_faultmatrix.h"

using namespace std::chrono_literals;
using Rig = UpdateRig;

class TestFirmwareTransfer : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void blockPlan_data() {
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<QString>("steps");   // between the start frames and the go frame
    QTest::addColumn<QString>("labels");  // "|"-separated; empty: not checked
    const auto row = [](const char* name, uint start, uint end, const QString& steps,
                        const QString& labels = {}) {
      QTest::newRow(name) << start << end << steps << labels;
    };
    const QString two = "write 10000 128|data|write 10080 128|data";
    row("two whole blocks", 0x08010000, 0x080100FF, "erase 10000|" + two,
        "完成进度:0%|完成进度:50%|完成进度:100%");
    row("start inside a block", 0x08010010, 0x080100FF,
        "erase 10010|write 10010 112|data|write 10080 128|data",
        "完成进度:0%|完成进度:47%|完成进度:100%");  // 112 / 239
    row("short last block", 0x08010000, 0x08010105, "erase 10000|" + two + "|write 10100 6|data");
    row("page boundary, then one byte", 0x08010780, 0x08010880,
        "erase 10780|write 10780 128|data|erase 10800|write 10800 128|data|write 10880 1|data");
    row("one-byte image", 0x08010005, 0x08010005, "erase 10005|write 10005 123|data",
        "完成进度:0%|完成进度:100%");
    row("top of the flash", 0x08041F80, 0x08041FFF, "erase 41F80|write 41F80 128|data");
  }
  void blockPlan() {
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(QString, steps);
    QFETCH(QString, labels);
    Rig rig(start, end);
    QVERIFY(rig.Run() && rig.outcome);
    QCOMPARE(rig.Steps(), "start 19200|start 9600|" + steps + "|go 10000");
    for (uint32_t a = start; a <= end; ++a) QCOMPARE(rig.loader.FlashByte(a), Rig::Plain(a));
    QCOMPARE(rig.labels.last(), QString("完成进度:100%"));
    if (!labels.isEmpty()) QCOMPARE(rig.labels, labels.split('|'));
    // After the application's answer the erase goes out at the boot loader's
    // settings, 100 ms later.
    using Type = FakeSerialLink::WireEvent::Type;
    const auto& log = rig.link.WireLog();
    const auto answer =
        std::find_if(log.begin(), log.end(), [](auto& e) { return e.type == Type::Receive; });
    const auto erase =
        std::find_if(answer, log.end(), [](auto& e) { return e.type == Type::Write; });
    QCOMPARE(erase->settings, QString("19200,N,8,1"));
    QVERIFY(erase->at - answer->at >= 100ms);
  }

  void checkByteAndProgress() {
    QCOMPARE(FirmwareTransfer::CheckByte(QByteArray::fromHex("010203")), uint8_t{0});
    QCOMPARE(FirmwareTransfer::ProgressText(0), QString("完成进度:%"));  // below half a percent
  }

  void writeAndStartFailures() {
    Rig failing(0x08010000, 0x08010FFF);  // a write fails in the middle
    QVERIFY(failing.transfer.Start());
    QVERIFY(failing.clock.RunUntil([&] { return failing.link.Writes().size() >= 5; }));
    failing.link.FailWrites(1);
    QVERIFY(failing.clock.RunAll());  // nothing left running
    QVERIFY(failing.finished == 1 && !failing.outcome && !failing.link.IsOpen());
    Rig empty(1, 0);
    QVERIFY(!empty.transfer.Start());
    Rig twice(0x08010000, 0x0801000F);
    QVERIFY(twice.transfer.Start() && !twice.transfer.Start());
    twice.transfer.Cancel();
    QVERIFY(twice.clock.RunAll() && !twice.link.IsOpen() && twice.finished == 0);
  }
};

QTEST_GUILESS_MAIN(TestFirmwareTransfer)
#include "tst_firmwaretransfer.moc"
