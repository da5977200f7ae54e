// The option editors, both grids and the three cloud-settings windows, which
// share the editing rules, driven by key and mouse events. Bytes are given at
// a byte address of the image (word n at 2n, low byte first; X + n is offset n
// of the extended block); 4d stands for a byte the edit must replace or leave.
#include <QtTest>
#include <QtWidgets>

#include "TextInput.h"
#include "image/ParameterImage.h"
#include "settings/FormFactory.h"
#include "settings/FormMqttSetting.h"
#include "settings/FormVarSetting.h"
#include "ui/AdcGrid.h"
#include "ui/DioGrid.h"
#include "ui/OptionEditors.h"

namespace {

constexpr int X = ParameterImage::kExtendedBase;

/// The three settings windows on one image, and the form of the option editors.
struct Windows {
  FormMqttSetting mqtt;
  FormVarSetting var;
  FormFactory factory;
  QWidget* form;
  Windows(ParameterImage& image, bool english, QWidget* form = nullptr)
      : mqtt(image, english), var(image, english), factory(image, english), form(form) {}
  /// The window named `name`, or the one holding the control `name`.
  QWidget* Holding(const QString& name) {
    for (QWidget* window : std::initializer_list<QWidget*>{&mqtt, &var, &factory, form})
      if (window &&
          (window->objectName() == name || window->findChild<QObject*>(name.section(':', 0, 0))))
        return window;
    return &mqtt;
  }
  /// What a control shows: a window its title, "list:*" every entry, a check
  /// box its text with "+" when ticked, "array_*" every member.
  QString Shown(const QString& name) {
    if (name.endsWith("_*")) {  // every member of a control array (all in `var`)
      QStringList all;
      for (int k = 0; var.findChild<QObject*>(name.chopped(1) + QString::number(k)); ++k)
        all << Shown(name.chopped(1) + QString::number(k));
      return all.join('|');
    }
    QWidget* window = Holding(name);
    QObject* child = window->findChild<QObject*>(name.section(':', 0, 0));
    if (window->objectName() == name) return window->windowTitle();
    if (auto* list = qobject_cast<QComboBox*>(child)) {
      QStringList entries;
      for (int k = 0; k < list->count(); ++k) entries << list->itemText(k);
      return name.endsWith(":*") ? entries.join('|') : list->currentText();
    }
    if (auto* check = qobject_cast<QCheckBox*>(child))
      return check->text() + (check->isChecked() ? "+" : "");
    for (const char* property : {"title", "text"})  // group boxes, labels, buttons, text boxes
      if (child && child->property(property).isValid()) return child->property(property).toString();
    return "<no " + name + ">";
  }
};

struct Edit {
  const char *box, *leave;  // leave: Tab, Enter, Esc (closes), keys, load, visit
  QString typed, shown;
  int at;
  QByteArray hex;  // the bytes at `at` afterwards; all others stay
};

struct Choice {
  const char* list;
  int shown;          // the entry shown while the window fills it
  QByteArray before;  // stored at `at` meanwhile
  QList<int> steps;   // Down (Up when negative) that many times; 0: F4, Return
  int at;
  QByteArrayList hex;  // after each step
};

struct Cell {
  int column;
  const char *typed, *leave, *shown;  // leave: Enter, "away" or a click on the next row
  QByteArray hex;
  int nextRow, nextColumn;  // after Enter
};

void Click(QTableWidget* grid, int row, int column) {
  const QRect cell = grid->visualRect(grid->model()->index(row, column));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

/// Typed key by key (any character), or pasted / dropped (TextInput.h).
void Type(QWidget* box, const QString& text) {
  if (text.startsWith("paste:") || text.startsWith("drop:")) return PutText(box, text);
  for (const QChar ch : text) QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, ch, {});
}

}  // namespace

Q_DECLARE_METATYPE(Edit)
Q_DECLARE_METATYPE(Choice)
Q_DECLARE_METATYPE(Cell)

