// The serial-number counter and the record in an SQLite file: numbers and
// their width, the first number refused when the file counts from elsewhere,
// a run killed and started again, a schema of another version.
#include <QtTest>

#include "production/RecordStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>

class TestRecordStore : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void firstSerial_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QStringList>("taken");  // the first three numbers; empty: refused
    QTest::newRow("year and count")
        << "TR-2026-000100" << QStringList{"TR-2026-000100", "TR-2026-000101", "TR-2026-000102"};
    QTest::newRow("count at its width ends") << "A98" << QStringList{"A98", "A99"};
    QTest::newRow("digits only") << "0009" << QStringList{"0009", "0010", "0011"};
    QTest::newRow("32 bytes") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ-00001"
                              << QStringList{"ABCDEFGHIJKLMNOPQRSTUVWXYZ-00001",
                                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ-00002",
                                             "ABCDEFGHIJKLMNOPQRSTUVWXYZ-00003"};
    QTest::newRow("33 bytes") << "ABCDEFGHIJKLMNOPQRSTUVWXYZ-000001" << QStringList{};
    QTest::newRow("no digits at the end") << "TR-2026-A" << QStringList{};
    QTest::newRow("not ASCII") << QString::fromUtf8("TR-\u00e9-1") << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
  }
  void firstSerial() {
    QFETCH(QString, first);
    QFETCH(QStringList, taken);
    QTemporaryDir dir;
    RecordStore store;
    QString error;
    QVERIFY2(store.Open(dir.filePath("r.sqlite"), &error), qPrintable(error));
    QCOMPARE(store.StartCounter(first, &error), !taken.isEmpty());
    QStringList got;
    QString serial;
    for (int i = 0; i < 3 && store.TakeSerial("s", "COM1", &serial, &error); ++i) got << serial;
    QCOMPARE(got, taken);
  }

  void restartNeverRepeatsANumber() {
    QTemporaryDir dir;
    const QString path = dir.filePath("r.sqlite");
    QString error;
    QString serial;
    {
      RecordStore store;  // a run killed after taking two numbers
      QVERIFY(store.Open(path, &error) && store.StartCounter("N-01", &error));
      QVERIFY(store.TakeSerial("s", "COM1", &serial, &error));
      QVERIFY(store.TakeSerial("s", "COM2", &serial, &error));
    }
    RecordStore store;
    QVERIFY(store.Open(path, &error));
    QVERIFY(store.StartCounter("N-01", &error));  // the same line started again
    QVERIFY(!store.StartCounter("N-50", &error));
    QVERIFY(error.contains("counts from N-01"));
    QCOMPARE(store.VoidUnfinished("s", "COM1"), 1);
    QCOMPARE(store.StateOf("N-01"), RecordStore::SerialState::Void);
    QCOMPARE(store.StateOf("N-02"), RecordStore::SerialState::Taken);
    QVERIFY(store.TakeSerial("s", "COM1", &serial, &error));
    QCOMPARE(serial, QString("N-03"));
  }

  void otherSchemaVersionIsRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("r.sqlite");
    {
      QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
      db.setDatabaseName(path);
      QVERIFY(db.open());
      QSqlQuery(db).exec("CREATE TABLE tr5906_schema (version INTEGER NOT NULL)");
      QSqlQuery(db).exec("INSERT INTO tr5906_schema VALUES (2)");
      db.close();
    }
    QSqlDatabase::removeDatabase("raw");
    RecordStore store;
    QString error;
    QVERIFY(!store.Open(path, &error));
    QVERIFY2(error.contains("version 2"), qPrintable(error));
  }
};

QTEST_GUILESS_MAIN(TestRecordStore)
#include "tst_recordstore.moc"
