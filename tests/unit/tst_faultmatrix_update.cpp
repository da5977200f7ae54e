// The fault matrix of the firmware update: the transfer against every boot
// loader fault that applies, on the virtual clock. Every case checks the
// outcome and the messages, that it ends once within a bounded virtual time,
// that the port is closed afterwards, that no block reaches outside the
// firmware image, that the flash holds nothing but the file's bytes, and,
// after every success, the whole file.
#include <QtTest>

#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "tst_faultmatrix.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"

using namespace std::chrono_literals;

namespace {

enum class Fault {
  None,
  Silent,
  SilentFirst,
  WrongHandshake,
  RefuseFirst,
  RefuseMiddle,
  RefuseLast,
  RefuseMiddleOnce,
  Garbage,
  HangUp,
  SlowBeyond,
  SlowInside,
  SilentAfterBlock,
  RefusingVersion,
  LateBlock,
  LateBlockNextRefused,
};

const char* FaultName(Fault f) {
  static const char* names[] = {"no fault",
                                "silent",
                                "silent on the first try",
                                "wrong handshake",
                                "refusal of the first block",
                                "refusal of a middle block",
                                "refusal of the last block",
                                "refusal of a middle block, once",
                                "garbage",
                                "hang-up in the middle",
                                "answers slower than the time-out",
                                "answers just inside the time-out",
                                "silence after a data block",
                                "refusing version",
                                "a block answered late, rewrites accepted",
                                "a block answered late, the next one refused once"};
  return names[static_cast<int>(f)];
}

// Three blocks across a page boundary: 08010780 (128), erase 08010800,
// 08010800 (128), 08010880 (64), then go.
constexpr uint32_t kStart = 0x08010780;
constexpr uint32_t kEnd = 0x080108BF;
const QString kApp = QStringLiteral("9600,E,7,1");

uint8_t PlainByte(uint32_t address) { return static_cast<uint8_t>(address * 29 + 3); }

struct Expect {
  bool ok;
  QStringList prompts;
};

Expect Expected(Fault f) {
  const QString failedAt = QStringLiteral("读写失败,地址 = ");
  switch (f) {
    case Fault::Silent:
    case Fault::SlowBeyond:
      return {false, {"检测连接！重试或取消？"}};
    case Fault::WrongHandshake:
    case Fault::RefuseMiddleOnce:
    case Fault::SilentAfterBlock:
    case Fault::None:
    case Fault::SilentFirst:
    case Fault::SlowInside:
    case Fault::LateBlock:
    case Fault::LateBlockNextRefused:
      return {true, {}};
    case Fault::RefuseFirst:
      return {false, {failedAt + "08010780"}};
    case Fault::RefuseMiddle:
      return {false, {failedAt + "08010800"}};
    case Fault::RefuseLast:
      return {false, {failedAt + "08010880"}};
    case Fault::Garbage:  // never 'y': refusals and time-outs until the question
      return {false, {"检测连接！重试或取消？"}};
    case Fault::HangUp:
      return {false, {"请重新选择端口！"}};
    case Fault::RefusingVersion:
      return {false, {"升级版本比机器版本低！禁止升级！"}};
  }
  return {false, {}};
}

}  // namespace

Q_DECLARE_METATYPE(Fault)

