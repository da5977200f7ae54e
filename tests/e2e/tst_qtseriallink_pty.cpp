// QtSerialLink: its settings strings and open-failure lines, and on a live
// pseudo-terminal the settings applied at open, the emulated receive
// threshold, and a vanishing device raising lost once.
#include "link/QtSerialLink.h"

#include <QtTest>

#include <asm/termbits.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

Q_DECLARE_METATYPE(QSerialPort::Parity)
Q_DECLARE_METATYPE(QSerialPort::DataBits)
Q_DECLARE_METATYPE(QSerialPort::StopBits)

namespace {

/// The far end of the line, as a test drives it.
class PtyMaster {
 public:
  PtyMaster() {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ >= 0 && ::grantpt(fd_) == 0 && ::unlockpt(fd_) == 0)
      path_ = QString::fromLocal8Bit(::ptsname(fd_));
  }
  ~PtyMaster() { HangUp(); }
  QString Path() const { return path_; }
  bool Send(const QByteArray& bytes) {
    return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
  }
  QByteArray Received() {
    QByteArray all;
    char chunk[256];
    ssize_t n;
    while ((n = ::read(fd_, chunk, sizeof chunk)) > 0) all.append(chunk, static_cast<int>(n));
    return all;
  }
  bool Line(unsigned* baud, bool* twoStop) const {
    struct termios2 tio {};
    if (::ioctl(fd_, TCGETS2, &tio) != 0) return false;
    *baud = tio.c_ospeed;
    *twoStop = (tio.c_cflag & CSTOPB) != 0;
    return true;
  }
  void HangUp() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  QString path_;
};

}  // namespace

