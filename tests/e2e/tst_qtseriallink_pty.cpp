// QtSerialLink on a live pseudo-terminal: the settings it puts on the line, open
// failures, and a vanishing device raising lost once. Its receive threshold
// carries every transaction of tst_faultmatrix_e2e.
#include "link/QtSerialLink.h"

#include <QtTest>

#include <asm/termbits.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

/// The far end of the line, as a test drives it.
struct PtyMaster {
  int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  QString path = ::grantpt(fd) == 0 && ::unlockpt(fd) == 0 ? ::ptsname(fd) : "";
  ~PtyMaster() { HangUp(); }
  /// The line's baud rate and what a pseudo-terminal keeps of the rest (it
  /// clears PARENB and the size): odd or space parity, two stop bits.
  QPair<unsigned, unsigned> Line() const {
    struct termios2 tio {};
    ::ioctl(fd, TCGETS2, &tio);
    return {tio.c_ospeed, unsigned(tio.c_cflag & (PARODD | CMSPAR | CSTOPB))};
  }
  void HangUp() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

}  // namespace

class TestQtSerialLinkPty : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  // A settings string the link keeps (normalised) or refuses, keeping the
  // earlier one; at the next open the line takes it.
  void settingsOnTheLine_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");  // empty: refused
    QTest::addColumn<unsigned>("baud");
    QTest::addColumn<unsigned>("flags");
    const auto row = [](const char* text, const char* kept, unsigned baud, unsigned flags) {
      QTest::newRow(text) << text << kept << baud << flags;
    };
    row(" 9600, e ,7,1 ", "9600,E,7,1", 9600, 0);
    row("19200,O,8,2", "19200,O,8,2", 19200, PARODD | CSTOPB);
    row("1200,S,5,1", "1200,S,5,1", 1200, CMSPAR);
    row("115200,N,8,1", "115200,N,8,1", 115200, 0);
    for (const char* bad : {"", "9600", "9600,E,7", "9600,E,7,1,0", "9600,X,8,1", "9600,E,9,1",
                            "9600,E,8,3", "abc,E,8,1", "-9600,E,8,1", "0,N,8,1", "9600,,8,1",
                            "9600;E;8;1", "+9600,N,8,1", "9600,N,8,1.0", "99999999999,N,8,1"})
      row(bad, "", 0, 0);
  }
  void settingsOnTheLine() {
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(unsigned, baud);
    QFETCH(unsigned, flags);
    PtyMaster master;
    QtSerialLink link([&master](int n) { return n == 5 ? master.path : QString(); });
    link.SetPort(5);
    QVERIFY(link.SetSettings("2400,M,6,1.5"));
    QCOMPARE(link.SetSettings(text), !kept.isEmpty());
    QCOMPARE(link.Settings(), kept.isEmpty() ? "2400,M,6,1.5" : kept);
    if (kept.isEmpty()) return;
    QVERIFY(link.Open());  // the low-latency request is refused by a pty: no matter
    QCOMPARE(master.Line(), qMakePair(baud, flags));
    QVERIFY(link.SetSettings("4800,N,8,1"));  // takes effect at the next open
    QCOMPARE(master.Line().first, baud);
    link.Close();
    QVERIFY(::write(master.fd, "stale", 5) == 5);  // before an open: belongs to no request
    QVERIFY(link.Open());
    QCOMPARE(master.Line().first, 4800u);
    QTest::qWait(20);
    QCOMPARE(link.ReadAll(), "");
  }

  void openFailureIsReportedWithTheDevice() {
    QtSerialLink link([](int) { return QString("/dev/tr5906-none"); });
    QStringList reported;
    link.SetOpenFailureHandler([&reported](const QString& reason) { reported << reason; });
    QVERIFY(!link.Open() && link.LastOpenFailed());
    QCOMPARE(reported, QStringList{link.ErrorString()});
    QVERIFY2(link.ErrorString().startsWith("/dev/tr5906-none: "), qPrintable(link.ErrorString()));
    QVERIFY(!link.Write("x"));
  }

  // Reading: lost once, the port closed by then, no busy loop. Writing: the
  // call fails at once and lost follows, unless the owner closed the port.
  void vanishingDeviceRaisesLostOnce_data() {
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<bool>("closeFirst");
    QTest::addColumn<int>("lost");
    QTest::newRow("reading") << QByteArray() << false << 1;
    QTest::newRow("writing") << QByteArray("LBTW") << false << 1;
    QTest::newRow("writing, closed by the owner") << QByteArray("LBTW") << true << 0;
  }
  void vanishingDeviceRaisesLostOnce() {
    QFETCH(QByteArray, write);
    QFETCH(bool, closeFirst);
    QFETCH(int, lost);
    PtyMaster master;
    QtSerialLink link([&master](int) { return master.path; });
    QStringList reasons;
    link.SetLostHandler([&](const QString& why) {
      reasons << why;
      QVERIFY(!link.IsOpen());
    });
    link.SetThreshold(4);
    QVERIFY(link.Open());
    master.HangUp();
    if (!write.isEmpty()) {
      QVERIFY(!link.Write(write));
      QVERIFY(reasons.isEmpty() && link.DeviceFailed());  // lost comes after the call
    }
    if (closeFirst) link.Close();
    QTRY_COMPARE(reasons.size(), lost);
    QTest::qWait(100);
    QCOMPARE(reasons.size(), lost);
    QVERIFY(reasons.join("").contains(master.path) || !lost);
  }
};

QTEST_GUILESS_MAIN(TestQtSerialLinkPty)
#include "tst_qtseriallink_pty.moc"
