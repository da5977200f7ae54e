// The main window's additions driven by real events: ports that follow the
// adapters, the read-back after a write, the compare window, the unsaved-edits
// mark and question, dropped files and the message list's menu.
#include "FormMainRig.h"
#include "TerminalModel.h"
#include "ui/MessageListMenu.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {

using namespace std::chrono_literals;
using Answer = Prompts::SaveAnswer;

// The in-process terminal; with `stuck` its byte 36 (transmit power) keeps 9
// whatever is written, though every write is acknowledged.
struct Terminal : SimDevice {
  TerminalModel model;
  bool stuck = false;
  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    DeviceReply reply = model.Receive(bytes, settings);
    if (stuck) model.Memory().SetByte(36, 9);
    return reply;
  }
};

// Scripted prompts that also answer the question about unsaved edits.
struct AskingPrompts : ScriptedPrompts {
  Answer answer = Answer::Cancel;
  int asked = 0;
  Answer AskSave(const QString&) override { return ++asked, answer; }
};

struct Desk {
  FormMainRig rig;
  Terminal terminal;
  AskingPrompts prompts;
  QStringList plugged;  // what the system lists
  std::unique_ptr<FormMain> form;

  explicit Desk(const QList<int>& mapped = {1}, const QString& port = "") : rig(mapped) {
    if (!port.isEmpty()) rig.store.SetValue("ComPort", port);
    rig.ports.SetDeviceLister([this] { return plugged; });
    rig.link.AttachDevice(&terminal);
  }
  FormMain* Show() {
    form = std::make_unique<FormMain>(
        FormMainServices{rig.link, rig.updateLink, rig.clock, rig.ports, &prompts},
        FormMainOptions{});
    form->show();
    return form.get();
  }
  template <typename T = QWidget>
  T* Get(const QString& name) {
    return form->findChild<T*>(name);
  }
  void Click(const QString& button) {
    QTest::mouseClick(Get<QPushButton>(button), Qt::LeftButton);
    QVERIFY(rig.clock.RunUntil([this] { return Get("CommandRead")->isEnabled(); }, 1min));
  }
  void TypeAddress(const QString& text) {
    auto* box = Get<QLineEdit>("TextDeviceAddr");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text + '\r');
  }
  QStringList Lines() {
    QStringList lines;
    for (auto* list = Get<QListWidget>("ListMsg"); lines.size() < list->count();)
      lines << list->item(lines.size())->text();
    return lines;
  }
  // The port list as numbers, "!" after one marked "(未连接)", the choice in brackets.
  QString Ports() {
    QStringList entries;
    auto* combo = Get<QComboBox>("ComboComPort");
    for (int i = 0; i < combo->count(); ++i) {
      const QString text = combo->itemText(i);
      QString entry = text.mid(3, text.indexOf(' ') - 3);
      if (text.endsWith(QString::fromUtf8(" (未连接)"))) entry += '!';
      entries << (i == combo->currentIndex() ? '[' + entry + ']' : entry);
    }
    return entries.join(' ');
  }
  // "+usb0" plugs in a new adapter, "+7" brings back port 7's device, "-7"
  // pulls it out, "=" chooses the entry above with the keyboard.
  void Step(const QString& step) {
    const QString device = rig.dir.filePath("tty" + step.mid(1));
    if (step == "=") {
      Get("ComboComPort")->setFocus();
      QTest::keyClick(Get("ComboComPort"), Qt::Key_Up);
    } else if (step.startsWith('+')) {
      QFile(device).open(QIODevice::WriteOnly);
      if (step.mid(1).toInt() == 0) plugged << device;
    } else {
      QFile::remove(device);
    }
    rig.clock.RunFor(2s);  // seen within two seconds
  }
  QString WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(rig.dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
  }
};

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
    QTest::addColumn<QString>("port");
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
    QTest::newRow("pulled, other chosen")
        << QList<int>{3, 7} << "7" << QStringList{"-7", "="} << "[3]"
        << "3";
    QTest::newRow("none before") << QList<int>{} << "" << QStringList{"+usb0"} << "[1]"
                                 << "1";
  }
  void portsFollow() {
    QFETCH(QList<int>, mapped);
    QFETCH(QString, port);
    QFETCH(QStringList, steps);
    Desk desk(mapped, port);
    desk.Show();
    for (const QString& step : steps) desk.Step(step);
    QTEST(desk.Ports(), "shown");
    QTEST(desk.rig.store.Value("ComPort"), "stored");
  }

  void portsWaitForTheTransaction() {
    Desk desk({3}, "3");
    desk.terminal.model.MutableFaults().silent = true;
    QTest::mouseClick(desk.Show()->findChild<QPushButton*>("CommandRead"), Qt::LeftButton);
    desk.Step("+usb0");
    QVERIFY(desk.form->Engine().Busy());
    QCOMPARE(desk.Ports(), QString("[3]"));
    QVERIFY(desk.rig.clock.RunUntil([&] { return !desk.form->Engine().Busy(); }, 1min));
    desk.rig.clock.RunFor(2s);
    QCOMPARE(desk.Ports(), QString("1 [3]"));
  }

  void verifiedWrite_data() {
    QTest::addColumn<bool>("boxOn");
    QTest::addColumn<bool>("stuck");
    QTest::addColumn<QStringList>("lines");  // the check's lines after "设置成功"
    QTest::newRow("kept") << true << false << QStringList{QString::fromUtf8("校验成功")};
    QTest::newRow("stuck byte") << true << true
                                << QStringList{QString::fromUtf8("校验失败:lora_tx_power"),
                                               "lora_tx_power: wrote 22, read 9"};
    QTest::newRow("box off") << false << true << QStringList{};
  }
  void verifiedWrite() {
    QFETCH(bool, boxOn);
    QFETCH(bool, stuck);
    Desk desk;
    desk.terminal.stuck = stuck;
    desk.Show();
    auto* box = desk.Get<QCheckBox>("CheckVerifyWrite");
    QVERIFY(box->isChecked());
    QCOMPARE(box->text(), QString::fromUtf8("写入后校验"));
    box->setFocus();
    if (!boxOn) QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(desk.rig.store.Value("VerifyWrite"), boxOn ? "" : "0");
    const QByteArray before = desk.form->Image().Bytes(0, 4096);
    desk.Click("CommandWrite");

    QStringList after = desk.Lines();
    after = after.mid(after.indexOf(QString::fromUtf8("设置成功")) + 1);
    QCOMPARE(after.contains(QString::fromUtf8("读取成功!")), boxOn);  // read back...
    QCOMPARE(desk.form->Image().Bytes(0, 4096), before);              // ...not into the form
    QStringList check;
    for (const QString& line : after)
      if (line.startsWith(QString::fromUtf8("校验")) || line.contains(": wrote ")) check << line;
    QTEST(check, "lines");
  }

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
    Desk desk;
    ParameterImage& form = desk.Show()->Image();
    form.StampValidMarker();
    form.WriteImageText(228, 16, "ab");  // mqtt_user: a read does not carry it
    const ParameterImage before = form;
    ParameterImage other = before;
    for (auto [byte, value] : {std::pair{0, 7}, {36, 10}, {48, 0xDC}, {49, 0x85}})
      other.SetByte(byte, uint8_t(value));  // channel 3 offset 0x85DC: -1.5
    other.WriteImageText(228, 16, "");
    desk.terminal.model.Memory() = other;
    desk.terminal.model.SetIdentity({35, 0, 0, 0});
    desk.prompts.QueueFile(desk.WriteFile("other.quelt", other.Bytes(0, 10240)));

    desk.Click("CommandCompare");
    auto* window = desk.Get<QDialog>("FormCompare");
    QVERIFY(window->isVisible());
    QTest::mouseClick(window->findChild<QPushButton*>(button), Qt::LeftButton);
    auto* table = window->findChild<QTableWidget*>("TableCompare");
    QVERIFY(desk.rig.clock.RunUntil([&] { return table->rowCount() > 0; }, 1min));
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
      rows << table->item(r, 0)->text() + ": " + table->item(r, 2)->text() + " | " +
                  table->item(r, 3)->text();
    QTEST(rows, "rows");
    QTEST(table->horizontalHeaderItem(3)->text(), "source");
    QTEST(window->findChild<QLabel*>("LabelCompareCount")->text(), "count");
    QVERIFY(form == before);
  }

  void unsavedMark_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    const QString tool = QString::fromUtf8("TR5906配置工具");
    QTest::newRow("read") << "CommandRead" << tool;
    QTest::newRow("write") << "CommandWrite" << tool;
    QTest::newRow("save") << "CommandSave" << tool + " - site.quelt";
    QTest::newRow("open") << "CommandLoad" << tool + " - site.quelt";
  }
  void unsavedMark() {
    QFETCH(QString, button);
    QFETCH(QString, title);
    Desk desk;
    desk.prompts.QueueFile(desk.WriteFile("site.quelt", ImageFile(0)));
    desk.prompts.QueueOkCancel(true);
    const QString tool = desk.Show()->windowTitle();
    QCOMPARE(tool, QString::fromUtf8("TR5906配置工具"));
    desk.TypeAddress("7");
    QTRY_COMPARE(desk.form->windowTitle(), tool + '*');
    desk.TypeAddress("1");  // back to what was kept
    QTRY_COMPARE(desk.form->windowTitle(), tool);
    desk.TypeAddress("9");
    desk.Click(button);
    QTRY_COMPARE(desk.form->windowTitle(), title);
    desk.TypeAddress("12");
    QTRY_COMPARE(desk.form->windowTitle(), title + '*');
  }

  void closing_data() {
    QTest::addColumn<bool>("edit");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<bool>("closed");
    QTest::newRow("no edits") << false << Answer::Cancel << "" << true;
    QTest::newRow("cancel") << true << Answer::Cancel << "" << false;
    QTest::newRow("discard") << true << Answer::Discard << "" << true;
    QTest::newRow("save") << true << Answer::Save << "kept.quelt" << true;
    QTest::newRow("save, no file") << true << Answer::Save << "" << false;
  }
  void closing() {
    QFETCH(bool, edit);
    QFETCH(QString, saveAs);
    QFETCH(bool, closed);
    Desk desk;
    QFETCH(Answer, answer);
    desk.prompts.answer = answer;
    const QString path = saveAs.isEmpty() ? QString() : desk.rig.dir.filePath(saveAs);
    desk.prompts.QueueFile(path);
    desk.Show();
    if (edit) desk.TypeAddress("7");
    QCOMPARE(desk.form->close(), closed);  // a real close event
    QCOMPARE(desk.prompts.asked, edit ? 1 : 0);
    QCOMPARE(desk.form->isVisible(), !closed);
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
    const QStringList cover{QString::fromUtf8("覆盖当前数据？")};
    QTest::newRow("config on the list") << "site.quelt"
                                        << "ListMsg" << true << true << cover << 9;
    QTest::newRow("config on a box") << "A.QUELT"
                                     << "TextDeviceAddr" << true << true << cover << 9;
    QTest::newRow("config, cancel") << "site.quelt"
                                    << "ListMsg" << false << true << cover << 1;
    QTest::newRow("broken firmware")
        << "fw.hex"
        << "ListMsg" << true << true << QStringList{QString::fromUtf8("文档有误")} << 1;
    QTest::newRow("other file") << "notes.txt"
                                << "ListMsg" << true << false << QStringList{} << 1;
  }
  void drops() {
    QFETCH(QString, name);
    QFETCH(QString, target);
    QFETCH(bool, ok);
    Desk desk;
    desk.prompts.QueueOkCancel(ok);
    desk.Show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(
        desk.WriteFile(name, name.endsWith("hex") ? ":10000000XYZ\n" : ImageFile(9)))});
    QWidget* widget = desk.Get(target);
    if (auto* list = qobject_cast<QListWidget*>(widget)) widget = list->viewport();
    QDragEnterEvent enter({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QTEST(enter.isAccepted(), "accepted");
    QDropEvent drop({5, 5}, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    QCoreApplication::processEvents();
    QTEST(desk.prompts.Texts(), "asked");
    QTEST(desk.Get<QLineEdit>("TextDeviceAddr")->text().toInt(), "address");
    QTEST(int(desk.form->Image().Byte(0)), "address");
  }

  void messageList_data() {
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("shiftUps");  // Shift+Up presses after the click
    QTest::addColumn<QString>("copied");
    QTest::newRow("newest line") << -1 << 0 << QString::fromUtf8("读取成功!");
    QTest::newRow("one line") << 1 << 0 << "Try(1):9600,N,8,1";
    QTest::newRow("upwards") << 2 << 2
                             << QString::fromUtf8("读取数据\nTry(1):9600,N,8,1\n读取成功!");
  }
  void messageList() {
    QFETCH(int, clicked);
    QFETCH(int, shiftUps);
    Desk desk;
    desk.Show();
    for (const char* line : {"读取数据", "Try(1):9600,N,8,1", "读取成功!"})
      desk.form->AddMessage(QString::fromUtf8(line));
    auto* list = desk.Get<QListWidget>("ListMsg");
    if (clicked >= 0)
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                        list->visualItemRect(list->item(clicked)).center());
    for (int i = 0; i < shiftUps; ++i) QTest::keyClick(list, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QTEST(QGuiApplication::clipboard()->text(), "copied");

    // "保存列表": the second entry of the context menu; every line, UTF-8.
    const QString path = desk.rig.dir.filePath("log.txt");
    desk.form->findChild<MessageListMenu*>()->SetFileChooser([&] { return path; });
    QTimer::singleShot(0, [] {
      for (auto key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return})
        QTest::keyClick(QApplication::activePopupWidget(), key);
    });
    QContextMenuEvent menu(QContextMenuEvent::Mouse, {5, 5}, list->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(list->viewport(), &menu);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xE8\xAF\xBB\xE5\x8F\x96\xE6\x95\xB0\xE6\x8D\xAE\n"
                                        "Try(1):9600,N,8,1\n"
                                        "\xE8\xAF\xBB\xE5\x8F\x96\xE6\x88\x90\xE5\x8A\x9F!\n"));
  }
};

QTEST_MAIN(TestWindowExtras)
#include "tst_windowextras.moc"
