#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"
#include "update/IntelHexReader.h"

#include <QtTest>

#include <memory>

using namespace std::chrono_literals;

namespace {

const QString kBoot = QStringLiteral("19200,N,8,1");
const QString kApp = QStringLiteral("9600,E,7,1");

uint8_t PlainByte(uint32_t address) { return static_cast<uint8_t>((address * 31 + 7) >> 2); }

// Answers 'n' to the first `times` command frames of one kind, otherwise
// lets the boot loader answer.
class RefusingDevice : public SimDevice {
 public:
  RefusingDevice(BootLoaderModel& loader, uint8_t command, int times)
      : loader_(loader), command_(command), times_(times) {}
  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    if (times_ != 0 && loader_.InBootLoader() && bytes.size() >= 6 && bytes[0] == 'U' &&
        static_cast<uint8_t>(bytes[1]) == command_) {
      if (times_ > 0) --times_;
      return DeviceReply{QByteArray(1, 'n'), 0ms, false};
    }
    return loader_.Receive(bytes, settings);
  }

 private:
  BootLoaderModel& loader_;
  uint8_t command_;
  int times_;
};

// A transfer against the simulated boot loader on the virtual clock.
struct Rig {
  ManualClock clock;
  BootLoaderModel loader;
  FakeSerialLink link{clock, &loader};
  ScriptedPrompts prompts;
  RecordingSink sink;
  FirmwareImage image;
  std::unique_ptr<FirmwareTransfer> transfer;
  int finishedCount = 0;
  bool outcome = false;
  QStringList labels;
  QList<double> fractions;
  QString caption;

  Rig() { loader.SetApplicationSettings(kApp); }

  void Fill(uint32_t start, uint32_t end) {
    QByteArray bytes;
    for (uint32_t a = start; a <= end; ++a) bytes.append(static_cast<char>(PlainByte(a)));
    QVERIFY(image.StoreData(start, reinterpret_cast<const uint8_t*>(bytes.constData()),
                            static_cast<int>(bytes.size())));
  }

  bool Start() {
    transfer = std::make_unique<FirmwareTransfer>(link, clock, prompts, sink, image);
    transfer->SetPortNumber(3);
    transfer->SetLinkSettings(kApp);
    transfer->SetProgressHandler([this](double f, const QString& text) {
      fractions.append(f);
      labels.append(text);
    });
    transfer->SetCaptionHandler([this](const QString& text) { caption = text; });
    transfer->SetFinishedHandler([this](bool ok) {
      ++finishedCount;
      outcome = ok;
    });
    return transfer->Start();
  }

  // Runs to the end; false if the update never finishes.
  bool Run(ManualClock::Duration limit = std::chrono::minutes(10)) {
    if (!Start()) return false;
    return clock.RunUntil([this] { return finishedCount > 0; }, limit);
  }

  // The writes as readable steps: "start 19200,N,8,1", "erase 08010000",
  // "write 08010000 128", "data 129", "go 08010000".
  QStringList Steps() const {
    QStringList steps;
    int announced = -1;
    for (const FakeSerialLink::WireEvent& e : link.WireLog()) {
      if (e.type != FakeSerialLink::WireEvent::Type::Write) continue;
      const QByteArray& b = e.bytes;
      const auto address = [&] {
        uint32_t a = 0;
        for (int i = 0; i < 4; ++i) a |= uint32_t{static_cast<uint8_t>(b[2 + i])} << (8 * i);
        return QString::number(a, 16).rightJustified(8, '0').toUpper();
      };
      if (announced >= 0 && b.size() == announced + 1) {
        steps.append(QStringLiteral("data %1").arg(announced));
        announced = -1;
      } else if (b == QByteArray("UPD\x11")) {
        steps.append("start " + e.settings);
      } else if (b.size() == 6 && b[0] == 'U' && b[1] == 1) {
        steps.append("erase " + address());
      } else if (b.size() == 7 && b[0] == 'U' && b[1] == 2) {
        announced = static_cast<uint8_t>(b[6]);
        steps.append(QStringLiteral("write %1 %2").arg(address()).arg(announced));
      } else if (b.size() == 6 && b[0] == 'U' && b[1] == 3) {
        steps.append("go " + address());
      } else {
        steps.append("? " + b.toHex());
      }
    }
    return steps;
  }

