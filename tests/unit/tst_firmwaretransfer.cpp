// The firmware transfer against the simulated boot loader on the virtual
// clock: the order on the wire, the start answer, repeats and questions.
// Faults of the line and of the boot loader: tst_faultmatrix_update.
#include <QtTest>

#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "tst_faultmatrix.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"

using namespace std::chrono_literals;

namespace {

uint8_t PlainByte(uint32_t address) { return static_cast<uint8_t>((address * 31 + 7) >> 2); }

struct Rig {
  ManualClock clock;
  BootLoaderModel loader;
  FakeSerialLink link{clock, &loader};
  ScriptedPrompts prompts;
  RecordingSink sink;
  FirmwareImage image;
  FirmwareTransfer transfer{link, clock, prompts, sink, image};
  int finished = 0;
  bool outcome = false;
  QStringList labels;

  Rig(uint32_t start, uint32_t end) {
    loader.SetApplicationSettings("9600,E,7,1");
    QByteArray bytes;
    for (uint32_t a = start; a <= end; ++a) bytes.append(static_cast<char>(PlainByte(a)));
    image.StoreData(start, reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
    transfer.SetPortNumber(3);
    transfer.SetLinkSettings("9600,E,7,1");
    transfer.SetProgressHandler([this](double, const QString& text) { labels << text; });
    transfer.SetFinishedHandler([this](bool ok) { ++finished, outcome = ok; });
  }
  bool Run() {
    return transfer.Start() && clock.RunUntil([this] { return finished > 0; });
  }
  // The wire as steps: "start 19200", "erase 10000", "write 10000 128", "data", "go 10000"
  // (addresses less 0x08000000, in hex).
  QString Steps() const {
    QStringList steps;
    int announced = -1;
    for (const auto& e : link.WireLog()) {
      const QByteArray& b = e.bytes;
      quint32 a = 0;
      for (int i = 5; i >= 2 && b.size() >= 6; --i) a = a << 8 | uint8_t(b[i]);
      const QString at = QString::number(a - 0x08000000, 16).toUpper();
      if (e.type != FakeSerialLink::WireEvent::Type::Write) continue;
      if (std::exchange(announced, -1) + 1 == b.size())
        steps << "data";
      else if (b == "UPD\x11")
        steps << "start " + e.settings.section(',', 0, 0);
      else if (b.size() == 6 && b[1] == 1)
        steps << "erase " + at;
      else if (b.size() == 7 && b[1] == 2)
        steps << QString("write %1 %2").arg(at).arg(announced = uint8_t(b[6]));
      else
        steps << (b.size() == 6 && b[1] == 3 ? "go " + at : "? " + b.toHex());
    }
    return steps.join('|');
  }
  bool FlashHolds(uint32_t start, uint32_t end) const {
    for (uint32_t a = start; a <= end; ++a)
      if (loader.FlashByte(a) != PlainByte(a)) return false;
    return true;
  }
};

}  // namespace

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
        "erase 10010|write 10010 112|data|write 10080 128|data");
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
    QVERIFY(rig.FlashHolds(start, end));
    QCOMPARE(rig.labels.last(), QString("完成进度:100%"));
    if (!labels.isEmpty()) QCOMPARE(rig.labels, labels.split('|'));
  }

  void checkByteAndProgress() {
    QCOMPARE(FirmwareTransfer::CheckByte(QByteArray::fromHex("010203")), uint8_t{0});
    QCOMPARE(FirmwareTransfer::CheckByte(QByteArray::fromHex("F00F55")), uint8_t{0xAA});
    QCOMPARE(FirmwareTransfer::Percent(4, 1000), 0);
    QCOMPARE(FirmwareTransfer::Percent(5, 1000), 1);  // half a percent rounds up
    QCOMPARE(FirmwareTransfer::ProgressText(0), QString("完成进度:%"));
    QCOMPARE(FirmwareTransfer::ProgressText(7), QString("完成进度:7%"));
  }

  // Only "y" "U" "U" and a version of 0x11 or more refuses; byte 1 "U" switches
  // to the boot loader's settings with a 100 ms pause before the erase.
  void startAnswer_data() {
    QTest::addColumn<QByteArray>("answer");  // in place of the boot loader's; "": its own
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<bool>("switched");
    QTest::newRow("version 0x10") << QByteArray() << 0x10 << false << true;
    QTest::newRow("version 0x00") << QByteArray() << 0x00 << false << true;
    QTest::newRow("version 0x11") << QByteArray() << 0x11 << true << false;
    QTest::newRow("U, then another letter") << QByteArray("yUB\x30") << 0x10 << false << true;
    QTest::newRow("boot loader reached directly") << QByteArray("-") << 0x30 << false << false;
    QTest::newRow("byte by byte") << QByteArray("1") << 0x10 << false << true;
  }
  void startAnswer() {
    QFETCH(QByteArray, answer);
    QFETCH(int, version);
    QFETCH(bool, refused);
    QFETCH(bool, switched);
    Rig rig(0x08010000, 0x0801000F);
    FaultyLine line(rig.loader);
    if (answer.size() == 4) line.replaceFirstAnswer = answer;
    rig.link.AttachDevice(&line);
    rig.loader.SetVersion(uint8_t(version));
    if (answer == "-") rig.loader.EnterBootLoader();
    if (answer == "1") rig.link.SetWireTimePerByte(1042us);
    QVERIFY(rig.Run());
    QCOMPARE(rig.outcome, !refused);
    QCOMPARE(rig.prompts.Texts(),
             refused ? QStringList{"升级版本比机器版本低！禁止升级！"} : QStringList());
    ManualClock::Duration answered{-1};
    for (const auto& e : rig.link.WireLog()) {
      if (e.type == FakeSerialLink::WireEvent::Type::Receive && answered.count() < 0)
        answered = e.at;
      if (e.type != FakeSerialLink::WireEvent::Type::Write || e.bytes.size() != 6 ||
          e.bytes[1] != 1)
        continue;
      QCOMPARE(e.settings, QString("19200,N,8,1"));
      QCOMPARE(e.at - answered >= 100ms, switched);
    }
    if (!refused) QCOMPARE(rig.link.OpenCount(), switched ? 3 : 1);  // a switch opens again
  }

  // The first question is answered Retry, the next Cancel. A message box runs
  // its own event loop: time passes, and an answer long enough for any step
  // arrives while it is open; nothing may move the update on meanwhile. Data
  // blocks once in the boot loader: the same block again, until the tenth error.
  void failures_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("prompts");
    QTest::addColumn<QString>("steps");  // the last ones
    const QString check = "检测连接！重试或取消？", english = "Check connection!Retry or cancel?";
    const QString starts = QString("start 19200|start 9600|").repeated(3);
    const QString second = "write 10080 128|data|",
                  rest = "write 10100 128|data|write 10180 128|data|go 10000";
    const auto row = [](const char* name, const QStringList& prompts, const QString& steps) {
      QTest::newRow(name) << QString(name) << prompts << steps;
    };
    row("silent", {check, check}, starts + starts.chopped(1));
    row("silent, in English", {english, english}, starts + starts.chopped(1));
    row("silent until the question", {check},
        starts + "start 19200|start 9600|erase 10000|write 10000 128|data|" + second + rest);
    row("block refused three times", {}, "data|" + second.repeated(4) + rest);
    row("block always refused", {"读写失败,地址 = 08010080"},
        "erase 10000|write 10000 128|data|" + second.repeated(11).chopped(1));
    row("block answer lost once", {}, "data|" + second.repeated(2) + rest);
    row("block answer always lost", {check, check}, "data|" + second.repeated(12).chopped(1));
    row("version refusal", {"升级版本比机器版本低！禁止升级！"}, "start 19200|start 9600");
  }
  void failures() {
    QFETCH(QString, fault);
    QFETCH(QStringList, prompts);
    QFETCH(QString, steps);
    Rig rig(0x08010000, 0x080101FF);
    if (fault.startsWith("silent")) rig.link.AttachDevice(nullptr);
    if (fault.startsWith("block")) rig.loader.EnterBootLoader();  // no time-out in the count
    if (fault.endsWith("refused") || fault.contains("refused three"))
      rig.loader.SetRefuseBlock(1, fault.contains("three") ? 3 : -1);
    if (fault.contains("answer"))
      rig.loader.SetSilentAfterBlock(1, fault.contains("once") ? 1 : -1);
    if (fault == "version refusal") rig.loader.SetVersion(0x11);
    rig.transfer.SetLanguageEnglish(fault.contains("English"));
    rig.prompts.QueueRetry(true);
    rig.prompts.SetHook([&](const ScriptedPrompts::Prompt&) {
      rig.link.InjectReceive(QByteArray("yBL\x10", 4), 100ms);
      rig.clock.RunFor(3s);
      if (fault.contains("until")) rig.link.AttachDevice(&rig.loader);
    });
    QVERIFY(rig.Run());
    const bool ok = prompts.isEmpty() || fault.contains("until");
    QCOMPARE(rig.outcome, ok);
    QVERIFY(!rig.link.IsOpen());
    QCOMPARE(rig.prompts.Texts(), prompts);
    QVERIFY2(rig.Steps().endsWith(steps), qPrintable(rig.Steps()));
    QCOMPARE(rig.FlashHolds(0x08010000, 0x080101FF), ok);
    const auto& log = rig.link.WireLog();  // a second between start frames
    if (fault == "silent") QCOMPARE(log.at(3).at - log.at(1).at, 1000ms);
  }

  void portWriteAndStartFailures() {
    Rig absent(0x08010000, 0x0801000F);
    absent.link.SetPresentPorts({5});
    QVERIFY(absent.Run() && !absent.outcome);
    QCOMPARE(absent.prompts.Texts(), QStringList{"请重新选择端口！"});
    QVERIFY(absent.link.Writes().isEmpty());
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
