// Port numbers, the port scan and the remembered port, against a settings
// store in a temporary file and real pseudo-terminals mapped to port numbers.
#include "link/PortCatalog.h"
#include "link/QtSettingsStore.h"

#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <utility>

/// A pseudo-terminal whose slave a port number can be mapped to.
struct Pty {
  int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  QString path = master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0
                     ? QString::fromLocal8Bit(::ptsname(master))
                     : QString();
  ~Pty() { ::close(master); }
};

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
  void refresh_data() {
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("port");  // chosen, and remembered for the next run
    QTest::newRow("remembered present") << "7" << 1 << 7;
    QTest::newRow("remembered absent") << "5" << 0 << 3;
  }
  void refresh() {
    QFETCH(QString, remembered);
    QFETCH(int, selected);
    QFETCH(int, port);
    Pty three, seven;
    QVERIFY(catalog_->Map(3, three.path) && catalog_->Map(7, seven.path));
    QVERIFY(catalog_->Map(9, dir_.filePath("gone")));  // device file missing
    QVERIFY(catalog_->Map(5, "/dev/null"));            // exists, but is no serial port
    store_->SetValue("ComPort", remembered);
    const PortCatalog::Selection s = catalog_->Refresh(catalog_->RecallPort());
    QCOMPARE(s.entries.size(), 2);
    QCOMPARE(s.entries[0].text + ' ' + s.entries[1].text,
             "COM3 (" + three.path.mid(5) + ") COM7 (" + seven.path.mid(5) + ")");
    QCOMPARE(s.selectedIndex, selected);
    QCOMPARE(s.portNumber, port);
    QCOMPARE(QtSettingsStore(StorePath()).Value("ComPort"), QString::number(port));
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
    QtSettingsStore readOnly("/proc/tr5906-no-such-dir/TR5906.conf");
    QVERIFY(!PortCatalog(readOnly).RememberPort(3));  // the choice holds for this run only
  }
  void storeTakesInAnotherProgramsChange() {
    QVERIFY(store_->SetValue("ComPort", "3"));
    QFile file(StorePath());  // tr5906ctl, say, with a length of its own: file times are
    QVERIFY(file.open(QIODevice::WriteOnly));  // coarser than the two writes are apart
    file.write("[General]\nComPort=15\n");
    file.close();
    QVERIFY(store_->SetValue("ComPort", "3"));
    QCOMPARE(QtSettingsStore(StorePath()).Value("ComPort"), "3");
  }
};

QTEST_GUILESS_MAIN(TestPortCatalog)
#include "tst_portcatalog.moc"