  // Every byte from start to end is in the flash as the file has it.
  bool FlashMatches(uint32_t start, uint32_t end) const {
    for (uint32_t a = start; a <= end; ++a) {
      if (loader.FlashByte(a) != PlainByte(a)) {
        qWarning("flash differs at %08X", a);
        return false;
      }
    }
    return true;
  }
};

}  // namespace

class TestFirmwareTransfer : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void blockPlan_data();
  void blockPlan();
  void dataBlocksCarryTheScrambledBytesAndTheirXor();
  void wholeFileLandsInFlash();
  void progress();
  void versionCheck_data();
  void versionCheck();
  void bootLoaderReachedDirectly();
  void startAlternatesSettings();
  void timeoutQuestion();
  void refusedBlockIsRepeated();
  void refusedBlockPastTheLimit();
  void refusedCommandPastTheLimit();
  void lostBlockAnswerIsRepeated();
  void silentAfterBlockAsksTheUser();
  void portCannotBeOpened();
  void deviceVanishes();
  void startNeedsData();
};

void TestFirmwareTransfer::blockPlan_data() {
  QTest::addColumn<uint>("start");
  QTest::addColumn<uint>("end");
  QTest::addColumn<QStringList>("steps");
  const QString s = "start 19200,N,8,1";
  const QString a = "start 9600,E,7,1";
  QTest::newRow("two whole blocks") << 0x08010000u << 0x080100FFu
                                    << QStringList{s,
                                                   a,
                                                   "erase 08010000",
                                                   "write 08010000 128",
                                                   "data 128",
                                                   "write 08010080 128",
                                                   "data 128",
                                                   "go 08010000"};
  QTest::newRow("start inside a block") << 0x08010010u << 0x080100FFu
                                        << QStringList{s,
                                                       a,
                                                       "erase 08010010",
                                                       "write 08010010 112",
                                                       "data 112",
                                                       "write 08010080 128",
                                                       "data 128",
                                                       "go 08010000"};
  QTest::newRow("short last block") << 0x08010000u << 0x08010105u
                                    << QStringList{s,
                                                   a,
                                                   "erase 08010000",
                                                   "write 08010000 128",
                                                   "data 128",
                                                   "write 08010080 128",
                                                   "data 128",
                                                   "write 08010100 6",
                                                   "data 6",
                                                   "go 08010000"};
  QTest::newRow("page boundary") << 0x08010780u << 0x08010880u
                                 << QStringList{s,
                                                a,
                                                "erase 08010780",
                                                "write 08010780 128",
                                                "data 128",
                                                "erase 08010800",
                                                "write 08010800 128",
                                                "data 128",
                                                "write 08010880 1",
                                                "data 1",
                                                "go 08010000"};
  QTest::newRow("one byte after a block") << 0x08010000u << 0x08010080u
                                          << QStringList{s,
                                                         a,
                                                         "erase 08010000",
                                                         "write 08010000 128",
                                                         "data 128",
                                                         "write 08010080 1",
                                                         "data 1",
                                                         "go 08010000"};
  QTest::newRow("one byte after a page") << 0x080107F0u << 0x08010800u
                                         << QStringList{s,
                                                        a,
                                                        "erase 080107F0",
                                                        "write 080107F0 16",
                                                        "data 16",
                                                        "erase 08010800",
                                                        "write 08010800 128",
                                                        "data 128",
                                                        "go 08010000"};
  QTest::newRow("one-byte image")
      << 0x08010005u << 0x08010005u
      << QStringList{s, a, "erase 08010005", "write 08010005 123", "data 123", "go 08010000"};
  QTest::newRow("top of the flash")
      << 0x08041F80u << 0x08041FFFu
      << QStringList{s, a, "erase 08041F80", "write 08041F80 128", "data 128", "go 08010000"};
}

