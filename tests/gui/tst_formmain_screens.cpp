// What the main window shows in both languages: every caption and every
// fixed list, and every page rendered after a read. With
// TR5906_SCREENSHOT_DIR set the pictures are kept there as PNG files
// (scripts/screenshot); otherwise they go to a temporary folder.
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QtTest>

class TestFormMainScreens : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void captions_data();
  void captions();
  void lists_data();
  void lists();
  void everyPage_data();
  void everyPage();

 private:
  QTemporaryDir scratch_;
  QString dir_;
  FormMainRig chineseRig_, englishRig_;
  std::unique_ptr<FormMain> chinese_, english_;
};

#define TR5906_TEXT(x) #x
#define TR5906_NUMBER_TEXT(x) TR5906_TEXT(x)
#define TR5906_VERSION_TEXT                \
  TR5906_NUMBER_TEXT(TR5906_VERSION_MAJOR) \
  "." TR5906_NUMBER_TEXT(TR5906_VERSION_MINOR) "." TR5906_NUMBER_TEXT(TR5906_VERSION_PATCH)

namespace {

/// The caption of a button, label, group or grid header cell ("grid:column").
QString Caption(QWidget* form, const QString& name) {
  const QStringList parts = name.split(':');
  QObject* child = form->findChild<QObject*>(parts[0]);
  if (auto* grid = qobject_cast<QTableWidget*>(child))
    return grid->item(0, parts[1].toInt())->text();
  if (auto* button = qobject_cast<QAbstractButton*>(child)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(child)) return label->text();
  if (auto* group = qobject_cast<QGroupBox*>(child)) return group->title();
  return QStringLiteral("<no %1>").arg(name);
}

}  // namespace

void TestFormMainScreens::initTestCase() {
  dir_ = qEnvironmentVariable("TR5906_SCREENSHOT_DIR");
  if (dir_.isEmpty()) dir_ = scratch_.path();
  QVERIFY(QDir().mkpath(dir_));
  chinese_ = chineseRig_.Make(false, true);
  english_ = englishRig_.Make(true, true);
}

void TestFormMainScreens::captions_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("chinese");
  QTest::addColumn<QString>("english");  // empty: the design text, not checked in English
  const char* const table[][3] = {
      {"FrameComParam_0", "TTL串口参数", "TTL COM"},
      {"FrameComParam_1", "实串口参数", "485 COM"},
      {"CommandComFresh", "刷新", "Fresh"},
      {"LabelBaudRate_0", "波特率:", "BaudRate:"},
      {"LabelBaudRate_1", "波特率:", "BaudRate:"},
      {"LabelParity_0", "校验位:", "Parity:"},
      {"LabelParity_1", "校验位:", "Parity:"},
      {"LabelDatabits_0", "数据位:", "Data Bits:"},
      {"LabelDatabits_1", "数据位:", "Data Bits:"},
      {"LabelStopbits_0", "停止位:", "Stop Bits:"},
      {"LabelStopbits_1", "停止位:", "Stop Bits:"},
      {"FrameAdcParam", "ADC设置", "ADC Setting"},
      {"LabelAdcType", "ADC类型", "ADC Type"},
      {"MSHFlexGridAdcParam:0", "信道", "Channel"},
      {"MSHFlexGridAdcParam:1", "满偏电流/电压", "Full Voltage"},
      {"MSHFlexGridAdcParam:2", "修正电流/电压", "Offset Voltage"},
      {"MSHFlexGridAdcParam:3", "倍率", "Mul"},
      {"MSHFlexGridAdcParam:4", "类型", "Type"},
      {"FrameDevice", "设备参数", "Device Option"},
      {"LabelDeviceAddr", "设备地址", "Device Addr:"},
      {"LabelChannel", "Lora信道", "Lora Channel"},
      {"LabelLoraRepeat", "转发模式", "RepeatMode"},
      {"LabelAirRate", "空中速率", "Air Rate"},
      {"LabelTxPower", "发射功率", "TX Power"},
      {"LabelUartLostTime", "超时时间[ms]", "TimeOut[ms]"},
      {"CheckResetEnable", "看护机制", "Reset Enable"},
      {"LabelResetCycle", "看护周期", "Reset Cycle"},
      {"LabelIdleCycle", "看护休眠", "Idle Cycle"},
      {"LabelLogLevel", "实时日志", "Log Level"},
      {"LabelLogPort", "调试串口", "Log Port"},
      {"FramedigitalSetting", "数字量", "DIO Setting"},
      {"MSHFlexGriddigitalSetting:0", "管脚", "PIN"},
      {"MSHFlexGriddigitalSetting:1", "配置", "Config"},
      {"FrameService", "云服务配置", "Service Setting"},
      {"LabelDeviceName", "设备名称：", "Device Name"},
      {"LabelDeviceSN", "设备序号：", "Device SN"},
      {"LabelDeviceSort", "设备类型：", "Device Sort"},
      {"LabelInstallAddr", "安装地址：", "Install Addr"},
      {"LabelInstallTime", "安装时间：", "Install Time"},
      {"CheckLteEnable", "4G使能", "Lte Enable"},
      {"LabelTimeSource", "对时方式：", "Check Time Source"},
      {"CommandMqttSetting", "MQTT配置", "MQTT Config"},
      {"CommandVarSetting", "报文变量设置", "Var Setting"},
      {"FrameComSetting", "串口设置", "COM Setting"},
      {"LabelComSetting", "使用实串口参数", "Use Real Uart Setting"},
      {"CommandSetForComm", "匹配设备参数(&S)", "&Same as device"},
      {"CommandAutoBaudrate", "自动获取波特率", "Auto Baudrate"},
      {"LabelComPort", "串口:", "Com Port:"},
      {"CommandWrite", "写入配置(&W)", "&Write"},
      {"CommandRead", "读取配置(&R)", "&Read"},
      {"CommandUpdate", "更新程序(&U)", "&Update"},
      {"CommandClose", "关闭(&C)", "&Close"},
      {"CommandResetConfig", "出厂设置(&R)", "Re&set"},
      {"CommandGetErrorLog", "核心日志(&L)", "&Log"},
      {"CommandSave", "保存配置(&S)", "&Save"},
      {"CommandLoad", "打开配置(&O)", "&Open"},
      {"CommandClr", "清除", "Clear"},
      {"CommandClear", "清除", "Clear"},
      {"LabelVersion", "Ver:" TR5906_VERSION_TEXT, "Ver:" TR5906_VERSION_TEXT},
      {"LabelAdjustVol", "电压校正:", ""},
      {"LabelUartPackageSize", "最大帧长", ""},
      {"Label2", "*10S", ""},
      {"Label3", "*10S", ""},
      {"FramePlusSetting", "输入捕获设置", ""},
      {"LabelDinFilter", "防抖时间(ms)：", ""},
      {"LabelSavePeriod", "采集保存周期(s)：", ""},
      {"CheckCaptureEdge_0", "DIN1上升沿计数", ""},
      {"CheckCaptureEdge_1", "DIN2上升沿计数", ""},
      {"CheckCaptureEdge_2", "DIN3上升沿计数", ""},
      {"CheckCaptureEdge_3", "DIN4上升沿计数", ""},
      {"Label1", "注：电压单位为V，电流单位为mA", ""},
      {"Check1", "写入时写入生产序列号", ""},
      {"CommandFactory", "生产序列号", ""},
  };
  for (const auto& row : table) QTest::newRow(row[0]) << row[0] << row[1] << row[2];
}

