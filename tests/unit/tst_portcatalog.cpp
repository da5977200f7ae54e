// Port numbers, the port scan and the remembered port, against a temporary
// settings store and real pseudo-terminals mapped to port numbers.
#include "link/PortCatalog.h"
#include "link/QtSettingsStore.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
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

  /// Maps many numbers at once, as earlier runs would have left them.
  void MapMany(int first, int last, const std::function<QString(int)>& device) {
    {
      QSettings settings(StorePath(), QSettings::IniFormat);
      for (int n = first; n <= last; ++n)
        settings.setValue(QStringLiteral("Ports/COM%1").arg(n), device(n));
    }
    store_ = std::make_unique<QtSettingsStore>(StorePath());
    catalog_ = std::make_unique<PortCatalog>(*store_);
    catalog_->SetDeviceLister([] { return QStringList(); });
  }

 private Q_SLOTS:
  void init() {
    QFile::remove(StorePath());
    store_ = std::make_unique<QtSettingsStore>(StorePath());
    catalog_ = std::make_unique<PortCatalog>(*store_);
    catalog_->SetDeviceLister([] { return QStringList(); });  // no system devices here
  }

  void remembered_port_present_is_selected() {
    Pty three, seven;
    QVERIFY(!three.Path().isEmpty() && !seven.Path().isEmpty());
    QVERIFY(catalog_->Map(3, three.Path()));
    QVERIFY(catalog_->Map(7, seven.Path()));
    QVERIFY(catalog_->Map(9, dir_.filePath(QStringLiteral("gone"))));  // device file missing
    QVERIFY(store_->SetValue(QStringLiteral("ComPort"), QStringLiteral("7")));
    QCOMPARE(catalog_->RecallPort(), 7);

    const PortCatalog::Selection s = catalog_->Refresh(catalog_->RecallPort());
    QCOMPARE(s.entries.size(), 2);
    QCOMPARE(s.entries[0].number, 3);
    QCOMPARE(s.entries[1].number, 7);
    QCOMPARE(s.entries[1].text, PortCatalog::EntryText(7, seven.Path()));
    QVERIFY(s.entries[1].text.startsWith(QLatin1String("COM7 (pts/")));
    QCOMPARE(PortCatalog::NumberOfEntry(s.entries[1].text), 7);
    QCOMPARE(s.selectedIndex, 1);
    QCOMPARE(s.portNumber, 7);
    QCOMPARE(store_->Value(QStringLiteral("ComPort")), QStringLiteral("7"));
  }

  void remembered_port_absent_takes_and_stores_the_first() {
    Pty three, seven;
    catalog_->Map(3, three.Path());
    catalog_->Map(7, seven.Path());
    store_->SetValue(QStringLiteral("ComPort"), QStringLiteral("5"));
    const PortCatalog::Selection s = catalog_->Refresh(catalog_->RecallPort());
    QCOMPARE(s.entries.size(), 2);
    QCOMPARE(s.selectedIndex, 0);
    QCOMPARE(s.portNumber, 3);
    // Stored, and found again by a fresh store on the same file (next run).
    QtSettingsStore again(StorePath());
    QCOMPARE(again.Value(QStringLiteral("ComPort")), QStringLiteral("3"));
    QCOMPARE(PortCatalog(again).RecallPort(), 3);
  }

  void no_port_gives_an_empty_list_and_stores_nothing() {
    catalog_->Map(4, dir_.filePath(QStringLiteral("missing")));
    const PortCatalog::Selection s = catalog_->Refresh(6);
    QVERIFY(s.entries.isEmpty());
    QCOMPARE(s.selectedIndex, -1);
    QCOMPARE(s.portNumber, 6);
    QVERIFY(store_->Value(QStringLiteral("ComPort")).isEmpty());
  }

  void a_device_that_refuses_to_open_is_left_out() {
    Pty pty;
    catalog_->Map(2, pty.Path());
    catalog_->Map(5, QStringLiteral("/dev/null"));  // exists, but is no serial port
    const QList<PortCatalog::Entry> found = catalog_->Scan();
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].number, 2);
  }

  void missing_devices_are_skipped_without_an_open_attempt() {
    MapMany(1, 99, [this](int n) { return dir_.filePath(QStringLiteral("absent%1").arg(n)); });
    Pty pty;
    catalog_->Map(42, pty.Path());
    QStringList probed;
    catalog_->SetProber([&probed](const QString& device) {
      probed << device;
      return true;
    });
    QElapsedTimer timer;
    timer.start();
    const QList<PortCatalog::Entry> found = catalog_->Scan();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(probed, QStringList{pty.Path()});
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].number, 42);
  }

  void new_system_devices_get_the_lowest_free_numbers_and_keep_them() {
    catalog_->Map(1, QStringLiteral("/dev/ttyS0"));
    catalog_->Map(3, QStringLiteral("/dev/ttyACM0"));
    QStringList devices = {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyUSB0"),
                           QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyUSB2")};
    catalog_->SetDeviceLister([&devices] { return devices; });
    QCOMPARE(catalog_->AssignSystemDevices(), (QList<int>{2, 4, 5}));
    QCOMPARE(catalog_->DeviceFor(2), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(catalog_->DeviceFor(4), QStringLiteral("/dev/ttyUSB1"));
    QCOMPARE(catalog_->DeviceFor(5), QStringLiteral("/dev/ttyUSB2"));
    // A later run with USB0 unplugged: the numbers stay, nothing new is given.
    devices.removeAt(1);
    QtSettingsStore again(StorePath());
    PortCatalog next(again);
    next.SetDeviceLister([&devices] { return devices; });
    QVERIFY(next.AssignSystemDevices().isEmpty());
    QCOMPARE(next.DeviceFor(2), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(next.DeviceFor(5), QStringLiteral("/dev/ttyUSB2"));
    QCOMPARE(next.Mappings().size(), 5);
  }

  void numbers_run_out_at_99() {
    MapMany(1, 99, [](int n) { return QStringLiteral("/dev/x%1").arg(n); });
    catalog_->SetDeviceLister([] { return QStringList{QStringLiteral("/dev/ttyUSB9")}; });
    QVERIFY(catalog_->AssignSystemDevices().isEmpty());
  }

  void mapping_rules() {
    QVERIFY(!catalog_->Map(0, QStringLiteral("/dev/ttyS0")));
    QVERIFY(!catalog_->Map(100, QStringLiteral("/dev/ttyS0")));
    QVERIFY(!catalog_->Map(5, QStringLiteral("  ")));
    QVERIFY(catalog_->DeviceFor(5).isEmpty());
    QVERIFY(catalog_->DeviceFor(0).isEmpty());
    QVERIFY(catalog_->Map(5, QStringLiteral("/dev/pts/3")));
    QCOMPARE(catalog_->DeviceFor(5), QStringLiteral("/dev/pts/3"));
    catalog_->Unmap(5);
    QVERIFY(catalog_->DeviceFor(5).isEmpty());
    // Foreign keys in the group are ignored.
    store_->SetValue(QStringLiteral("Ports/COM0"), QStringLiteral("/dev/a"));
    store_->SetValue(QStringLiteral("Ports/other"), QStringLiteral("/dev/b"));
    QVERIFY(catalog_->Mappings().isEmpty());
  }

  void remembered_port_text() {
    QCOMPARE(catalog_->RecallPort(), 1);  // nothing stored
    const QList<QPair<QString, int>> cases = {
        {QStringLiteral("12"), 12}, {QStringLiteral(" 7 "), 7}, {QStringLiteral("abc"), 1},
        {QStringLiteral("0"), 1},   {QStringLiteral("100"), 1}, {QStringLiteral("-3"), 1}};
    for (const auto& c : cases) {
      store_->SetValue(QStringLiteral("ComPort"), c.first);
      QCOMPARE(catalog_->RecallPort(), c.second);
    }
    QVERIFY(catalog_->RememberPort(42));
    QCOMPARE(store_->Value(QStringLiteral("ComPort")), QStringLiteral("42"));
  }

  void entry_numbers() {
    QCOMPARE(PortCatalog::NumberOfEntry(QStringLiteral("COM12")), 12);
    QCOMPARE(PortCatalog::NumberOfEntry(QStringLiteral("COM7 (ttyUSB0)")), 7);
    QCOMPARE(PortCatalog::NumberOfEntry(QStringLiteral("COM99 (pts/12)")), 99);
    QCOMPARE(PortCatalog::NumberOfEntry(QStringLiteral("COM")), 0);
    QCOMPARE(PortCatalog::NumberOfEntry(QStringLiteral("")), 0);
  }

  void an_unwritable_store_keeps_the_choice_for_the_run() {
    QtSettingsStore readOnly(QStringLiteral("/proc/tr5906-no-such-dir/TR5906.conf"));
    PortCatalog catalog(readOnly);
    catalog.SetDeviceLister([] { return QStringList(); });
    QVERIFY(!catalog.RememberPort(3));
    QVERIFY(!catalog.Map(3, QStringLiteral("/dev/ttyS0")));
  }
};

QTEST_GUILESS_MAIN(TestPortCatalog)
#include "tst_portcatalog.moc"