void TestFirmwareTransfer::blockPlan() {
  QFETCH(uint, start);
  QFETCH(uint, end);
  QFETCH(QStringList, steps);
  Rig rig;
  rig.Fill(start, end);
  QVERIFY(rig.Run());
  QCOMPARE(rig.Steps(), steps);
  QVERIFY(rig.outcome);
  QCOMPARE(rig.finishedCount, 1);
  QVERIFY(rig.transfer->OperationSucceeded());
  QVERIFY(!rig.link.IsOpen());
  QCOMPARE(rig.sink.Lines(), QStringList{"升级成功！"});
  QVERIFY(rig.prompts.Asked().isEmpty());
  QVERIFY(rig.FlashMatches(start, end));
  QVERIFY(rig.loader.ApplicationStarted());
  QCOMPARE(rig.loader.GoAddress(), 0x08010000u);
  QCOMPARE(rig.labels.last(), QStringLiteral("完成进度:100%"));
  QCOMPARE(rig.fractions.last(), 1.0);
  QCOMPARE(rig.caption, QStringLiteral("更新固件"));
  QCOMPARE(rig.transfer->CurrentState(), FirmwareTransfer::State::Finished);
}

void TestFirmwareTransfer::dataBlocksCarryTheScrambledBytesAndTheirXor() {
  QCOMPARE(FirmwareTransfer::CheckByte(QByteArray::fromHex("010203")), uint8_t{0});
  QCOMPARE(FirmwareTransfer::CheckByte(QByteArray::fromHex("F00F55")), uint8_t{0xAA});
  Rig rig;
  rig.Fill(0x08010010, 0x0801008F);
  QVERIFY(rig.Run());
  const QList<QByteArray> writes = rig.link.Writes();
  int blocks = 0;
  for (int i = 1; i < writes.size(); ++i) {
    const QByteArray& frame = writes[i - 1];
    if (!(frame.size() == 7 && frame[1] == 2)) continue;
    const QByteArray& block = writes[i];
    const int n = static_cast<uint8_t>(frame[6]);
    QCOMPARE(block.size(), n + 1);
    const uint32_t address = 0x08010010 + (blocks == 0 ? 0 : 0x70);
    QCOMPARE(block.left(n), rig.image.StoredBytes(address, n));
    QCOMPARE(static_cast<uint8_t>(block[n]), FirmwareTransfer::CheckByte(block.left(n)));
    ++blocks;
  }
  QCOMPARE(blocks, 2);
}

void TestFirmwareTransfer::wholeFileLandsInFlash() {
  Rig rig;
  IntelHexReader reader(rig.image);
  QVERIFY(reader.ReadFile(TR5906_TEST_DATA "/firmware_linear.hex"));
  QVERIFY(rig.Run());
  QVERIFY(rig.outcome);
  // The file's bytes, and around them what a block or page carries along.
  for (uint32_t a = 0x0800FFC0; a <= 0x080104FF; ++a) {
    QCOMPARE(rig.loader.FlashByte(a), uint8_t(((a - 0x0800FFC0) * 7 + 3) & 0xFF));
  }
  QCOMPARE(rig.loader.Erases(), (QList<uint32_t>{0x0800FFC0, 0x08010000}));
  QCOMPARE(rig.loader.FlashByte(0x0800FFBF), uint8_t{0xFF});  // erased, not written
}

void TestFirmwareTransfer::progress() {
  QCOMPARE(FirmwareTransfer::ProgressText(0), QStringLiteral("完成进度:%"));
  QCOMPARE(FirmwareTransfer::ProgressText(7), QStringLiteral("完成进度:7%"));
  QCOMPARE(FirmwareTransfer::Percent(4, 1000), 0);  // 0.4 %
  QCOMPARE(FirmwareTransfer::Percent(5, 1000), 1);  // 0.5 % rounds up
  QCOMPARE(FirmwareTransfer::Percent(1000, 1000), 100);
  QCOMPARE(FirmwareTransfer::Percent(1200, 1000), 100);
  QCOMPARE(FirmwareTransfer::Percent(0, 0), 100);  // a one-byte image

  Rig rig;
  rig.Fill(0x08010000, 0x080100FF);
  QVERIFY(rig.Run());
  QCOMPARE(rig.labels, (QStringList{"完成进度:0%", "完成进度:50%", "完成进度:100%"}));
  QCOMPARE(rig.fractions.first(), 0.0);
  QVERIFY(qAbs(rig.fractions[1] - 128.0 / 255.0) < 1e-9);

  // 256 KB in 128-byte blocks: the first block shows the bare percent sign.
  Rig big;
  big.Fill(0x08000000, 0x0803FFFF);
  QVERIFY(big.Run());
  QVERIFY(big.outcome);
  QCOMPARE(big.labels[1], QStringLiteral("完成进度:%"));
  QCOMPARE(big.labels.size(), 1 + 2048);
  QVERIFY(big.FlashMatches(0x08000000, 0x0803FFFF));
}

