// What the main window shows in both languages: every caption and fixed list,
// and every page after a read at a scale factor of 2, with the default and a
// larger font, no caption clipped. With TR5906_SCREENSHOT_DIR set the pages
// are kept there as PNG files (scripts/screenshot).
#include "FormMainRig.h"

#include <QComboBox>
#include <QLabel>
#include <QTabBar>
#include <QTableWidget>

namespace {

/// The captions of the named controls joined by "|": a grid gives its header cells, a tab bar
/// its tabs, a list its entries; "FormMain" is the window's title.
QString Caption(QWidget* form, const QString& names) {
  QStringList texts;
  for (const QString& name : names.split(' ')) {
    QObject* o = name == "FormMain" ? form : Child<QObject>(form, name);
    auto* grid = qobject_cast<QTableWidget*>(o);
    auto* tabs = qobject_cast<QTabBar*>(o);
    auto* combo = qobject_cast<QComboBox*>(o);
    for (int i = 0; grid && i < grid->columnCount(); ++i) texts << grid->item(0, i)->text();
    for (int i = 0; tabs && i < tabs->count(); ++i) texts << tabs->tabText(i);
    for (int i = 0; combo && i < combo->count(); ++i) texts << combo->itemText(i);
    const char* property = o->property("text").isValid()    ? "text"
                           : o->property("title").isValid() ? "title"
                                                            : "windowTitle";
    if (!grid && !tabs && !combo) texts << o->property(property).toString();
  }
  return texts.join('|');
}

/// The controls on screen narrower than their captions (grid cells as "grid(row,column)", a
/// list's shown entry included).
QStringList Clipped(QWidget* form) {
  QStringList clipped;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(form)) continue;
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
      QStyleOptionComboBox option;
      option.initFrom(combo);
      const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                         QStyle::SC_ComboBoxEditField, combo);
      if (field.width() < combo->fontMetrics().horizontalAdvance(combo->currentText()))
        clipped << combo->objectName();
    }
    const QString text =
        w->property(qobject_cast<QLabel*>(w) ? "text" : "title").toString().remove('&');
    const auto* button = qobject_cast<QAbstractButton*>(w);
    const int wanted =
        button ? button->sizeHint().width() : w->fontMetrics().horizontalAdvance(text);
    if (w->width() < wanted) clipped << w->objectName();
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
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");  // empty: the design text, not checked in English
    const char* const table[][3] = {
        {"FormMain", "TR5906配置工具", "TR5906 Program Tool"},
        {"TabStrip1", "串口参数|通信参数|模拟量参数|数字量参数|云服务配置", ""},
        {"FrameComParam_0 FrameComParam_1", "TTL串口参数|实串口参数", "TTL COM|485 COM"},
        {"CommandComFresh", "刷新", "Fresh"},
        {"LabelBaudRate_0 LabelBaudRate_1", "波特率:|波特率:", "BaudRate:|BaudRate:"},
        {"LabelParity_0 LabelParity_1", "校验位:|校验位:", "Parity:|Parity:"},
        {"LabelDatabits_0 LabelDatabits_1", "数据位:|数据位:", "Data Bits:|Data Bits:"},
        {"LabelStopbits_0 LabelStopbits_1", "停止位:|停止位:", "Stop Bits:|Stop Bits:"},
        {"ComboBaudRate_1", "1200|2400|4800|9600|19200|28800|38400|57600|115200|128000", ""},
        {"ComboParity_0 ComboParity_1", "N|E|O|N|E|O", ""},
        {"ComboDatabits_0 ComboStopbits_0", "7|8|1|2", ""},
        {"FrameAdcParam LabelAdcType", "ADC设置|ADC类型", "ADC Setting|ADC Type"},
        {"ComboAdcType", "电压|电流|自由", "Voltage|Current|UserDefined"},
        {"ComboSingleAdcType", "电压|电流", "Voltage|Current"},
        {"MSHFlexGridAdcParam", "信道|满偏电流/电压|修正电流/电压|倍率|类型",
         "Channel|Full Voltage|Offset Voltage|Mul|Type"},
        {"FrameDevice", "设备参数", "Device Option"},
        {"LabelDeviceAddr LabelChannel", "设备地址|Lora信道", "Device Addr:|Lora Channel"},
        {"ComboChannel", "1|2|3|4|5|6|7", ""},
        {"LabelLoraRepeat", "转发模式", "RepeatMode"},
        {"ComboLoraRepeat", "不转发|转发到实串口|转发到TTL口", "No repeat|To 485|To Gateway"},
        {"LabelAirRate LabelTxPower", "空中速率|发射功率", "Air Rate|TX Power"},
        {"ComboAirRate", "0.48Kbps|0.96Kbps|1.92Kbps|3.92Kbps|7.84Kbps|15.6Kbps|31.3Kbps|62.5Kbps",
         ""},
        {"ComboTxPower",
         "0dBm|1dBm|2dBm|3dBm|4dBm|5dBm|6dBm|7dBm|8dBm|9dBm|10dBm|11dBm|12dBm|13dBm|14dBm|"
         "15dBm|16dBm|17dBm|18dBm|19dBm|20dBm|21dBm|22dBm",
         ""},
        {"LabelUartLostTime CheckResetEnable", "超时时间[ms]|看护机制", "TimeOut[ms]|Reset Enable"},
        {"LabelResetCycle LabelIdleCycle", "看护周期|看护休眠", "Reset Cycle|Idle Cycle"},
        {"LabelLogLevel LabelLogPort", "实时日志|调试串口", "Log Level|Log Port"},
        {"ComboLogLevel", "关|ERROR|WARNING|INFO|DEBUG", "Off|ERROR|WARNING|INFO|DEBUG"},
        {"ComboLogPort", "无|TTL串口|实串口|调试串口", "None|TTL|Real|Debug"},
        {"FramedigitalSetting", "数字量", "DIO Setting"},
        {"MSHFlexGriddigitalSetting", "管脚|配置", "PIN|Config"},
        {"ComboDIOConfig", "DO|DI", ""},
        {"FrameService CheckLteEnable", "云服务配置|4G使能", "Service Setting|Lte Enable"},
        {"LabelDeviceName LabelDeviceSN", "设备名称：|设备序号：", "Device Name|Device SN"},
        {"LabelDeviceSort LabelInstallAddr", "设备类型：|安装地址：", "Device Sort|Install Addr"},
        {"LabelInstallTime", "安装时间：", "Install Time"},
        {"LabelTimeSource", "对时方式：", "Check Time Source"},
        {"ComboTimeSource", "LTE模块|MQTT服务器", "LTE Module|MQTT Service"},
        {"CommandMqttSetting CommandVarSetting", "MQTT配置|报文变量设置",
         "MQTT Config|Var Setting"},
        {"FrameComSetting LabelComSetting", "串口设置|使用实串口参数",
         "COM Setting|Use Real Uart Setting"},
        {"CommandSetForComm", "匹配设备参数(&S)", "&Same as device"},
        {"CommandAutoBaudrate LabelComPort", "自动获取波特率|串口:", "Auto Baudrate|Com Port:"},
        {"CommandWrite CommandRead", "写入配置(&W)|读取配置(&R)", "&Write|&Read"},
        {"CommandUpdate CommandClose", "更新程序(&U)|关闭(&C)", "&Update|&Close"},
        {"CommandResetConfig CommandGetErrorLog", "出厂设置(&R)|核心日志(&L)", "Re&set|&Log"},
        {"CommandSave CommandLoad", "保存配置(&S)|打开配置(&O)", "&Save|&Open"},
        {"CommandClr CommandClear", "清除|清除", "Clear|Clear"},
        {"CheckVerifyWrite CommandCompare", "写入后校验|对比配置", "Verify after write|Compare"},
        {"LabelVersion", "Ver:1.1.1", "Ver:1.1.1"},  // the project's version
        {"LabelAdjustVol LabelUartPackageSize", "电压校正:|最大帧长", ""},
        {"Label2 Label3", "*10S|*10S", ""},
        {"FramePlusSetting", "输入捕获设置", ""},
        {"LabelDinFilter LabelSavePeriod", "防抖时间(ms)：|采集保存周期(s)：", ""},
        {"CheckCaptureEdge_0 CheckCaptureEdge_1 CheckCaptureEdge_2 CheckCaptureEdge_3",
         "DIN1上升沿计数|DIN2上升沿计数|DIN3上升沿计数|DIN4上升沿计数", ""},
        {"Label1", "注：电压单位为V，电流单位为mA", ""},
        {"Check1 CommandFactory", "写入时写入生产序列号|生产序列号", ""},
    };
    for (const auto& row : table) Row(row[0], row[0], row[1], row[2]);
  }
  void captions() {
    QFETCH(QString, names);
    QTEST(Caption(chinese_.get(), names), "chinese");
    QFETCH(QString, english);
    if (!english.isEmpty()) QCOMPARE(Caption(english_.get(), names), english);
  }

  void pages_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("english");
    QTest::addColumn<int>("points");  // 0: the default font
    QTest::addColumn<QString>("file");
    const char* files[2][5] = {
        {"page1-ports", "page2-options", "page3-analog", "page4-digital", "page5-service"},
        {"english-ports", "", "", "", ""}};
    for (int points : {0, 14})
      for (bool english : {false, true})
        for (int page = 1; page <= 5; ++page)
          QTest::addRow("page %d, %s, %d pt", page, english ? "English" : "Chinese", points)
              << page << english << points << (points ? "" : files[english][page - 1]);
  }
  void pages() {
    QFETCH(int, page);
    QFETCH(bool, english);
    QFETCH(int, points);
    QFETCH(QString, file);
    const QFont normal = QApplication::font();
    QFont font = normal;
    if (points) font.setPointSize(points);
    QApplication::setFont(font);
    FormMainRig rig({1, 2});
    rig.terminal.SetIdentity({0x23, 0x41, 0x00, 0x02});
    rig.terminal.Memory().SetWord(22, 32768 + 25);
    rig.terminal.Memory().SetWord(60, 0x0060);
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
    if (page < 5)  // without the service page its tab names no page and stays unchosen
      QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(4).center());
    QCOMPARE(tabs->currentIndex() + 1, page);
    QCOMPARE(form->CurrentPage(), page);
    QCoreApplication::processEvents();
    const QStringList clipped = Clipped(form.get());
    const QSize wanted = form->minimumSizeHint();
    QApplication::setFont(normal);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
    QVERIFY(points || (form->width() >= wanted.width() && form->height() >= wanted.height()));
    Keep(form.get(), file);
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  TestFormMainScreens test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_formmain_screens.moc"
