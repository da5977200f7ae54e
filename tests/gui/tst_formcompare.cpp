// The compare window against a configuration file and against the
// terminal: only differing fields, both values, the count, the form untouched.
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

using namespace std::chrono_literals;

// The table's rows as "name: form | other".
QStringList Rows(QTableWidget* table) {
  QStringList rows;
  for (int r = 0; r < table->rowCount(); ++r)
    rows << table->item(r, 0)->text() + ": " + table->item(r, 2)->text() + " | " +
                table->item(r, 3)->text();
  return rows;
}

}  // namespace

class TestFormCompare : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void compare_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");
    QTest::newRow("file") << "CommandCompareFile"
                          << "other.quelt"
                          << QStringList{"device_address: 1 | 7", "lora_tx_power: 22 | 10",
                                         "adc3_offset: 0 | -1.5", "mqtt_user: ab | "}
                          << QString::fromUtf8("与other.quelt有4处不同。");
    QTest::newRow("terminal") << "CommandCompareTerminal" << QString::fromUtf8("终端")
                              << QStringList{"device_address: 1 | 7", "lora_tx_power: 22 | 10",
                                             "adc3_offset: 0 | -1.5", "firmware_minor: 0 | 35"}
                              << QString::fromUtf8("与终端有4处不同。");
  }
  void compare() {
    QFETCH(QString, button);
    QFETCH(QString, source);
    QFETCH(QStringList, rows);
    QFETCH(QString, count);
    FormMainRig rig({1});
    TerminalModel terminal;
    rig.link.AttachDevice(&terminal);
    auto form = rig.Make();
    form->Image().StampValidMarker();
    form->Image().WriteImageText(228, 16, "ab");  // mqtt_user, not carried by a read
    const ParameterImage before = form->Image();

    // The other side: the form's bytes with three fields changed.
    ParameterImage other = before;
    other.SetByte(0, 7);      // device address
    other.SetByte(36, 10);    // transmit power
    other.SetByte(48, 0xDC);  // channel 3 offset: 0x85DC = -1500 thousandths
    other.SetByte(49, 0x85);
    other.WriteImageText(228, 16, "");
    terminal.Memory() = other;
    terminal.SetIdentity({35, 0, 0, 0});
    QFile file(rig.dir.filePath("other.quelt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(other.Data()), 10240);
    file.close();
    rig.prompts.QueueFile(file.fileName());

    QTest::mouseClick(form->findChild<QPushButton*>("CommandCompare"), Qt::LeftButton);
    auto* window = form->findChild<QDialog*>("FormCompare");
    QVERIFY(window && window->isVisible());
    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    auto* table = window->findChild<QTableWidget*>("TableCompare");
    QVERIFY(rig.clock.RunUntil([&] { return table->rowCount() > 0; }, 1min));

    QCOMPARE(Rows(table), rows);
    QCOMPARE(table->horizontalHeaderItem(3)->text(), source);
    QCOMPARE(window->findChild<QLabel*>("LabelCompareCount")->text(), count);
    QVERIFY(form->Image() == before);
  }
};

QTEST_MAIN(TestFormCompare)
#include "tst_formcompare.moc"
