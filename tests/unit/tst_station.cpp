// Stations against in-process terminals on the virtual clock, with the
// record in a real SQLite file: several ports at once with one faulty
// terminal, the numbering of reworked and foreign units, Ctrl-C and --loop.
#include <QtTest>

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "TerminalModel.h"
#include "production/RecordStore.h"
#include "production/Station.h"

#include <memory>

using namespace std::chrono_literals;

namespace {

QByteArray Held(const TerminalModel& terminal) {
  const QByteArray bytes = terminal.Memory().Bytes(2048, 32);
  return bytes.left(bytes.indexOf('\0'));
}

void Hold(TerminalModel& terminal, const QByteArray& serial) {
  terminal.Memory().Store(2048, reinterpret_cast<const uint8_t*>(serial.constData()),
                          int(serial.size()));
}

/// A line of `count` ports sharing one clock and one record.
struct Line {
  ManualClock clock;
  QTemporaryDir dir;
  RecordStore store;
  ParameterImage config;
  std::vector<std::unique_ptr<TerminalModel>> terminals;
  std::vector<std::unique_ptr<FakeSerialLink>> links;
  std::vector<std::unique_ptr<Station>> stations;
  std::vector<RecordStore::Unit> units;

  explicit Line(int count, const QString& first = QStringLiteral("TR-2026-000100"),
                bool loop = false, bool renumber = false) {
    QString error;
    const bool ok =
        store.Open(dir.filePath("line.sqlite"), &error) && store.StartCounter(first, &error);
    if (!ok) qFatal("%s", qPrintable(error));
    config.SetByte(0, 7);            // device_address
    config.SetByte(4096 + 20, 'P');  // device_name
    for (int i = 0; i < count; ++i) {
      terminals.push_back(std::make_unique<TerminalModel>());
      links.push_back(std::make_unique<FakeSerialLink>(clock, terminals.back().get()));
      Station::Settings s;
      s.port = QStringLiteral("COM%1").arg(i + 1);
      s.portNumber = i + 1;
      s.station = QStringLiteral("bench");
      s.loop = loop;
      s.renumber = renumber;
      stations.push_back(
          std::make_unique<Station>(*links.back(), clock, store, config, nullptr, s));
      stations.back()->SetUnitHandler([this](const RecordStore::Unit& u) { units.push_back(u); });
    }
  }
  bool RunToEnd() {
    for (auto& station : stations) station->Start();
    return clock.RunUntil(
        [this] {
          for (auto& station : stations)
            if (!station->Finished()) return false;
          return true;
        },
        1h);
  }
};

}  // namespace

