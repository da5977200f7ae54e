#include "ui/Captions.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <QWidget>

#include <vector>

namespace {

struct Caption {
  const char* name;
  const char* english;
  const char* chinese;
};

// Captions in both languages, in the order they are applied. Control arrays
// carry their index after an underscore (ComboBaudRate_1 is the 485 port's).
const Caption kCaptions[] = {
    // Serial port formats.
    {"FrameComParam_0", "TTL COM", "TTL串口参数"},
    {"FrameComParam_1", "485 COM", "实串口参数"},
    {"CommandComFresh", "Fresh", "刷新"},
    {"LabelBaudRate_0", "BaudRate:", "波特率:"},
    {"LabelBaudRate_1", "BaudRate:", "波特率:"},
    {"LabelParity_0", "Parity:", "校验位:"},
    {"LabelParity_1", "Parity:", "校验位:"},
    {"LabelDatabits_0", "Data Bits:", "数据位:"},
    {"LabelDatabits_1", "Data Bits:", "数据位:"},
    {"LabelStopbits_0", "Stop Bits:", "停止位:"},
    {"LabelStopbits_1", "Stop Bits:", "停止位:"},
    // Analog settings.
    {"FrameAdcParam", "ADC Setting", "ADC设置"},
    {"LabelAdcType", "ADC Type", "ADC类型"},
    // Device options.
    {"FrameDevice", "Device Option", "设备参数"},
    {"LabelDeviceAddr", "Device Addr:", "设备地址"},
    {"LabelChannel", "Lora Channel", "Lora信道"},
    {"LabelLoraRepeat", "RepeatMode", "转发模式"},
    {"LabelAirRate", "Air Rate", "空中速率"},
    {"LabelTxPower", "TX Power", "发射功率"},
    {"LabelUartLostTime", "TimeOut[ms]", "超时时间[ms]"},
    {"CheckResetEnable", "Reset Enable", "看护机制"},
    {"LabelResetCycle", "Reset Cycle", "看护周期"},
    {"LabelIdleCycle", "Idle Cycle", "看护休眠"},
    {"LabelLogLevel", "Log Level", "实时日志"},
    {"LabelLogPort", "Log Port", "调试串口"},
    // Digital settings.
    {"FramedigitalSetting", "DIO Setting", "数字量"},
    // Cloud service.
    {"FrameService", "Service Setting", "云服务配置"},
    {"LabelDeviceName", "Device Name", "设备名称："},
    {"LabelDeviceSN", "Device SN", "设备序号："},
    {"LabelDeviceSort", "Device Sort", "设备类型："},
    {"LabelInstallAddr", "Install Addr", "安装地址："},
    {"LabelInstallTime", "Install Time", "安装时间："},
    {"CheckLteEnable", "Lte Enable", "4G使能"},
    {"LabelTimeSource", "Check Time Source", "对时方式："},
    {"CommandMqttSetting", "MQTT Config", "MQTT配置"},
    {"CommandVarSetting", "Var Setting", "报文变量设置"},
    // Port bar and buttons.
    {"FrameComSetting", "COM Setting", "串口设置"},
    {"LabelComSetting", "Use Real Uart Setting", "使用实串口参数"},
    {"CommandSetForComm", "&Same as device", "匹配设备参数(&S)"},
    {"CommandAutoBaudrate", "Auto Baudrate", "自动获取波特率"},
    {"LabelComPort", "Com Port:", "串口:"},
    {"CommandWrite", "&Write", "写入配置(&W)"},
    {"CommandRead", "&Read", "读取配置(&R)"},
    {"CommandUpdate", "&Update", "更新程序(&U)"},
    {"CommandClose", "&Close", "关闭(&C)"},
    {"CommandResetConfig", "Re&set", "出厂设置(&R)"},
    {"CommandGetErrorLog", "&Log", "核心日志(&L)"},
    {"CommandSave", "&Save", "保存配置(&S)"},
    {"CommandLoad", "&Open", "打开配置(&O)"},
    {"CommandClr", "Clear", "清除"},
    {"CommandClear", "Clear", "清除"},
    {"CheckVerifyWrite", "Verify after write", "写入后校验"},
    {"CommandCompare", "Compare", "对比配置"},
    // Design texts: Chinese in both languages unless English is chosen, where
    // these English texts of our own stand in.
    {"LabelAdjustVol", "Voltage Adjust:", "电压校正:"},
    {"LabelUartPackageSize", "Max Frame", "最大帧长"},
    {"Label2", "*10S", "*10S"},
    {"Label3", "*10S", "*10S"},
    {"FramePlusSetting", "Input Capture", "输入捕获设置"},
    {"LabelDinFilter", "Debounce (ms):", "防抖时间(ms)："},
    {"LabelSavePeriod", "Save Period (s):", "采集保存周期(s)："},
    {"CheckCaptureEdge_0", "DIN1 Rising Edge Count", "DIN1上升沿计数"},
    {"CheckCaptureEdge_1", "DIN2 Rising Edge Count", "DIN2上升沿计数"},
    {"CheckCaptureEdge_2", "DIN3 Rising Edge Count", "DIN3上升沿计数"},
    {"CheckCaptureEdge_3", "DIN4 Rising Edge Count", "DIN4上升沿计数"},
    {"Label1", "Note: voltage in V, current in mA", "注：电压单位为V，电流单位为mA"},
    {"Check1", "Write the serial number too", "写入时写入生产序列号"},
    {"CommandFactory", "Serial Number", "生产序列号"},
};

struct List {
  QString name;
  QStringList english;  ///< empty: the same entries in both languages
  QStringList chinese;
};

QStringList Numbers(int first, int last, const QString& suffix = QString()) {
  QStringList out;
  for (int n = first; n <= last; ++n) out << QString::number(n) + suffix;
  return out;
}

QStringList Utf8(std::initializer_list<const char*> texts) {
  QStringList out;
  for (const char* t : texts) out << QString::fromUtf8(t);
  return out;
}

// Fixed lists, in the order they are filled.
std::vector<List> FixedLists() {
  std::vector<List> l;
  for (const char* index : {"_0", "_1"}) {
    l.push_back(
        {QStringLiteral("ComboBaudRate") + index,
         {},
         {"1200", "2400", "4800", "9600", "19200", "28800", "38400", "57600", "115200", "128000"}});
    l.push_back({QStringLiteral("ComboParity") + index, {}, {"N", "E", "O"}});
    l.push_back({QStringLiteral("ComboDatabits") + index, {}, {"7", "8"}});
    l.push_back({QStringLiteral("ComboStopbits") + index, {}, {"1", "2"}});
  }
  l.push_back(
      {"ComboAdcType", {"Voltage", "Current", "UserDefined"}, Utf8({"电压", "电流", "自由"})});
  l.push_back({"ComboLoraRepeat",
               {"No repeat", "To 485", "To Gateway"},
               Utf8({"不转发", "转发到实串口", "转发到TTL口"})});
  l.push_back({"ComboChannel", {}, Numbers(1, 7)});
  l.push_back({"ComboAirRate",
               {},
               {"0.48Kbps", "0.96Kbps", "1.92Kbps", "3.92Kbps", "7.84Kbps", "15.6Kbps", "31.3Kbps",
                "62.5Kbps"}});
  l.push_back({"ComboTxPower", {}, Numbers(0, 22, "dBm")});
  l.push_back({"ComboLogLevel",
               {"Off", "ERROR", "WARNING", "INFO", "DEBUG"},
               Utf8({"关", "ERROR", "WARNING", "INFO", "DEBUG"})});
  l.push_back({"ComboLogPort",
               {"None", "TTL", "Real", "Debug"},
               Utf8({"无", "TTL串口", "实串口", "调试串口"})});
  l.push_back({"ComboTimeSource", {"LTE Module", "MQTT Service"}, Utf8({"LTE模块", "MQTT服务器"})});
  return l;
}

void SetCaption(QObject* control, const QString& text) {
  if (auto* box = qobject_cast<QGroupBox*>(control)) {
    box->setTitle(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(text);
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(text);
  }
}

}  // namespace

QString WindowCaption(bool english) {
  return kApplicationTitle + Pick(english, " Program Tool", "配置工具");
}

QString VersionCaption() {
  return QStringLiteral("Ver:%1.%2.%3")
      .arg(TR5906_VERSION_MAJOR)
      .arg(TR5906_VERSION_MINOR)
      .arg(TR5906_VERSION_PATCH);
}

QStringList TabCaptions(bool english) {
  if (english) return {"Serial Ports", "Options", "Analog", "Digital", "Cloud Service"};
  return Utf8({"串口参数", "通信参数", "模拟量参数", "数字量参数", "云服务配置"});
}

void ApplyCaptions(QWidget* form, bool english) {
  if (auto* version = form->findChild<QLabel*>("LabelVersion")) version->setText(VersionCaption());
  form->setWindowTitle(WindowCaption(english));

  for (const Caption& c : kCaptions) {
    if (QObject* control = form->findChild<QObject*>(QString::fromLatin1(c.name))) {
      SetCaption(control, Pick(english, c.english, c.chinese));
    }
  }
  for (const List& list : FixedLists()) {
    auto* combo = form->findChild<QComboBox*>(list.name);
    if (!combo) continue;
    combo->clear();
    combo->addItems(english && !list.english.isEmpty() ? list.english : list.chinese);
    if (list.name.startsWith("ComboDatabits")) combo->setEnabled(true);
  }
  if (auto* tabs = form->findChild<QTabBar*>("TabStrip1")) {
    const QStringList captions = TabCaptions(english);
    for (int i = 0; i < tabs->count() && i < captions.size(); ++i) tabs->setTabText(i, captions[i]);
  }
}
