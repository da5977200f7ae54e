// What the main window shows in both languages: every caption and fixed list,
// and every page after a read at a scale factor of 2, with the default and a
// larger font, no caption clipped. With TR5906_SCREENSHOT_DIR set the pages
// are kept there as PNG files (scripts/screenshot).
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <QTableWidget>

#define TR5906_TEXT(x) #x
#define TR5906_NUMBER_TEXT(x) TR5906_TEXT(x)
#define TR5906_VERSION_TEXT                \
  TR5906_NUMBER_TEXT(TR5906_VERSION_MAJOR) \
  "." TR5906_NUMBER_TEXT(TR5906_VERSION_MINOR) "." TR5906_NUMBER_TEXT(TR5906_VERSION_PATCH)

namespace {

/// The caption of a control, a grid's header cell or a tab ("name:index"), the window's title.
QString Caption(QWidget* form, const QString& name) {
  const QStringList parts = name.split(':');
  if (name == "FormMain") return form->windowTitle();
  QObject* child = Child<QObject>(form, parts[0]);
  if (auto* grid = qobject_cast<QTableWidget*>(child))
    return grid->item(0, parts[1].toInt())->text();
  if (auto* tabs = qobject_cast<QTabBar*>(child)) return tabs->tabText(parts[1].toInt());
  if (auto* button = qobject_cast<QAbstractButton*>(child)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(child)) return label->text();
  return qobject_cast<QGroupBox*>(child)->title();
}

/// The controls on screen narrower than their captions (grid cells as "grid(row,column)").
QStringList Clipped(QWidget* form) {
  QStringList clipped;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(form)) continue;
    const auto* label = qobject_cast<QLabel*>(w);
    const auto* group = qobject_cast<QGroupBox*>(w);
    const QString text = QString(label ? label->text() : group ? group->title() : "").remove('&');
    const auto* button = qobject_cast<QAbstractButton*>(w);
    if (w->width() <
        (button ? button->sizeHint().width() : w->fontMetrics().horizontalAdvance(text)))
      clipped << w->objectName();
    if (auto* grid = qobject_cast<QTableWidget*>(w))
      for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < grid->columnCount(); ++c)
          if (grid->columnWidth(c) <
              grid->fontMetrics().horizontalAdvance(grid->item(r, c)->text()))
            clipped << QStringLiteral("%1(%2,%3)").arg(w->objectName()).arg(r).arg(c);
  }
  return clipped;
}

}  // namespace

class TestFormMainScreens : public QObject {
  Q_OBJECT
  FormMainRig chineseRig_, englishRig_;
  std::unique_ptr<FormMain> chinese_ = chineseRig_.Make(false, true);
  std::unique_ptr<FormMain> english_ = englishRig_.Make(true, true);