void TestFirmwareTransfer::versionCheck_data() {
  QTest::addColumn<int>("version");
  QTest::addColumn<bool>("accepted");
  QTest::newRow("0x10") << 0x10 << true;
  QTest::newRow("0x00") << 0x00 << true;
  QTest::newRow("0x11") << 0x11 << false;
  QTest::newRow("0x12") << 0x12 << false;
}

void TestFirmwareTransfer::versionCheck() {
  QFETCH(int, version);
  QFETCH(bool, accepted);
  Rig rig;
  rig.loader.SetVersion(static_cast<uint8_t>(version));
  rig.Fill(0x08010000, 0x0801000F);
  QVERIFY(rig.Run());
  QCOMPARE(rig.outcome, accepted);
  QVERIFY(!rig.link.IsOpen());
  if (!accepted) {
    QCOMPARE(rig.prompts.Texts(), QStringList{"升级版本比机器版本低！禁止升级！"});
    QCOMPARE(rig.Steps().size(), 2);  // the two start frames, nothing erased
    QVERIFY(rig.loader.Erases().isEmpty());
    QVERIFY(rig.sink.Lines().isEmpty());
    return;
  }
  // The application answered at its settings: the erase follows at the boot
  // loader's settings, 100 ms later.
  const QList<FakeSerialLink::WireEvent>& log = rig.link.WireLog();
  ManualClock::Duration answered{0};
  for (const FakeSerialLink::WireEvent& e : log) {
    if (e.type == FakeSerialLink::WireEvent::Type::Receive && answered.count() == 0) {
      answered = e.at;
      QCOMPARE(e.bytes, QByteArray("yUU") + char(version));
    }
    if (e.type == FakeSerialLink::WireEvent::Type::Write && e.bytes.size() == 6 &&
        e.bytes[1] == 1) {
      QCOMPARE(e.settings, kBoot);
      QVERIFY(e.at - answered >= 100ms);
    }
  }
}

void TestFirmwareTransfer::bootLoaderReachedDirectly() {
  Rig rig;
  rig.loader.EnterBootLoader();
  rig.loader.SetVersion(0x30);  // not checked: byte 1 of the answer is not 'U'
  rig.Fill(0x08010000, 0x0801007F);
  QVERIFY(rig.Run());
  QVERIFY(rig.outcome);
  QCOMPARE(rig.link.OpenCount(), 1);  // answered at once, no switch
  QCOMPARE(rig.Steps().first(), QStringLiteral("start 19200,N,8,1"));
  for (const QString& settings : rig.link.WriteSettings()) QCOMPARE(settings, kBoot);
}

void TestFirmwareTransfer::startAlternatesSettings() {
  Rig rig;
  rig.link.AttachDevice(nullptr);  // nothing answers
  rig.prompts.QueueRetry(true);
  rig.prompts.QueueRetry(false);
  rig.Fill(0x08010000, 0x0801000F);
  QVERIFY(rig.Run());
  QVERIFY(!rig.outcome);
  const QStringList settings = rig.link.WriteSettings();
  // Six sends, the question, Retry, six more, the question, Cancel.
  QCOMPARE(settings.size(), 12);
  for (int i = 0; i < settings.size(); ++i) QCOMPARE(settings[i], i % 2 == 0 ? kBoot : kApp);
  QCOMPARE(rig.prompts.Texts(), (QStringList{"检测连接！重试或取消？", "检测连接！重试或取消？"}));
  QVERIFY(!rig.link.IsOpen());
  // One second between tries.
  const QList<FakeSerialLink::WireEvent>& log = rig.link.WireLog();
  QList<ManualClock::Duration> times;
  for (const auto& e : log)
    if (e.type == FakeSerialLink::WireEvent::Type::Write) times.append(e.at);
  QCOMPARE(times[1] - times[0], ManualClock::Duration(1000ms));
}

