// The fault matrix of the firmware update on the virtual clock: three blocks
// across a page boundary (08010780 128 bytes, erase 08010800, 08010800 128,
// 08010880 64, go). Each case: the outcome and the message boxes, one end
// within a bounded time, the port closed, no block outside the image, nothing
// in the flash but the file's bytes, and after a success the whole file.
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

constexpr uint32_t kStart = 0x08010780, kEnd = 0x080108BF;

uint8_t PlainByte(uint32_t address) { return static_cast<uint8_t>(address * 29 + 3); }

}  // namespace

class TestFaultMatrixUpdate : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void update_data() {
    QTest::addColumn<QString>("prompt");  // the one message box; empty: a success
    const QString failedAt = "读写失败,地址 = ", check = "检测连接！重试或取消？";
    for (const char* fault :
         {"no fault", "silent on the first try", "wrong handshake",
          "refusal of a middle block, once", "silence after a data block",
          "answers just inside the time-out", "a block answered late, rewrites accepted",
          "a block answered late, the next one refused once"})
      QTest::addRow("firmware update / %s", fault) << QString();
    QTest::newRow("firmware update / silent") << check;
    QTest::newRow("firmware update / answers slower than the time-out") << check;
    QTest::newRow("firmware update / garbage") << check;  // never 'y'
    QTest::newRow("firmware update / refusal of the first block") << failedAt + "08010780";
    QTest::newRow("firmware update / refusal of a middle block") << failedAt + "08010800";
    QTest::newRow("firmware update / refusal of the last block") << failedAt + "08010880";
    QTest::newRow("firmware update / hang-up in the middle") << "请重新选择端口！";
    QTest::newRow("firmware update / refusing version") << "升级版本比机器版本低！禁止升级！";
  }

  void update() {
    QFETCH(QString, prompt);
    const QString fault = QString(QTest::currentDataTag()).section(" / ", 1);
    const bool ok = prompt.isEmpty();
    ManualClock clock;
    BootLoaderModel loader;
    loader.SetApplicationSettings("9600,E,7,1");
    FaultyLine line(loader);
    FakeSerialLink link(clock, &line);
    ScriptedPrompts prompts;
    RecordingSink sink;
    FirmwareImage image;
    QByteArray plain;
    for (uint32_t a = kStart; a <= kEnd; ++a) plain.append(static_cast<char>(PlainByte(a)));
    QVERIFY(image.StoreData(kStart, reinterpret_cast<const uint8_t*>(plain.constData()),
                            static_cast<int>(plain.size())));
    if (fault == "silent") link.AttachDevice(nullptr);
    if (fault == "silent on the first try") loader.EnterBootLoader();  // answers the first frame
    line.dropFirstAnswer = fault == "silent on the first try";
    if (fault == "wrong handshake") line.replaceFirstAnswer = "xUU\x10";
    if (fault.startsWith("refusal of the first")) loader.SetRefuseBlock(0);
    if (fault == "refusal of a middle block") loader.SetRefuseBlock(1);
    if (fault.startsWith("refusal of the last")) loader.SetRefuseBlock(2);
    if (fault.endsWith("once")) loader.SetRefuseBlock(fault.contains("late") ? 3 : 1, 1);
    if (fault.contains("late")) loader.SetLateBlock(1);  // block 2 is its repeat
    line.noise = fault == "garbage";
    if (fault.startsWith("hang-up")) line.hangUpAfterBytes = 4 + 4 + 6 + 7 + 129 + 6 + 7 + 60;
    if (fault.startsWith("answers")) line.delay = fault.contains("slower") ? 1100ms : 990ms;
    if (fault.startsWith("silence")) loader.SetSilentAfterBlock(1, 1);
    if (fault == "refusing version") loader.SetVersion(0x11);
    // A message box runs an event loop of its own: time passes while it is open.
    prompts.SetHook([&clock](const ScriptedPrompts::Prompt&) { clock.RunFor(3s); });

    FirmwareTransfer transfer(link, clock, prompts, sink, image);
    transfer.SetPortNumber(4);
    transfer.SetLinkSettings("9600,E,7,1");
    int finished = 0;
    bool outcome = false;
    transfer.SetFinishedHandler([&](bool result) {
      ++finished;
      outcome = result;
    });
    QVERIFY(transfer.Start());
    QCOMPARE(finished, 0);
    QVERIFY2(clock.RunUntil([&] { return finished > 0; }, 10min), "did not end within the bound");
    const double seconds = clock.Elapsed() / 1ms / 1000.0;
    clock.RunFor(30s);
    ReportCase(QString("%1; prompts [%2]").arg(ok ? "ok" : "failed", prompt),
               QString("%1; prompts [%2]; %3 s")
                   .arg(outcome ? "ok" : "failed", prompts.Texts().join(", "))
                   .arg(seconds, 0, 'f', 1));
    QCOMPARE(finished, 1);
    QCOMPARE(outcome, ok);
    QCOMPARE(transfer.OperationSucceeded(), ok);
    QVERIFY(!transfer.Running());
    QVERIFY(!link.IsOpen());
    QCOMPARE(prompts.Texts(), ok ? QStringList() : QStringList{prompt});
    QCOMPARE(sink.Lines(), ok ? QStringList{"升级成功！"} : QStringList());
    for (const QByteArray& frame : link.Writes()) {  // every block announced lies in the image
      if (frame.size() != 7 || frame.at(0) != 'U' || frame.at(1) != 0x02) continue;
      uint32_t address = 0;
      for (int b = 0; b < 4; ++b) address |= uint32_t{uint8_t(frame.at(2 + b))} << (8 * b);
      QVERIFY(address >= kStart && address + uint8_t(frame.at(6)) - 1 <= kEnd);
    }
    for (uint32_t a = 0x08010000; a < 0x08011000; ++a) {
      const uint8_t byte = loader.FlashByte(a);
      const bool inFile = a >= kStart && a <= kEnd;
      QVERIFY2(byte == (inFile ? PlainByte(a) : 0xFF) || (!ok && byte == 0xFF),
               qPrintable(QString::number(a, 16)));
    }
    QCOMPARE(loader.ApplicationStarted(), ok);
    if (fault == "refusing version") QVERIFY(loader.Erases().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestFaultMatrixUpdate)
#include "tst_faultmatrix_update.moc"
