// The read-back check against the simulated terminal on the virtual clock: the
// lines that name what differs from a write, and its outcome.
#include <QtTest>

#include "TerminalRig.h"
#include "link/ReadBackCheck.h"

namespace {

void Put(ParameterImage& image, int byte, const QByteArray& bytes) {
  image.Store(byte, reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
}

/// What a write sends; the marker is not in it: the write adds it.
ParameterImage Written() {
  ParameterImage written;
  written.SetByte(0, 5);
  written.SetByte(1008, 0x80);
  Put(written, 2048, "TR-2026-000100");
  Put(written, 4096 + 4, "abc");      // apn
  Put(written, 4096 + 20, "Pump 1");  // device_name
  return written;
}

}  // namespace

class TestReadBackCheck : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void readBack_data() {
    QTest::addColumn<QString>("terminal");   // "byte hex" put into its memory, or a fault
    QTest::addColumn<QString>("scope");      // a: the adjust byte, s: the extended block, n: serial
    QTest::addColumn<QStringList>("lines");  // empty: the check passes
    const auto row = [](const char* terminal, const char* scope, const QStringList& lines) {
      QTest::addRow("%s %s", terminal, scope) << QString(terminal) << QString(scope) << lines;
    };
    row("", "asn", {});
    row("0 07", "", {"device_address: wrote 5, read 7"});
    row("18 6000", "", {"rs485_baud: wrote 0, read 9600"});
    row("20 03", "", {"rs485_parity: wrote 0 (N), read 3"});
    row("30 0c", "", {"lora_air_rate: wrote 0, read 12 (0.48Kbps)"});
    row("44 dc85", "", {"adc1_offset: wrote 0, read -1.5"});
    row("80 7d", "", {"adc1_multiplier: wrote 0, read 1.25"});
    // Two fields share the word: each named once, and only a field whose bits differ.
    row("134 23f1", "", {"din_filter_ms: wrote 0, read 291", "capture_edges: wrote 0, read 15"});
    row("134 05", "", {"din_filter_ms: wrote 0, read 5"});
    row("200 5a", "", {"byte 200: wrote 0x00, read 0x5A"});
    row("255 0b", "", {"byte 255: wrote 0x00, read 0x0B"});
    row("256 0b", "asn", {});  // past the option blocks a write sends
    row("1008 81", "a", {"adjust: wrote 128, read 129"});
    row("1008 81", "", {});  // the adjust byte not written
    row("2061 31", "n", {"serial_number: wrote TR-2026-000100, read TR-2026-000101"});
    row("4096 01", "s", {"lte_enable: wrote 0 (Off), read 1 (On)"});
    row("4121 32", "s", {"device_name: wrote Pump 1, read Pump 2"});
    row("4116 00", "s", {"device_name: wrote Pump 1, read (empty)"});
    row("4166 41", "s", {"device_sn: wrote (empty), read A"});
    row("4110 41", "s",  // after the end of the text
        {"apn: wrote 61 62 63 00 00 00 00 00 00 00 00 00 00 00 00 00, "
         "read 61 62 63 00 00 00 00 00 00 00 41 00 00 00 00 00"});
    row("6142 56", "s", {"valid_marker: wrote 43605, read 43606"});
    row("4096 01", "", {});  // the extended block not written
    // A read that fails is never a match, and names no field.
    row("silent", "asn", {});
    row("refusal", "", {});
  }
  void readBack() {
    QFETCH(QString, terminal);
    QFETCH(QString, scope);
    QFETCH(QStringList, lines);
    const bool readOk = terminal != "silent" && terminal != "refusal";
    TerminalRig rig;
    ReadBackCheck check(rig.link, rig.clock, rig.prompts, rig.sink);
    const ParameterImage written = Written();
    rig.terminal.Memory() = written;
    rig.terminal.Memory().StampValidMarker();
    Put(rig.terminal.Memory(), terminal.section(' ', 0, 0).toInt(),
        QByteArray::fromHex(terminal.section(' ', 1).toLatin1()));
    rig.terminal.MutableFaults().silent = terminal == "silent";
    rig.terminal.MutableFaults().refuseBlock = terminal == "refusal" ? 3 : -1;
    int ended = 0;
    bool endedOk = !readOk;
    check.SetFinishedHandler(
        [&](bool ok, const std::vector<FieldDifference>&) { ++ended, endedOk = ok; });
    QVERIFY(check.Start(written, {scope.contains('a'), scope.contains('s'), scope.contains('n')}));
    QVERIFY(!check.Start(ParameterImage(), {}));  // one at a time; the first one's image counts
    QVERIFY(rig.clock.RunUntil([&] { return ended > 0; }));
    rig.clock.RunFor(std::chrono::seconds(5));
    QVERIFY(ended == 1 && endedOk == readOk && check.ReadOk() == readOk);
    QStringList named;
    for (const FieldDifference& d : check.Differences()) named << ReadBackCheck::Line(d);
    QCOMPARE(named, lines);
    QCOMPARE(check.Passed(), readOk && lines.isEmpty());
    QVERIFY(!rig.link.IsOpen());
  }
};

QTEST_GUILESS_MAIN(TestReadBackCheck)
#include "tst_readbackcheck.moc"
