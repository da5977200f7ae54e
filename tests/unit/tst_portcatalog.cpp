// Port numbers and the remembered port in a settings store in a temporary
// file. The selection rules of a refresh are checked through the window's port
// list (tst_formmain), real devices through tr5906ctl ports (tst_ctl_e2e).
#include "FileBytes.h"
#include "link/PortCatalog.h"
#include "link/QtSettingsStore.h"

#include <QtTest>

#include <memory>

class TestPortCatalog : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  std::unique_ptr<QtSettingsStore> store_;
  std::unique_ptr<PortCatalog> catalog_;

  QString StorePath() const { return dir_.filePath(QStringLiteral("TR5906.conf")); }

 private Q_SLOTS:
  void init() {
    QFile::remove(StorePath());
    store_ = std::make_unique<QtSettingsStore>(StorePath());
    catalog_ = std::make_unique<PortCatalog>(*store_);
    catalog_->SetDeviceLister([] { return QStringList(); });  // no system devices here
  }
  void newSystemDevicesGetTheLowestFreeNumbers() {
    catalog_->Map(1, "/dev/ttyS0");
    catalog_->Map(3, "/dev/ttyACM0");
    QStringList devices = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"};
    catalog_->SetDeviceLister([&devices] { return devices; });
    QCOMPARE(catalog_->AssignSystemDevices(), (QList<int>{2, 4, 5}));
    devices.removeAt(1);  // a later run with USB0 unplugged: the numbers stay
    QtSettingsStore again(StorePath());
    PortCatalog next(again);
    next.SetDeviceLister([&devices] { return devices; });
    QVERIFY(next.AssignSystemDevices().isEmpty());
    QCOMPARE(next.DeviceFor(2) + next.DeviceFor(4), "/dev/ttyUSB0/dev/ttyUSB1");
  }
  void numbers() {
    QVERIFY(!catalog_->Map(0, "/dev/ttyS0") && !catalog_->Map(100, "/dev/ttyS0"));
    QVERIFY(!catalog_->Map(5, "  "));
    QCOMPARE(PortCatalog::NumberOfEntry("COM12 (ttyUSB0)"), 12);
    for (const auto& [text, port] : {std::pair{"abc", 1}, {"0", 1}, {"100", 1}, {" 12 ", 12}}) {
      store_->SetValue("ComPort", text);
      QCOMPARE(catalog_->RecallPort(), port);
    }
    catalog_->Map(4, "/dev/null");
    catalog_->SetProber([](const QString&) { return true; });  // opens anything
    QCOMPARE(catalog_->Refresh(12).portNumber, 4);  // 12 absent: the first port, remembered
    QCOMPARE(QtSettingsStore(StorePath()).Value("ComPort"), "4");
  }
  void storeTakesInAnotherProgramsChange() {
    QVERIFY(store_->SetValue("ComPort", "3"));
    // tr5906ctl, say; a length of its own, as file times are coarse
    QVERIFY(!WriteFile(StorePath(), "[General]\nComPort=15\n").isEmpty());
    QVERIFY(store_->SetValue("ComPort", "3"));
    QCOMPARE(QtSettingsStore(StorePath()).Value("ComPort"), "3");
  }
};

QTEST_GUILESS_MAIN(TestPortCatalog)
#include "tst_portcatalog.moc"