class TestEditors : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    image_.Clear();
    filling_ = false;
    for (int channel = 1; channel <= 9; ++channel) {
      image_.SetWord(30 + channel, 10);   // full scale
      image_.SetWord(39 + channel, 100);  // multiplier 1
      image_.SetWord(48 + channel, 1);    // kind: current
    }
    form_ = new QWidget;
    other_ = new QLineEdit(form_);  // somewhere to put the focus
    auto* layout = new QHBoxLayout(form_);
    auto* fields = new QFormLayout;
    layout->addLayout(fields);
    const auto add = [fields](QWidget* widget, const QString& name, const QString& entries = {}) {
      widget->setObjectName(name);
      if (auto* list = qobject_cast<QComboBox*>(widget)) list->addItems(entries.split(' '));
      fields->addRow(name, widget);
    };
    // Lists stored by index hold numbers; the port lists the texts stored.
    for (const QString& name : QString("ComboChannel ComboAirRate ComboTxPower ComboLoraRepeat "
                                       "ComboAdcType ComboLogLevel ComboLogPort ComboTimeSource")
                                   .split(' '))
      add(new QComboBox, name, "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22");
    for (const QString& group : QStringList{"_0", "_1"}) {
      add(new QComboBox, "ComboBaudRate" + group,
          "1200 2400 4800 9600 19200 28800 38400 57600 115200 128000");
      add(new QComboBox, "ComboParity" + group, "N E O");
      add(new QComboBox, "ComboDatabits" + group, "7 8");
      add(new QComboBox, "ComboStopbits" + group, "1 2");
    }
    for (const QString& name :
         QString("TextDeviceAddr TextUartLostTime TextUartPackageSize TextResetCycle TextIdleCycle "
                 "TextSavePeriod TextDinFilter TextAdjustVol TextDeviceName TextDeviceSN "
                 "TextInstallAddr TextDeviceSort CheckResetEnable CheckCaptureEdge_0 "
                 "CheckCaptureEdge_1 CheckCaptureEdge_2 CheckCaptureEdge_3 CheckLteEnable Check1")
             .split(' '))
      add(name.startsWith("Text") ? static_cast<QWidget*>(new QLineEdit) : new QCheckBox, name);
    add(new QDateEdit, "DTPickerInstallTime");
    auto* grids = new QVBoxLayout;
    layout->addLayout(grids);
    grids->addWidget(adc_ = new AdcGrid(image_, filling_, form_));
    grids->addWidget(dio_ = new DioGrid(image_, filling_, form_));
    adc_->setMinimumSize(adc_->sizeHint());
    adc_->ShowImage();
    dio_->ShowImage();
    editors_ = new OptionEditors(form_, image_, filling_, adc_);
    form_->show();
    other_->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }

  void cleanup() { delete form_; }

  void captions_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");
    const char* points =
        "DO0|DO1|DO2|DO3|DO4|DO5|DO6|DO7|DI0|DI1|DI2|DI3|DI4|DI5|DI6|DI7|"
        "AI0|AI1|AI2|AI3|AI4|AI5|AI6|AI7|AO0|AO1";
    const char* const table[][3] = {
        {"FormMqttSetting", "MQTT参数设置", "MQTT Setting"},
        {"FrameBaseConfig", "基本配置", "Base Config"},
        {"LabelServiceAddr", "服务器地址：", "Service Addr"},
        {"LabelPort", "服务器端口号：", "Port"},
        {"LabelReportType", "报文KEY类型：", "Report Type"},
        {"LabelUserName", "用户名", "User Name"},
        {"LabelPassword", "密码：", "Password"},
        {"LabelAPN", "APN：", "APN"},
        {"FrameAdvanceConfig", "高级设置", "Advance Config"},
        {"LabelClientID", "客户端ID：", "Client ID"},
        {"LabelPubTopic", "上行主题：", "Pub Topic"},
        {"LabelSubTopic", "下行主题：", "Sub Topic"},
        {"LabelKeepAlive", "保持时间：", "Keep Alive Time"},
        {"LabelPingInterval", "MQTT心跳时间：", "Ping Interval"},
        {"LabelVersion", "MQTT版本：", "MQTT Version"},
        {"LabelReportPeriod", "上报周期：", "Report Period"},
        {"LabelHeartPeriod", "心跳周期：", "Heart Period"},
        {"LabelQosLevel", "QOS等级：", "QOS LEVEL"},
        {"ComboReportType:*", "功能名|变量名", "Func Name|Var Name"},
        {"FormVarSetting", "报文变量设置", "报文变量设置"},
        {"FrameItemConfig_0", "数字输出", "Digital Output"},
        {"FrameItemConfig_1", "数字输入", "Digital Input"},
        {"FrameItemConfig_2", "模拟输入", "Anlage Input"},
        {"FrameItemConfig_3", "模拟输出", "Analge Output"},
        {"Label1", "如需MQTT周期上报，则需要在对应条目前打勾选中",
         "Select the item if you need report it"},
        {"LabelFunction_*", "功能名|功能名|功能名|功能名",
         "Function Name|Function Name|Function Name|Function Name"},
        {"LabelVar_*", "变量名|变量名|变量名|变量名", "Var Name|Var Name|Var Name|Var Name"},
        {"CheckFunction_*", points, points},
        {"FormFactory", "设备信息", "设备信息"},
        {"LabelProductSN", "设备编码：", "设备编码："},
        {"CommandClose", "确定", "确定"},
    };
    for (const auto& row : table) QTest::newRow(row[0]) << row[0] << row[1] << row[2];
  }

  void captions() {
    QFETCH(QString, name);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    ParameterImage image;
    QCOMPARE(Windows(image, false).Shown(name), chinese);
    QCOMPARE(Windows(image, true).Shown(name), english);
  }

  void edits_data() {
    QTest::addColumn<Edit>("edit");
    const QString place = QString("安装地址测试").repeated(9);
    const QString apn = "中国移动物联网卡专用接入点名称甲";
    const QString serial = "0123456789ABCDEF0123456789ABCDEF";
    for (const Edit& e : std::initializer_list<Edit>{
             // The option boxes; the rules' corners are tst_editorrules'.
             {"TextDeviceAddr", "Tab", "1a-2.", "12", 0, "0c00"},
             {"TextDeviceAddr", "Enter", "300", "255", 0, "ff00"},
             {"TextUartLostTime", "Tab", "", "10", 116, "0a00"},
             {"TextUartPackageSize", "Tab", "0", "1", 118, "0100"},
             {"TextResetCycle", "Tab", "9000", "8640", 122, "c021"},
             {"TextIdleCycle", "Tab", "", "6", 124, "0600"},
             {"TextSavePeriod", "Tab", "70000", "65535", 136, "ffff"},
             {"TextDinFilter", "Tab", "4095", "4095", 134, "ff4f"},  // bits 12 to 15 stay
             {"TextDinFilter", "Tab", "5000", "5", 134, "0540"},
             {"TextAdjustVol", "Tab", "300", "255", 1008, "ff"},
             {"TextDeviceName", "Enter", "ABCDEFGHIJ", "ABCDEFGHIJ", 4116,
              "4142434445464748494a00"},
             {"TextDeviceSort", "Tab", "ABCDEFGHIJKL", "ABCDEFGHIJ", 4266,
              "4142434445464748494a4d"},
             // Fifty characters in the box, twenty-five of them in the field.
             {"TextInstallAddr", "Tab", place.left(51), place.left(50), 4216,
              QByteArray("b0b2d7b0b5d8d6b7b2e2cad4").repeated(4) + "b0b24d"},
             {"CheckLteEnable", "keys", "S", "+", 4096, "0100"},
             {"CheckCaptureEdge_1", "keys", "S", "+", 134, "4d6d"},
             {"CheckCaptureEdge_1", "keys", "SS", "", 134, "4d4d"},
             {"CheckCaptureEdge_3", "keys", "S", "+", 134, "4dcd"},
             {"CheckResetEnable", "keys", "S", "+", 122, "0600"},
             {"CheckResetEnable", "keys", "SS", "", 122, "0000"},
             {"Check1", "keys", "S", "+", 0, ""},  // only the flag
             // The settings windows.
             {"TextKeepAliveTime", "Tab", "", "120", X + 350, "7800"},
             {"TextKeepAliveTime", "Enter", "3601", "3600", X + 350, "100e"},
             {"TextKeepAliveTime", "Tab", "30", "30", X + 350, "1e00"},
             {"TextKeepAliveTime", "Tab", "12345", "1234", X + 350, "d204"},
             {"TextReportPeriod", "Enter", "", "60", X + 344, "3c00"},
             {"TextReportPeriod", "Tab", "0", "0", X + 344, "0000"},
             {"TextReportPeriod", "Tab", "4000", "3600", X + 344, "100e"},
             {"TextPingInterval", "Enter", "3", "5", X + 352, "0500"},
             {"TextPingInterval", "Tab", "a9b9c", "60", X + 352, "3c00"},
             {"TextHeartPeriod", "Tab", "", "5", X + 346, "0500"},
             {"TextHeartPeriod", "Enter", "99", "60", X + 346, "3c00"},
             {"TextAPN", "Tab", "cmnet", "cmnet", X + 4, "636d6e657400"},
             {"TextServiceAddr", "Tab", "a", "a", X + 190, "6100"},
             {"TextPassword", "Tab", "a", "a", X + 244, "6100"},
             {"TextClientID", "Tab", "a", "a", X + 262, "6100"},
             {"TextSubTopic", "Tab", "a", "a", X + 310, "6100"},
             {"TextPubTopic", "Esc", "up/7", "up/7", X + 278, "75702f3700"},
             {"TextServicePort", "Tab", "1a8b83x39", "18833", X + 222, "313838333300"},
             {"TextServicePort", "Tab", "paste:1234567", "12345", X + 222, "313233343500"},
             {"TextServicePort", "Tab", "drop:98a7654", "98765", X + 222, "393837363500"},
             // Sixteen characters fit the box, eight the field; the next field stays.
             {"TextAPN", "Enter", apn + "乙", apn, X + 4, "d6d0b9fad2c6b6afceefc1aacdf8bfa84d"},
             {"TextUserName", "Tab", "abcdefghijklmno中", "abcdefghijklmno中", X + 228,
              "6162636465666768696a6b6c6d6e6f00"},
             {"TextVarName_10", "Tab", "door_contact", "door_contact", X + 676,
              "646f6f725f636f6e7461637400"},
             {"TextVarName_0", "Enter", QString(31, u'温'), QString(30, u'温'), X + 356,
              QByteArray("cec2").repeated(15) + "4d4d"},
             {"TextVarName_3", "Tab", "", "", X + 452, QByteArray(60, '0')},
             {"Text1", "Tab", "SN00000042", "SN00000042", 2048, "534e3030303030303432004d"},
             {"Text1", "Tab", "", "", 2048, "004d"},
             {"Text1", "Enter", "A1", "A1", 2048, "413100"},
             {"Text1", "Tab", "SN中01", "SN中01", 2048, "534ed6d0303100"},
             {"Text1", "Tab", serial + "Z", serial, 2048, serial.toLatin1().toHex() + "4d"},
             {"Text1", "Tab", QString(31, 'a') + "中", QString(31, 'a') + "中", 2048,
              QByteArray("61").repeated(31) + "004d"},
             // Stored before the window opens: shown, and left as they are.
             {"TextServicePort", "load", "", "1883", X + 222, "3138383300"},
             {"TextClientID", "load", "", "终端01", X + 262, "d6d5b6cb303100"},
             {"TextHeartPeriod", "load", "", "100", X + 346, "6400"},  // more than may be typed
             {"ComboVersion", "load", "", "4", X + 342, "0400"},
             {"ComboVersion", "load", "", "3", X + 342, "0000"},
             {"ComboQosLevel", "load", "", "0", X + 348, "0700"},
             {"ComboReportType", "load", "", "变量名", X + 260, "0100"},
             {"CheckFunction_10", "load", "", "DI2+", X + 674, "0200"},
             {"Text1", "load", "", "AB", 2048, "41427f4344"},
             {"Text1", "load", "", "A", 2048, "411f42"},
             {"Text1", "load", "", serial, 2048, serial.toLatin1().toHex() + "41"},
             // Only visited: the bytes after the text stay too.
             {"TextAPN", "visit", "", "cmnet", X + 4, "636d6e657400ffff"},
             {"TextVarName_7", "visit", "", "", X + 580, "0041414141"},
             {"Text1", "visit", "", "AB", 2048, "4142ff7f"},
             // Lists and check boxes over 0x4d4d, a value no list holds.
             {"ComboQosLevel", "keys", "D", "1", X + 348, "0100"},
             {"ComboQosLevel", "keys", "DU", "0", X + 348, "0000"},
             {"ComboQosLevel", "keys", "F", "0", X + 348, "0000"},
             {"ComboVersion", "keys", "D", "4", X + 342, "0400"},
             {"ComboReportType", "keys", "D", "变量名", X + 260, "0100"},
             {"CheckFunction_10", "keys", "S", "DI2", X + 674, "0000"},
             {"CheckFunction_10", "keys", "SS", "DI2+", X + 674, "0100"},
         })
      QTest::addRow("%s %s '%s' %s", e.box, e.leave, qPrintable(e.typed), e.hex.left(8).data())
          << e;
  }

  void edits() {
    QFETCH(Edit, edit);
    const QString leave = edit.leave;
    const QByteArray bytes = QByteArray::fromHex(edit.hex);
    Put(edit.at, leave == "load" || leave == "visit" ? bytes : QByteArray(bytes.size(), 'M'));
    ParameterImage expected = image_;
    Put(edit.at, bytes, &expected);
    QSignalSpy flag(editors_, &OptionEditors::writeSerialNumberChanged);
    Windows windows(image_, false, form_);
    QWidget* window = windows.Holding(edit.box);
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto* control = window->findChild<QWidget*>(edit.box);
    auto* box = qobject_cast<QLineEdit*>(control);
    auto* list = qobject_cast<QComboBox*>(control);
    control->setFocus();
    if (leave == "keys") {  // Down, Up, Space; F: F4, then Return on the entry shown
      for (const QChar key : edit.typed) {
        QTest::keyClick(control, key == 'D'   ? Qt::Key_Down
                                 : key == 'U' ? Qt::Key_Up
                                 : key == 'S' ? Qt::Key_Space
                                              : Qt::Key_F4);
        if (key != 'F') continue;
        QTRY_VERIFY(list->view()->isVisible());
        QTest::keyClick(list->view(), Qt::Key_Return);
      }
    } else if (leave != "load") {
      if (leave != "visit") {
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        if (edit.typed.startsWith("drop:")) QTest::keyClick(box, Qt::Key_Tab);  // lands unfocused
        Type(box, edit.typed);
      }
      QTest::keyClick(box, leave == "Enter" ? Qt::Key_Return
                           : leave == "Esc" ? Qt::Key_Escape
                                            : Qt::Key_Tab);
    }
    QCOMPARE(windows.Shown(edit.box), edit.shown);
    QCOMPARE(image_.Bytes(edit.at, int(bytes.size())).toHex(), edit.hex);
    QVERIFY(image_ == expected);
    QCOMPARE(flag.count(), QByteArray(edit.box) == "Check1" ? 1 : 0);
    QCOMPARE(window->isVisible(), leave != "Esc");
    if (!box || leave == "load") return;
    QCOMPARE(box->hasFocus(), leave == "Enter");  // Enter stays, the text selected
    if (leave == "Enter") QCOMPARE(box->selectedText(), edit.shown);
  }

  void lists_data() {
    QTest::addColumn<Choice>("list");
    for (const Choice& l : std::initializer_list<Choice>{
             {"ComboAirRate", 5, "0d00", {0, -4, 6}, 30, {"0700", "0b00", "0500"}},
             {"ComboTxPower", 22, "2800", {0}, 36, {"1600"}},
             {"ComboChannel", 0, "9600", {0}, 28, {"0000"}},
             {"ComboLogLevel", 4, "0900", {0, -4}, 126, {"0400", "0000"}},
             {"ComboLogPort", 0, "4d4d", {2}, 128, {"0200"}},
             {"ComboTimeSource", 0, "4d4d", {1}, 4098, {"0100"}},
             {"ComboAdcType", 2, "0900", {0}, 42, {"0200"}},
             // To TTL, to 485, none: the enable word, then the target.
             {"ComboLoraRepeat", 0, "4d4d4d4d", {2, -2}, 38, {"01000100", "00000100"}},
             {"ComboLoraRepeat", 1, "05000500", {0}, 38, {"01000000"}},
             {"ComboParity_1", 0, "0900", {0, 1}, 20, {"0000", "0100"}},
             {"ComboParity_0", 0, "4d4d", {2}, 12, {"0200"}},
             {"ComboBaudRate_1", 0, "4d4d", {9}, 18, {"0005"}},
             {"ComboBaudRate_0", 0, "4d4d", {3}, 10, {"6000"}},
             {"ComboDatabits_1", 1, "0900", {0, -1}, 24, {"0800", "0700"}},
             {"ComboStopbits_1", 0, "4d4d", {1}, 22, {"0200"}},
             {"ComboStopbits_0", 0, "0000", {0, 1}, 14, {"0100", "0200"}},
         })
      QTest::addRow("%s %s", l.list, l.before.constData()) << l;
  }

  void lists() {
    QFETCH(Choice, list);
    auto* combo = form_->findChild<QComboBox*>(list.list);
    Put(list.at, QByteArray::fromHex(list.before));
    filling_ = true;  // as the window shows the image: nothing stored
    combo->setCurrentIndex(list.shown);
    filling_ = false;
    QCOMPARE(image_.Bytes(list.at, int(list.before.size() / 2)).toHex(), list.before);
    QSignalSpy formatChanged(editors_, &OptionEditors::deviceFormatChanged);
    combo->setFocus();
    int changes = 0;
    for (int k = 0; k < list.steps.size(); ++k) {
      const int step = list.steps[k];
      for (int n = 0; n < std::abs(step); ++n)
        QTest::keyClick(combo, step > 0 ? Qt::Key_Down : Qt::Key_Up);
      if (step == 0) {  // choose the entry shown
        QTest::keyClick(combo, Qt::Key_F4);
        QTRY_VERIFY(combo->view()->isVisible());
        QTest::keyClick(combo->view(), Qt::Key_Return);
      }
      changes += std::max(1, std::abs(step));
      QCOMPARE(image_.Bytes(list.at, int(list.before.size() / 2)).toHex(), list.hex[k]);
    }
    // Only the 485 port's lists announce a new terminal format, once per change.
    QCOMPARE(formatChanged.count(), QByteArray(list.list).endsWith("_1") ? changes : 0);
  }

  void nothingStoredWhileFilling() {
    filling_ = true;
    const ParameterImage before = image_;
    for (const char* name : {"CheckCaptureEdge_1", "CheckResetEnable", "CheckLteEnable"})
      form_->findChild<QCheckBox*>(name)->setChecked(true);
    Click(adc_, 1, 1);
    Type(QApplication::focusWidget(), "99");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    Click(dio_, 1, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QVERIFY(image_ == before);
    // The install date is the one rewrite showing may cause: ten bytes, no 0.
    form_->findChild<QDateEdit*>("DTPickerInstallTime")->setDate(QDate(2023, 12, 31));
    QCOMPARE(image_.Bytes(4276, 11), QByteArray("2023-12-31\0", 11));
  }

  void adcCells_data() {
    QTest::addColumn<Cell>("cell");
    for (const Cell& c : std::initializer_list<Cell>{
             {1, "7-0.a000", "away", "65535", "ffff", 0, 0},  // digits only
             {1, "", "away", "20", "1400", 0, 0},
             {1, "0042", "Enter", "0042", "2a00", 1, 2},   // kept as typed
             {2, "-1-.5.", "cell", "-1.5", "dc85", 0, 0},  // one sign, one point
             {2, "-1.2345", "Enter", "-1.234", "d284", 1, 3},
             {2, "31", "away", "30", "3075", 0, 0},
             {2, "paste:--1..5", "Enter", "-1.5", "dc85", 1, 3},
             {3, "600", "Enter", "500", "50c3", 2, 1},
             {3, "-3", "cell", "0", "0000", 0, 0},
             {3, "drop:.5.5", "Enter", "1.55", "9b00", 2, 1},
         })
      QTest::addRow("%d '%s' %s", c.column, c.typed, c.leave) << c;
  }

  void adcCells() {
    QFETCH(Cell, cell);
    const int word = (cell.column == 1 ? 30 : cell.column == 2 ? 21 : 39) + 1;
    Click(adc_, 1, cell.column);  // opens with the whole text selected: typing replaces it
    QWidget* editor = QApplication::focusWidget();
    QCOMPARE(editor->objectName(), "Text1");
    if (!*cell.typed) QTest::keyClick(editor, Qt::Key_Backspace);
    Type(editor, cell.typed);
    const QString leave = cell.leave;
    if (leave == "Enter") QTest::keyClick(editor, Qt::Key_Return);
    if (leave == "cell") Click(adc_, 2, cell.column);
    if (leave == "away") QTest::mouseClick(other_, Qt::LeftButton);
    QCOMPARE(adc_->item(1, cell.column)->text(), cell.shown);
    QCOMPARE(image_.Bytes(2 * word, 2).toHex(), cell.hex);
    QCOMPARE(editor->isVisible(), leave == "cell");
    if (leave != "Enter") return;
    QCOMPARE(adc_->currentRow(), cell.nextRow);  // Enter moves on; no editor opens by itself
    QCOMPARE(adc_->currentColumn(), cell.nextColumn);
    QVERIFY(adc_->hasFocus());
  }

  void adcTypeAndKinds() {
    auto* type = form_->findChild<QComboBox*>("ComboAdcType");
    auto* kind = form_->findChild<QComboBox*>("ComboSingleAdcType");
    type->setFocus();
    QTest::keyClick(type, Qt::Key_Down);  // current: full scales 20; the ninth and the kinds stay
    QCOMPARE(image_.Bytes(62, 18).toHex() + image_.Bytes(98, 4).toHex(),
             QByteArray("1400").repeated(8) + "0a00" + "01000100");
    Click(adc_, 1, 4);  // locked unless user defined
    QVERIFY(!kind->isVisible());
    QTest::keyClick(type, Qt::Key_Up);
    QCOMPARE(Column(1), "10 10 10 10 10 10 10 10");
    QTest::keyClick(type, Qt::Key_Down);
    QTest::keyClick(type, Qt::Key_Down);  // user defined: every cell stays
    Click(adc_, 1, 4);
    QCOMPARE(kind->currentText(), "电流");  // opening stores nothing
    QTest::keyClick(kind, Qt::Key_Up);      // voltage: its usual full scale follows at once
    Click(adc_, 2, 4);                      // closing stores the kind, and the click opens the next
    QTest::keyClick(kind, Qt::Key_Return);  // Enter stores and moves down
    QCOMPARE(
        image_.Bytes(42, 2).toHex() + image_.Bytes(62, 4).toHex() + image_.Bytes(98, 4).toHex(),
        "0200" + QByteArray("0a001400") + "00000100");
    QCOMPARE(Column(1) + " " + Column(4),
             "10 20 20 20 20 20 20 20 电压 电流 电流 电流 电流 电流 电流 电流");
    QCOMPARE(adc_->currentIndex(), adc_->model()->index(3, 1));
    Click(adc_, 1, 1);
    Type(QApplication::focusWidget(), "555");
    adc_->ShowImage();  // e.g. a read finished meanwhile: the open editor goes, unstored
    other_->setFocus();
    QVERIFY(!adc_->TextEditor()->isVisible());
    QCOMPARE(image_.GetUWord(31), 10);
  }

  void dioChoices() {
    Put(120, QByteArray::fromHex("3f80"));  // pins 10 to 14 are bits 5 to 9; the others stay
    dio_->ShowImage();
    QComboBox* list = form_->findChild<QComboBox*>("ComboDIOConfig");
    Click(dio_, 3, 1);
    QCOMPARE(list->currentText(), "DO");  // opening stores nothing
    QTest::keyClick(list, Qt::Key_Down);
    Click(dio_, 1, 1);
    QTest::keyClick(list, Qt::Key_Up);
    Click(dio_, 5, 1);
    list->showPopup();
    QTRY_VERIFY(list->view()->isVisible());
    const QRect entry = list->view()->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {}, entry.center());
    QTRY_VERIFY(!list->isVisible());
    Click(dio_, 2, 1);
    QTest::mouseClick(other_, Qt::LeftButton);  // leaving stores nothing
    QVERIFY(!list->isVisible());
    QCOMPARE(image_.Bytes(120, 2).toHex(), "9f82");
    QCOMPARE(Column(1, dio_), "DO DO DI DO DI");
  }

 private:
  void Put(int at, const QByteArray& bytes, ParameterImage* image = nullptr) {
    (image ? *image : image_)
        .Store(at, reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
  }
  /// The cells of a grid's column, rows 1 on, space-separated.
  QString Column(int column, QTableWidget* grid = nullptr) const {
    grid = grid ? grid : adc_;
    QStringList cells;
    for (int row = 1; row < grid->rowCount(); ++row) cells << grid->item(row, column)->text();
    return cells.join(' ');
  }

  ParameterImage image_;
  bool filling_ = false;
  QWidget* form_ = nullptr;
  QLineEdit* other_ = nullptr;
  AdcGrid* adc_ = nullptr;
  DioGrid* dio_ = nullptr;
  OptionEditors* editors_ = nullptr;
};

QTEST_MAIN(TestEditors)
#include "tst_editors.moc"
