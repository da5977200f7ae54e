// The main window on the in-process terminal: what the controls show of an
// image, the buttons' transactions, every kind of editor written, save and open.
#include "FormMainRig.h"
#include "TextInput.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTabBar>
#include <QTableWidget>

using namespace std::chrono_literals;

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
    row("15=13", "ComboAirRate", "15.6Kbps");
    row("18=40 21=9", "ComboTxPower ComboAdcType", "22dBm 自由");
    row("19=1 20=0", "ComboLoraRepeat", "转发到实串口");
    row("19=1 20=1", "ComboLoraRepeat", "转发到TTL口");
    row("19=0 20=1", "ComboLoraRepeat", "不转发");
    row("58=300 59=300", "TextUartLostTime TextUartPackageSize", "255 255");
    row("61=0", "CheckResetEnable TextResetCycle TextIdleCycle", "off - -");
    row("61=8640 62=8641", "TextResetCycle TextIdleCycle", "8640 6");
    row("63=5 64=3", "ComboLogLevel ComboLogPort", "关 调试串口");
    row("63=4 64=4", "ComboLogLevel ComboLogPort", "DEBUG 无");
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
    Row("read, no port", "no port", "CommandRead", "读取失败!", "Please reselect COM port!", none);
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
    QCOMPARE(Child<QPushButton>(f, "CommandAutoBaudrate")->text(), caption);  // stop: undone
    Click(f, "CommandClear");
    f->AddMessage("c");
    Click(f, "CommandClr");
    QCOMPARE(Lines(f), QStringList());
    form.reset();
    rig.clock.RunAll(std::chrono::minutes(1));
  }

  // Each kind of editor on its page, then Alt+W with the editor still open: the
  // terminal holds the edit, and nothing else changed.
  void writeCarriesTheEdit_data() {
    QTest::addColumn<int>("tab");         // 5: the service page
    QTest::addColumn<QString>("editor");  // a box, a list, a check box or "grid:row:column"
    QTest::addColumn<QString>("input");   // typed (TextInput.h), a list's index
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("bytes");
    Row("typed", 2, "TextDeviceAddr", "77", 0, "4d00");
    Row("beyond the limit", 2, "TextDeviceAddr", "300", 0, "ff00");
    Row("pasted", 2, "TextDeviceAddr", "paste:42", 0, "2a00");
    Row("dropped", 2, "TextUartLostTime", "drop:0", 116, "c800");
    Row("adjust byte", 2, "TextAdjustVol", "9", 1008, "09");
    Row("list", 2, "ComboLoraRepeat", "2", 40, "0100");
    Row("port list", 1, "ComboParity_1", "1", 20, "0100");
    Row("analog grid", 3, "MSHFlexGridAdcParam:1:2", "-1.2345", 44, "d284");
    Row("digital grid", 4, "MSHFlexGriddigitalSetting:3:1", "DI", 120, "8000");
    Row("check box", 4, "CheckCaptureEdge_2", "", 134, "05b0");
    Row("service page", 5, "TextDeviceName", "Pump", 4116, "50756d7000");
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
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::AltModifier);
    QTRY_VERIFY(!Child(f, "CommandRead")->isEnabled());
    QVERIFY(rig.RunToEnd(*form));
    QVERIFY(Lines(f).contains("设置成功"));
    QCOMPARE(rig.terminal.Memory().Bytes(offset, bytes.size() / 2).toHex(), bytes.toLatin1());
    QCOMPARE(rig.terminal.Memory().Bytes(0, 256).toHex(), expected.toHex());
    QCOMPARE(rig.terminal.AdjustWrites(), offset == 1008 ? 1 : 0);
  }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