void TestFormMainScreens::captions() {
  QFETCH(QString, name);
  QFETCH(QString, chinese);
  QFETCH(QString, english);
  QCOMPARE(Caption(chinese_.get(), name), chinese);
  if (!english.isEmpty()) QCOMPARE(Caption(english_.get(), name), english);
}

void TestFormMainScreens::lists_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QStringList>("chinese");
  QTest::addColumn<QStringList>("english");  // empty: the same in both languages
  const QStringList bauds = {"1200",  "2400",  "4800",  "9600",   "19200",
                             "28800", "38400", "57600", "115200", "128000"};
  QStringList power;
  for (int dbm = 0; dbm <= 22; ++dbm) power << QString::number(dbm) + "dBm";
  for (const char* index : {"_0", "_1"}) {
    QTest::addRow("ComboBaudRate%s", index)
        << QString("ComboBaudRate") + index << bauds << QStringList();
    QTest::addRow("ComboParity%s", index)
        << QString("ComboParity") + index << QStringList{"N", "E", "O"} << QStringList();
    QTest::addRow("ComboDatabits%s", index)
        << QString("ComboDatabits") + index << QStringList{"7", "8"} << QStringList();
    QTest::addRow("ComboStopbits%s", index)
        << QString("ComboStopbits") + index << QStringList{"1", "2"} << QStringList();
  }
  QTest::newRow("ComboAdcType") << "ComboAdcType" << QStringList{"电压", "电流", "自由"}
                                << QStringList{"Voltage", "Current", "UserDefined"};
  QTest::newRow("ComboSingleAdcType")
      << "ComboSingleAdcType" << QStringList{"电压", "电流"} << QStringList{"Voltage", "Current"};
  QTest::newRow("ComboLoraRepeat")
      << "ComboLoraRepeat" << QStringList{"不转发", "转发到实串口", "转发到TTL口"}
      << QStringList{"No repeat", "To 485", "To Gateway"};
  QTest::newRow("ComboLogLevel") << "ComboLogLevel"
                                 << QStringList{"关", "ERROR", "WARNING", "INFO", "DEBUG"}
                                 << QStringList{"Off", "ERROR", "WARNING", "INFO", "DEBUG"};
  QTest::newRow("ComboLogPort") << "ComboLogPort"
                                << QStringList{"无", "TTL串口", "实串口", "调试串口"}
                                << QStringList{"None", "TTL", "Real", "Debug"};
  QTest::newRow("ComboTimeSource") << "ComboTimeSource" << QStringList{"LTE模块", "MQTT服务器"}
                                   << QStringList{"LTE Module", "MQTT Service"};
  QTest::newRow("ComboChannel") << "ComboChannel" << QStringList{"1", "2", "3", "4", "5", "6", "7"}
                                << QStringList();
  QTest::newRow("ComboAirRate") << "ComboAirRate"
                                << QStringList{"0.48Kbps", "0.96Kbps", "1.92Kbps", "3.92Kbps",
                                               "7.84Kbps", "15.6Kbps", "31.3Kbps", "62.5Kbps"}
                                << QStringList();
  QTest::newRow("ComboTxPower") << "ComboTxPower" << power << QStringList();
  QTest::newRow("ComboDIOConfig") << "ComboDIOConfig" << QStringList{"DO", "DI"} << QStringList();
}

