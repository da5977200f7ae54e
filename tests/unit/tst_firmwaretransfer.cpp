#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"

#include <QtTest>

#include <memory>
#include <utility>

using namespace std::chrono_literals;

namespace {

const QString kBoot = QStringLiteral("19200,N,8,1");
const QString kApp = QStringLiteral("9600,E,7,1");

uint8_t PlainByte(uint32_t address) { return static_cast<uint8_t>((address * 31 + 7) >> 2); }

// Answers `answer` ('n', or nothing) to the first `times` command frames of
// one kind, otherwise lets the boot loader answer.
class RefusingDevice : public SimDevice {
 public:
  RefusingDevice(BootLoaderModel& loader, uint8_t command, int times,
                 const QByteArray& answer = "n")
      : loader_(loader), command_(command), times_(times), answer_(answer) {}
  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    if (times_ != 0 && loader_.InBootLoader() && bytes.size() >= 6 && bytes[0] == 'U' &&
        static_cast<uint8_t>(bytes[1]) == command_) {
      if (times_ > 0) --times_;
      return DeviceReply{answer_, 0ms, false};
    }
    return loader_.Receive(bytes, settings);
  }

 private:
  BootLoaderModel& loader_;
  uint8_t command_;
  int times_;
  QByteArray answer_;
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

QStringList Repeated(const QStringList& steps, int times) {
  QStringList all;
  for (int i = 0; i < times; ++i) all += steps;
  return all;
}

// The steps of a plan: both start frames, `middle` ("|"-separated), then go.
QStringList Plan(const QString& middle) {
  return QStringList{"start 19200,N,8,1", "start 9600,E,7,1"} + middle.split('|') +
         QStringList{"go 08010000"};
}

}  // namespace