class TestQtSerialLinkPty : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void settingsStrings_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QSerialPort::Parity>("parity");
    QTest::addColumn<QSerialPort::DataBits>("data");
    QTest::addColumn<QSerialPort::StopBits>("stop");
    QTest::newRow("E,7,1") << "9600,E,7,1" << 9600 << QSerialPort::EvenParity << QSerialPort::Data7
                           << QSerialPort::OneStop;
    QTest::newRow("N,8,1.5") << "115200,N,8,1.5" << 115200 << QSerialPort::NoParity
                             << QSerialPort::Data8 << QSerialPort::OneAndHalfStop;
    QTest::newRow("O,8,2") << "128000,O,8,2" << 128000 << QSerialPort::OddParity
                           << QSerialPort::Data8 << QSerialPort::TwoStop;
    QTest::newRow("S,5,1") << "1200,S,5,1" << 1200 << QSerialPort::SpaceParity << QSerialPort::Data5
                           << QSerialPort::OneStop;
  }
  void settingsStrings() {
    QFETCH(QString, text);
    QFETCH(int, baud);
    QFETCH(QSerialPort::Parity, parity);
    QFETCH(QSerialPort::DataBits, data);
    QFETCH(QSerialPort::StopBits, stop);
    QtSerialLink::Format format;
    QVERIFY(QtSerialLink::ParseSettings(text, &format));
    QCOMPARE(format.baudRate, baud);
    QCOMPARE(format.parity, parity);
    QCOMPARE(format.dataBits, data);
    QCOMPARE(format.stopBits, stop);
    QCOMPARE(QtSerialLink::FormatSettings(format), text);
  }

  void malformedSettingsKeepTheOldOnes_data() {
    QTest::addColumn<QString>("text");
    for (const char* bad : {"", "9600", "9600,E,7", "9600,E,7,1,0", "9600,X,8,1", "9600,E,9,1",
                            "9600,E,8,3", "abc,E,8,1", "-9600,E,8,1", "0,N,8,1", "9600,,8,1",
                            "9600;E;8;1", "+9600,N,8,1", "9600,N,8,1.0", "99999999999,N,8,1"})
      QTest::newRow(bad) << QString::fromLatin1(bad);
  }
  void malformedSettingsKeepTheOldOnes() {
    QFETCH(QString, text);
    QtSerialLink link([](int) { return QString(); });
    QVERIFY(link.SetSettings(QStringLiteral(" 19200, o ,7,2 ")));
    QVERIFY(!link.SetSettings(text));
    QCOMPARE(link.Settings(), QStringLiteral("19200,O,7,2"));
  }

  void openFailures() {
    QtSerialLink link(
        [](int n) { return n == 3 ? QStringLiteral("/dev/tr5906-none") : QString(); });
    QStringList reported;
    link.SetOpenFailureHandler([&reported](const QString& reason) { reported << reason; });
    link.SetPort(8);
    QVERIFY(!link.Open());
    QVERIFY(link.ErrorString().contains(QLatin1String("COM8")));
    link.SetPort(3);
    QVERIFY(!link.Open());
    QVERIFY2(link.ErrorString().startsWith(QLatin1String("/dev/tr5906-none: ")),
             qPrintable(link.ErrorString()));
    QCOMPARE(reported.size(), 2);
    QVERIFY(link.LastOpenFailed());
    QVERIFY(!link.Write("x"));
    const QString busy = QtSerialLink::DescribeOpenFailure(
        QStringLiteral("/dev/null"), QSerialPort::PermissionError,
        QStringLiteral("Permission error while locking the device"));
    QVERIFY2(busy.contains(QLatin1String("another program")), qPrintable(busy));
    const QString missing = QtSerialLink::DescribeOpenFailure(
        QStringLiteral("/dev/ttyUSB77"), QSerialPort::DeviceNotFoundError,
        QStringLiteral("No such file or directory"));
    QVERIFY(missing.contains(QLatin1String("unplugged")));
  }

  void settingsApplyAtOpenAndBytesFlow() {
    PtyMaster master;
    QtSerialLink link([&master](int n) { return n == 5 ? master.Path() : QString(); });
    link.SetPort(5);
    QVERIFY(link.SetSettings("19200,E,7,2"));
    QVERIFY(link.Open());  // the low-latency request is refused by a pty: no matter
    unsigned baud = 0;
    bool twoStop = false;
    QVERIFY(master.Line(&baud, &twoStop) && baud == 19200 && twoStop);
    QVERIFY(link.SetSettings("115200,N,8,1"));  // takes effect at the next open
    QVERIFY(master.Line(&baud, &twoStop) && baud == 19200);
    link.Close();
    QVERIFY(link.Open());
    QVERIFY(master.Line(&baud, &twoStop) && baud == 115200 && !twoStop);
    QVERIFY(link.Write("LBTW"));
    QByteArray got;
    QTRY_COMPARE((got += master.Received()), QByteArray("LBTW"));
  }

  void thresholdRaisesReceiveOnceEnoughBytesAreIn() {
    PtyMaster master;
    QtSerialLink link([&master](int) { return master.Path(); });
    int raised = 0;
    link.SetReceiveHandler([&raised] { ++raised; });
    QVERIFY(link.Open());
    master.Send("stale");  // input from before an open is dropped
    QTest::qWait(50);
    link.Close();
    QVERIFY(link.Open());
    link.SetThreshold(4);
    master.Send("LB");
    QTest::qWait(50);
    QCOMPARE(raised, 0);
    master.Send("TW");
    QTRY_COMPARE(raised, 1);
    QCOMPARE(link.ReadAll(), QByteArray("LBTW"));
    link.SetThreshold(0);  // bytes are buffered, nothing is raised
    master.Send("abcdef");
    QTest::qWait(50);
    QCOMPARE(raised, 1);
    QCOMPARE(link.ReadAll(), QByteArray("abcdef"));
    link.SetThreshold(20);  // a whole answer in one piece raises once
    master.Send(QByteArray(20, '\x06'));
    QTRY_COMPARE(raised, 2);
    QTest::qWait(30);
    QCOMPARE(raised, 2);
  }

  void vanishingDeviceRaisesLostOnceAndCloses() {
    PtyMaster master;
    QtSerialLink link([&master](int) { return master.Path(); });
    int lost = 0;
    QString reason;
    link.SetLostHandler([&](const QString& why) {
      ++lost;
      reason = why;
      QVERIFY(!link.IsOpen());  // closed by the time the handler runs
    });
    link.SetThreshold(4);
    QVERIFY(link.Open());
    master.HangUp();
    QTRY_COMPARE(lost, 1);
    QTest::qWait(100);  // the read errors stop: no second report, no busy loop
    QCOMPARE(lost, 1);
    QVERIFY(reason.contains(master.Path()));
    QVERIFY(!link.Open());  // the device is gone
    QVERIFY(link.LastOpenFailed());
  }

  void failedWriteReportsLostAfterTheCall_data() {
    QTest::addColumn<bool>("closeFirst");
    QTest::newRow("left open") << false;
    QTest::newRow("closed by the owner") << true;
  }
  void failedWriteReportsLostAfterTheCall() {
    QFETCH(bool, closeFirst);
    PtyMaster master;
    QtSerialLink link([&master](int) { return master.Path(); });
    int lost = 0;
    link.SetLostHandler([&lost](const QString&) { ++lost; });
    QVERIFY(link.Open());
    master.HangUp();
    QVERIFY(!link.Write("LBTW"));  // fails at once, reports nothing yet
    QCOMPARE(lost, 0);
    QVERIFY(link.DeviceFailed());
    if (closeFirst) link.Close();  // a late report would then mislead
    QTest::qWait(50);
    QCOMPARE(lost, closeFirst ? 0 : 1);
  }
};

QTEST_GUILESS_MAIN(TestQtSerialLinkPty)
#include "tst_qtseriallink_pty.moc"
