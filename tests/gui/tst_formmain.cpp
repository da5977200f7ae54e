// The main window: start-up, captions and lists, pages, adjust mode and the
// display of the image.
#include "FormMainRig.h"
#include "image/Defaults.h"
#include "ui/Captions.h"
#include "ui/WidgetPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QtTest>

namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
  return items;
}

template <typename T>
T* Child(QWidget* form, const QString& name) {
  T* child = form->findChild<T*>(name);
  if (!child) qFatal("no control %s", qPrintable(name));
  return child;
}

QString Text(QWidget* form, const QString& name) {
  QObject* o = Child<QObject>(form, name);
  if (auto* box = qobject_cast<QGroupBox*>(o)) return box->title();
  if (auto* button = qobject_cast<QAbstractButton*>(o)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(o)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(o)) return edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(o)) return FormMain::ShownText(combo);
  return {};
}

// Which of the five page frames are on screen.
QString Pages(QWidget* form) {
  QString shown;
  for (const char* name : {"FrameComParam_0", "FrameComParam_1", "FrameDevice", "FrameAdcParam",
                           "FramedigitalSetting", "FrameService"}) {
    if (!Child<QWidget>(form, name)->isHidden()) shown += QLatin1String(name) + ' ';
  }
  return shown.trimmed();
}

}  // namespace

class TestFormMain : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void startupWithRememberedPortPresent();
  void startupWithRememberedPortAbsent();
  void startupWithoutPorts();
  void startupState();
  void captionsChinese();
  void captionsEnglish();
  void tabFiveWithoutService();
  void tabFiveWithService();
  void adjustToggle();
  void showAllZeroImageWithMarker();
  void showOutOfRangeValues();
  void showExtendedFieldsOnlyWithMarker();
  void showImageWritesNothing();
  void showIdentity();
  void sameAsDevice();
  void fileDialogHelpers();
};

void TestFormMain::startupWithRememberedPortPresent() {
  FormMainRig rig({3, 7, 9});
  rig.inUse = {9};  // held by another program: not listed
  rig.store.SetValue("ComPort", "7");
  auto form = rig.Make();
  auto* list = Child<QComboBox>(form.get(), "ComboComPort");
  QCOMPARE(list->count(), 2);
  QVERIFY(list->itemText(0).startsWith("COM3"));
  QVERIFY(list->itemText(1).startsWith("COM7"));
  QCOMPARE(list->currentIndex(), 1);
  QCOMPARE(form->PortNumber(), 7);
  QCOMPARE(form->Engine().PortNumber(), 7);
  QCOMPARE(rig.store.Value("ComPort"), QString("7"));
}

void TestFormMain::startupWithRememberedPortAbsent() {
  FormMainRig rig({3, 7});
  rig.store.SetValue("ComPort", "5");
  auto form = rig.Make();
  QCOMPARE(Child<QComboBox>(form.get(), "ComboComPort")->currentIndex(), 0);
  QCOMPARE(form->PortNumber(), 3);
  QCOMPARE(rig.store.Value("ComPort"), QString("3"));

  // No remembered value at all: the first port again.
  FormMainRig fresh({4});
  auto second = fresh.Make();
  QCOMPARE(second->PortNumber(), 4);
  QCOMPARE(fresh.store.Value("ComPort"), QString("4"));
}

void TestFormMain::startupWithoutPorts() {
  FormMainRig rig;
  rig.store.SetValue("ComPort", "12");
  auto form = rig.Make();
  auto* list = Child<QComboBox>(form.get(), "ComboComPort");
  QCOMPARE(list->count(), 0);
  QCOMPARE(list->currentIndex(), -1);
  QCOMPARE(form->PortNumber(), 12);
  QCOMPARE(rig.store.Value("ComPort"), QString("12"));

  FormMainRig empty;
  auto other = empty.Make();
  QCOMPARE(other->PortNumber(), 1);
  QVERIFY(empty.store.Value("ComPort").isEmpty());
}

