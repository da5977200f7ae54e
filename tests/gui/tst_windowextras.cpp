// The main window's additions driven by real events: ports that follow the
// adapters, the read-back after a write, the compare window, the unsaved-edits
// mark and question, dropped files and the message list's menu.
#include "FormMainRig.h"
#include "ui/MessageListMenu.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTableWidget>

using Answer = Prompts::SaveAnswer;

namespace {

void TypeAddress(QWidget* form, const QString& text) {
  auto* box = Child<QLineEdit>(form, "TextDeviceAddr");
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, text + '\r');
}

void Drop(QWidget* target, const QString& path) {
  if (auto* list = qobject_cast<QListWidget*>(target)) target = list->viewport();
  QMimeData mime;
  mime.setUrls({QUrl::fromLocalFile(path)});
  QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDropEvent drop({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  if (enter.isAccepted()) QApplication::sendEvent(target, &drop);
  QCoreApplication::processEvents();
}

}  // namespace

class TestWindowExtras : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void portsFollow_data() {
    QTest::addColumn<QList<int>>("mapped");
    QTest::addColumn<QString>("port");   // remembered
    QTest::addColumn<QString>("steps");  // "+usb0" a new adapter, "+7"/"-7" port 7 back/pulled,
                                         // "=" the entry above chosen with the keyboard
    QTest::addColumn<QString>("shown");  // numbers, "!" marked "(未连接)", the choice in brackets
    QTest::addColumn<QString>("stored");
    Row("start", QList<int>{3, 7}, "5", "", "[3] 7", "3");
    Row("plugged in", QList<int>{3}, "3", "+usb0", "1 [3]", "3");
    Row("chosen pulled", QList<int>{3, 7}, "7", "-7", "3 [7!]", "7");
    Row("other pulled", QList<int>{3, 7}, "7", "-3", "[7]", "7");
    Row("pulled, back", QList<int>{3, 7}, "7", "-7 +7", "3 [7]", "7");
    Row("pulled, other", QList<int>{3, 7}, "7", "-7 =", "[3]", "3");
    Row("none before", QList<int>{}, "", "+usb0", "[1]", "1");
  }
  void portsFollow() {
    QFETCH(QList<int>, mapped);
    QFETCH(QString, port);
    QFETCH(QString, steps);
    FormMainRig rig(mapped);
    if (!port.isEmpty()) rig.store.SetValue("ComPort", port);
    auto form = rig.Make();
    form->show();
    auto* combo = Child<QComboBox>(form.get(), "ComboComPort");
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
      const QString device = rig.dir.filePath("tty" + step.mid(1));
      if (step == "=") QTest::keyClick(combo, Qt::Key_Up);
      if (step[0] == '-') QFile::remove(device);
      if (step[0] == '+') QFile(device).open(QIODevice::WriteOnly);
      if (step == "+usb0") rig.plugged << device;
      rig.clock.RunFor(std::chrono::seconds(2));  // seen within two seconds
    }
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i) {
      const QString text = combo->itemText(i);
      QString entry = text.mid(3, text.indexOf(' ') - 3);
      if (text.endsWith(" (未连接)")) entry += '!';
      entries << (i == combo->currentIndex() ? '[' + entry + ']' : entry);
    }
    QTEST(entries.join(' '), "shown");
    QTEST(rig.store.Value("ComPort"), "stored");
  }

  void verifiedWrite_data() {
    QTest::addColumn<bool>("boxOn");
    QTest::addColumn<bool>("stuck");         // the terminal keeps 9 in its byte 36 (transmit power)
    QTest::addColumn<QStringList>("lines");  // the check's lines
    Row("kept", true, false, QStringList{"校验成功"});
    Row("stuck byte", true, true,
        QStringList{"校验失败:lora_tx_power", "lora_tx_power: wrote 22, read 9"});
    Row("box off", false, true, QStringList{});
  }
  void verifiedWrite() {
    QFETCH(bool, boxOn);
    QFETCH(bool, stuck);
    FormMainRig rig({1});
    auto form = rig.Make();
    auto* box = Child<QCheckBox>(form.get(), "CheckVerifyWrite");
    QVERIFY(box->isChecked());
    box->setFocus();
    if (!boxOn) QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(rig.store.Value("VerifyWrite"), boxOn ? "" : "0");
    const QByteArray before = form->Image().Bytes(0, 4096);
    Click(form.get(), "CommandWrite");
    QVERIFY(rig.clock.RunUntil([&] { return Lines(form.get()).contains("设置成功"); }));
    if (stuck) rig.terminal.Memory().SetByte(36, 9);
    QVERIFY(rig.RunToEnd(*form));
    const QStringList after = Lines(form.get()).mid(Lines(form.get()).indexOf("设置成功") + 1);
    QCOMPARE(after.contains("读取成功!"), boxOn);  // read back...
    QTEST(after.filter(QRegularExpression("^校验|: wrote ")), "lines");
    QCOMPARE(form->Image().Bytes(0, 4096), before);  // ...not into the form
  }

  void compare_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("count");
    const QStringList differ = {"device_address: 1 | 7", "lora_tx_power: 22 | 10",
                                "adc3_offset: 0 | -1.5"};
    Row("file", "CommandCompareFile", "other.quelt", differ + QStringList{"mqtt_user: ab | "},
        "与other.quelt有4处不同。");
    Row("terminal", "CommandCompareTerminal", "终端",
        differ + QStringList{"firmware_minor: 0 | 35"}, "与终端有4处不同。");
    Row("same file", "CommandCompareFile", "same.quelt", QStringList{}, "与same.quelt没有不同。");
  }
  void compare() {
    QFETCH(QString, button);
    QFETCH(QString, source);
    FormMainRig rig({1});
    auto form = rig.Make();
    ParameterImage& image = form->Image();
    image.StampValidMarker();
    image.WriteImageText(228, 16, "ab");  // mqtt_user: a read does not carry it
    const ParameterImage before = image;
    ParameterImage other = before;
    if (source != "same.quelt") {
      for (auto [byte, value] : {std::pair{0, 7}, {36, 10}, {48, 0xDC}, {49, 0x85}})
        other.SetByte(byte, uint8_t(value));  // channel 3 offset 0x85DC: -1.5
      other.WriteImageText(228, 16, "");
    }
    rig.terminal.Memory() = other;
    rig.terminal.SetIdentity({35, 0, 0, 0});
    rig.prompts.QueueFile(rig.WriteFile(source, other.Bytes(0, 10240)));
    Click(form.get(), "CommandCompare");
    auto* window = Child<QDialog>(form.get(), "FormCompare");
    QVERIFY(window->isVisible());
    Click(window, button);
    auto* table = Child<QTableWidget>(window, "TableCompare");
    auto* count = Child<QLabel>(window, "LabelCompareCount");
    QVERIFY(rig.clock.RunUntil([&] { return count->text().startsWith("与" + source); }));
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
      rows << table->item(r, 0)->text() + ": " + table->item(r, 2)->text() + " | " +
                  table->item(r, 3)->text();
    QTEST(rows, "rows");
    QCOMPARE(table->horizontalHeaderItem(3)->text(), source);
    QTEST(count->text(), "count");
    QVERIFY(image == before);
  }

  // Steps: a number typed as the address; "ok"/"cancel" the next answer to "覆盖当前数据？";
  // "@name" the next file chosen ("@": none; else site.quelt); a button clicked; "close:"
  // and the answer to the unsaved-edits question; "name>control" a file dropped on a control.
  void files_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("title");      // after "TR5906配置工具"; "closed" once closed
    QTest::addColumn<QString>("prompts");    // their first lines
    QTest::addColumn<int>("asked");          // the unsaved-edits question
    QTest::addColumn<QString>("addresses");  // in site.quelt and in the form
    Row("edit", "7", "*", "", 0, "9 7");
    Row("edit undone", "7 1", "", "", 0, "9 1");
    Row("read", "7 CommandRead", "", "", 0, "9 1");
    Row("write", "7 CommandWrite", "", "", 0, "9 7");
    Row("save, edit", "7 CommandSave 12", " - site.quelt*", "保存", 0, "7 12");
    Row("open", "7 ok CommandLoad", " - site.quelt", "打开|覆盖当前数据？", 0, "9 9");
    Row("open, cancel", "7 cancel CommandLoad", "*", "打开|覆盖当前数据？", 0, "9 7");
    Row("open short file", "@short.quelt ok CommandLoad", "",
        "打开|覆盖当前数据？|short.quelt 不是配置文件", 0, "9 1");
    Row("no file chosen", "7 @ CommandLoad @ CommandSave", "*", "打开|保存", 0, "9 7");
    Row("close", "close:Cancel", "closed", "", 0, "9 1");
    Row("close, cancel", "7 close:Cancel", "*", "", 1, "9 7");
    Row("close, discard", "7 close:Discard", "closed", "", 1, "9 7");
    Row("close, save", "7 close:Save", "closed", "保存", 1, "7 7");
    Row("close, no file", "7 @ close:Save", "*", "保存", 1, "9 7");
    Row("drop on the list", "7 ok site.quelt>ListMsg", " - site.quelt", "覆盖当前数据？", 0, "9 9");
    Row("drop on a box", "ok A.QUELT>TextDeviceAddr", " - A.QUELT", "覆盖当前数据？", 0, "9 9");
    Row("drop, cancel", "7 cancel site.quelt>ListMsg", "*", "覆盖当前数据？", 0, "9 7");
    Row("drop firmware", "fw.hex>ListMsg", "", "文档有误", 0, "9 1");
    Row("drop other file", "notes.txt>ListMsg", "", "", 0, "9 1");
  }
  void files() {
    QFETCH(QString, steps);
    QFETCH(QString, title);
    FormMainRig rig({1});
    const QByteArray image = '\x09' + QByteArray(10239, '\0');
    for (auto [name, bytes] : {std::pair{"site.quelt", image},
                               {"A.QUELT", image},
                               {"short.quelt", "short"},
                               {"fw.hex", ":10000000XYZ\n"},
                               {"notes.txt", "notes"}})
      rig.WriteFile(name, bytes);
    rig.prompts.SetDefaultFile(rig.dir.filePath("site.quelt"));
    auto form = rig.Make();
    form->show();
    for (const QString& step : steps.split(' ')) {
      if (step[0].isDigit()) TypeAddress(form.get(), step);
      if (step == "ok" || step == "cancel") rig.prompts.QueueOkCancel(step == "ok");
      if (step[0] == '@')
        rig.prompts.QueueFile(step.size() > 1 ? rig.dir.filePath(step.mid(1)) : "");
      if (step.startsWith("Command")) Click(form.get(), step);
      if (step.contains('>'))
        Drop(Child(form.get(), step.section('>', 1)), rig.dir.filePath(step.section('>', 0, 0)));
      rig.prompts.saveAnswer = step == "close:Save"      ? Answer::Save
                               : step == "close:Discard" ? Answer::Discard
                                                         : Answer::Cancel;
      if (step.startsWith("close:")) form->close();  // a real close event
      QVERIFY(rig.RunToEnd(*form));
    }
    QTRY_COMPARE(form->isVisible() ? form->windowTitle().remove("TR5906配置工具") : "closed",
                 title);
    QStringList prompts;
    for (const QString& text : rig.prompts.Texts())
      prompts << text.section("：", 0, 0).remove(rig.dir.path() + '/');
    QTEST(prompts.join('|'), "prompts");
    QTEST(rig.prompts.saveAsked, "asked");
    QFile file(rig.dir.filePath("site.quelt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QTEST(QString::number(file.read(1)[0]) + ' ' +
              Child<QLineEdit>(form.get(), "TextDeviceAddr")->text(),
          "addresses");
  }

  void messageList_data() {
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("shiftUps");  // Shift+Up presses after the click
    QTest::addColumn<QString>("copied");
    Row("newest line", -1, 0, "读取成功!");
    Row("one line", 1, 0, "Try(1):9600,N,8,1");
    Row("upwards", 2, 2, "读取数据\nTry(1):9600,N,8,1\n读取成功!");
  }
  void messageList() {
    QFETCH(int, clicked);
    QFETCH(int, shiftUps);
    FormMainRig rig;
    auto form = rig.Make();
    form->show();
    for (const char* line : {"读取数据", "Try(1):9600,N,8,1", "读取成功!"}) form->AddMessage(line);
    auto* list = Child<QListWidget>(form.get(), "ListMsg");
    if (clicked >= 0)
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(clicked)).center());
    for (int i = 0; i < shiftUps; ++i) QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QTEST(QGuiApplication::clipboard()->text(), "copied");
    // "保存列表": the second entry of the context menu; every line, UTF-8.
    const QString path = rig.dir.filePath("log.txt");
    form->findChild<MessageListMenu*>()->SetFileChooser([&] { return path; });
    QTimer::singleShot(0, [] {
      for (auto key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
        QTest::keyClick(QApplication::activePopupWidget(), key);
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, {5, 5}, list->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list->viewport(), &menu);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("读取数据\nTry(1):9600,N,8,1\n读取成功!\n"));
  }
};

QTEST_MAIN(TestWindowExtras)
#include "tst_windowextras.moc"