class TestFirmwareTransfer : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void blockPlan_data() {
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<QStringList>("steps");
    const QString two = "write 08010000 128|data 128|write 08010080 128|data 128";
    QTest::newRow("two whole blocks")
        << 0x08010000u << 0x080100FFu << Plan("erase 08010000|" + two);
    QTest::newRow("start inside a block")
        << 0x08010010u << 0x080100FFu
        << Plan("erase 08010010|write 08010010 112|data 112|write 08010080 128|data 128");
    QTest::newRow("short last block")
        << 0x08010000u << 0x08010105u << Plan("erase 08010000|" + two + "|write 08010100 6|data 6");
    QTest::newRow("page boundary") << 0x08010780u << 0x08010880u
                                   << Plan(
                                          "erase 08010780|write 08010780 128|data 128|"
                                          "erase 08010800|write 08010800 128|data 128|"
                                          "write 08010880 1|data 1");
    QTest::newRow("one byte after a block")
        << 0x08010000u << 0x08010080u
        << Plan("erase 08010000|write 08010000 128|data 128|write 08010080 1|data 1");
    QTest::newRow("one byte after a page")
        << 0x080107F0u << 0x08010800u
        << Plan(
               "erase 080107F0|write 080107F0 16|data 16|erase 08010800|write 08010800 128|"
               "data 128");
    QTest::newRow("one-byte image")
        << 0x08010005u << 0x08010005u << Plan("erase 08010005|write 08010005 123|data 123");
    QTest::newRow("top of the flash")
        << 0x08041F80u << 0x08041FFFu << Plan("erase 08041F80|write 08041F80 128|data 128");
  }

  void blockPlan() {
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(QStringList, steps);
    Rig rig;
    rig.Fill(start, end);
    QVERIFY(rig.Run());
    QCOMPARE(rig.Steps(), steps);
    QVERIFY(rig.outcome);
    QVERIFY(rig.FlashMatches(start, end));
    QCOMPARE(rig.loader.GoAddress(), 0x08010000u);
    QCOMPARE(rig.labels.last(), QStringLiteral("完成进度:100%"));
    QCOMPARE(rig.fractions.last(), 1.0);
    QCOMPARE(rig.caption, QStringLiteral("更新固件"));
    QCOMPARE(rig.transfer->CurrentState(), FirmwareTransfer::State::Finished);
  }

  void dataBlocksCarryTheScrambledBytesAndTheirXor() {
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

  void progress() {
    QCOMPARE(FirmwareTransfer::ProgressText(0), QStringLiteral("完成进度:%"));
    QCOMPARE(FirmwareTransfer::ProgressText(7), QStringLiteral("完成进度:7%"));
    QCOMPARE(FirmwareTransfer::Percent(4, 1000), 0);  // 0.4 %
    QCOMPARE(FirmwareTransfer::Percent(5, 1000), 1);  // 0.5 % rounds up
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
  }

  void versionCheck_data() {
    // A version above 0x10 is refused: tst_faultmatrix_update, tst_update_e2e.
    QTest::addColumn<int>("version");
    QTest::newRow("0x10") << 0x10;
    QTest::newRow("0x00") << 0x00;
  }

  void versionCheck() {
    QFETCH(int, version);
    Rig rig;
    rig.loader.SetVersion(static_cast<uint8_t>(version));
    rig.Fill(0x08010000, 0x0801000F);
    QVERIFY(rig.Run());
    QVERIFY(rig.outcome);
    // The application answered at its settings: the erase follows at the boot
    // loader's settings, 100 ms later.
    ManualClock::Duration answered{0};
    for (const FakeSerialLink::WireEvent& e : rig.link.WireLog()) {
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

  // The start frame's answer: only "U" "U" in bytes 1 and 2 with a version of
  // 0x11 or more is refused; an answer that arrives byte by byte is taken whole.
  void startAnswer_data() {
    QTest::addColumn<QByteArray>("answer");  // in place of the boot loader's; "": its own
    QTest::addColumn<bool>("refused");
    QTest::newRow("version 0x11") << QByteArray("yUU\x11") << true;
    QTest::newRow("U, then another letter") << QByteArray("yUB\x30") << false;
    QTest::newRow("byte by byte") << QByteArray() << false;
  }
  void startAnswer() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, refused);
    struct Replace : SimDevice {
      SimDevice* inner = nullptr;
      QByteArray answer;
      DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
        DeviceReply reply = inner->Receive(bytes, settings);
        if (!reply.bytes.isEmpty() && !answer.isEmpty()) reply.bytes = std::exchange(answer, {});
        return reply;
      }
    } device;
    Rig rig;
    device.inner = &rig.loader;
    device.answer = answer;
    rig.link.AttachDevice(&device);
    if (answer.isEmpty()) rig.link.SetWireTimePerByte(std::chrono::microseconds(1042));
    rig.Fill(0x08010000, 0x0801000F);
    QVERIFY(rig.Run());
    QCOMPARE(rig.outcome, !refused);
    QCOMPARE(rig.prompts.Texts(),
             refused ? QStringList{"升级版本比机器版本低！禁止升级！"} : QStringList{});
  }

  void bootLoaderReachedDirectly() {
    Rig rig;
    rig.loader.EnterBootLoader();
    rig.loader.SetVersion(0x30);  // not checked: byte 1 of the answer is not 'U'
    rig.Fill(0x08010000, 0x0801007F);
    QVERIFY(rig.Run());
    QVERIFY(rig.outcome);
    QCOMPARE(rig.link.OpenCount(), 1);  // answered at once, no switch
    QCOMPARE(rig.link.WriteSettings(), QStringList(rig.link.WriteSettings().size(), kBoot));
  }

  void silentStartAlternatesSettingsAndAsks() {
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
    QCOMPARE(rig.prompts.Texts(), QStringList(2, "检测连接！重试或取消？"));
    QVERIFY(!rig.link.IsOpen());
    QList<ManualClock::Duration> times;  // one second between tries
    for (const auto& e : rig.link.WireLog())
      if (e.type == FakeSerialLink::WireEvent::Type::Write) times.append(e.at);
    QCOMPARE(times[1] - times[0], ManualClock::Duration(1000ms));

    // The answer comes after the question was answered Retry: the question
    // starts the count anew, and the next start frame went unanswered again.
    Rig late;
    late.link.AttachDevice(nullptr);
    late.Fill(0x08010000, 0x0801000F);
    late.prompts.QueueRetry(true);
    late.prompts.SetHook(
        [&](const ScriptedPrompts::Prompt&) { late.link.AttachDevice(&late.loader); });
    QVERIFY(late.Run(std::chrono::minutes(1)));
    QVERIFY(late.outcome);
    QCOMPARE(late.prompts.Count(ScriptedPrompts::Type::AskRetry), 1);
    QCOMPARE(late.transfer->ErrorCount(), 1);

    Rig english;
    english.link.AttachDevice(nullptr);
    english.Fill(0x08010000, 0x0801000F);
    QVERIFY(english.Start());
    english.transfer->SetLanguageEnglish(true);
    QVERIFY(english.clock.RunUntil([&] { return english.finishedCount > 0; }));
    QCOMPARE(english.prompts.Texts(), QStringList{"Check connection!Retry or cancel?"});
  }

  // Refusals and lost answers once the boot loader is reached (at once, so no
  // time-out enters the count): a few are repeated at once, ten repeats end it.
  void repeats_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("times");
    QTest::addColumn<uint>("end");
    QTest::addColumn<QString>("step");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("errors");  // -1: not checked
    QTest::addColumn<QString>("prompt");
    QTest::newRow("block refused three times")
        << "refuse block 1" << 3 << 0x0801017Fu << "write 08010080 128" << 4 << 3 << "";
    QTest::newRow("block always refused")
        << "refuse block 1" << -1 << 0x0801017Fu << "write 08010080 128" << 11 << -1
        << "读写失败,地址 = 08010080";
    QTest::newRow("erase refused four times")
        << "refuse erase" << 4 << 0x0801007Fu << "erase 08010000" << 5 << 4 << "";
    QTest::newRow("erase always refused") << "refuse erase" << -1 << 0x0801007Fu << "erase 08010000"
                                          << 11 << -1 << "读写失败,地址 = 08010000";
    QTest::newRow("block answer lost once")
        << "silent after block 2" << 1 << 0x080101FFu << "write 08010100 128" << 2 << 1 << "";
    QTest::newRow("silent after every try") << "silent after block 0" << -1 << 0x0801007Fu
                                            << "data 128" << 6 << -1 << "检测连接！重试或取消？";
  }

  void repeats() {
    QFETCH(QString, fault);
    QFETCH(int, times);
    QFETCH(uint, end);
    QFETCH(QString, step);
    QFETCH(int, sent);
    QFETCH(int, errors);
    QFETCH(QString, prompt);
    Rig rig;
    rig.loader.EnterBootLoader();
    RefusingDevice refusing(rig.loader, 0x01, times);
    if (fault == "refuse block 1") rig.loader.SetRefuseBlock(1, times);
    if (fault == "refuse erase") rig.link.AttachDevice(&refusing);
    if (fault == "silent after block 2") rig.loader.SetSilentAfterBlock(2, times);
    if (fault == "silent after block 0") rig.loader.SetSilentAfterBlock(0, times);
    rig.Fill(0x08010000, end);
    QVERIFY(rig.Run());
    const bool ok = prompt.isEmpty();
    QCOMPARE(rig.outcome, ok);
    QCOMPARE(rig.Steps().count(step), sent);
    if (errors >= 0) QCOMPARE(rig.transfer->ErrorCount(), errors);
    QCOMPARE(rig.prompts.Texts(), ok ? QStringList{} : QStringList{prompt});
    QVERIFY(!rig.link.IsOpen());
    QCOMPARE(rig.loader.ApplicationStarted(), ok);
    if (ok) QVERIFY(rig.FlashMatches(0x08010000, end));
    if (!ok) QVERIFY(rig.sink.Lines().isEmpty());
    if (fault == "silent after block 2")  // the same block again, not the whole image
      QVERIFY(rig.Steps().join('|').contains(
          "write 08010100 128|data 128|write 08010100 128|data 128|write 08010180 128"));
  }

  // A message box runs its own event loop: time passes and an answer
  // ("yBL" and a version, long enough for any step) arrives while it is
  // open. Nothing may move the update on meanwhile.
  void answersWhileAMessageBoxIsOpen_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("prompt");
    QTest::addColumn<QStringList>("steps");  // the steps after the start frames
    QTest::newRow("time-out question, then Retry")
        << "erase unanswered 6 times"
        << "检测连接！重试或取消？"
        << QStringList{"erase 08010000", "erase 08010000", "erase 08010000", "erase 08010000",
                       "erase 08010000", "erase 08010000", "erase 08010000", "write 08010000 128",
                       "data 128",       "go 08010000"};
    QTest::newRow("transfer failure")
        << "block always refused"
        << "读写失败,地址 = 08010000"
        << QStringList{"erase 08010000"} + Repeated({"write 08010000 128", "data 128"}, 10);
    QTest::newRow("version refusal") << "version 0x11"
                                     << "升级版本比机器版本低！禁止升级！" << QStringList{};
  }

  void answersWhileAMessageBoxIsOpen() {
    QFETCH(QString, fault);
    QFETCH(QString, prompt);
    QFETCH(QStringList, steps);
    Rig rig;
    RefusingDevice silentErase(rig.loader, 0x01, 6, QByteArray());
    if (fault == "erase unanswered 6 times") rig.link.AttachDevice(&silentErase);
    if (fault == "block always refused") rig.loader.SetRefuseBlock(0);
    if (fault == "version 0x11") rig.loader.SetVersion(0x11);
    rig.prompts.QueueRetry(true);
    rig.prompts.SetHook([&](const ScriptedPrompts::Prompt&) {
      rig.link.InjectReceive(QByteArray("yBL\x10", 4), 100ms);
      rig.clock.RunFor(3s);
    });
    rig.Fill(0x08010000, 0x0801000F);
    QVERIFY(rig.Run());
    const bool ok = fault == "erase unanswered 6 times";
    QCOMPARE(rig.outcome, ok);
    QCOMPARE(rig.prompts.Texts(), QStringList{prompt});
    QCOMPARE(rig.Steps().mid(2), steps);
    QCOMPARE(rig.loader.ApplicationStarted(), ok);
    if (ok) QVERIFY(rig.FlashMatches(0x08010000, 0x0801000F));
  }

  // Answers that come after the time-out: the repeat waits for a quiet line,
  // and two answers where one is due end the update as failed.
  void lateAnswers_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("steps");  // the steps from the second block on
    QTest::newRow("block answered late")
        << "late block 1" << true
        << "write 08010080 128|data 128|write 08010080 128|data 128|write 08010100 128|data "
           "128|go 08010000";
    QTest::newRow("late answer then the next block refused")
        << "late block 1, refuse block 3 once" << true
        << "write 08010080 128|data 128|write 08010080 128|data 128|write 08010100 128|data "
           "128|write 08010100 128|data 128|go 08010000";
    QTest::newRow("two answers at once")
        << "stray byte after block 1" << false << "write 08010080 128|data 128";
  }

  void lateAnswers() {
    QFETCH(QString, fault);
    QFETCH(bool, ok);
    QFETCH(QString, steps);
    Rig rig;
    rig.loader.EnterBootLoader();
    if (fault.startsWith("late block 1")) rig.loader.SetLateBlock(1);
    // Block 2 is the late block's repeat, block 3 the next one.
    if (fault.endsWith("refuse block 3 once")) rig.loader.SetRefuseBlock(3, 1);
    // The answer to the second data block comes with a byte of noise.
    struct Stray : SimDevice {
      SimDevice* inner = nullptr;
      int blocks = 0;
      DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
        DeviceReply reply = inner->Receive(bytes, settings);
        if (bytes.size() == 129 && ++blocks == 2) reply.bytes.append('\x80');
        return reply;
      }
    } stray;
    stray.inner = &rig.loader;
    if (fault == "stray byte after block 1") rig.link.AttachDevice(&stray);
    rig.Fill(0x08010000, 0x0801017F);
    QVERIFY(rig.Run());
    QCOMPARE(rig.outcome, ok);
    const QString all = rig.Steps().join('|');
    QVERIFY2(all.contains("write 08010000 128|data 128|" + steps), qPrintable(all));
    QCOMPARE(rig.loader.ApplicationStarted(), ok);
    if (ok) QVERIFY(rig.FlashMatches(0x08010000, 0x0801017F));
    if (!ok) QCOMPARE(rig.prompts.Texts(), QStringList{"读写失败,地址 = 08010080"});
  }

  void portCannotBeOpened() {
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

  void failedWriteEndsTheUpdate() {
    Rig rig;
    rig.Fill(0x08010000, 0x08010FFF);
    QVERIFY(rig.Start());
    QVERIFY(rig.clock.RunUntil([&] { return rig.link.Writes().size() >= 5; }));
    rig.link.FailWrites(1);
    QVERIFY(rig.clock.RunUntil([&] { return rig.finishedCount > 0; }));
    QVERIFY(!rig.outcome);
    QVERIFY(!rig.link.IsOpen());
    QVERIFY(rig.clock.RunAll());  // nothing left running
    QCOMPARE(rig.finishedCount, 1);
  }

  void startNeedsDataAndOneAtATime() {
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
};

QTEST_GUILESS_MAIN(TestFirmwareTransfer)
#include "tst_firmwaretransfer.moc"
