// The main window on the in-process terminal, driven by real events, with its
// features (ports that follow the cable, read-back, compare, closing, drops).
#include "FileBytes.h"
#include "FormMainRig.h"
#include "TextInput.h"
#include "ui/MessageListMenu.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QTabBar>
#include <QTableWidget>

using namespace std::chrono_literals;
using Answer = Prompts::SaveAnswer;

namespace {

/// What controls show, joined by spaces: a box's text ("-" when disabled), a list's shown
/// entry, a check box as "on"/"off"; "format": the 485 port's format.
QString Shown(FormMain* form, const QString& names) {
  QStringList shown;
  for (const QString& name : names.split(' ')) {
    QObject* o = name == "format" ? nullptr : Child<QObject>(form, name);
    auto* check = qobject_cast<QCheckBox*>(o);
    auto* edit = qobject_cast<QLineEdit*>(o);
    auto* combo = qobject_cast<QComboBox*>(o);
    shown << (check   ? QString(check->isChecked() ? "on" : "off")
              : edit  ? (edit->isEnabled() ? edit->text() : "-")
              : combo ? FormMain::ShownText(combo)
                      : form->DeviceFormatText());
  }
  return shown.join(' ');
}

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
  QCoreApplication::processEvents();  // the file opens once the drop has returned
}

/// Runs the steps of the files tests on a shown window: a number typed as the address;
/// "ok"/"cancel" the next answer to "覆盖当前数据？"; "@name" the next file chosen ("@":
/// none); a button clicked; "close:" and the answer to the unsaved-edits question;
/// "name>control" a file dropped on a control.
void RunSteps(FormMainRig& rig, FormMain& form, const QString& steps) {
  form.show();
  for (const QString& step : steps.split(' ')) {
    if (step[0].isDigit()) TypeAddress(&form, step);
    if (step == "ok" || step == "cancel") rig.prompts.QueueOkCancel(step == "ok");
    if (step[0] == '@') rig.prompts.QueueFile(step.size() > 1 ? rig.dir.filePath(step.mid(1)) : "");
    if (step.startsWith("Command")) Click(&form, step);
    if (step.contains('>'))
      Drop(Child(&form, step.section('>', 1)), rig.dir.filePath(step.section('>', 0, 0)));
    rig.prompts.saveAnswer = step == "close:Save"      ? Answer::Save
                             : step == "close:Discard" ? Answer::Discard
                                                       : Answer::Cancel;
    if (step.startsWith("close:")) form.close();  // a real close event
    QVERIFY(rig.RunToEnd(form));
  }
}

}  // namespace