class TestFaultMatrixUpdate : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void update_data() {
    QTest::addColumn<Fault>("fault");
    for (int f = 0; f <= static_cast<int>(Fault::LateBlockNextRefused); ++f)
      QTest::newRow((QByteArray("firmware update / ") + FaultName(Fault(f))).constData())
          << Fault(f);
  }

  void update() {
    QFETCH(Fault, fault);
    const Expect e = Expected(fault);

    ManualClock clock;
    BootLoaderModel loader;
    loader.SetApplicationSettings(kApp);
    FaultyLine line(loader);
    FakeSerialLink link(clock, &line);
    ScriptedPrompts prompts;
    RecordingSink sink;
    FirmwareImage image;
    QByteArray plain;
    for (uint32_t a = kStart; a <= kEnd; ++a) plain.append(static_cast<char>(PlainByte(a)));
    QVERIFY(image.StoreData(kStart, reinterpret_cast<const uint8_t*>(plain.constData()),
                            static_cast<int>(plain.size())));

    switch (fault) {
      case Fault::None:
        break;
      case Fault::Silent:
        link.AttachDevice(nullptr);
        break;
      case Fault::SilentFirst:
        loader.EnterBootLoader();  // the first start frame is the one it should answer
        line.dropFirstAnswer = true;
        break;
      case Fault::WrongHandshake:
        line.replaceFirstAnswer = "xUU\x10";
        break;
      case Fault::RefuseFirst:
        loader.SetRefuseBlock(0);
        break;
      case Fault::RefuseMiddle:
        loader.SetRefuseBlock(1);
        break;
      case Fault::RefuseLast:
        loader.SetRefuseBlock(2);
        break;
      case Fault::RefuseMiddleOnce:
        loader.SetRefuseBlock(1, 1);
        break;
      case Fault::Garbage:
        line.noise = true;
        break;
      case Fault::HangUp:
        line.hangUpAfterBytes = 4 + 4 + 6 + 7 + 129 + 6 + 7 + 60;
        break;
      case Fault::SlowBeyond:
        line.delay = 1100ms;
        break;
      case Fault::SlowInside:
        line.delay = 990ms;
        break;
      case Fault::SilentAfterBlock:
        loader.SetSilentAfterBlock(1, 1);
        break;
      case Fault::RefusingVersion:
        loader.SetVersion(0x11);
        break;
      case Fault::LateBlock:
        loader.SetLateBlock(1);
        break;
      case Fault::LateBlockNextRefused:
        // Block index 2 is the repeat of the late block; 3 the next one.
        loader.SetLateBlock(1);
        loader.SetRefuseBlock(3, 1);
        break;
    }
    // A message box runs an event loop of its own: time passes while it is open.
    prompts.SetHook([&clock](const ScriptedPrompts::Prompt&) { clock.RunFor(3s); });

    FirmwareTransfer transfer(link, clock, prompts, sink, image);
    transfer.SetPortNumber(4);
    transfer.SetLinkSettings(kApp);
    int finished = 0;
    bool outcome = false;
    transfer.SetFinishedHandler([&](bool ok) {
      ++finished;
      outcome = ok;
    });
    QVERIFY(transfer.Start());
    QCOMPARE(finished, 0);
    QVERIFY2(clock.RunUntil([&] { return finished > 0; }, 10min), "did not end within the bound");
    const auto elapsed = clock.Elapsed();
    clock.RunFor(30s);

    ReportCase(
        QStringLiteral("firmware update / %1").arg(FaultName(fault)),
        QStringLiteral("%1; prompts [%2]").arg(e.ok ? "ok" : "failed", e.prompts.join(", ")),
        QStringLiteral("%1; prompts [%2]; %3 s")
            .arg(outcome ? "ok" : "failed", prompts.Texts().join(", "))
            .arg(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 1000.0, 0,
                 'f', 1));

    QCOMPARE(finished, 1);
    QCOMPARE(outcome, e.ok);
    QCOMPARE(transfer.OperationSucceeded(), e.ok);
    QVERIFY(!transfer.Running());
    QVERIFY(!link.IsOpen());
    QCOMPARE(prompts.Texts(), e.prompts);
    QCOMPARE(sink.Lines(), e.ok ? QStringList{"升级成功！"} : QStringList{});

    // Every block announced lies inside the image and the flash.
    for (const QByteArray& frame : link.Writes()) {
      if (frame.size() != 7 || frame.at(0) != 'U' || frame.at(1) != 0x02) continue;
      uint32_t address = 0;
      for (int b = 0; b < 4; ++b) address |= uint32_t{uint8_t(frame.at(2 + b))} << (8 * b);
      const int count = uint8_t(frame.at(6));
      QVERIFY(address >= kStart && address + count - 1 <= kEnd);
    }
    // The flash holds the file's bytes where anything was programmed, and
    // nothing outside the file.
    for (uint32_t a = 0x08010000; a < 0x08011000; ++a) {
      const uint8_t byte = loader.FlashByte(a);
      const bool inFile = a >= kStart && a <= kEnd;
      QVERIFY2(byte == 0xFF || (inFile && byte == PlainByte(a)),
               qPrintable(QString::number(a, 16)));
      if (e.ok && inFile) QCOMPARE(byte, PlainByte(a));
    }
    QCOMPARE(loader.ApplicationStarted(), e.ok);
    if (fault == Fault::RefusingVersion) QVERIFY(loader.Erases().isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestFaultMatrixUpdate)
#include "tst_faultmatrix_update.moc"
