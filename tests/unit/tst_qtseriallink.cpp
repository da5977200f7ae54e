// QtSerialLink's settings strings and its open-failure lines. The link on a
// live pseudo-terminal is tested under tests/e2e.
#include "link/QtSerialLink.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestQtSerialLink : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void settings_strings_both_ways() {
    struct Case {
      const char* text;
      qint32 baud;
      QSerialPort::Parity parity;
      QSerialPort::DataBits data;
      QSerialPort::StopBits stop;
    };
    const Case cases[] = {
        {"9600,E,7,1", 9600, QSerialPort::EvenParity, QSerialPort::Data7, QSerialPort::OneStop},
        {"115200,N,8,1.5", 115200, QSerialPort::NoParity, QSerialPort::Data8,
         QSerialPort::OneAndHalfStop},
        {"128000,O,8,2", 128000, QSerialPort::OddParity, QSerialPort::Data8, QSerialPort::TwoStop},
        {"1200,S,5,1", 1200, QSerialPort::SpaceParity, QSerialPort::Data5, QSerialPort::OneStop},
    };
    for (const Case& c : cases) {
      const QString text = QString::fromLatin1(c.text);
      QtSerialLink::Format format;
      QVERIFY2(QtSerialLink::ParseSettings(text, &format), c.text);
      QCOMPARE(format.baudRate, c.baud);
      QCOMPARE(format.parity, c.parity);
      QCOMPARE(format.dataBits, c.data);
      QCOMPARE(format.stopBits, c.stop);
      QCOMPARE(QtSerialLink::FormatSettings(format), text);
    }
  }

  void malformed_settings_are_refused_and_the_old_ones_kept() {
    QtSerialLink link([](int) { return QString(); });
    QVERIFY(link.SetSettings(QStringLiteral("19200,O,7,2")));
    const char* bad[] = {
        "",           "9600",       "9600,E,7",    "9600,E,7,1,0", "9600,X,8,1",
        "9600,E,9,1", "9600,E,8,3", "abc,E,8,1",   "-9600,E,8,1",  "0,N,8,1",
        "9600,,8,1",  "9600;E;8;1", "+9600,N,8,1", "9600,N,8,1.0", "99999999999,N,8,1"};
    for (const char* text : bad) {
      QVERIFY2(!link.SetSettings(QString::fromLatin1(text)), text);
      QCOMPARE(link.Settings(), QStringLiteral("19200,O,7,2"));
    }
    // Lower case and blanks are read, and the string comes back normalised.
    QVERIFY(link.SetSettings(QStringLiteral(" 9600, e ,7,1 ")));
    QCOMPARE(link.Settings(), QStringLiteral("9600,E,7,1"));
  }

  void open_without_a_device_fails_with_a_reason() {
    QtSerialLink link(
        [](int n) { return n == 3 ? QStringLiteral("/dev/tr5906-none") : QString(); });
    QStringList reported;
    link.SetOpenFailureHandler([&reported](const QString& reason) { reported << reason; });
    link.SetPort(8);
    QVERIFY(!link.Open());
    QCOMPARE(reported, QStringList{link.ErrorString()});
    QVERIFY(!link.IsOpen());
    QVERIFY(link.LastOpenFailed());
    QVERIFY(link.ErrorString().contains(QLatin1String("COM8")));
    link.SetPort(3);
    QVERIFY(!link.Open());
    QVERIFY2(link.ErrorString().startsWith(QLatin1String("/dev/tr5906-none: ")),
             qPrintable(link.ErrorString()));
    QVERIFY(link.ErrorString().contains(QLatin1String("not there")));
    QCOMPARE(reported.size(), 2);
    QVERIFY(!link.Write("x"));
    QVERIFY(link.ReadAll().isEmpty());
  }

  void open_failure_hints() {
    const QString busy = QtSerialLink::DescribeOpenFailure(
        QStringLiteral("/dev/null"), QSerialPort::PermissionError,
        QStringLiteral("Permission error while locking the device"));
    QVERIFY2(busy.contains(QLatin1String("another program")), qPrintable(busy));
    QVERIFY(busy.startsWith(QLatin1String("/dev/null: Permission error")));
    const QString missing = QtSerialLink::DescribeOpenFailure(
        QStringLiteral("/dev/ttyUSB77"), QSerialPort::DeviceNotFoundError,
        QStringLiteral("No such file or directory"));
    QVERIFY(missing.contains(QLatin1String("unplugged")));

    // A device the user may not open (root may open anything: nothing to see).
    if (::geteuid() != 0) {
      QTemporaryDir dir;
      const QString path = dir.filePath(QStringLiteral("ttyLOCKED"));
      QFile file(path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.close();
      QVERIFY(file.setPermissions(QFileDevice::Permissions()));
      const QString denied = QtSerialLink::DescribeOpenFailure(path, QSerialPort::PermissionError,
                                                               QStringLiteral("Permission denied"));
      QVERIFY2(denied.contains(QLatin1String("dialout")), qPrintable(denied));
    }
  }
};

QTEST_GUILESS_MAIN(TestQtSerialLink)
#include "tst_qtseriallink.moc"