void TestFirmwareTransfer::timeoutQuestion() {
  Rig rig;
  rig.transfer.reset();
  rig.link.AttachDevice(nullptr);
  rig.Fill(0x08010000, 0x0801000F);
  QVERIFY(rig.Start());
  // The answer comes after six silent tries: the question was answered Retry.
  rig.prompts.QueueRetry(true);
  rig.prompts.SetHook([&](const ScriptedPrompts::Prompt&) { rig.link.AttachDevice(&rig.loader); });
  QVERIFY(rig.clock.RunUntil([&] { return rig.finishedCount > 0; }, std::chrono::minutes(1)));
  QVERIFY(rig.outcome);
  QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::AskRetry), 1);
  // The question starts the count anew; the next start frame at the boot
  // loader's settings went unanswered again.
  QCOMPARE(rig.transfer->ErrorCount(), 1);

  Rig english;
  english.link.AttachDevice(nullptr);
  english.Fill(0x08010000, 0x0801000F);
  english.transfer = nullptr;
  QVERIFY(english.Start());
  english.transfer->SetLanguageEnglish(true);
  QVERIFY(english.clock.RunUntil([&] { return english.finishedCount > 0; }));
  QCOMPARE(english.prompts.Texts(), QStringList{"Check connection!Retry or cancel?"});
}

void TestFirmwareTransfer::refusedBlockIsRepeated() {
  Rig rig;
  rig.loader.EnterBootLoader();  // answered at once: no time-out in the count
  rig.loader.SetRefuseBlock(1, 3);
  rig.Fill(0x08010000, 0x0801017F);
  QVERIFY(rig.Run());
  QVERIFY(rig.outcome);
  QCOMPARE(rig.transfer->ErrorCount(), 3);
  QCOMPARE(rig.loader.Refusals(), 3);
  QCOMPARE(rig.Steps().count("write 08010080 128"), 4);
  QVERIFY(rig.FlashMatches(0x08010000, 0x0801017F));
}

void TestFirmwareTransfer::refusedBlockPastTheLimit() {
  Rig rig;
  rig.loader.EnterBootLoader();  // answered at once: no time-out in the count
  rig.loader.SetRefuseBlock(1);  // always
  rig.Fill(0x08010000, 0x0801017F);
  QVERIFY(rig.Run());
  QVERIFY(!rig.outcome);
  QCOMPARE(rig.Steps().count("write 08010080 128"), 11);  // the first try and ten repeats
  QCOMPARE(rig.prompts.Texts(), QStringList{"读写失败,地址 = 08010080"});
  QVERIFY(!rig.link.IsOpen());
  QVERIFY(rig.sink.Lines().isEmpty());
  QVERIFY(!rig.loader.ApplicationStarted());
}

void TestFirmwareTransfer::refusedCommandPastTheLimit() {
  // A few refusals are repeated at once...
  {
    Rig rig;
    rig.loader.EnterBootLoader();
    RefusingDevice device(rig.loader, 0x01, 4);
    rig.link.AttachDevice(&device);
    rig.Fill(0x08010000, 0x0801007F);
    QVERIFY(rig.Run());
    QVERIFY(rig.outcome);
    QCOMPARE(rig.Steps().count("erase 08010000"), 5);
    QCOMPARE(rig.transfer->ErrorCount(), 4);
  }
  // ...but a boot loader that never agrees ends the update.
  Rig rig;
  rig.loader.EnterBootLoader();
  RefusingDevice device(rig.loader, 0x01, -1);
  rig.link.AttachDevice(&device);
  rig.Fill(0x08010000, 0x0801007F);
  QVERIFY(rig.Run(std::chrono::seconds(10)));
  QVERIFY(!rig.outcome);
  QCOMPARE(rig.Steps().count("erase 08010000"), 11);
  QCOMPARE(rig.prompts.Texts(), QStringList{"读写失败,地址 = 08010000"});
  QVERIFY(!rig.link.IsOpen());
}

