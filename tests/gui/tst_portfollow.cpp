// The port list follows adapters plugged in and pulled out, without the
// refresh button, while no transaction runs.
#include "FormMainRig.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

namespace {

using namespace std::chrono_literals;

// The list as port numbers, "!" after one marked as not connected, the
// chosen entry in brackets: "3 [7!]".
QString Shown(QComboBox* combo) {
  QStringList entries;
  for (int i = 0; i < combo->count(); ++i) {
    const QString text = combo->itemText(i);
    QString entry = text.mid(3, text.indexOf(' ') - 3);
    if (text.endsWith(QString::fromUtf8(" (未连接)"))) entry += '!';
    entries << (i == combo->currentIndex() ? '[' + entry + ']' : entry);
  }
  return entries.join(' ');
}

struct Desk {
  FormMainRig rig;
  QStringList plugged;  // what the system lists
  std::unique_ptr<FormMain> form;
  QComboBox* combo = nullptr;

  Desk(const QList<int>& mapped, const QString& remembered) : rig(mapped) {
    if (!remembered.isEmpty()) rig.store.SetValue("ComPort", remembered);
    rig.ports.SetDeviceLister([this] { return plugged; });
    form = rig.Make();
    combo = form->findChild<QComboBox*>("ComboComPort");
  }
  // "+usb0" plugs in a new adapter, "+7" brings back mapped port 7's device,
  // "-7" pulls it out.
  void Step(const QString& step) {
    const QString device = rig.dir.filePath("tty" + step.mid(1));
    if (step.startsWith('+')) {
      QFile(device).open(QIODevice::WriteOnly);
      if (step.mid(1).toInt() == 0) plugged << device;
    } else {
      QFile::remove(device);
    }
  }
};

}  // namespace

class TestPortFollow : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void follows_data() {
    QTest::addColumn<QList<int>>("mapped");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("stored");
    QTest::newRow("plugged in") << QList<int>{3} << "3" << QStringList{"+usb0"} << "1 [3]"
                                << "3";
    QTest::newRow("chosen pulled") << QList<int>{3, 7} << "7" << QStringList{"-7"} << "3 [7!]"
                                   << "7";
    QTest::newRow("other pulled") << QList<int>{3, 7} << "7" << QStringList{"-3"} << "[7]"
                                  << "7";
    QTest::newRow("pulled, back") << QList<int>{3, 7} << "7" << QStringList{"-7", "+7"} << "3 [7]"
                                  << "7";
    QTest::newRow("none before") << QList<int>{} << "" << QStringList{"+usb0"} << "[1]"
                                 << "1";
    QTest::newRow("last pulled") << QList<int>{3} << "3" << QStringList{"-3"} << "[3!]"
                                 << "3";
  }
  void follows() {
    QFETCH(QList<int>, mapped);
    QFETCH(QString, remembered);
    QFETCH(QStringList, steps);
    QFETCH(QString, shown);
    QFETCH(QString, stored);
    Desk desk(mapped, remembered);
    for (const QString& step : steps) {
      desk.Step(step);
      desk.rig.clock.RunFor(2s);  // seen within two seconds
    }
    QCOMPARE(Shown(desk.combo), shown);
    QCOMPARE(desk.rig.store.Value("ComPort"), stored);
  }

  void anotherChoiceDropsTheVanishedPort() {
    Desk desk({3, 7}, "7");
    desk.Step("-7");
    desk.rig.clock.RunFor(2s);
    QCOMPARE(Shown(desk.combo), QString("3 [7!]"));
    desk.combo->setFocus();
    QTest::keyClick(desk.combo, Qt::Key_Up);
    QCOMPARE(Shown(desk.combo), QString("[3]"));
    QCOMPARE(desk.rig.store.Value("ComPort"), QString("3"));
    QCOMPARE(desk.form->PortNumber(), 3);
  }

  void waitsForTheTransaction() {
    Desk desk({3}, "3");
    QTest::mouseClick(desk.form->findChild<QPushButton*>("CommandRead"), Qt::LeftButton);
    desk.Step("+usb0");
    desk.rig.clock.RunFor(2s);  // the read is still waiting for the terminal
    QVERIFY(desk.form->Engine().Busy());
    QCOMPARE(Shown(desk.combo), QString("[3]"));
    QVERIFY(desk.rig.clock.RunUntil([&] { return !desk.form->Engine().Busy(); }, 1min));
    desk.rig.clock.RunFor(2s);
    QCOMPARE(Shown(desk.combo), QString("1 [3]"));
  }
};

QTEST_MAIN(TestPortFollow)
#include "tst_portfollow.moc"
