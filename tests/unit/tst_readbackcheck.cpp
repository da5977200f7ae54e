// The read-back check of a write: a one-byte difference in each region the
// write sends is found and named, regions the write did not send are not
// compared, and a terminal that does not answer fails the check.
#include <QtTest>

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "TerminalModel.h"
#include "link/ReadBackCheck.h"

using namespace std::chrono_literals;

namespace {

void PutText(ParameterImage& image, int byte, const QByteArray& text) {
  image.Store(byte, reinterpret_cast<const uint8_t*>(text.constData()), int(text.size()));
}

/// What was written: a few literal fields, the rest zero.
ParameterImage Written() {
  ParameterImage image;
  image.SetByte(0, 5);                     // device_address
  image.SetByte(1008, 0x80);               // adjust
  PutText(image, 2048, "TR-2026-000100");  // serial_number
  PutText(image, 4096 + 4, "abc");         // apn
  PutText(image, 4096 + 20, "Pump 1");     // device_name
  image.SetByte(4096 + 2046, 0x55);        // valid_marker, as a write stamps it
  image.SetByte(4096 + 2047, 0xAA);
  return image;
}

struct Run {
  ManualClock clock;
  TerminalModel terminal;
  FakeSerialLink link{clock, &terminal};
  ScriptedPrompts prompts;
  RecordingSink sink;
  ReadBackCheck check{link, clock, prompts, sink};
  int finished = 0;

  Run() {
    check.Engine().SetLinkSettings(QStringLiteral("9600,N,8,1"));
    check.SetFinishedHandler([this](bool, const std::vector<FieldDifference>&) { ++finished; });
  }
  bool Check(const ParameterImage& written, ReadBackCheck::Scope scope) {
    return check.Start(written, scope) && clock.RunUntil([this] { return finished > 0; }, 1h);
  }
};

}  // namespace

class TestReadBackCheck : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void findsAndNamesOneByte_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("adjust");
    QTest::addColumn<bool>("service");
    QTest::addColumn<QStringList>("expected");  // field, wrote, read; empty: passes

    const QStringList none;
    QTest::newRow("option word") << 0 << 7 << false << false
                                 << QStringList{"device_address", "5", "7"};
    QTest::newRow("bits of a shared word")
        << 135 << 0x30 << false << false << QStringList{"capture_edges", "0", "3"};
    QTest::newRow("unnamed option byte")
        << 200 << 0x5A << false << false << QStringList{"byte 200", "0x00", "0x5A"};
    QTest::newRow("adjust byte") << 1008 << 0x81 << true << false
                                 << QStringList{"adjust", "128", "129"};
    QTest::newRow("adjust byte not written") << 1008 << 0x81 << false << false << none;
    QTest::newRow("serial number")
        << 2061 << int('1') << false << true
        << QStringList{"serial_number", "TR-2026-000100", "TR-2026-000101"};
    QTest::newRow("extended word")
        << 4096 << 1 << false << true << QStringList{"lte_enable", "0 (Off)", "1 (On)"};
    QTest::newRow("extended text")
        << 4096 + 25 << int('2') << false << true << QStringList{"device_name", "Pump 1", "Pump 2"};
    QTest::newRow("text after its end")
        << 4096 + 14 << 0x41 << false << true
        << QStringList{"apn", "61 62 63 00 00 00 00 00 00 00 00 00 00 00 00 00",
                       "61 62 63 00 00 00 00 00 00 00 41 00 00 00 00 00"};
    QTest::newRow("extended block not written") << 4096 << 1 << false << false << none;
    QTest::newRow("identity is not written") << 1024 << 9 << true << true << none;
  }
  void findsAndNamesOneByte() {
    QFETCH(int, byte);
    QFETCH(int, value);
    QFETCH(bool, adjust);
    QFETCH(bool, service);
    QFETCH(QStringList, expected);

    Run run;
    const ParameterImage written = Written();
    run.terminal.Memory() = written;
    run.terminal.Memory().SetByte(byte, uint8_t(value));
    QVERIFY(run.Check(written, ReadBackCheck::Scope{adjust, service, service}));

    QVERIFY(run.check.ReadOk());
    QCOMPARE(run.finished, 1);
    QStringList found;
    for (const FieldDifference& d : run.check.Differences())
      found << d.field << d.expected << d.found;
    QCOMPARE(found, expected);
    QCOMPARE(run.check.Passed(), expected.isEmpty());
  }

  void writtenImageIsComparedWithItsValidMarker() {
    Run run;
    ParameterImage written = Written();
    run.terminal.Memory() = written;
    written.SetByte(4096 + 2046, 0);  // the file lacks the marker the write adds
    written.SetByte(4096 + 2047, 0);
    QVERIFY(run.Check(written, ReadBackCheck::Scope{false, true, false}));
    QVERIFY(run.check.Passed());
  }

  void severalFieldsAreListedInImageOrder() {
    Run run;
    const ParameterImage written = Written();
    run.terminal.Memory() = written;
    run.terminal.Memory().SetByte(4096 + 20, 'Q');
    run.terminal.Memory().SetByte(2048, 'X');
    run.terminal.Memory().SetByte(1, 1);
    QVERIFY(run.Check(written, ReadBackCheck::Scope{false, true, true}));
    QStringList lines;
    for (const FieldDifference& d : run.check.Differences()) lines << ReadBackCheck::Line(d);
    QCOMPARE(lines, (QStringList{"device_address: wrote 5, read 261",
                                 "serial_number: wrote TR-2026-000100, read XR-2026-000100",
                                 "device_name: wrote Pump 1, read Qump 1"}));
  }

  void silentTerminalFailsTheCheck() {
    Run run;
    run.terminal.MutableFaults().silent = true;
    run.prompts.SetDefaultRetry(false);
    QVERIFY(run.Check(Written(), ReadBackCheck::Scope{}));
    QCOMPARE(run.finished, 1);
    QVERIFY(!run.check.ReadOk());
    QVERIFY(!run.check.Passed());
    QVERIFY(run.check.Differences().empty());
  }
};

QTEST_GUILESS_MAIN(TestReadBackCheck)
#include "tst_readbackcheck.moc"