class TestFormMain : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void show_data() {
    QTest::addColumn<QString>("words");  // "word=value ...", changed in the start-up image
    QTest::addColumn<QString>("controls");
    QTest::addColumn<QString>("shown");
    const auto row = [](const char* words, const char* controls, const char* shown) {
      QTest::addRow("%s %s", words, controls) << words << controls << QString::fromUtf8(shown);
    };
    row("0=999", "TextDeviceAddr", "999");
    row("5=192 9=3", "ComboBaudRate_0 ComboBaudRate_1", "19200 300");
    row("10=3", "ComboParity_1", "");
    row("10=9 11=0 12=0", "format", "9600,N,8,1");
    row("9=1152 10=2 11=2 12=7", "format", "115200,O,7,2");
    row("14=9", "ComboChannel", "1");
    row("15=12", "ComboAirRate", "0.48Kbps");
    row("15=5", "ComboAirRate", "62.5Kbps");
    row("15=4", "ComboAirRate", "15.6Kbps");
    row("18=40 21=9", "ComboTxPower ComboAdcType", "22dBm 自由");
    row("19=1 20=0", "ComboLoraRepeat", "转发到实串口");
    row("19=1 20=1", "ComboLoraRepeat", "转发到TTL口");
    row("19=0 20=1", "ComboLoraRepeat", "不转发");
    row("58=300 59=300", "TextUartLostTime TextUartPackageSize", "255 255");
    row("61=0", "CheckResetEnable TextResetCycle TextIdleCycle", "off - -");
    row("61=8640 62=8641", "TextResetCycle TextIdleCycle", "8640 6");
    row("63=5 64=3", "ComboLogLevel ComboLogPort", "关 调试串口");
    row("67=0x4FFF 68=10", "TextDinFilter CheckCaptureEdge_0 CheckCaptureEdge_2 TextSavePeriod",
        "4095 off on 10");
  }
  void show() {
    QFETCH(QString, words);
    QFETCH(QString, controls);
    FormMainRig rig;
    auto form = rig.Make();
    for (const QString& pair : words.split(' '))
      form->Image().SetWord(pair.section('=', 0, 0).toInt(),
                            pair.section('=', 1).toInt(nullptr, 0));
    const ParameterImage before = form->Image();
    form->ShowImage();
    QTEST(Shown(form.get(), controls), "shown");
    QVERIFY(form->Image() == before);  // showing writes nothing back
  }

  // Steps: a button clicked, "~" 3.5 s on the clock while the transaction runs, "." run
  // until it has ended. The terminal: "silent", "no port", or the format it greets at.
  void buttons_data() {
    QTest::addColumn<QString>("terminal");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("lines");   // the message list's last lines
    QTest::addColumn<QString>("prompt");  // the first line of the only question
    QTest::addColumn<QString>("shown");   // the link format, then the controls
    const char* read = "读取成功!|REZUZODO|固件版本:41.23.Kestrel|生产日期:2019-1-1";
    const char* image = "9600,E,8,1 42 0.48Kbps 5dBm 4-442.125MHz";
    const char* none = "9600,N,8,1 9600,N,8,1 1 1.92Kbps 22dBm 2";
    Row("read", "", "CommandRead", read, "", QString("9600,N,8,1 ") + image);
    Row("read, silent", "silent", "CommandRead", "读取失败!", "检测连接！重试或取消？", none);
    Row("read, no port", "no port", "CommandRead", "Read failed!", "Please reselect COM port!",
        none);
    Row("read, refused part-way", "refuse", "CommandRead", "读取失败|读取失败!", "", none);
    Row("closed during a read", "silent", "CommandRead CommandClose", "读取失败!", "", none);
    Row("detection", "19200,E,8,1", "CommandAutoBaudrate . CommandRead", read, "",
        QString("19200,E,8,1 ") + image);
    Row("detection stopped", "silent", "CommandAutoBaudrate ~ CommandAutoBaudrate",
        "自动匹配失败,请重新自动匹配或手动匹配!", "", none);
    Row("same as device", "", "CommandRead . CommandSetForComm",
        "生产日期:2019-1-1|软件串口格式为:9600,E,8,1(1 0 1)", "", QString("9600,E,8,1 ") + image);
  }
  void buttons() {
    QFETCH(QString, terminal);
    QFETCH(QString, steps);
    FormMainRig rig({1});
    rig.terminal.MutableFaults().silent = terminal == "silent";
    rig.terminal.MutableFaults().refuseBlock = terminal == "refuse" ? 5 : -1;
    if (terminal.contains(',')) rig.terminal.SetFormat(terminal);
    for (auto [word, value] : {std::pair{0, 42}, {10, 1}, {14, 3}, {15, 12}, {18, 5}})
      rig.terminal.Memory().SetWord(word, uint16_t(value));
    rig.terminal.SetIdentity({0x23, 0x41, 0x00, 0x02});
    if (terminal == "no port") rig.link.SetPresentPorts({});
    auto form = rig.Make(terminal == "no port");
    FormMain* f = form.get();
    const QString caption = Child<QPushButton>(f, "CommandAutoBaudrate")->text();
    for (const QString& step : steps.split(' ')) {
      if (step == "~") QVERIFY(!rig.clock.RunUntil([&] { return !f->Engine().Busy(); }, 3500ms));
      if (step == ".") QVERIFY(rig.RunToEnd(*f));
      if (step.startsWith("Command")) Click(f, step);
      if (step == "CommandRead" && terminal != "no port")
        for (const char* name : {"CommandRead", "CommandWrite", "CommandResetConfig",
                                 "CommandGetErrorLog", "CommandAutoBaudrate", "CommandUpdate",
                                 "CommandComFresh", "ComboComPort", "CommandLoad"})
          QVERIFY2(!Child(f, name)->isEnabled(), name);
    }
    QVERIFY(rig.RunToEnd(*f));
    QVERIFY(!rig.link.IsOpen());
    QFETCH(QString, lines);
    QCOMPARE(Lines(f).mid(Lines(f).size() - lines.count('|') - 1).join('|'), lines);
    QCOMPARE(Child<QListWidget>(f, "ListMsg")->currentRow(), Lines(f).size() - 1);
    QTEST(rig.prompts.Texts().join('\n').section('\n', 0, 0), "prompt");
    QTEST(f->LinkSettings() + ' ' +
              Shown(f, "format TextDeviceAddr ComboAirRate ComboTxPower ComboChannel"),
          "shown");
    QCOMPARE(Child<QPushButton>(f, "CommandAutoBaudrate")->text(), caption);        // stop: undone
    QCOMPARE(QString::number(f->Image().GetUWord(0)), Shown(f, "TextDeviceAddr"));  // no mix
    Click(f, "CommandClear");
    f->AddMessage("c");
    Click(f, "CommandClr");
    QCOMPARE(Lines(f), QStringList());
    form.reset();
    rig.clock.RunAll(std::chrono::minutes(1));
  }

  // Each kind of editor on its page, then Alt+W with the editor still open: the
  // terminal holds the edit, and nothing else changed. Or closed (Alt+C, the title
  // bar) while typing: the edit is stored and asked about.
  void writeCarriesTheEdit_data() {
    QTest::addColumn<int>("tab");         // 5: the service page
    QTest::addColumn<QString>("editor");  // a box, a list, a check box or "grid:row:column"
    QTest::addColumn<QString>("input");   // typed (TextInput.h), a list's index
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QString>("then");
    Row("typed", 2, "TextDeviceAddr", "77", 0, "4d00", "Alt+W");
    Row("beyond the limit", 2, "TextDeviceAddr", "300", 0, "ff00", "Alt+W");
    Row("pasted", 2, "TextDeviceAddr", "paste:42", 0, "2a00", "Alt+W");
    Row("dropped", 2, "TextUartLostTime", "drop:0", 116, "c800", "Alt+W");
    Row("adjust byte", 2, "TextAdjustVol", "9", 1008, "09", "Alt+W");
    Row("list", 2, "ComboLoraRepeat", "2", 40, "0100", "Alt+W");
    Row("port list", 1, "ComboParity_1", "1", 20, "0100", "Alt+W");
    Row("analog grid", 3, "MSHFlexGridAdcParam:1:2", "-1.2345", 44, "d284", "Alt+W");
    Row("digital grid", 4, "MSHFlexGriddigitalSetting:3:1", "DI", 120, "8000", "Alt+W");
    Row("check box", 4, "CheckCaptureEdge_2", "", 134, "05b0", "Alt+W");
    Row("service page", 5, "TextDeviceName", "Pump", 4116, "50756d7000", "Alt+W");
    Row("typed, Alt+C", 2, "TextDeviceAddr", "33", 0, "2100", "Alt+C");
    Row("typed, title bar", 2, "TextDeviceAddr", "300", 0, "ff00", "title bar");
    Row("analog grid, title bar", 3, "MSHFlexGridAdcParam:1:2", "-1.2345", 44, "d284", "title bar");
    Row("service page, Alt+C", 5, "TextDeviceName", "Pump", 4116, "50756d7000", "Alt+C");
  }
  void writeCarriesTheEdit() {
    QFETCH(int, tab);
    QFETCH(QString, editor);
    QFETCH(QString, input);
    QFETCH(int, offset);
    QFETCH(QString, bytes);
    FormMainRig rig({1});
    auto form = rig.Make(false, tab == 5);
    QWidget* f = form.get();
    f->show();
    QApplication::setActiveWindow(f);
    QVERIFY(QTest::qWaitForWindowActive(f));
    rig.terminal.Memory().Store(0, form->Image().Data(), 256);
    QByteArray expected = rig.terminal.Memory().Bytes(0, 256);
    if (offset < 256)
      expected.replace(offset, bytes.size() / 2, QByteArray::fromHex(bytes.toLatin1()));
    if (editor == "TextAdjustVol") QTest::mouseDClick(Child(f, "LabelVersion"), Qt::LeftButton);
    auto* tabs = Child<QTabBar>(f, "TabStrip1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab - 1).center());
    const QStringList cell = editor.split(':');
    QWidget* control = Child(f, cell[0]);
    if (auto* grid = qobject_cast<QTableWidget*>(control)) {
      const QModelIndex index = grid->model()->index(cell[1].toInt(), cell[2].toInt());
      QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
      QTest::keyClicks(QApplication::focusWidget(), input);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
      QTest::mouseClick(combo, Qt::LeftButton);  // open the list, click the entry
      QAbstractItemView* view = combo->view();
      QTRY_VERIFY(view->isVisible());
      QTest::qWait(QApplication::doubleClickInterval() + 50);  // else one click with the opening
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                        view->visualRect(view->model()->index(input.toInt(), 0)).center());
      QTRY_VERIFY(!view->isVisible());
    } else {
      QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(6, control->height() / 2));
      QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
      PutText(control, input);
    }
    QFETCH(QString, then);
    rig.prompts.saveAnswer = Answer::Cancel;
    QCloseEvent close;  // what the window system sends for the title bar's button or Alt+F4
    if (then == "title bar")
      QApplication::sendEvent(f->windowHandle(), &close);
    else
      QTest::keyClick(QApplication::focusWidget(), then.back() == 'C' ? Qt::Key_C : Qt::Key_W,
                      Qt::AltModifier);
    if (then != "Alt+W") {
      QTRY_COMPARE(rig.prompts.saveAsked, 1);  // cancelled: still open
      QVERIFY(f->isVisible());
      QCOMPARE(form->Image().Bytes(offset, bytes.size() / 2).toHex(), bytes.toLatin1());
      return;
    }
    QTRY_VERIFY(!Child(f, "CommandRead")->isEnabled());
    QVERIFY(rig.RunToEnd(*form));
    QVERIFY(Lines(f).contains("设置成功"));
    QCOMPARE(rig.terminal.Memory().Bytes(offset, bytes.size() / 2).toHex(), bytes.toLatin1());
    QCOMPARE(rig.terminal.Memory().Bytes(0, 256).toHex(), expected.toHex());
    QCOMPARE(rig.terminal.AdjustWrites(), offset == 1008 ? 1 : 0);
  }

  void portsFollow_data() {
    QTest::addColumn<QList<int>>("mapped");
    QTest::addColumn<QString>("port");   // remembered
    QTest::addColumn<QString>("steps");  // "+usb0" a new adapter, "+7"/"-7" port 7 back/pulled,
    // "=" the entry above chosen with the keyboard, "#7" port 7 held by another program, each
    // then 2 s; "^7" held from the start, "~7" free again, "open" the list opened, "." 2 s
    QTest::addColumn<QString>("shown");  // numbers, "!" "(未连接)", "?" "(占用)", the choice in []
    QTest::addColumn<QString>("stored");
    Row("start", QList<int>{3, 7}, "5", "", "[3] 7", "3");
    Row("plugged in", QList<int>{3}, "3", "+usb0", "1 [3]", "3");
    Row("chosen pulled", QList<int>{3, 7}, "7", "-7", "3 [7!]", "7");
    Row("other pulled", QList<int>{3, 7}, "7", "-3", "[7]", "7");
    Row("pulled, back", QList<int>{3, 7}, "7", "-7 +7", "3 [7]", "7");
    Row("pulled, other", QList<int>{3, 7}, "7", "-7 =", "[3]", "3");
    Row("none before", QList<int>{}, "", "+usb0", "[1]", "1");
    Row("held at start", QList<int>{3, 7}, "7", "^7", "[3] 7?", "3");
    Row("held, freed", QList<int>{3, 7}, "3", "^7 ~7 .", "[3] 7", "3");
    Row("held, list opened", QList<int>{3, 7}, "3", "^7 ~7 open", "[3] 7", "3");
    Row("chosen held", QList<int>{3, 7}, "7", "#7 -3", "[7?]", "7");
  }
  void portsFollow() {
    QFETCH(QList<int>, mapped);
    QFETCH(QString, port);
    QFETCH(QString, steps);
    FormMainRig rig(mapped);
    if (!port.isEmpty()) rig.store.SetValue("ComPort", port);
    QStringList held;
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts))
      if (step[0] == '^') held << rig.dir.filePath("tty" + step.mid(1));
    rig.ports.SetProber([&held](const QString& device) { return !held.contains(device); });
    auto form = rig.Make();
    form->show();
    auto* combo = Child<QComboBox>(form.get(), "ComboComPort");
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
      const QString device = rig.dir.filePath("tty" + step.mid(1));
      if (step == "=") QTest::keyClick(combo, Qt::Key_Up);
      if (step[0] == '-') QFile::remove(device);
      if (step[0] == '+') QFile(device).open(QIODevice::WriteOnly);
      if (step == "+usb0") rig.plugged << device;
      if (step[0] == '#') held << device;
      if (step[0] == '~') held.removeAll(device);
      if (step == "open") QTest::mouseClick(combo, Qt::LeftButton);
      if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
      if (!QString("^~o").contains(step[0]))
        rig.clock.RunFor(std::chrono::seconds(2));  // seen within two seconds
    }
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i) {
      const QString text = combo->itemText(i);
      const QString entry = text.section(' ', 0, 0).mid(3) +
                            (text.endsWith(" (未连接)") ? "!" : "") +
                            (text.endsWith(" (占用)") ? "?" : "");
      entries << (i == combo->currentIndex() ? '[' + entry + ']' : entry);
    }
    QTEST(entries.join(' '), "shown");
    QTEST(rig.store.Value("ComPort"), "stored");
  }

  // An address typed, then a write; the terminal as it is, keeping 9 in its byte 36
  // (transmit power), silent from the read-back on, or silent.
  void verifiedWrite_data() {
    QTest::addColumn<bool>("boxOn");
    QTest::addColumn<QString>("terminal");
    QTest::addColumn<bool>("english");
    QTest::addColumn<QStringList>("lines");  // the read-back's and the check's
    QTest::addColumn<QString>("prompt");     // the last question
    QTest::addColumn<QString>("mark");       // the title's unsaved mark
    Row("kept", true, "", false, QStringList{"读取成功!", "校验成功"}, "", "");
    Row("stuck byte", true, "stuck", false,
        QStringList{"读取成功!", "校验失败:发射功率(通信参数)",
                    "发射功率(通信参数): 写入 22, 读回 9"},
        "校验失败:终端中以下字段与写入的不同:\n发射功率(通信参数)", "*");
    Row("stuck byte, English", true, "stuck", true,
        QStringList{"Read succeeded!", "Verify failed: TX Power (Options)",
                    "TX Power (Options): wrote 22, read 9"},
        "Verify failed: the terminal holds other values than were written in:\nTX Power (Options)",
        "*");
    Row("no read-back", true, "silent after write", false,
        QStringList{"读取失败!", "校验失败:回读失败"}, "校验失败:终端无法回读，写入未经确认。",
        "*");
    Row("box off", false, "stuck", false, QStringList{}, "", "");
    Row("write fails", true, "silent", false, QStringList{}, "检测连接！重试或取消？", "*");
  }
  void verifiedWrite() {
    QFETCH(bool, boxOn);
    QFETCH(QString, terminal);
    QFETCH(bool, english);
    FormMainRig rig({1});
    rig.prompts.realBoxes = true;
    rig.prompts.boxName = english ? "" : "failed-check";
    rig.terminal.MutableFaults().silent = terminal == "silent";
    auto form = rig.Make(english);
    FormMain* f = form.get();
    f->show();
    auto* box = Child<QCheckBox>(f, "CheckVerifyWrite");
    QVERIFY(box->isChecked());
    box->setFocus();
    if (!boxOn) QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(rig.store.Value("VerifyWrite"), boxOn ? "" : "0");
    TypeAddress(f, "33");
    const QByteArray before = form->Image().Bytes(0, 4096);
    Click(f, "CommandWrite");
    const QString written = english ? "Write succeeded" : "设置成功";
    QVERIFY(rig.clock.RunUntil([&] { return Lines(f).contains(written) || !f->Engine().Busy(); }));
    if (terminal == "stuck") rig.terminal.Memory().SetByte(36, 9);
    rig.terminal.MutableFaults().silent = terminal.startsWith("silent");
    QVERIFY(rig.RunToEnd(*form));
    const QStringList after = Lines(f).mid(Lines(f).indexOf(written) + 1);
    QTEST(after.filter(QRegularExpression("^校验|^Verify|: 写入 |: wrote |^读取.*!|^Read .*!")),
          "lines");
    QTEST(rig.prompts.Texts().value(rig.prompts.Texts().size() - 1), "prompt");
    QTEST(QString(f->windowTitle().endsWith('*') ? "*" : ""), "mark");
    QCOMPARE(form->Image().Bytes(0, 4096), before);  // read back, not into the form
    if (boxOn && !english && terminal == "stuck") Keep(f, "verified-write");
  }

  // Steps: "file", "same" (a file equal to the form) or "terminal" to compare with; "log" the
  // core log read from the main window meanwhile; "tick:N" row N ticked with Space, "take"
  // "采用所选"; "dbl:N" a double-click on row N.
  void compare_data() {
    QTest::addColumn<QString>("terminal");  // "silent": it cannot be read
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("rows");  // caption / page: form | other
    QTest::addColumn<QString>("count");
    QTest::addColumn<QString>("after");  // the title's mark, page, address box and focus
    const QStringList differ = {"设备地址 / 通信参数: 1 | 7", "发射功率 / 通信参数: 22 | 10",
                                "信道3 修正电流/电压 / 模拟量参数: 0 | -1.5"};
    const QStringList file =
        differ + QStringList{"用户名 / 云服务配置: ab | ", "保留字13 / 不在页面上: 100 | 5"};
    const QStringList terminal =
        differ + QStringList{"保留字13 / 不在页面上: 100 | 5", "固件次版本 / 不在页面上: 0 | 35"};
    Row("file", "", false, "file", file, "与other.quelt有5处不同。", " 1 1");
    Row("terminal", "", false, "terminal", terminal, "与终端有5处不同。", " 1 1");
    Row("terminal after a log", "", false, "log terminal", terminal, "与终端有5处不同。", " 1 1");
    Row("terminal silent", "silent", false, "terminal", QStringList{}, "读取终端失败。", " 1 1");
    Row("same file", "", false, "same", QStringList{}, "与same.quelt没有不同。", " 1 1");
    Row("English", "", true, "file",
        QStringList{"Device Addr / Options: 1 | 7", "TX Power / Options: 22 | 10",
                    "Channel 3 Offset Voltage / Analog: 0 | -1.5",
                    "User Name / Cloud Service: ab | ",
                    "Reserved word 13 / Not on a page: 100 | 5"},
        "5 fields differ from other.quelt.", " 1 1");
    Row("take selected", "", false, "file tick:0 tick:2 tick:4 take",
        QStringList{"发射功率 / 通信参数: 22 | 10", "用户名 / 云服务配置: ab | "},
        "与other.quelt有2处不同。", "* 1 7");
    Row("double-click a box", "", false, "file dbl:0", file, "与other.quelt有5处不同。",
        " 2 1 TextDeviceAddr");
    Row("double-click a cell", "", false, "file dbl:2", file, "与other.quelt有5处不同。",
        " 3 1 MSHFlexGridAdcParam(3,2)");
  }
  void compare() {
    QFETCH(QString, terminal);
    QFETCH(bool, english);
    QFETCH(QString, steps);
    FormMainRig rig({1});
    auto form = rig.Make(english);
    FormMain* f = form.get();
    f->show();
    ParameterImage before = form->Image();
    before.StampValidMarker();
    before.WriteImageText(228, 16, "ab");  // mqtt_user: a read does not carry it
    rig.prompts.QueueFile(rig.WriteFile("form.quelt", before.Bytes(0, 10240)));
    rig.prompts.QueueOkCancel(true);
    Click(f, "CommandLoad");
    const ParameterImage& image = form->Image();
    ParameterImage other = before;
    for (auto [byte, value] : {std::pair{0, 7}, {26, 5}, {36, 10}, {48, 0xDC}, {49, 0x85}})
      other.SetByte(byte, uint8_t(value));  // channel 3 offset 0x85DC: -1.5
    other.WriteImageText(228, 16, "");
    rig.terminal.Memory() = other;
    rig.terminal.SetIdentity({35, 0, 0, 0});
    rig.terminal.MutableFaults().silent = terminal == "silent";
    const QString source = steps.startsWith("same") ? "same.quelt" : "other.quelt";
    rig.prompts.QueueFile(
        rig.WriteFile(source, (source == "same.quelt" ? before : other).Bytes(0, 10240)));
    Click(f, "CommandCompare");
    auto* window = Child<QDialog>(f, "FormCompare");
    auto* table = Child<QTableWidget>(window, "TableCompare");
    auto* terminalButton = Child<QPushButton>(window, "CommandCompareTerminal");
    for (const QString& step : steps.split(' ')) {
      const int row = step.section(':', 1).toInt();
      const QRect cell = table->visualRect(table->model()->index(row, 0));
      if (step == "log") {
        Click(f, "CommandGetErrorLog");  // the link is busy: the compare button and
        QVERIFY(!Child(f, "CommandCompare")->isEnabled());  // "与终端对比" wait, and say so
        QVERIFY(!terminalButton->isEnabled());
        QVERIFY(Child(window, "LabelCompareBusy")->isVisible());
        QVERIFY(rig.RunToEnd(*form));
        QVERIFY(!Child(window, "LabelCompareBusy")->isVisible());
      }
      if (step == "terminal") Click(window, "CommandCompareTerminal");
      if (step == "file" || step == "same") Click(window, "CommandCompareFile");
      if (step.startsWith("tick")) {
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::keyClick(table, Qt::Key_Space);
      }
      if (step == "take") Keep(window, "compare");
      if (step == "take") Click(window, "CommandCompareTake");
      if (step.startsWith("dbl")) {  // as the system delivers one: press, release, double-click
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
      }
      QVERIFY(rig.RunToEnd(*form));
    }
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
      rows << table->item(r, 0)->text() + " / " + table->item(r, 1)->text() + ": " +
                  table->item(r, 2)->text() + " | " + table->item(r, 3)->text();
    QTEST(rows, "rows");
    QFETCH(QString, count);
    QCOMPARE(Child<QLabel>(window, "LabelCompareCount")->text(), count);
    QVERIFY(rows.isEmpty() || count.contains(table->horizontalHeaderItem(3)->text()));
    QFETCH(QString, after);
    const auto shown = [&] {
      QWidget* focus = QApplication::focusWidget();
      auto* grid = qobject_cast<QTableWidget*>(focus);
      return QString(f->windowTitle().endsWith('*') ? "*" : "") + ' ' +
             QString::number(f->CurrentPage()) + ' ' + Shown(f, "TextDeviceAddr") +
             (steps.contains("dbl") && focus ? ' ' + focus->objectName() : "") +
             (steps.contains("dbl") && grid
                  ? QString("(%1,%2)").arg(grid->currentRow()).arg(grid->currentColumn())
                  : "");
    };
    QTRY_COMPARE(shown(), after);
    QCOMPARE(image == before, !steps.contains("take"));
  }

  // Steps as RunSteps takes them (the file chosen by default: site.quelt).
  void files_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("title");      // after "TR5906配置工具"; "closed" once closed
    QTest::addColumn<QString>("prompts");    // their first lines
    QTest::addColumn<int>("asked");          // the unsaved-edits question
    QTest::addColumn<QString>("addresses");  // in site.quelt and in the form
    Row("edit", "7", "*", "", 0, "9 7");
    Row("edit undone", "7 1", "", "", 0, "9 1");
    Row("read", "7 CommandRead", " - 终端(COM1)", "", 0, "9 1");
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
    Row("drop firmware", "fw.hex>ListMsg", "", "文档有误", 0, "9 1");
    Row("update", "@fw.hex CommandUpdate", "", "打开|文档有误", 0, "9 1");
    Row("drop other file", "notes.txt>ListMsg", "", "", 0, "9 1");
  }
  void files() {
    QFETCH(QString, steps);
    QFETCH(QString, title);
    FormMainRig rig({1});
    for (const char* name : {"short.quelt", "fw.hex", "notes.txt"}) rig.WriteFile(name, name);
    rig.WriteFile("A.QUELT", '\x09' + QByteArray(10239, '\0'));
    rig.prompts.SetDefaultFile(rig.WriteFile("site.quelt", '\x09' + QByteArray(10239, '\0')));
    auto form = rig.Make();
    RunSteps(rig, *form, steps);
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

  // Configuration texts: applied onto the form (it then holds edits), refused with every
  // error in a message box and nothing changed, saved as YAML.
  void texts_data() {
    QTest::addColumn<QString>("steps");    // as RunSteps takes them
    QTest::addColumn<QString>("title");    // after "TR5906配置工具"
    QTest::addColumn<QString>("box");      // text|details|buttons
    QTest::addColumn<QString>("address");  // the form's
    QTest::addColumn<QString>("saved");    // out.yaml's address line
    Row("open", "@site.yaml ok CommandLoad", " - site.yaml*", "", "12", "");
    Row("open, cancel", "@site.yaml cancel CommandLoad", "", "", "1", "");
    Row("drop", "ok site.yaml>TextDeviceAddr", " - site.yaml*", "", "12", "");
    Row("refused", "@bad.yaml ok CommandLoad", "",
        "配置文本有误，未做任何更改：\nbad.yaml:2:19: `device_address`：300 超出范围（1 到 255）\n"
        "bad.yaml:3:3: `log_levl`：未知的键，是否应为 `log_level`？|bad.yaml:2:19: "
        "`device_address`：300 超出范围（1 到 255）\nbad.yaml:3:3: `log_levl`：未知的键，是否应为 "
        "`log_level`？|确定,显示详情...",
        "1", "");
    Row("not there", "@none.yaml ok CommandLoad", "",
        "配置文本有误，未做任何更改：\n无法打开配置文件 none.yaml：此文件或目录不存在|无法打开配置"
        "文件 none.yaml：此文件或目录不存在|确定,显示详情...",
        "1", "");
    Row("save as YAML", "7 @out.yaml CommandSave", " - out.yaml", "", "7",
        "  device_address: 7  # 设备地址 / Device Addr; 1 to 255");
    Row("close, save as YAML", "7 @out.yaml close:Save", " - out.yaml", "", "7",
        "  device_address: 7  # 设备地址 / Device Addr; 1 to 255");
  }
  void texts() {
    QFETCH(QString, steps);
    FormMainRig rig({1});
    rig.prompts.realBoxes = true;
    rig.WriteFile("site.yaml", "communication:\n  device_address: 12\n");
    rig.WriteFile("bad.yaml", "communication:\n  device_address: 300\n  log_levl: info\n");
    auto form = rig.Make();
    RunSteps(rig, *form, steps);
    QTEST(form->windowTitle().remove("TR5906配置工具"), "title");
    QTEST(rig.prompts.boxes.join('\n').remove(rig.dir.path() + '/'), "box");
    QTEST(Child<QLineEdit>(form.get(), "TextDeviceAddr")->text(), "address");
    const QString saved = QString::fromUtf8(ReadFile(rig.dir.filePath("out.yaml")));
    QTEST(saved.split('\n').filter("device_address:").join('\n'), "saved");
  }

  // A name typed without an extension gets the chosen filter's in the save dialog.
  void saveDialogSuffix_data() {
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("path");
    Row("image", 0, "plain.quelt");
    Row("text", 1, "plain.yaml");
  }
  void saveDialogSuffix() {
    QFETCH(int, filter);
    QTemporaryDir dir;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      QTimer::singleShot(5000, dialog, &QDialog::reject);  // never left open by a failure
      for (int i = 0; i < filter; ++i)
        QTest::keyClick(Child(dialog, "fileTypeCombo"), Qt::Key_Down);
      QWidget* name = Child(dialog, "fileNameEdit");
      QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
      QTest::keyClicks(name, "plain\r");
    });
    QTEST(WidgetPrompts(nullptr)
              .ChooseFile(Prompts::FileMode::Save, "保存", dir.filePath("x"), false)
              .remove(dir.path() + '/'),
          "path");
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
  // A refused firmware file: Qt's own texts in the window's language, the line and reason
  // as the box's details.
  void qtTexts_data() {
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("seen");  // the file dialog's title, the box, its buttons
    Row("Chinese", false,
        "打开|文档有误|firmware_badsum.hex: line 2: bad checksum|确定,显示详情...");
    Row("English", true,
        "Open|文档有误|firmware_badsum.hex: line 2: bad checksum|OK,Show Details...");
  }
  void qtTexts() {
    QFETCH(bool, english);
    FormMainRig rig({1});
    rig.prompts.realBoxes = true;
    rig.prompts.QueueFile(TR5906_TEST_DATA "/firmware_badsum.hex");
    auto form = rig.Make(english);
    Click(form.get(), "CommandUpdate");
    const QString seen = rig.prompts.Texts().first() + '|' + rig.prompts.boxes.join('\n');
    QTEST(QString(seen).remove(TR5906_TEST_DATA "/"), "seen");
  }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
