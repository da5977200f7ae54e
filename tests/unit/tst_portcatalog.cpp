// Port numbers, the port scan and the remembered port, against a settings
// store in a temporary file and real pseudo-terminals mapped to port numbers.
#include "link/PortCatalog.h"
#include "link/QtSettingsStore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

namespace {

/// A pseudo-terminal pair whose slave a port number can be mapped to.
class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0)
      path_ = QString::fromLocal8Bit(::ptsname(master_));
  }
  ~Pty() {
    if (master_ >= 0) ::close(master_);
  }
  QString Path() const { return path_; }

 private:
  int master_ = -1;
  QString path_;
};

}  // namespace

class TestPortCatalog : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  std::unique_ptr<QtSettingsStore> store_;
  std::unique_ptr<PortCatalog> catalog_;

  QString StorePath() const { return dir_.filePath(QStringLiteral("TR5906.conf")); }
  QString FileText() const {
    QFile file(StorePath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }

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
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("stored");
    QTest::newRow("remembered present") << "7" << 1 << 7 << "7";
    QTest::newRow("remembered absent") << "5" << 0 << 3 << "3";
    QTest::newRow("nothing remembered") << "" << 0 << 3 << "3";
  }
  void refresh() {
    QFETCH(QString, remembered);
    QFETCH(int, selected);
    QFETCH(int, port);
    QFETCH(QString, stored);
    Pty three, seven;
    QVERIFY(catalog_->Map(3, three.Path()));
    QVERIFY(catalog_->Map(7, seven.Path()));
    QVERIFY(catalog_->Map(9, dir_.filePath(QStringLiteral("gone"))));  // device file missing
    QVERIFY(catalog_->Map(5, QStringLiteral("/dev/null")));  // exists, but is no serial port
    if (!remembered.isEmpty()) store_->SetValue(QStringLiteral("ComPort"), remembered);

    const PortCatalog::Selection s = catalog_->Refresh(catalog_->RecallPort());
    QCOMPARE(s.entries.size(), 2);
    QCOMPARE(s.entries[0].text, "COM3 (" + three.Path().mid(5) + ")");
    QCOMPARE(s.entries[1].text, "COM7 (" + seven.Path().mid(5) + ")");
    QCOMPARE(s.selectedIndex, selected);
    QCOMPARE(s.portNumber, port);
    // Stored, and found again by the next run.
    QtSettingsStore again(StorePath());
    QCOMPARE(PortCatalog(again).RecallPort(), port);
    QVERIFY(FileText().contains("ComPort=" + stored));
  }

  void noPortGivesAnEmptyListAndStoresNothing() {
    catalog_->Map(4, dir_.filePath(QStringLiteral("missing")));
    QStringList probed;
    catalog_->SetProber([&probed](const QString& device) {
      probed << device;
      return true;
    });
    const PortCatalog::Selection s = catalog_->Refresh(6);
    QVERIFY(s.entries.isEmpty());
    QCOMPARE(s.selectedIndex, -1);
    QCOMPARE(s.portNumber, 6);
    QVERIFY(probed.isEmpty());  // a missing device file is not even tried
    QVERIFY(!FileText().contains("ComPort"));
  }

  void newSystemDevicesGetTheLowestFreeNumbers() {
    catalog_->Map(1, QStringLiteral("/dev/ttyS0"));
    catalog_->Map(3, QStringLiteral("/dev/ttyACM0"));
    QStringList devices = {"/dev/ttyS0", "/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyUSB2"};
    catalog_->SetDeviceLister([&devices] { return devices; });
    QCOMPARE(catalog_->AssignSystemDevices(), (QList<int>{2, 4, 5}));
    QCOMPARE(catalog_->DeviceFor(4), QStringLiteral("/dev/ttyUSB1"));
    // A later run with USB0 unplugged: the numbers stay, nothing new is given.
    devices.removeAt(1);
    QtSettingsStore again(StorePath());
    PortCatalog next(again);
    next.SetDeviceLister([&devices] { return devices; });
    QVERIFY(next.AssignSystemDevices().isEmpty());
    QCOMPARE(next.DeviceFor(2), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(next.Mappings().size(), 5);
  }

  void mappingRules() {
    QVERIFY(!catalog_->Map(0, QStringLiteral("/dev/ttyS0")));
    QVERIFY(!catalog_->Map(100, QStringLiteral("/dev/ttyS0")));
    QVERIFY(!catalog_->Map(5, QStringLiteral("  ")));
    QVERIFY(catalog_->Map(99, QStringLiteral("/dev/pts/3")));
    QCOMPARE(catalog_->DeviceFor(99), QStringLiteral("/dev/pts/3"));
    catalog_->Unmap(99);
    QVERIFY(catalog_->DeviceFor(99).isEmpty());
    store_->SetValue(QStringLiteral("Ports/COM0"), QStringLiteral("/dev/a"));
    store_->SetValue(QStringLiteral("Ports/other"), QStringLiteral("/dev/b"));
    QVERIFY(catalog_->Mappings().isEmpty());
  }

  void rememberedPortText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("12") << "12" << 12;
    QTest::newRow("blanks") << " 7 " << 7;
    QTest::newRow("letters") << "abc" << 1;
    QTest::newRow("0") << "0" << 1;
    QTest::newRow("100") << "100" << 1;
    QTest::newRow("negative") << "-3" << 1;
  }
  void rememberedPortText() {
    QFETCH(QString, text);
    QFETCH(int, port);
    store_->SetValue(QStringLiteral("ComPort"), text);
    QCOMPARE(catalog_->RecallPort(), port);
  }

  void entryNumbers_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("number");
    QTest::newRow("COM12") << "COM12" << 12;
    QTest::newRow("with device") << "COM7 (ttyUSB0)" << 7;
    QTest::newRow("COM99") << "COM99 (pts/12)" << 99;
    QTest::newRow("no number") << "COM" << 0;
  }
  void entryNumbers() {
    QFETCH(QString, entry);
    QFETCH(int, number);
    QCOMPARE(PortCatalog::NumberOfEntry(entry), number);
  }

  void storeTakesInAnotherProgramsChange() {
    QVERIFY(store_->SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    {
      QFile file(StorePath());  // tr5906ctl, say
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      // A length of its own: file times are coarser than the two writes are apart.
      file.write("[General]\nComPort=15\n");
    }
    QVERIFY(store_->SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    QVERIFY(FileText().contains("ComPort=3"));
  }

  void unwritableStoreKeepsTheChoiceForTheRun() {
    QtSettingsStore readOnly(QStringLiteral("/proc/tr5906-no-such-dir/TR5906.conf"));
    PortCatalog catalog(readOnly);
    QVERIFY(!catalog.RememberPort(3));
    QVERIFY(!readOnly.SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    QVERIFY(!catalog.Map(3, QStringLiteral("/dev/ttyS0")));
  }
};

QTEST_GUILESS_MAIN(TestPortCatalog)
#include "tst_portcatalog.moc"
