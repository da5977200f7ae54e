// Renders the compare window and a verified write. With
// TR5906_SCREENSHOT_DIR set the pictures are kept there (scripts/screenshot);
// otherwise they go to a temporary folder.
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

class TestExtrasScreens : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void render() {
    QTemporaryDir scratch;
    QString dir = qEnvironmentVariable("TR5906_SCREENSHOT_DIR");
    if (dir.isEmpty()) dir = scratch.path();
    FormMainRig rig({1});
    TerminalModel terminal;
    terminal.SetIdentity({0x23, 0x41, 0x00, 0x02});
    rig.link.AttachDevice(&terminal);
    auto form = rig.Make();
    form->show();
    form->findChild<QComboBox*>("ComboComPort")->setItemText(0, "COM1 (ttyUSB0)");

    // The verified write: the form written, read back and found equal.
    QTest::mouseClick(form->findChild<QPushButton*>("CommandWrite"), Qt::LeftButton);
    auto* read = form->findChild<QPushButton*>("CommandRead");
    QVERIFY(rig.clock.RunUntil([&] { return read->isEnabled(); }, std::chrono::minutes(1)));
    QVERIFY(form->grab().save(QDir(dir).filePath("verified-write.png")));

    // The compare window against the terminal, which holds other values.
    terminal.Memory().SetWord(0, 12);
    terminal.Memory().SetWord(18, 17);
    terminal.Memory().SetWord(61, 0);
    QTest::mouseClick(form->findChild<QPushButton*>("CommandCompare"), Qt::LeftButton);
    auto* window = form->findChild<QDialog*>("FormCompare");
    QTest::mouseClick(window->findChild<QPushButton*>("CommandCompareTerminal"), Qt::LeftButton);
    auto* table = window->findChild<QTableWidget*>("TableCompare");
    QVERIFY(rig.clock.RunUntil([&] { return table->rowCount() > 0; }, std::chrono::minutes(1)));
    QCoreApplication::processEvents();
    QVERIFY(window->grab().save(QDir(dir).filePath("compare.png")));
  }
};

QTEST_MAIN(TestExtrasScreens)
#include "tst_extrasscreens.moc"