 private Q_SLOTS:
  void captions_data() {
    QTest::addColumn<QString>("names");  // controls that share the caption
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");  // empty: the design text, not checked in English
    const char* const table[][3] = {
        {"FormMain", "TR5906配置工具", "TR5906 Program Tool"},
        {"TabStrip1:0", "串口参数", ""},
        {"TabStrip1:1", "通信参数", ""},
        {"TabStrip1:2", "模拟量参数", ""},
        {"TabStrip1:3", "数字量参数", ""},
        {"TabStrip1:4", "云服务配置", ""},
        {"FrameComParam_0", "TTL串口参数", "TTL COM"},
        {"FrameComParam_1", "实串口参数", "485 COM"},
        {"CommandComFresh", "刷新", "Fresh"},
        {"LabelBaudRate_0 LabelBaudRate_1", "波特率:", "BaudRate:"},
        {"LabelParity_0 LabelParity_1", "校验位:", "Parity:"},
        {"LabelDatabits_0 LabelDatabits_1", "数据位:", "Data Bits:"},
        {"LabelStopbits_0 LabelStopbits_1", "停止位:", "Stop Bits:"},
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
        {"CommandClr CommandClear", "清除", "Clear"},
        {"CheckVerifyWrite", "写入后校验", "Verify after write"},
        {"CommandCompare", "对比配置", "Compare"},
        {"LabelVersion", "Ver:" TR5906_VERSION_TEXT, "Ver:" TR5906_VERSION_TEXT},
        {"LabelAdjustVol", "电压校正:", ""},
        {"LabelUartPackageSize", "最大帧长", ""},
        {"Label2 Label3", "*10S", ""},
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
  void captions() {
    QFETCH(QString, names);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    for (const QString& name : names.split(' ')) {
      QCOMPARE(Caption(chinese_.get(), name), chinese);
      if (!english.isEmpty()) QCOMPARE(Caption(english_.get(), name), english);
    }
  }

  void lists_data() {
    QTest::addColumn<QString>("names");
    QTest::addColumn<QStringList>("chinese");
    QTest::addColumn<QStringList>("english");  // empty: the same in both languages
    const auto row = [](const char* names, const QStringList& chinese,
                        const QStringList& english = {}) {
      QTest::newRow(names) << names << chinese << english;
    };
    row("ComboBaudRate_0 ComboBaudRate_1",
        {"1200", "2400", "4800", "9600", "19200", "28800", "38400", "57600", "115200", "128000"});
    row("ComboParity_0 ComboParity_1", {"N", "E", "O"});
    row("ComboDatabits_0 ComboDatabits_1", {"7", "8"});
    row("ComboStopbits_0 ComboStopbits_1", {"1", "2"});
    row("ComboAdcType", {"电压", "电流", "自由"}, {"Voltage", "Current", "UserDefined"});
    row("ComboSingleAdcType", {"电压", "电流"}, {"Voltage", "Current"});
    row("ComboLoraRepeat", {"不转发", "转发到实串口", "转发到TTL口"},
        {"No repeat", "To 485", "To Gateway"});
    row("ComboLogLevel", {"关", "ERROR", "WARNING", "INFO", "DEBUG"},
        {"Off", "ERROR", "WARNING", "INFO", "DEBUG"});
    row("ComboLogPort", {"无", "TTL串口", "实串口", "调试串口"}, {"None", "TTL", "Real", "Debug"});
    row("ComboTimeSource", {"LTE模块", "MQTT服务器"}, {"LTE Module", "MQTT Service"});
    row("ComboChannel", {"1", "2", "3", "4", "5", "6", "7"});
    row("ComboAirRate", {"0.48Kbps", "0.96Kbps", "1.92Kbps", "3.92Kbps", "7.84Kbps", "15.6Kbps",
                         "31.3Kbps", "62.5Kbps"});
    row("ComboTxPower", {"0dBm",  "1dBm",  "2dBm",  "3dBm",  "4dBm",  "5dBm",  "6dBm",  "7dBm",
                         "8dBm",  "9dBm",  "10dBm", "11dBm", "12dBm", "13dBm", "14dBm", "15dBm",
                         "16dBm", "17dBm", "18dBm", "19dBm", "20dBm", "21dBm", "22dBm"});
    row("ComboDIOConfig", {"DO", "DI"});
  }
  void lists() {
    QFETCH(QString, names);
    QFETCH(QStringList, chinese);
    QFETCH(QStringList, english);
    const auto items = [](QWidget* form, const QString& name) {
      QStringList texts;
      auto* combo = Child<QComboBox>(form, name);
      for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
      return texts;
    };
    for (const QString& name : names.split(' ')) {
      QCOMPARE(items(chinese_.get(), name), chinese);
      QCOMPARE(items(english_.get(), name), english.isEmpty() ? chinese : english);
    }
  }

  void pages_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("english");
    QTest::addColumn<int>("points");  // 0: the default font
    QTest::addColumn<QString>("file");
    const char* files[] = {"page1-ports", "page2-options", "page3-analog", "page4-digital",
                           "page5-service"};
    for (int points : {0, 14})
      for (bool english : {false, true})
        for (int page = 1; page <= 5; ++page)
          QTest::addRow("page %d, %s, %d pt", page, english ? "English" : "Chinese", points)
              << page << english << points
              << (points      ? ""
                  : !english  ? files[page - 1]
                  : page == 1 ? "english-ports"
                              : "");
  }
  void pages() {
    QFETCH(int, page);
    QFETCH(bool, english);
    QFETCH(int, points);
    QFETCH(QString, file);
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    const QFont normal = QApplication::font();
    QFont font = normal;
    if (points) font.setPointSize(points);
    QApplication::setFont(font);
    FormMainRig rig({1, 2});
    TerminalModel terminal;
    terminal.SetIdentity({0x23, 0x41, 0x00, 0x02});
    terminal.Memory().SetWord(22, 32768 + 25);
    terminal.Memory().SetWord(60, 0x0060);
    rig.link.AttachDevice(&terminal);
    auto form = rig.Make(english, page == 5);
    form->Image().WriteImageText(20, 50, english ? "Pump station 1" : "一号泵站");
    form->Image().WriteImageText(120, 50, english ? "North gate" : "北门");
    form->Image().StampValidMarker();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    Click(form.get(), "CommandRead");
    QVERIFY(rig.RunToEnd(*form));
    auto* tabs = Child<QTabBar>(form.get(), "TabStrip1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page - 1).center());
    QCOMPARE(form->CurrentPage(), page);
    auto* ports = Child<QComboBox>(form.get(), "ComboComPort");  // shown as a PC lists them
    ports->setItemText(0, "COM1 (ttyUSB0)");
    ports->setItemText(1, "COM2 (ttyUSB1)");
    QCoreApplication::processEvents();
    const QStringList clipped = Clipped(form.get());
    const QSize wanted = form->minimumSizeHint();
    QApplication::setFont(normal);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
    QVERIFY(points || (form->width() >= wanted.width() && form->height() >= wanted.height()));
    const QString dir = qEnvironmentVariable("TR5906_SCREENSHOT_DIR");
    if (!dir.isEmpty() && !file.isEmpty())
      QVERIFY(form->grab().save(QDir(dir).filePath(file + ".png"), "PNG", 0));
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  TestFormMainScreens test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_formmain_screens.moc"
