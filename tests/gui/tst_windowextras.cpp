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

QByteArray ImageFile(int address) {
  QByteArray bytes(10240, '\0');
  bytes[0] = char(address);
  return bytes;
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
      if (step == "=") {
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Up);
      } else if (step[0] == '+') {
        QFile(device).open(QIODevice::WriteOnly);
        if (step == "+usb0") rig.plugged << device;
      } else {
        QFile::remove(device);
      }
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

  void unsavedMark_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    Row("read", "CommandRead", "TR5906配置工具");
    Row("write", "CommandWrite", "TR5906配置工具");
    Row("save", "CommandSave", "TR5906配置工具 - site.quelt");
    Row("open", "CommandLoad", "TR5906配置工具 - site.quelt");
  }
  void unsavedMark() {
    QFETCH(QString, button);
    QFETCH(QString, title);
    FormMainRig rig({1});
    rig.prompts.QueueFile(rig.WriteFile("site.quelt", ImageFile(0)));
    rig.prompts.QueueOkCancel(true);
    auto form = rig.Make();
    form->show();
    for (const char* address : {"7", "1", "9"}) {  // "1": back to what was kept
      TypeAddress(form.get(), address);
      QTRY_COMPARE(form->windowTitle(),
                   QString(address[0] == '1' ? "TR5906配置工具" : "TR5906配置工具*"));
    }
    Click(form.get(), button);
    QVERIFY(rig.RunToEnd(*form));
    QTRY_COMPARE(form->windowTitle(), title);
    TypeAddress(form.get(), "12");
    QTRY_COMPARE(form->windowTitle(), title + '*');
  }

  void closing_data() {
    QTest::addColumn<bool>("edit");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<bool>("closed");
    Row("no edits", false, Answer::Cancel, "", true);
    Row("cancel", true, Answer::Cancel, "", false);
    Row("discard", true, Answer::Discard, "", true);
    Row("save", true, Answer::Save, "kept.quelt", true);
    Row("save, no file", true, Answer::Save, "", false);
  }
  void closing() {
    QFETCH(bool, edit);
    QFETCH(QString, saveAs);
    QFETCH(bool, closed);
    FormMainRig rig;
    QFETCH(Answer, answer);
    rig.prompts.saveAnswer = answer;
    const QString path = saveAs.isEmpty() ? QString() : rig.dir.filePath(saveAs);
    rig.prompts.QueueFile(path);
    auto form = rig.Make();
    form->show();
    if (edit) TypeAddress(form.get(), "7");
    QCOMPARE(form->close(), closed);  // a real close event
    QCOMPARE(rig.prompts.saveAsked, edit ? 1 : 0);
    QCOMPARE(form->isVisible(), !closed);
    QFile file(path);
    QCOMPARE(file.open(QIODevice::ReadOnly) ? int(file.read(1)[0]) : -1, path.isEmpty() ? -1 : 7);
  }

  void drops_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("ok");  // the answer to "覆盖当前数据？"
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<int>("address");
    const QStringList cover = {"覆盖当前数据？"};
    Row("on the list", "site.quelt", "ListMsg", true, true, cover, 9);
    Row("on a box", "A.QUELT", "TextDeviceAddr", true, true, cover, 9);
    Row("cancel", "site.quelt", "ListMsg", false, true, cover, 1);
    Row("broken firmware", "fw.hex", "ListMsg", true, true, QStringList{"文档有误"}, 1);
    Row("other file", "notes.txt", "ListMsg", true, false, QStringList{}, 1);
  }
  void drops() {
    QFETCH(QString, name);
    QFETCH(QString, target);
    QFETCH(bool, ok);
    FormMainRig rig;
    rig.prompts.QueueOkCancel(ok);
    auto form = rig.Make();
    form->show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(
        rig.WriteFile(name, name.endsWith("hex") ? ":10000000XYZ\n" : ImageFile(9)))});
    QWidget* widget = Child(form.get(), target);
    if (auto* list = qobject_cast<QListWidget*>(widget)) widget = list->viewport();
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QTEST(enter.isAccepted(), "accepted");
    QDropEvent drop({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    QCoreApplication::processEvents();
    QTEST(rig.prompts.Texts(), "asked");
    QTEST(Child<QLineEdit>(form.get(), "TextDeviceAddr")->text().toInt(), "address");
    QTEST(int(form->Image().Byte(0)), "address");
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