void TestFormMainScreens::lists() {
  QFETCH(QString, name);
  QFETCH(QStringList, chinese);
  QFETCH(QStringList, english);
  const auto items = [&name](QWidget* form) {
    QStringList texts;
    auto* combo = form->findChild<QComboBox*>(name);
    for (int i = 0; combo && i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
  };
  QCOMPARE(items(chinese_.get()), chinese);
  QCOMPARE(items(english_.get()), english.isEmpty() ? chinese : english);
}

void TestFormMainScreens::everyPage_data() {
  QTest::addColumn<int>("tab");
  QTest::addColumn<bool>("english");
  QTest::addColumn<QString>("file");
  QTest::newRow("ports") << 0 << false << "page1-ports.png";
  QTest::newRow("options") << 1 << false << "page2-options.png";
  QTest::newRow("analog") << 2 << false << "page3-analog.png";
  QTest::newRow("digital") << 3 << false << "page4-digital.png";
  QTest::newRow("service") << 4 << false << "page5-service.png";
  QTest::newRow("english") << 0 << true << "english-ports.png";
}

void TestFormMainScreens::everyPage() {
  QFETCH(int, tab);
  QFETCH(bool, english);
  QFETCH(QString, file);
  if (tab == 0 && !english) {
    QCOMPARE(chinese_->windowTitle(), QString("TR5906配置工具"));
    QCOMPARE(english_->windowTitle(), QString("TR5906 Program Tool"));
    auto* tabs = chinese_->findChild<QTabBar*>("TabStrip1");
    QCOMPARE(tabs->count(), 5);
    for (const auto& [index, text] :
         std::initializer_list<std::pair<int, const char*>>{{0, "串口参数"},
                                                            {1, "通信参数"},
                                                            {2, "模拟量参数"},
                                                            {3, "数字量参数"},
                                                            {4, "云服务配置"}})
      QCOMPARE(tabs->tabText(index), QString(text));
  }

  FormMainRig rig({1, 2});
  TerminalModel terminal;
  terminal.SetIdentity({0x23, 0x41, 0x00, 0x02});
  terminal.Memory().SetWord(22, 32768 + 25);
  terminal.Memory().SetWord(60, 0x0060);
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make(english, tab == 4);
  form->Image().WriteImageText(20, 50, english ? "Pump station 1" : "一号泵站");
  form->Image().WriteImageText(120, 50, english ? "North gate" : "北门");
  form->Image().StampValidMarker();
  form->show();
  QVERIFY(QTest::qWaitForWindowExposed(form.get()));

  QTest::mouseClick(form->findChild<QPushButton*>("CommandRead"), Qt::LeftButton);
  QVERIFY(rig.clock.RunUntil([&] { return !form->Engine().Busy(); }, std::chrono::minutes(1)));
  form->findChild<QTabBar*>("TabStrip1")->setCurrentIndex(tab);
  // The ports are files of a temporary folder here; show them as a PC lists
  // its adapters.
  auto* ports = form->findChild<QComboBox*>("ComboComPort");
  QCOMPARE(ports->count(), 2);
  ports->setItemText(0, "COM1 (ttyUSB0)");
  ports->setItemText(1, "COM2 (ttyUSB1)");
  QApplication::processEvents();

  const QImage picture = form->grab().toImage();
  QVERIFY(!picture.isNull());
  QCOMPARE(picture.size(), form->size());
  // Every control fits: the window is not smaller than its layout wants.
  const QSize wanted = form->minimumSizeHint();
  QVERIFY2(form->width() >= wanted.width() && form->height() >= wanted.height(),
           qPrintable(QStringLiteral("window %1x%2, layout wants %3x%4")
                          .arg(form->width())
                          .arg(form->height())
                          .arg(wanted.width())
                          .arg(wanted.height())));
  QVERIFY(picture.save(QDir(dir_).filePath(file), "PNG", 0));
}

QTEST_MAIN(TestFormMainScreens)
#include "tst_formmain_screens.moc"