class TestStation : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void faultyTerminalLeavesTheOthers_data() {
    QTest::addColumn<int>("fault");  // 0 refused block, 1 hang-up, 2 silent
    QTest::addColumn<QString>("step");
    QTest::addColumn<QStringList>("numbers");  // every number recorded, in order
    QTest::newRow("refused block")
        << 0 << "identity" << QStringList{"TR-2026-000100", "TR-2026-000101", "TR-2026-000102"};
    QTest::newRow("pulled mid-write")
        << 1 << "write"
        << QStringList{"TR-2026-000100", "TR-2026-000101", "TR-2026-000102", "TR-2026-000103"};
    QTest::newRow("silent mid-write")
        << 2 << "write"
        << QStringList{"TR-2026-000100", "TR-2026-000101", "TR-2026-000102", "TR-2026-000103"};
  }
  void faultyTerminalLeavesTheOthers() {
    QFETCH(int, fault);
    QFETCH(QString, step);
    QFETCH(QStringList, numbers);
    Line line(4);
    TerminalModel::Faults& faults = line.terminals[2]->MutableFaults();
    if (fault == 0) faults.refuseBlock = 1;
    if (fault == 1) faults.hangUpAfterBytes = 1500;
    if (fault == 2) faults.silentAfterRequests = 200;
    QVERIFY(line.RunToEnd());

    QCOMPARE(int(line.units.size()), 4);
    QStringList recorded;
    for (const RecordStore::Unit& u : line.units) {
      if (!u.serial.isEmpty()) recorded << u.serial;
      if (u.port != QLatin1String("COM3")) continue;
      QCOMPARE(u.step, step);  // the faulty one, with the step it failed in
      QVERIFY(!u.passed && !u.reason.isEmpty());
      if (!u.serial.isEmpty())
        QCOMPARE(line.store.StateOf(u.serial), RecordStore::SerialState::Void);
    }
    recorded.sort();
    QCOMPARE(recorded, numbers);
    for (int i : {0, 1, 3}) {
      const TerminalModel& t = *line.terminals[size_t(i)];
      QCOMPARE(line.stations[size_t(i)]->Passed(), 1);
      QCOMPARE(t.Memory().Byte(0), uint8_t(7));
      QCOMPARE(t.Memory().Byte(4096 + 20), uint8_t('P'));
      QCOMPARE(line.store.StateOf(QString::fromLatin1(Held(t))), RecordStore::SerialState::Used);
    }
    QVERIFY(!line.links[2]->IsOpen());
  }

  void numberingOfHeldNumbers_data() {
    QTest::addColumn<QByteArray>("held");
    QTest::addColumn<int>("state");  // of TR-2026-000042 before: 0 unknown, 2 used, 3 void
    QTest::addColumn<bool>("renumber");
    QTest::addColumn<QString>("serial");  // what the terminal holds after; empty: failed
    QTest::newRow("blank") << QByteArray() << 2 << false << "TR-2026-000043";
    QTest::newRow("reworked") << QByteArray("TR-2026-000042") << 2 << false << "TR-2026-000042";
    QTest::newRow("void before") << QByteArray("TR-2026-000042") << 3 << false << "TR-2026-000043";
    QTest::newRow("foreign") << QByteArray("XY-7") << 2 << false << "";
    QTest::newRow("foreign renumbered") << QByteArray("XY-7") << 2 << true << "TR-2026-000043";
  }
  void numberingOfHeldNumbers() {
    QFETCH(QByteArray, held);
    QFETCH(int, state);
    QFETCH(bool, renumber);
    QFETCH(QString, serial);
    Line line(1, QStringLiteral("TR-2026-000042"), false, renumber);
    QString taken, error;
    QVERIFY(line.store.TakeSerial("bench", "COM9", &taken, &error));
    QVERIFY(line.store.SetState(taken, RecordStore::SerialState(state), &error));
    Hold(*line.terminals[0], held);
    QVERIFY(line.RunToEnd());

    QCOMPARE(int(line.units.size()), 1);
    const RecordStore::Unit& u = line.units[0];
    QCOMPARE(u.passed, !serial.isEmpty());
    QCOMPARE(u.serial, serial);
    QCOMPARE(QString::fromLatin1(Held(*line.terminals[0])),
             serial.isEmpty() ? QString::fromLatin1(held) : serial);
    if (serial.isEmpty()) QCOMPARE(u.step, QString("serial"));
  }

  void stopMidWriteRecordsAVoidNumber() {
    Line line(2);
    for (auto& station : line.stations) station->Start();
    QVERIFY(line.clock.RunUntil(
        [&] { return line.stations[0]->CurrentStatus().step == Station::Step::Write; }, 1h));
    line.clock.RunFor(100ms);
    for (auto& station : line.stations) station->Stop();
    QVERIFY(line.clock.RunUntil(
        [&] { return line.stations[0]->Finished() && line.stations[1]->Finished(); }, 1min));
    QCOMPARE(int(line.units.size()), 2);
    for (const RecordStore::Unit& u : line.units) {
      QCOMPARE(u.reason, QString("interrupted"));
      QCOMPARE(line.store.StateOf(u.serial), RecordStore::SerialState::Void);
    }
    QVERIFY(!line.links[0]->IsOpen() && !line.links[1]->IsOpen());
  }

  void loopWaitsForTheNextTerminal() {
    Line line(1, QStringLiteral("TR-2026-000100"), true);
    line.stations[0]->Start();
    QVERIFY(line.clock.RunUntil([&] { return line.units.size() == 1; }, 1h));
    line.clock.RunFor(5s);  // the same terminal still attached: no second unit
    QCOMPARE(int(line.units.size()), 1);
    line.links[0]->AttachDevice(nullptr);  // taken away
    line.clock.RunFor(3s);
    TerminalModel next;
    line.links[0]->AttachDevice(&next);
    QVERIFY(line.clock.RunUntil([&] { return line.units.size() == 2; }, 1h));
    QCOMPARE(Held(*line.terminals[0]), QByteArray("TR-2026-000100"));
    QCOMPARE(Held(next), QByteArray("TR-2026-000101"));
    line.stations[0]->Stop();
    QVERIFY(line.clock.RunUntil([&] { return line.stations[0]->Finished(); }, 1min));
    QCOMPARE(int(line.units.size()), 2);
  }
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
