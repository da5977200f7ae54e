// The update window: its progress, its refusal to close mid-way, and the
// whole update from the file choice to the last message.
#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"
#include "update/FormProcess.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QtTest>

using namespace std::chrono_literals;

namespace {

// The seams of one update; `driver` moves the virtual clock while a modal
// window runs its own loop.
struct Rig {
  ManualClock clock;
  BootLoaderModel loader;
  FakeSerialLink link{clock, &loader};
  ScriptedPrompts prompts;
  RecordingSink sink;
  QTimer driver;

  Rig() {
    loader.SetApplicationSettings(QStringLiteral("9600,N,8,1"));
    QObject::connect(&driver, &QTimer::timeout, [this] { clock.RunFor(50ms); });
    driver.start(0);
  }
};

const QString kFile = QStringLiteral(TR5906_TEST_DATA "/firmware_linear.hex");
// The first record's checksum is one off.
const QString kBadFile = QStringLiteral(TR5906_TEST_DATA "/firmware_badsum.hex");

}  // namespace

class TestFormProcess : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void showsProgressAndClosesAtTheEnd() {
    Rig rig;
    rig.driver.stop();
    FirmwareImage image;
    QByteArray data(0x200, 'x');
    image.StoreData(0x08010000, reinterpret_cast<const uint8_t*>(data.constData()), data.size());
    FirmwareTransfer transfer(rig.link, rig.clock, rig.prompts, rig.sink, image);
    transfer.SetPortNumber(4);
    transfer.SetLinkSettings(QStringLiteral("9600,N,8,1"));
    FormProcess form(transfer);
    QCOMPARE(form.objectName(), QStringLiteral("FormProcess"));
    auto* label = form.findChild<QLabel*>(QStringLiteral("LabelProcess"));
    auto* bar = form.findChild<QProgressBar*>();
    QVERIFY(label && bar);
    QCOMPARE(label->text(), QStringLiteral("完成进度:0%"));

    form.show();
    QTRY_VERIFY(transfer.Running());
    QCOMPARE(form.windowTitle(), QStringLiteral("更新固件"));
    QVERIFY(rig.clock.RunUntil([&] { return transfer.CurrentAddress() >= 0x08010100; }));
    QCOMPARE(label->text(), QStringLiteral("完成进度:50%"));
    QCOMPARE(bar->value(), (bar->maximum() * 0x100 + 0x1FF / 2) / 0x1FF);

    QVERIFY(rig.clock.RunUntil([&] { return !form.isVisible(); }));
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QVERIFY(form.OperationSucceeded());
    QCOMPARE(label->text(), QStringLiteral("完成进度:100%"));
    QCOMPARE(bar->value(), bar->maximum());
    QCOMPARE(rig.sink.Lines(), QStringList{"升级成功！"});
  }

  void cannotBeClosedWhileWriting() {
    Rig rig;
    rig.driver.stop();
    rig.link.AttachDevice(nullptr);  // nothing answers
    FirmwareImage image;
    const uint8_t byte = 1;
    image.StoreData(0x08010000, &byte, 1);
    FirmwareTransfer transfer(rig.link, rig.clock, rig.prompts, rig.sink, image);
    {
      FormProcess form(transfer);
      form.show();
      QTRY_VERIFY(transfer.Running());
      form.close();
      QTest::keyClick(&form, Qt::Key_Escape);
      QVERIFY(form.isVisible());
      QVERIFY(rig.link.IsOpen());
    }
    // Gone with its window: the port is closed, nothing is left to run.
    QVERIFY(!transfer.Running());
    QVERIFY(!rig.link.IsOpen());
    QVERIFY(rig.clock.RunAll());
  }

  void runFirmwareUpdate_data() {
    QTest::addColumn<QString>("file");  // "": cancelled
    QTest::addColumn<bool>("port");
    QTest::addColumn<QStringList>("prompts");
    QTest::newRow("good") << kFile << true << QStringList{"Open", "升级成功"};
    QTest::newRow("no port") << kFile << false << QStringList{"Open", "请重新选择端口！"};
    QTest::newRow("bad file") << kBadFile << true << QStringList{"Open", "文档有误"};
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
    QCOMPARE(RunFirmwareUpdate(nullptr, rig.prompts, rig.link, rig.clock, rig.sink, 7,
                               QStringLiteral("9600,N,8,1"), false),
             good);
    QCOMPARE(rig.prompts.Texts(), prompts);
    QVERIFY(rig.prompts.LastHex());
    QCOMPARE(rig.prompts.LastFileMode(), Prompts::FileMode::Open);
    QCOMPARE(rig.sink.Lines(), good ? QStringList{"升级成功！"} : QStringList{});
    QVERIFY(!rig.link.IsOpen());
    if (!good) return;
    QCOMPARE(rig.link.Port(), 7);
    for (uint32_t a = 0x0801FFC0; a <= 0x080204FF; ++a)
      QCOMPARE(rig.loader.FlashByte(a), uint8_t(((a - 0x0801FFC0) * 7 + 3) & 0xFF));
  }
};

QTEST_MAIN(TestFormProcess)
#include "tst_formprocess.moc"
