// QtSettingsStore writes to disk only when a value changes, and still sees
// what another program wrote meanwhile.
#include "link/QtSettingsStore.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestQtSettingsStore : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString Path() const { return dir_.filePath(QStringLiteral("TR5906.conf")); }

 private Q_SLOTS:
  void init() { QFile::remove(Path()); }

  void sameValueLeavesTheFileAlone() {
    QtSettingsStore store(Path());
    QVERIFY(store.SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    const QDateTime written = QFileInfo(Path()).lastModified();
    QTest::qSleep(20);  // a rewrite would move the modification time on
    QVERIFY(store.SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    QCOMPARE(QFileInfo(Path()).lastModified(), written);
    QVERIFY(store.SetValue(QStringLiteral("ComPort"), QStringLiteral("4")));
    QVERIFY(QFileInfo(Path()).lastModified() > written);
    QCOMPARE(QtSettingsStore(Path()).Value(QStringLiteral("ComPort")), QStringLiteral("4"));
  }

  void anotherProgramsChangeIsNotTakenForOurs() {
    QtSettingsStore window(Path());
    QVERIFY(window.SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    QTest::qSleep(20);
    {
      // tr5906ctl, say: another process (stores of one process share a cache).
      QFile file(Path());
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write("[General]\nComPort=5\n");
    }
    // The window's cache still says 3; storing 3 must reach the file.
    QVERIFY(window.SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    QFile file(Path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY2(file.readAll().contains("ComPort=3"), "the other program's value stayed");
  }

  void unwritableStoreStillFails() {
    QtSettingsStore store(QStringLiteral("/proc/tr5906-no-such-dir/TR5906.conf"));
    QVERIFY(!store.SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
    QVERIFY(!store.SetValue(QStringLiteral("ComPort"), QStringLiteral("3")));
  }
};

QTEST_GUILESS_MAIN(TestQtSettingsStore)
#include "tst_qtsettingsstore.moc"
