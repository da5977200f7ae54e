// The read-back check: the lines that name what differs from a write, and the
// outcome of a read-back from the simulated terminal on the virtual clock.
#include <QtTest>

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "TerminalModel.h"
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

QStringList Lines(const std::vector<FieldDifference>& differences) {
  QStringList lines;
  for (const FieldDifference& d : differences) lines << ReadBackCheck::Line(d);
  return lines;
}

}  // namespace

class TestReadBackCheck : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void namesTheDifferences_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QByteArray>("read");  // what the terminal holds there instead
    QTest::addColumn<bool>("adjust");
    QTest::addColumn<bool>("service");
    QTest::addColumn<QStringList>("lines");  // empty: the check passes
    const auto row = [](int byte, const char* read, bool adjust, bool service,
                        const QStringList& lines) {
      QTest::addRow("%d %s%s%s", byte, read, adjust ? " adjust" : "", service ? " service" : "")
          << byte << QByteArray::fromHex(read) << adjust << service << lines;
    };
    row(0, "07", false, false, {"device_address: wrote 5, read 7"});
    row(18, "6000", false, false, {"rs485_baud: wrote 0, read 9600"});
    row(20, "03", false, false, {"rs485_parity: wrote 0 (N), read 3"});
    row(30, "0c", false, false, {"lora_air_rate: wrote 0, read 12 (0.48Kbps)"});
    row(44, "dc85", false, false, {"adc1_offset: wrote 0, read -1.5"});
    row(80, "7d", false, false, {"adc1_multiplier: wrote 0, read 1.25"});
    // Two fields share the word: each named once, and only a field whose bits differ.
    row(134, "23f1", false, false,
        {"din_filter_ms: wrote 0, read 291", "capture_edges: wrote 0, read 15"});
    row(134, "05", false, false, {"din_filter_ms: wrote 0, read 5"});
    row(200, "5a", false, false, {"byte 200: wrote 0x00, read 0x5A"});
    row(255, "0b", false, false, {"byte 255: wrote 0x00, read 0x0B"});
    row(256, "0b", true, true, {});  // past the option blocks a write sends
    row(1008, "81", true, false, {"adjust: wrote 128, read 129"});
    row(1008, "81", false, false, {});  // the adjust byte not written
    row(2061, "31", false, true, {"serial_number: wrote TR-2026-000100, read TR-2026-000101"});
    row(4096, "01", false, true, {"lte_enable: wrote 0 (Off), read 1 (On)"});
    row(4096 + 25, "32", false, true, {"device_name: wrote Pump 1, read Pump 2"});
    row(4096 + 20, "00", false, true, {"device_name: wrote Pump 1, read (empty)"});
    row(4096 + 70, "41", false, true, {"device_sn: wrote (empty), read A"});
    row(4096 + 14, "41", false, true,  // after the end of the text
        {"apn: wrote 61 62 63 00 00 00 00 00 00 00 00 00 00 00 00 00, "
         "read 61 62 63 00 00 00 00 00 00 00 41 00 00 00 00 00"});
    row(6142, "56", false, true, {"valid_marker: wrote 43605, read 43606"});
    row(4096, "01", false, false, {});  // the extended block not written
  }
  void namesTheDifferences() {
    QFETCH(int, byte);
    QFETCH(QByteArray, read);
    QFETCH(bool, adjust);
    QFETCH(bool, service);
    QFETCH(QStringList, lines);
    const ParameterImage written = Written();
    ParameterImage found = written;
    Put(found, 6142, "\x55\xaa");
    Put(found, byte, read);
    QCOMPARE(Lines(ReadBackCheck::Compare(written, found, {adjust, service, service})), lines);
  }

  // A read-back of a terminal that holds the write ("" ) or not; a read that
  // fails is never a match, and names no field.
  void readBack_data() {
    QTest::addColumn<QString>("scope");  // a: adjust byte, s: extended block, n: serial number
    QTest::addColumn<QString>("terminal");
    QTest::addColumn<bool>("readOk");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("every part") << "asn" << "" << true << QStringList();
    QTest::newRow("serial number alone") << "n" << "" << true << QStringList();
    QTest::newRow("adjust byte differs")
        << "a" << "adjust 81" << true << QStringList{"adjust: wrote 128, read 129"};
    QTest::newRow("address differs")
        << "" << "address 07" << true << QStringList{"device_address: wrote 5, read 7"};
    QTest::newRow("silent") << "asn" << "silent" << false << QStringList();
    QTest::newRow("refusal at block 3") << "" << "refusal" << false << QStringList();
  }
  void readBack() {
    QFETCH(QString, scope);
    QFETCH(QString, terminal);
    QFETCH(bool, readOk);
    QFETCH(QStringList, lines);
    ManualClock clock;
    TerminalModel model;
    FakeSerialLink link(clock, &model);
    ScriptedPrompts prompts;
    RecordingSink sink;
    ReadBackCheck check(link, clock, prompts, sink);
    const ParameterImage written = Written();
    model.Memory() = written;
    model.Memory().StampValidMarker();
    model.MutableFaults().silent = terminal == "silent";
    model.MutableFaults().refuseBlock = terminal == "refusal" ? 3 : -1;
    if (terminal.contains(' ')) {
      const int byte = terminal.startsWith("adjust") ? 1008 : 0;
      model.Memory().SetByte(byte, uint8_t(terminal.section(' ', 1).toUInt(nullptr, 16)));
    }
    int ended = 0;
    bool endedOk = !readOk;
    QStringList handed;
    check.SetFinishedHandler([&](bool ok, const std::vector<FieldDifference>& differences) {
      ++ended, endedOk = ok, handed = Lines(differences);
    });
    QVERIFY(check.Start(written, {scope.contains('a'), scope.contains('s'), scope.contains('n')}));
    QVERIFY(!check.Start(ParameterImage(), {}));  // one at a time; the first one's image counts
    QVERIFY(clock.RunUntil([&] { return ended > 0; }));
    clock.RunFor(std::chrono::seconds(5));
    QCOMPARE(ended, 1);
    QCOMPARE(endedOk, readOk);
    QCOMPARE(check.ReadOk(), readOk);
    QCOMPARE(handed, lines);
    QCOMPARE(Lines(check.Differences()), lines);
    QCOMPARE(check.Passed(), readOk && lines.isEmpty());
    QVERIFY(!link.IsOpen());
  }
};

QTEST_GUILESS_MAIN(TestReadBackCheck)
#include "tst_readbackcheck.moc"