void TestFirmwareTransfer::lostBlockAnswerIsRepeated() {
  Rig rig;
  rig.loader.EnterBootLoader();  // answered at once: no time-out in the count
  rig.loader.SetSilentAfterBlock(2);
  rig.Fill(0x08010000, 0x080101FF);
  QVERIFY(rig.Run());
  QVERIFY(rig.outcome);
  QCOMPARE(rig.transfer->ErrorCount(), 1);
  const QStringList steps = rig.Steps();
  const int first = steps.indexOf("write 08010100 128");
  QCOMPARE(steps.mid(first, 4),
           (QStringList{"write 08010100 128", "data 128", "write 08010100 128", "data 128"}));
  QVERIFY(rig.FlashMatches(0x08010000, 0x080101FF));
}

void TestFirmwareTransfer::silentAfterBlockAsksTheUser() {
  Rig rig;
  rig.loader.EnterBootLoader();  // answered at once: no time-out in the count
  rig.loader.SetSilentAfterBlock(0, -1);
  rig.Fill(0x08010000, 0x0801007F);
  QVERIFY(rig.Run());
  QVERIFY(!rig.outcome);
  QCOMPARE(rig.prompts.Texts(), QStringList{"检测连接！重试或取消？"});
  QCOMPARE(rig.Steps().count("data 128"), 6);
  QVERIFY(!rig.link.IsOpen());
}

void TestFirmwareTransfer::portCannotBeOpened() {
  Rig rig;
  rig.link.SetPresentPorts({5});
  rig.Fill(0x08010000, 0x0801000F);
  QVERIFY(rig.Run());
  QVERIFY(!rig.outcome);
  QCOMPARE(rig.prompts.Texts(), QStringList{"请重新选择端口！"});
  QVERIFY(rig.link.Writes().isEmpty());
  QVERIFY(rig.caption.isEmpty());
  QCOMPARE(rig.finishedCount, 1);
}

void TestFirmwareTransfer::deviceVanishes() {
  Rig rig;
  rig.Fill(0x08010000, 0x08011FFF);
  rig.link.SetWireTimePerByte(1ms);  // the 8 KB take several seconds
  QVERIFY(rig.Start());
  rig.link.ScheduleLost(2500ms);
  QVERIFY(rig.clock.RunUntil([&] { return rig.finishedCount > 0; }));
  QVERIFY(!rig.outcome);
  QCOMPARE(rig.prompts.Texts(), QStringList{"请重新选择端口！"});
  QVERIFY(!rig.link.IsOpen());
  QVERIFY(rig.clock.RunAll());  // nothing left running
  QCOMPARE(rig.finishedCount, 1);

  // A write that fails ends it the same way.
  Rig failing;
  failing.Fill(0x08010000, 0x08010FFF);
  failing.link.FailWrites(0);
  QVERIFY(failing.Start());
  QVERIFY(failing.clock.RunUntil([&] { return failing.link.Writes().size() >= 5; }));
  failing.link.FailWrites(1);
  QVERIFY(failing.clock.RunUntil([&] { return failing.finishedCount > 0; }));
  QVERIFY(!failing.outcome);
  QVERIFY(!failing.link.IsOpen());
}

void TestFirmwareTransfer::startNeedsData() {
  Rig rig;
  QVERIFY(!rig.Start());  // an empty image
  QVERIFY(rig.link.WireLog().isEmpty());
  rig.Fill(0x08010000, 0x0801000F);
  QVERIFY(rig.Start());
  QVERIFY(!rig.transfer->Start());  // already running
  rig.transfer->Cancel();
  QVERIFY(!rig.link.IsOpen());
  QVERIFY(rig.clock.RunAll());
  QCOMPARE(rig.finishedCount, 0);
}

QTEST_GUILESS_MAIN(TestFirmwareTransfer)
#include "tst_firmwaretransfer.moc"