void TestFormMain::startupState() {
  FormMainRig rig({1});
  auto form = rig.Make();
  QWidget* f = form.get();
  QCOMPARE(Pages(f), QString("FrameComParam_0 FrameComParam_1"));
  QCOMPARE(form->CurrentPage(), 1);
  QVERIFY(!form->AdjustMode());
  QVERIFY(Child<QWidget>(f, "TextAdjustVol")->isHidden());
  QVERIFY(Child<QWidget>(f, "LabelAdjustVol")->isHidden());
  QVERIFY(!Child<QWidget>(f, "Picture1")->isHidden());
  QVERIFY(Child<QWidget>(f, "Check1")->isHidden());
  QVERIFY(Child<QWidget>(f, "CommandFactory")->isHidden());
  QVERIFY(!form->FillingControls());

  // The defaults, shown.
  ParameterImage defaults;
  LoadDefaults(defaults);
  QVERIFY(form->Image() == defaults);
  QCOMPARE(Text(f, "TextDeviceAddr"), QString("1"));
  QCOMPARE(Text(f, "ComboBaudRate_1"), QString("9600"));
  QCOMPARE(Text(f, "ComboParity_1"), QString("N"));
  QCOMPARE(Text(f, "ComboDatabits_1"), QString("8"));
  QCOMPARE(Text(f, "ComboStopbits_1"), QString("1"));
  QCOMPARE(Text(f, "ComboChannel"), QString("2"));
  QCOMPARE(Text(f, "ComboAirRate"), QString("1.92Kbps"));
  QCOMPARE(Text(f, "ComboTxPower"), QString("22dBm"));
  QCOMPARE(Text(f, "ComboLoraRepeat"), QString("转发到实串口"));
  QCOMPARE(Text(f, "ComboAdcType"), QString("电压"));
  QCOMPARE(Text(f, "TextUartLostTime"), QString("20"));
  QCOMPARE(Text(f, "TextUartPackageSize"), QString("200"));
  QCOMPARE(Text(f, "TextResetCycle"), QString("366"));
  QCOMPARE(Text(f, "TextIdleCycle"), QString("6"));
  QVERIFY(Child<QCheckBox>(f, "CheckResetEnable")->isChecked());
  QCOMPARE(Text(f, "TextDinFilter"), QString("5"));
  for (int k = 0; k < 4; ++k) {
    QVERIFY(Child<QCheckBox>(f, QStringLiteral("CheckCaptureEdge_%1").arg(k))->isChecked());
  }
  QCOMPARE(Text(f, "TextSavePeriod"), QString("10"));

  // The link greets the terminal at its RS-485 format.
  QCOMPARE(form->DeviceFormatText(), QString("9600,N,8,1"));
  QCOMPARE(form->LinkSettings(), QString("9600,N,8,1"));
  QCOMPARE(form->Engine().FormatIndex(), 0);
  QVERIFY(Child<QListWidget>(f, "ListMsg")->count() == 0);
}

