// The fault matrix of the firmware update on the virtual clock: three blocks
// across a page boundary. Each case: the outcome and the message boxes (an
// answer arrives while one is open), one end within a bounded time, the port
// closed, no block outside the image, nothing in the flash but the file's
// bytes, and after a success the whole file.
#include <QtTest>

#include "tst_faultmatrix.h"

using namespace std::chrono_literals;

constexpr uint32_t kStart = 0x08010780, kEnd = 0x080108BF;

class TestFaultMatrixUpdate : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void update_data() {
    QTest::addColumn<QString>("prompt");  // the one message box (answered Cancel); "": a success
    QTest::addColumn<QString>("steps");   // the wire; "": not checked
    const QString check = "检测连接！重试或取消？", failed = "读写失败,地址 = 08010";
    const QString starts = "start 19200|start 9600|", block1 = "erase 10780|write 10780 128|data|";
    const QString block2 = "write 10800 128|data|", rest = "write 10880 64|data|go 10000";
    const auto row = [](const char* fault, const QString& prompt, const QString& steps = {}) {
      QTest::addRow("firmware update / %s", fault) << prompt << steps;
    };
    row("no fault", "", starts + block1 + "erase 10800|" + block2 + rest);
    row("silent", check, starts.repeated(3).chopped(1));
    row("silent, in English", "Check connection!Retry or cancel?");
    row("silent on the first try", "");
    row("boot loader reached directly", "",
        "start 19200|" + block1 + "erase 10800|" + block2 + rest);
    row("wrong handshake", "");
    row("start answered y U B 0x30", "");
    row("start answer byte by byte", "");
    row("refusing version", "升级版本比机器版本低！禁止升级！", starts.chopped(1));
    row("refusal of the first block", failed + "780");
    row("refusal of a middle block", failed + "800",
        starts + block1 + "erase 10800|" + block2.repeated(10).chopped(1));
    row("refusal of the last block", failed + "880");
    row("refusal of a middle block, once", "",
        starts + block1 + "erase 10800|" + block2.repeated(2) + rest);
    row("silence after a data block", "",
        starts + block1 + "erase 10800|" + block2.repeated(2) + rest);
    row("silence after every data block", check,
        starts + "erase 10780|" + QString("write 10780 128|data|").repeated(5).chopped(1));
    row("garbage", check);  // never 'y'
    row("hang-up in the middle", "请重新选择端口！");
    row("answers slower than the time-out", check);
    row("answers just inside the time-out", "");
    row("a block answered late, rewrites accepted", "");
    row("a block answered late, the next one refused once", "");
    // Which frame each belongs to cannot be told: the update never ends as a success.
    row("two answers at once for the first block", failed + "780", starts + block1.chopped(1));
  }

  void update() {
    QFETCH(QString, prompt);
    QFETCH(QString, steps);
    const QString fault = QString(QTest::currentDataTag()).section(" / ", 1);
    const bool ok = prompt.isEmpty();
    UpdateRig rig(kStart, kEnd);
    BootLoaderModel& loader = rig.loader;
    FakeSerialLink& link = rig.link;
    FaultyLine& line = rig.line;
    if (fault.startsWith("silent,") || fault == "silent") link.AttachDevice(nullptr);
    rig.transfer.SetLanguageEnglish(fault.contains("English"));
    if (fault.startsWith("silent on") || fault.startsWith("boot")) loader.EnterBootLoader();
    line.dropFirstAnswer = fault.startsWith("silent on");
    if (fault == "wrong handshake") line.replaceFirstAnswer = "xUU\x10";
    if (fault.contains("y U B")) line.replaceFirstAnswer = "yUB\x30";
    if (fault.contains("byte by byte")) link.SetWireTimePerByte(1042us);
    if (fault == "refusing version") loader.SetVersion(0x11);
    if (fault.startsWith("refusal"))
      loader.SetRefuseBlock(fault.contains("first")  ? 0
                            : fault.contains("last") ? 2
                                                     : 1,
                            fault.endsWith("once") ? 1 : -1);
    if (fault.endsWith("refused once")) loader.SetRefuseBlock(3, 1);
    if (fault.startsWith("silence after a")) loader.SetSilentAfterBlock(1, 1);
    if (fault.startsWith("silence after every")) loader.SetSilentAfterBlock(0, -1);
    if (fault.contains("late")) loader.SetLateBlock(1);  // block 2 is its repeat
    line.noise = fault == "garbage";
    if (fault.startsWith("two answers")) line.twice = 3;  // start, erase, write, block
    if (fault.startsWith("hang-up")) line.hangUpAfterBytes = 4 + 4 + 6 + 7 + 129 + 6 + 7 + 60;
    if (fault.startsWith("answers")) line.delay = fault.contains("slower") ? 1100ms : 990ms;
    rig.prompts.SetHook([&](const ScriptedPrompts::Prompt&) {
      link.InjectReceive(QByteArray("yBL\x10", 4), 100ms);
      rig.clock.RunFor(3s);
    });
    QVERIFY(rig.transfer.Start());
    QCOMPARE(rig.finished, 0);
    QVERIFY2(rig.clock.RunUntil([&] { return rig.finished > 0; }, 10min), "did not end in time");
    const double seconds = rig.clock.Elapsed() / 1ms / 1000.0;
    rig.clock.RunFor(30s);
    ReportCase(QString("%1; prompts [%2]").arg(ok ? "ok" : "failed", prompt),
               QString("%1; prompts [%2]; %3 s")
                   .arg(rig.outcome ? "ok" : "failed", rig.prompts.Texts().join(", "))
                   .arg(seconds, 0, 'f', 1));
    QCOMPARE(rig.finished, 1);
    QCOMPARE(rig.outcome, ok);
    QCOMPARE(rig.transfer.OperationSucceeded(), ok);
    QVERIFY(!rig.transfer.Running() && !link.IsOpen());
    QCOMPARE(rig.prompts.Texts(), ok ? QStringList() : QStringList{prompt});
    QCOMPARE(rig.sink.Lines(), ok ? QStringList{"升级成功！"} : QStringList());
    if (!steps.isEmpty()) QCOMPARE(rig.Steps(), steps);
    for (const QByteArray& frame : link.Writes()) {  // every block announced lies in the image
      if (frame.size() != 7 || frame.at(0) != 'U' || frame.at(1) != 0x02) continue;
      uint32_t address = 0;
      for (int b = 0; b < 4; ++b) address |= uint32_t{uint8_t(frame.at(2 + b))} << (8 * b);
      QVERIFY(address >= kStart && address + uint8_t(frame.at(6)) - 1 <= kEnd);
    }
    for (uint32_t a = 0x08010000; a < 0x08011000; ++a) {
      const uint8_t byte = loader.FlashByte(a);
      const bool inFile = a >= kStart && a <= kEnd;
      QVERIFY2(byte == (inFile ? UpdateRig::Plain(a) : 0xFF) || (!ok && byte == 0xFF),
               qPrintable(QString::number(a, 16)));
    }
    QCOMPARE(loader.ApplicationStarted(), ok);
  }
};

QTEST_GUILESS_MAIN(TestFaultMatrixUpdate)
#include "tst_faultmatrix_update.moc"
