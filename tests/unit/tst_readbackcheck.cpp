// The read-back check of a write: a one-byte difference in each region the
// write sends is found and named, regions it did not send are not compared,
// and a terminal that does not answer fails the check.
#include <QtTest>

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "TerminalModel.h"
#include "link/ReadBackCheck.h"

using namespace std::chrono_literals;

class TestReadBackCheck : public QObject {
  Q_OBJECT

  ManualClock clock;
  TerminalModel terminal;
  FakeSerialLink link{clock, &terminal};
  ScriptedPrompts prompts;
  RecordingSink sink;

  /// What was written: a few literal fields, the rest zero, no valid marker
  /// (the write adds it; the terminal holds it).
  static ParameterImage Written() {
    ParameterImage image;
    image.SetByte(0, 5);        // device_address
    image.SetByte(1008, 0x80);  // adjust
    image.Store(2048, reinterpret_cast<const uint8_t*>("TR-2026-000100"), 14);
    image.Store(4096 + 4, reinterpret_cast<const uint8_t*>("abc"), 3);      // apn
    image.Store(4096 + 20, reinterpret_cast<const uint8_t*>("Pump 1"), 6);  // device_name
    return image;
  }

 private Q_SLOTS:
  void findsAndNamesOneByte_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("adjust");
    QTest::addColumn<bool>("service");
    QTest::addColumn<QStringList>("lines");  // empty: the check passes
    QTest::newRow("option word") << 0 << 7 << false << false
                                 << QStringList{"device_address: wrote 5, read 7"};
    QTest::newRow("bits of a shared word")
        << 135 << 0x30 << false << false << QStringList{"capture_edges: wrote 0, read 3"};
    QTest::newRow("unnamed option byte")
        << 200 << 0x5A << false << false << QStringList{"byte 200: wrote 0x00, read 0x5A"};
    QTest::newRow("adjust byte") << 1008 << 0x81 << true << false
                                 << QStringList{"adjust: wrote 128, read 129"};
    QTest::newRow("adjust byte not written") << 1008 << 0x81 << false << false << QStringList{};
    QTest::newRow("serial number")
        << 2061 << int('1') << false << true
        << QStringList{"serial_number: wrote TR-2026-000100, read TR-2026-000101"};
    QTest::newRow("extended word")
        << 4096 << 1 << false << true << QStringList{"lte_enable: wrote 0 (Off), read 1 (On)"};
    QTest::newRow("extended text") << 4096 + 25 << int('2') << false << true
                                   << QStringList{"device_name: wrote Pump 1, read Pump 2"};
    QTest::newRow("text after its end")
        << 4096 + 14 << 0x41 << false << true
        << QStringList{
               "apn: wrote 61 62 63 00 00 00 00 00 00 00 00 00 00 00 00 00, "
               "read 61 62 63 00 00 00 00 00 00 00 41 00 00 00 00 00"};
    QTest::newRow("extended block not written") << 4096 << 1 << false << false << QStringList{};
    QTest::newRow("identity is not written") << 1024 << 9 << true << true << QStringList{};
  }
  void findsAndNamesOneByte() {
    QFETCH(int, byte);
    QFETCH(int, value);
    QFETCH(bool, adjust);
    QFETCH(bool, service);
    QFETCH(QStringList, lines);
    terminal.Memory() = Written();
    terminal.Memory().SetByte(4096 + 2046, 0x55);  // valid_marker
    terminal.Memory().SetByte(4096 + 2047, 0xAA);
    terminal.Memory().SetByte(byte, uint8_t(value));

    ReadBackCheck check(link, clock, prompts, sink);
    int finished = 0;
    check.SetFinishedHandler([&](bool, const std::vector<FieldDifference>&) { ++finished; });
    QVERIFY(check.Start(Written(), ReadBackCheck::Scope{adjust, service, service}));
    QVERIFY(clock.RunUntil([&] { return finished > 0; }, 1h));
    QVERIFY(check.ReadOk());
    QStringList found;
    for (const FieldDifference& d : check.Differences()) found << ReadBackCheck::Line(d);
    QCOMPARE(found, lines);
    QCOMPARE(check.Passed(), lines.isEmpty());
  }

  void silentTerminalFailsTheCheck() {
    terminal.MutableFaults().silent = true;
    ReadBackCheck check(link, clock, prompts, sink);
    int finished = 0;
    check.SetFinishedHandler([&](bool, const std::vector<FieldDifference>&) { ++finished; });
    QVERIFY(check.Start(Written(), ReadBackCheck::Scope{}));
    QVERIFY(clock.RunUntil([&] { return finished > 0; }, 1h));
    QCOMPARE(finished, 1);
    QVERIFY(!check.ReadOk() && !check.Passed());
  }
};

QTEST_GUILESS_MAIN(TestReadBackCheck)
#include "tst_readbackcheck.moc"