void TestFormMain::captionsChinese() {
  FormMainRig rig;
  auto form = rig.Make();
  QWidget* f = form.get();
  QCOMPARE(form->windowTitle(), QString("TR5906配置工具"));
  QCOMPARE(Text(f, "LabelVersion"), QStringLiteral("Ver:%1.%2.%3")
                                        .arg(TR5906_VERSION_MAJOR)
                                        .arg(TR5906_VERSION_MINOR)
                                        .arg(TR5906_VERSION_PATCH));
  // A sample of the captions: both port groups, full-width colons, accelerators,
  // the design texts and the hidden service controls.
  const QList<QPair<const char*, const char*>> captions = {
      {"FrameComParam_0", "TTL串口参数"},
      {"FrameComParam_1", "实串口参数"},
      {"LabelBaudRate_1", "波特率:"},
      {"LabelStopbits_0", "停止位:"},
      {"LabelUartLostTime", "超时时间[ms]"},
      {"CheckResetEnable", "看护机制"},
      {"FramedigitalSetting", "数字量"},
      {"LabelDeviceName", "设备名称："},
      {"LabelTimeSource", "对时方式："},
      {"CommandSetForComm", "匹配设备参数(&S)"},
      {"CommandResetConfig", "出厂设置(&R)"},
      {"CommandLoad", "打开配置(&O)"},
      {"CommandClr", "清除"},
      {"LabelAdjustVol", "电压校正:"},
      {"Label3", "*10S"},
      {"LabelSavePeriod", "采集保存周期(s)："},
      {"CheckCaptureEdge_3", "DIN4上升沿计数"},
      {"Label1", "注：电压单位为V，电流单位为mA"},
      {"Check1", "写入时写入生产序列号"},
      {"CommandFactory", "生产序列号"}};
  for (const auto& c : captions) QCOMPARE(Text(f, c.first), QString::fromUtf8(c.second));

  // Every fixed list holds exactly its entries, in order.
  const QStringList bauds = {"1200",  "2400",  "4800",  "9600",   "19200",
                             "28800", "38400", "57600", "115200", "128000"};
  for (int i = 0; i < 2; ++i) {
    QCOMPARE(Items(Child<QComboBox>(f, QStringLiteral("ComboBaudRate_%1").arg(i))), bauds);
    QCOMPARE(Items(Child<QComboBox>(f, QStringLiteral("ComboParity_%1").arg(i))),
             QStringList({"N", "E", "O"}));
    QCOMPARE(Items(Child<QComboBox>(f, QStringLiteral("ComboDatabits_%1").arg(i))),
             QStringList({"7", "8"}));
    QVERIFY(Child<QComboBox>(f, QStringLiteral("ComboDatabits_%1").arg(i))->isEnabled());
    QCOMPARE(Items(Child<QComboBox>(f, QStringLiteral("ComboStopbits_%1").arg(i))),
             QStringList({"1", "2"}));
  }
  QCOMPARE(Items(Child<QComboBox>(f, "ComboAdcType")), QStringList({"电压", "电流", "自由"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboLoraRepeat")),
           QStringList({"不转发", "转发到实串口", "转发到TTL口"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboChannel")),
           QStringList({"1", "2", "3", "4", "5", "6", "7"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboAirRate")),
           QStringList({"0.48Kbps", "0.96Kbps", "1.92Kbps", "3.92Kbps", "7.84Kbps", "15.6Kbps",
                        "31.3Kbps", "62.5Kbps"}));
  const QStringList power = Items(Child<QComboBox>(f, "ComboTxPower"));
  QCOMPARE(power.size(), 23);
  QCOMPARE(power.first(), QString("0dBm"));
  QCOMPARE(power.last(), QString("22dBm"));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboLogLevel")),
           QStringList({"关", "ERROR", "WARNING", "INFO", "DEBUG"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboLogPort")),
           QStringList({"无", "TTL串口", "实串口", "调试串口"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboTimeSource")), QStringList({"LTE模块", "MQTT服务器"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboDIOConfig")), QStringList({"DO", "DI"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboSingleAdcType")), QStringList({"电压", "电流"}));

  auto* tabs = Child<QTabBar>(f, "TabStrip1");
  QCOMPARE(tabs->count(), 5);
  QCOMPARE(tabs->tabText(0), QString("串口参数"));
  QCOMPARE(tabs->tabText(4), QString("云服务配置"));
}

void TestFormMain::captionsEnglish() {
  FormMainRig rig;
  auto form = rig.Make(true);
  QWidget* f = form.get();
  QCOMPARE(form->windowTitle(), QString("TR5906 Program Tool"));
  QCOMPARE(Text(f, "FrameComParam_1"), QString("485 COM"));
  QCOMPARE(Text(f, "CommandSetForComm"), QString("&Same as device"));
  QCOMPARE(Text(f, "CommandResetConfig"), QString("Re&set"));
  QCOMPARE(Text(f, "LabelTimeSource"), QString("Check Time Source"));
  QCOMPARE(Text(f, "LabelComSetting"), QString("Use Real Uart Setting"));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboAdcType")),
           QStringList({"Voltage", "Current", "UserDefined"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboLoraRepeat")),
           QStringList({"No repeat", "To 485", "To Gateway"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboLogLevel")),
           QStringList({"Off", "ERROR", "WARNING", "INFO", "DEBUG"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboLogPort")),
           QStringList({"None", "TTL", "Real", "Debug"}));
  QCOMPARE(Items(Child<QComboBox>(f, "ComboTimeSource")),
           QStringList({"LTE Module", "MQTT Service"}));
  // Single-language lists are the same in both languages.
  QCOMPARE(Items(Child<QComboBox>(f, "ComboParity_0")), QStringList({"N", "E", "O"}));
  QCOMPARE(Child<QComboBox>(f, "ComboTxPower")->itemText(5), QString("5dBm"));
  // The design texts and the tabs have English captions of their own.
  QCOMPARE(Child<QTabBar>(f, "TabStrip1")->tabText(0), QString("Serial Ports"));
  QVERIFY(!Text(f, "LabelAdjustVol").contains(QStringLiteral("电压")));
  QCOMPARE(Text(f, "ComboLoraRepeat"), QString("To 485"));
}

void TestFormMain::tabFiveWithoutService() {
  FormMainRig rig;
  auto form = rig.Make();
  auto* tabs = Child<QTabBar>(form.get(), "TabStrip1");
  tabs->setCurrentIndex(2);
  QCOMPARE(Pages(form.get()), QString("FrameAdcParam"));
  tabs->setCurrentIndex(4);
  QCOMPARE(Pages(form.get()), QString("FrameAdcParam"));
  QCOMPARE(form->CurrentPage(), 3);
  tabs->setCurrentIndex(1);
  QCOMPARE(Pages(form.get()), QString("FrameDevice"));
  tabs->setCurrentIndex(3);
  QCOMPARE(Pages(form.get()), QString("FramedigitalSetting"));
  tabs->setCurrentIndex(0);
  QCOMPARE(Pages(form.get()), QString("FrameComParam_0 FrameComParam_1"));
}

void TestFormMain::tabFiveWithService() {
  FormMainRig rig;
  auto form = rig.Make(false, true);
  QVERIFY(Child<QWidget>(form.get(), "Picture1")->isHidden());
  QVERIFY(!Child<QWidget>(form.get(), "Check1")->isHidden());
  QVERIFY(!Child<QWidget>(form.get(), "CommandFactory")->isHidden());
  Child<QTabBar>(form.get(), "TabStrip1")->setCurrentIndex(4);
  QCOMPARE(Pages(form.get()), QString("FrameService"));
  QCOMPARE(form->CurrentPage(), 5);
}

void TestFormMain::adjustToggle() {
  FormMainRig rig;
  auto form = rig.Make();
  auto* version = Child<QLabel>(form.get(), "LabelVersion");
  QTest::mouseDClick(version, Qt::LeftButton);
  QVERIFY(form->AdjustMode());
  QVERIFY(form->Engine().AdjustMode());
  QVERIFY(!Child<QWidget>(form.get(), "TextAdjustVol")->isHidden());
  QVERIFY(!Child<QWidget>(form.get(), "LabelAdjustVol")->isHidden());
  QTest::mouseDClick(version, Qt::LeftButton);
  QVERIFY(!form->AdjustMode());
  QVERIFY(!form->Engine().AdjustMode());
  QVERIFY(Child<QWidget>(form.get(), "TextAdjustVol")->isHidden());
  QVERIFY(Child<QWidget>(form.get(), "LabelAdjustVol")->isHidden());
}

void TestFormMain::showAllZeroImageWithMarker() {
  FormMainRig rig;
  auto form = rig.Make();
  QWidget* f = form.get();
  form->Image().Clear();
  form->Image().StampValidMarker();
  form->ShowImage();
  QCOMPARE(Text(f, "TextDeviceAddr"), QString("0"));
  QCOMPARE(Text(f, "ComboBaudRate_1"), QString("0"));
  QCOMPARE(Child<QComboBox>(f, "ComboBaudRate_1")->currentIndex(), -1);
  QCOMPARE(Text(f, "ComboParity_1"), QString("N"));
  QCOMPARE(Text(f, "ComboStopbits_1"), QString("1"));
  QCOMPARE(Text(f, "ComboDatabits_1"), QString("8"));
  QCOMPARE(Child<QComboBox>(f, "ComboChannel")->currentIndex(), 0);
  QCOMPARE(Text(f, "ComboAirRate"), QString("15.6Kbps"));
  QCOMPARE(Text(f, "ComboTxPower"), QString("0dBm"));
  QCOMPARE(Text(f, "ComboLoraRepeat"), QString("不转发"));
  QVERIFY(!Child<QCheckBox>(f, "CheckResetEnable")->isChecked());
  QVERIFY(!Child<QLineEdit>(f, "TextResetCycle")->isEnabled());
  QVERIFY(!Child<QLineEdit>(f, "TextIdleCycle")->isEnabled());
  QCOMPARE(Text(f, "TextResetCycle"), QString("0"));
  QCOMPARE(Text(f, "ComboLogLevel"), QString("关"));
  for (int k = 0; k < 4; ++k) {
    QVERIFY(!Child<QCheckBox>(f, QStringLiteral("CheckCaptureEdge_%1").arg(k))->isChecked());
  }
  QCOMPARE(Text(f, "TextDinFilter"), QString("0"));
  QCOMPARE(form->DeviceFormatText(), QString("0,N,8,1"));
}

void TestFormMain::showOutOfRangeValues() {
  FormMainRig rig;
  auto form = rig.Make();
  QWidget* f = form.get();
  ParameterImage& image = form->Image();
  const auto show = [&](int word, uint16_t value) {
    image.SetWord(word, value);
    form->ShowImage();
  };
  show(15, 4);
  QCOMPARE(Text(f, "ComboAirRate"), QString("15.6Kbps"));
  show(15, 13);
  QCOMPARE(Text(f, "ComboAirRate"), QString("15.6Kbps"));
  show(15, 12);
  QCOMPARE(Text(f, "ComboAirRate"), QString("0.48Kbps"));
  show(15, 5);
  QCOMPARE(Text(f, "ComboAirRate"), QString("62.5Kbps"));

  show(61, 9000);
  QCOMPARE(Text(f, "TextResetCycle"), QString("6"));
  QVERIFY(Child<QCheckBox>(f, "CheckResetEnable")->isChecked());
  QVERIFY(Child<QLineEdit>(f, "TextIdleCycle")->isEnabled());
  show(62, 9000);
  QCOMPARE(Text(f, "TextIdleCycle"), QString("6"));

  show(67, 0xF005);
  QCOMPARE(Text(f, "TextDinFilter"), QString("5"));
  for (int k = 0; k < 4; ++k) {
    QVERIFY(Child<QCheckBox>(f, QStringLiteral("CheckCaptureEdge_%1").arg(k))->isChecked());
  }
  show(67, 0x4FFF);  // only the third edge, filter 4095
  QCOMPARE(Text(f, "TextDinFilter"), QString("4095"));
  QVERIFY(Child<QCheckBox>(f, "CheckCaptureEdge_2")->isChecked());
  QVERIFY(!Child<QCheckBox>(f, "CheckCaptureEdge_0")->isChecked());

  show(18, 40);
  QCOMPARE(Text(f, "ComboTxPower"), QString("22dBm"));
  show(14, 9);
  QCOMPARE(Child<QComboBox>(f, "ComboChannel")->currentIndex(), 0);
  show(58, 300);
  QCOMPARE(Text(f, "TextUartLostTime"), QString("255"));
  show(63, 5);
  QCOMPARE(Text(f, "ComboLogLevel"), QString("关"));
  show(64, 3);
  QCOMPARE(Text(f, "ComboLogPort"), QString("调试串口"));
  show(0, 999);  // shown without a limit
  QCOMPARE(Text(f, "TextDeviceAddr"), QString("999"));

  // Repeat: word 20 counts only when word 19 is set.
  image.SetWord(19, 0);
  show(20, 1);
  QCOMPARE(Text(f, "ComboLoraRepeat"), QString("不转发"));
  show(19, 1);
  QCOMPARE(Text(f, "ComboLoraRepeat"), QString("转发到TTL口"));

  // The 485 format: a rate outside the list, parity above 3, stop bits 0, data bits 7.
  image.SetWord(9, 3);
  image.SetWord(10, 9);
  image.SetWord(11, 0);
  show(12, 7);
  QCOMPARE(form->DeviceFormatText(), QString("300,N,7,1"));
  image.SetWord(9, 1152);
  image.SetWord(10, 2);
  show(11, 2);
  QCOMPARE(form->DeviceFormatText(), QString("115200,O,7,2"));

  // Signed offsets and the pin directions reach the grids.
  image.SetWord(22, 32768 + 1500);
  image.SetWord(23, 1500);
  show(60, 32);
  auto* adc = Child<QTableWidget>(f, "MSHFlexGridAdcParam");
  QCOMPARE(adc->item(1, 2)->text(), QString("-1.5"));
  QCOMPARE(adc->item(2, 2)->text(), QString("1.5"));
  auto* dio = Child<QTableWidget>(f, "MSHFlexGriddigitalSetting");
  QCOMPARE(dio->item(1, 1)->text(), QString("DI"));
  for (int row = 2; row <= 5; ++row) QCOMPARE(dio->item(row, 1)->text(), QString("DO"));
}

void TestFormMain::showExtendedFieldsOnlyWithMarker() {
  FormMainRig rig;
  auto form = rig.Make(false, true);
  QWidget* f = form.get();
  ParameterImage& image = form->Image();
  image.WriteImageText(20, 50, QStringLiteral("泵站一号"));
  image.WriteImageText(70, 50, "SN-0001");
  image.WriteImageText(120, 50, "North gate");
  image.WriteImageText(170, 10, "RTU");
  image.WriteImageText(180, 10, "2024-05-01");
  image.SetExtWord(0, 1);
  image.SetExtWord(2, 7);
  image.StampValidMarker();
  form->ShowImage();
  QCOMPARE(Text(f, "TextDeviceName"), QStringLiteral("泵站一号"));
  QCOMPARE(Text(f, "TextDeviceSN"), QString("SN-0001"));
  QCOMPARE(Text(f, "TextInstallAddr"), QString("North gate"));
  QCOMPARE(Text(f, "TextDeviceSort"), QString("RTU"));
  QVERIFY(Child<QCheckBox>(f, "CheckLteEnable")->isChecked());
  QCOMPARE(Child<QComboBox>(f, "ComboTimeSource")->currentIndex(), 1);
  QCOMPARE(Child<QDateEdit>(f, "DTPickerInstallTime")->date(), QDate(2024, 5, 1));

  // Another image without the marker: the service controls keep their texts.
  image.Clear();
  LoadDefaults(image);
  image.WriteImageText(20, 50, "Other");
  image.WriteImageText(180, 10, "2020-01-01");
  form->ShowImage();
  QCOMPARE(Text(f, "TextDeviceName"), QStringLiteral("泵站一号"));
  QCOMPARE(Text(f, "TextDeviceSN"), QString("SN-0001"));
  QVERIFY(Child<QCheckBox>(f, "CheckLteEnable")->isChecked());
  QCOMPARE(Child<QDateEdit>(f, "DTPickerInstallTime")->date(), QDate(2024, 5, 1));
  QCOMPARE(image.ReadImageText(20, 50), QString("Other"));
}

void TestFormMain::showImageWritesNothing() {
  FormMainRig rig;
  auto form = rig.Make(false, true);
  ParameterImage& image = form->Image();
  // Values that the display replaces, and a full service block.
  image.SetWord(6, 7);
  image.SetWord(14, 30);
  image.SetWord(15, 2);
  image.SetWord(21, 9);
  image.SetWord(61, 9999);
  image.SetWord(49, 0);
  image.SetExtWord(2, 5);
  image.WriteImageText(180, 10, "2023-12-31");
  image.StampValidMarker();
  const ParameterImage before = image;
  form->ShowImage();
  QVERIFY(image == before);
  form->ShowImage();
  QVERIFY(image == before);
}

void TestFormMain::showIdentity() {
  FormMainRig rig;
  auto form = rig.Make();
  ParameterImage& image = form->Image();
  auto* list = Child<QListWidget>(form.get(), "ListMsg");
  auto* channels = Child<QComboBox>(form.get(), "ComboChannel");

  image.SetByte(1025, 0x41);
  image.SetByte(1024, 0x23);
  image.SetByte(1027, 2);
  image.SetWord(14, 10);
  const ParameterImage before = image;
  form->ShowIdentity();
  QCOMPARE(list->count(), 3);
  QCOMPARE(list->item(0)->text(), QString("REZUZODO"));
  QCOMPARE(list->item(1)->text(), QString("固件版本:41.23.Kestrel"));
  QCOMPARE(list->item(2)->text(), QString("生产日期:2019-1-1"));
  QCOMPARE(list->currentRow(), 2);
  QCOMPARE(channels->count(), 6);
  QCOMPARE(channels->currentIndex(), 0);
  QCOMPARE(channels->itemText(5), QString("6-486.125MHz"));
  QVERIFY(image == before);

  image.SetByte(1025, 0x91);
  image.SetWord(14, 20);
  form->ShowIdentity();
  QCOMPARE(channels->count(), 100);
  QCOMPARE(channels->currentText(), QString("21-902MHz"));

  // A file loaded later with word 14 beyond the 7 start-up entries is still
  // shown at its place in the band's list.
  image.SetWord(14, 40);
  form->ShowImage();
  QCOMPARE(channels->currentIndex(), 40);
}

void TestFormMain::sameAsDevice() {
  FormMainRig rig;
  auto form = rig.Make();
  form->Image().SetWord(10, 1);
  form->ShowImage();
  QCOMPARE(form->DeviceFormatText(), QString("9600,E,8,1"));
  QCOMPARE(form->LinkSettings(), QString("9600,N,8,1"));  // not before "Same as device"
  QTest::mouseClick(Child<QPushButton>(form.get(), "CommandSetForComm"), Qt::LeftButton);
  QCOMPARE(form->LinkSettings(), QString("9600,E,8,1"));
  QCOMPARE(form->Engine().FormatIndex(), 1);
  auto* list = Child<QListWidget>(form.get(), "ListMsg");
  QCOMPARE(list->item(list->count() - 1)->text(), QString("软件串口格式为:9600,E,8,1(1 0 1)"));

  // A format outside the table: the line, and no position.
  form->Image().SetWord(11, 2);
  form->ShowImage();
  QTest::mouseClick(Child<QPushButton>(form.get(), "CommandSetForComm"), Qt::LeftButton);
  QCOMPARE(form->LinkSettings(), QString("9600,E,8,2"));
  QCOMPARE(form->Engine().FormatIndex(), -1);
}

void TestFormMain::fileDialogHelpers() {
  QCOMPARE(WidgetPrompts::WithDefaultSuffix("/tmp/site", "quelt"), QString("/tmp/site.quelt"));
  QCOMPARE(WidgetPrompts::WithDefaultSuffix("/tmp/site.quelt", "quelt"),
           QString("/tmp/site.quelt"));
  QCOMPARE(WidgetPrompts::WithDefaultSuffix("/tmp/v1.2/fw", "hex"), QString("/tmp/v1.2/fw.hex"));
  QCOMPARE(WidgetPrompts::Filters(false), QStringList({"烧录文件(*.quelt)", "所有文件(*.*)"}));
  QCOMPARE(WidgetPrompts::Filters(true), QStringList({"烧录文件(*.hex)", "所有文件(*.*)"}));
}

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
