// The update window: its progress, its refusal to close mid-way, the whole update.
#include <QtTest>
#include <QtWidgets>

#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "FileBytes.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"
#include "update/FormProcess.h"

using namespace std::chrono_literals;

namespace {

/// The seams of one update; `driver` moves the virtual clock while a modal
/// window runs its own loop.
struct Rig {
  ManualClock clock;
  BootLoaderModel loader;
  FakeSerialLink link{clock, &loader};
  ScriptedPrompts prompts;
  RecordingSink sink;
  QTimer driver;
  FirmwareImage image;
  FirmwareTransfer transfer{link, clock, prompts, sink, image};

  explicit Rig(int bytes = 0) {
    loader.SetApplicationSettings("9600,N,8,1");
    QObject::connect(&driver, &QTimer::timeout, [this] { clock.RunFor(50ms); });
    if (bytes == 0) driver.start(0);
    const QByteArray data(bytes, 'x');
    image.StoreData(0x08010000, reinterpret_cast<const uint8_t*>(data.constData()), bytes);
  }
};

}  // namespace

class TestFormProcess : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void showsProgressAndClosesAtTheEnd() {
    Rig rig(0x200);
    rig.transfer.SetPortNumber(4);
    rig.transfer.SetLinkSettings("9600,N,8,1");
    FormProcess form(rig.transfer);
    auto* label = form.findChild<QLabel*>("LabelProcess");
    auto* bar = form.findChild<QProgressBar*>("ProgressBarProcess");
    QCOMPARE(label->text(), "完成进度:0%");
    form.show();
    QTRY_VERIFY(rig.transfer.Running());
    QCOMPARE(form.windowTitle(), "更新固件");
    QVERIFY(rig.clock.RunUntil([&] { return rig.transfer.CurrentAddress() >= 0x08010100; }));
    QCOMPARE(label->text(), "完成进度:50%");
    QCOMPARE(bar->value(), 501);  // of 1000: 256 of 511 bytes
    // Neither closing nor Esc breaks off a flash write.
    form.close();
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(form.isVisible());
    QVERIFY(rig.clock.RunUntil([&] { return !form.isVisible(); }));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(label->text(), "完成进度:100%");
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(rig.sink.Lines(), QStringList{"升级成功！"});
  }

  void runFirmwareUpdate_data() {
    QTest::addColumn<QString>("file");  // "": cancelled
    QTest::addColumn<bool>("port");
    QTest::addColumn<QStringList>("prompts");
    const QString data = TR5906_TEST_DATA "/firmware_%1.hex";
    QTest::newRow("good") << data.arg("linear") << true << QStringList{"Open", "升级成功"};
    QTest::newRow("no port") << data.arg("linear") << false
                             << QStringList{"Open", "请重新选择端口！"};
    QTest::newRow("bad checksum") << data.arg("badsum") << true << QStringList{"Open", "文档有误"};
    QTest::newRow("cancelled") << QString() << true << QStringList{"Open"};
  }

  void runFirmwareUpdate() {
    QFETCH(QString, file);
    QFETCH(bool, port);
    QFETCH(QStringList, prompts);
    Rig rig;
    if (!port) rig.link.SetPresentPorts({});
    rig.prompts.QueueFile(file);
    const bool good = prompts.last() == "升级成功";
    QCOMPARE(RunFirmwareUpdate(nullptr, rig.prompts, rig.link, rig.clock, rig.sink, 7, "9600,N,8,1",
                               false),
             good);
    QCOMPARE(rig.prompts.Texts(), prompts);
    QCOMPARE(rig.sink.Lines(), good ? QStringList{"升级成功！"} : QStringList{});
    QVERIFY(!rig.link.IsOpen());
    if (!good) return;
    QCOMPARE(rig.link.Port(), 7);
    const QByteArray flash = ReadFile(TR5906_TEST_DATA "/firmware_linear.bin");
    for (uint32_t a = 0x0801FFC0; a <= 0x080204FF; ++a)
      QCOMPARE(rig.loader.FlashByte(a), uint8_t(flash.at(a - 0x0801FFC0)));
  }
};

QTEST_MAIN(TestFormProcess)
#include "tst_formprocess.moc"
