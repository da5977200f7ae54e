// The production line: database addresses, serial numbers, the read-back check's lines, a
// station on the virtual clock (numbers held, cloned, lost; Ctrl-C in every step; --loop).
#include <QtTest>

#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "TerminalModel.h"
#include "production/RecordReader.h"
#include "production/Station.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <optional>

using namespace std::chrono_literals;
using State = RecordStore::SerialState;

static void Put(ParameterImage& image, int byte, const QByteArray& bytes) {
  image.Store(byte, reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
}

static bool Open(RecordStore& store, const QString& path, QString* error) {
  DatabaseAddress address;
  return DatabaseAddress::Parse(path, &address, error) && store.Open(address, true, error);
}

/// One port of a line, its terminal and the record, on the virtual clock.
struct Bench {
  ManualClock clock;
  TerminalModel terminal;
  FakeSerialLink link{clock, &terminal};
  QTemporaryDir dir;
  RecordStore store;
  ParameterImage config;
  Station::Settings settings;
  std::optional<Station> station;

  explicit Bench(const QString& first) {
    QString error;
    if (!Open(store, dir.filePath("line.sqlite"), &error) || !store.StartCounter(first, &error))
      qFatal("%s", qPrintable(error));
    store.SetLockWait(10ms);
    settings.port = "COM1";
    settings.station = "bench";
    config.SetByte(4096 + 20, 'P');  // device_name
  }
  ~Bench() { QSqlDatabase::removeDatabase("other"); }
  void Start() {
    station.emplace(link, clock, store, config, nullptr, settings);
    station->Start();
  }
  bool Run(const std::function<bool()>& until) { return clock.RunUntil(until, 1h); }
  bool RunTo(Station::Step step) {
    return Run([&] { return station->CurrentStatus().step == step; });
  }
  /// "COM1 pass TR-2026-000100" or "COM1 fail serial  <reason>", one a unit.
  QStringList Record() {
    QStringList lines;
    QString error;
    RecordReader(store).ForEachUnit(
        {},
        [&lines](const RecordStore::Unit& u) {
          lines << u.port + (u.passed ? " pass " + u.serial
                                      : " fail " + u.step + ' ' + u.serial + ' ' + u.reason);
          return true;
        },
        &error);
    return lines;
  }
  /// Another client of the database: `sql` on a connection of its own.
  void Other(const QString& sql) {
    if (!QSqlDatabase::contains("other"))
      QSqlDatabase::addDatabase("QSQLITE", "other").setDatabaseName(dir.filePath("line.sqlite"));
    QSqlDatabase db = QSqlDatabase::database("other");
    QSqlQuery(db).exec(sql);
  }
};

class TestProduction : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void databaseAddress_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parsed");  // host port user password database options shown
    const auto row = [](const char* text, const char* parsed) {
      QTest::newRow(text) << text << parsed;
    };
    row("postgres://u:ab/cd@[::1]:5433/db?connect_timeout=3&sslmode=require",
        "::1|5433|u|ab/cd|db|connect_timeout=3;sslmode=require|"
        "postgres://u:***@[::1]:5433/db?connect_timeout=3&sslmode=require");
    row("postgresql://u:a%40b#c@h/d%20b",
        "h|0|u|a@b#c|d b|connect_timeout=10|postgresql://u:***@h/d%20b");
  }
  void databaseAddress() {
    QFETCH(QString, text);
    QFETCH(QString, parsed);
    DatabaseAddress a;
    QString error;
    const bool ok = DatabaseAddress::Parse(text, &a, &error);
    const QStringList fields{
        a.host, QString::number(a.port), a.user, a.password, a.database, a.options, a.shown};
    QCOMPARE(ok ? fields.join('|') : error, parsed);
  }
  void firstSerial_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QStringList>("taken");  // three takes, then --first-serial A01; empty: refused
    const auto row = [](const char* tag, const QString& first, const QStringList& taken) {
      QTest::newRow(tag) << first << taken;
    };
    row("year and count", "TR-2026-000100",
        {"TR-2026-000100", "TR-2026-000101", "TR-2026-000102",
         "the database already counts from TR-2026-000100 (next TR-2026-000103); "
         "--first-serial A01 refused"});
    row("count at its width ends", "A98",
        {"A98", "A99",
         "the serial numbers from A98 are used up: the next, A100, has more than 2 digits",
         "the database already counts from A98 (used up: the next, A100, has more than 2 "
         "digits); --first-serial A01 refused"});
    row("33 bytes", "ABCDEFGHIJKLMNOPQRSTUVWXYZ-000001", {});
    row("not ASCII", QString::fromUtf8("TR-\u00e9-1"), {});
  }
  void firstSerial() {
    QFETCH(QString, first);
    QFETCH(QStringList, taken);
    QTemporaryDir dir;
    RecordStore store;
    QString error, serial;
    QVERIFY(Open(store, dir.filePath("r.sqlite"), &error));
    QCOMPARE(store.StartCounter(first, &error), !taken.isEmpty());
    if (taken.isEmpty()) return;
    QStringList got;
    for (int i = 0; i < 3; ++i)
      got << (store.TakeSerial("s", "COM1", &serial, &error) ? serial : error);
    QVERIFY(!store.StartCounter("A01", &error));
    QCOMPARE(got << error, taken);
  }
  void numberingOfHeldNumbers_data() {
    QTest::addColumn<QByteArray>("held");
    QTest::addColumn<QString>("before");  // N-42 taken by bench COM9 a moment ago, then SET ...
    QTest::addColumn<bool>("renumber");
    QTest::addColumn<bool>("differs");  // the read-back finds another device_name
    QTest::addColumn<QString>("record");
    QTest::addColumn<QString>("states");  // of N-42 and N-43 after: 0 unknown 1 taken 2 used 3 void
    const auto row = [](const char* tag, const char* held, const char* before, bool renumber,
                        bool differs, const char* record, const char* states) {
      QTest::newRow(tag) << QByteArray(held) << before << renumber << differs << record << states;
    };
    const char* used = "state = 'used', claim_station = NULL";
    row("blank", "", used, false, false, "COM1 pass N-43", "2 2");
    row("blank fails at verify", "", used, false, true, "COM1 fail verify N-43 ", "2 3");
    row("reworked", "N-42", used, false, false, "COM1 pass N-42", "2 0");
    row("reworked fails at verify", "N-42", used, false, true, "COM1 fail verify N-42 ", "2 0");
    row("void before", "N-42", "state = 'void', claim_station = NULL", false, false,
        "COM1 pass N-43", "3 2");
    row("record lost, fails", "N-42", "claim_station = NULL", false, true, "COM1 fail verify N-42 ",
        "3 0");
    row("claimed by this port", "N-42", "claim_port = 'COM1'", false, false, "COM1 pass N-42",
        "2 0");
    // The unit passed but its number cannot be made used: no pass, the number stays taken.
    row("record hiccup", "",
        "CREATE TRIGGER hiccup BEFORE UPDATE OF state ON tr5906_serials "
        "BEGIN SELECT RAISE(ABORT, 'disk hiccup'); END",
        false, false, "", "1 1");
    row("claimed long ago", "N-42", "claimed_at = '2020-01-01T00:00:00.000Z'", false, false,
        "COM1 pass N-42", "2 0");
    row("cloned", "N-42", "state = 'used'", false, false,
        "COM1 fail serial  N-42 is being worked on at bench COM9", "2 0");
    row("foreign", "XY-7", used, false, false,
        "COM1 fail serial  the terminal holds XY-7, a number the record does not know "
        "(--renumber gives it a new one)",
        "2 0");
    row("foreign renumbered", "XY-7", used, true, false, "COM1 pass N-43", "2 2");
  }
  void numberingOfHeldNumbers() {
    QFETCH(QByteArray, held);
    QFETCH(QString, before);
    QFETCH(bool, renumber);
    QFETCH(bool, differs);
    QFETCH(QString, record);
    QFETCH(QString, states);
    Bench bench("N-42");
    QString taken, error;
    QVERIFY(bench.store.TakeSerial("bench", "COM9", &taken, &error));
    bench.Other(before.startsWith("CREATE") ? before : "UPDATE tr5906_serials SET " + before);
    Put(bench.terminal.Memory(), 2048, held);
    bench.settings.renumber = renumber;
    bench.Start();
    if (differs) {
      QVERIFY(bench.RunTo(Station::Step::Verify));
      bench.terminal.Memory().SetByte(4096 + 20, 'X');
      record += "device_name: wrote P, read X";
    }
    QVERIFY(bench.Run([&] { return bench.station->Finished(); }));
    QCOMPARE(bench.Record().join(""), record);
    const bool passed = record.contains("pass");
    QCOMPARE(bench.station->Passed(), int(passed));  // what the outcome line counts
    const int n42 = int(bench.store.StateOf("N-42")), n43 = int(bench.store.StateOf("N-43"));
    QCOMPARE(QString("%1 %2").arg(n42).arg(n43), states);
    const QByteArray number = passed ? record.mid(10).toLatin1() : held;  // the terminal's after
    if (!differs && !record.isEmpty())
      QCOMPARE(bench.terminal.Memory().Bytes(2048, 32).split('\0').first(), number);
  }
  void ctrlCInEveryStep_data() {
    QTest::addColumn<int>("step");  // Station::Step at which Ctrl-C comes
    QTest::addColumn<QString>("record");
    using S = Station::Step;
    const auto row = [](S step, const char* record) {
      QTest::newRow(qPrintable(Station::StepName(step))) << int(step) << record;
    };
    row(S::Wait, "");
    row(S::Identity, "COM1 fail identity  interrupted");
    row(S::Serial, "COM1 fail serial  interrupted");  // another client holds the database
    row(S::Write, "COM1 fail write N-100 interrupted");
    row(S::Verify, "COM1 fail verify N-100 interrupted");
    row(S::Record, "COM1 fail record N-100 interrupted");  // held by another client too
  }
  void ctrlCInEveryStep() {
    QFETCH(int, step);
    QFETCH(QString, record);
    using S = Station::Step;
    Bench bench("N-100");
    bench.Start();
    if (S(step) == S::Serial || S(step) == S::Record) {
      QVERIFY(bench.RunTo(S(step) == S::Serial ? S::Wait : S::Verify));
      bench.Other("BEGIN IMMEDIATE");
    }
    QVERIFY(bench.RunTo(Station::Step(step)));
    bench.station->Stop();
    bench.Other("ROLLBACK");
    QVERIFY(bench.clock.RunUntil([&] { return bench.station->Finished(); }, 2s));
    QCOMPARE(bench.Record().join(""), record);
    QCOMPARE(bench.store.StateOf("N-100"), record.contains("N-100") ? State::Void : State::Unknown);
  }
  void loopUntilCtrlC() {
    Bench bench("N-100");
    bench.settings.loop = true;
    bench.Start();
    QVERIFY(bench.Run([&] { return bench.station->Passed() == 1; }));
    bench.clock.RunFor(5s);  // the same terminal still attached: no second unit
    QCOMPARE(bench.Record(), QStringList{"COM1 pass N-100"});
    bench.link.AttachDevice(nullptr);  // taken away
    bench.clock.RunFor(3s);
    TerminalModel next;
    bench.link.AttachDevice(&next);
    QVERIFY(bench.RunTo(Station::Step::Verify));
    bench.station->Stop();
    QVERIFY(bench.Run([&] { return bench.station->Finished(); }));
    QCOMPARE(bench.Record(),
             (QStringList{"COM1 pass N-100", "COM1 fail verify N-101 interrupted"}));
  }
};

QTEST_GUILESS_MAIN(TestProduction)
#include "tst_production.moc"
