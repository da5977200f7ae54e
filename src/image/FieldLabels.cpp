#include "image/FieldLabels.h"

#include "image/FieldTable.h"

#include <QHash>
#include <QRegularExpression>

namespace {

struct Entry {
  const char* name;
  FieldGroup group;
  const char* control;
  const char* english;
  const char* chinese;
};

// Fields shown by one control of the main window (or by the window a button
// of it opens). The ports' formats, the ADC grid and the report variables
// follow a pattern and are made below.
const Entry kEntries[] = {
    {"device_address", FieldGroup::Communication, "TextDeviceAddr", "Device Addr", "设备地址"},
    {"lora_channel", FieldGroup::Communication, "ComboChannel", "Lora Channel", "Lora信道"},
    {"lora_air_rate", FieldGroup::Communication, "ComboAirRate", "Air Rate", "空中速率"},
    {"lora_tx_power", FieldGroup::Communication, "ComboTxPower", "TX Power", "发射功率"},
    {"repeat_enable", FieldGroup::Communication, "ComboLoraRepeat", "RepeatMode", "转发模式"},
    {"repeat_target", FieldGroup::Communication, "ComboLoraRepeat", "RepeatMode (target)",
     "转发模式(目标)"},
    {"uart_timeout_ms", FieldGroup::Communication, "TextUartLostTime", "TimeOut[ms]",
     "超时时间[ms]"},
    {"uart_max_frame", FieldGroup::Communication, "TextUartPackageSize", "Max Frame", "最大帧长"},
    {"watchdog_reset_cycle", FieldGroup::Communication, "TextResetCycle", "Reset Cycle",
     "看护周期"},
    {"watchdog_idle_cycle", FieldGroup::Communication, "TextIdleCycle", "Idle Cycle", "看护休眠"},
    {"log_level", FieldGroup::Communication, "ComboLogLevel", "Log Level", "实时日志"},
    {"log_port", FieldGroup::Communication, "ComboLogPort", "Log Port", "调试串口"},
    {"adjust", FieldGroup::Communication, "TextAdjustVol", "Voltage Adjust", "电压校正"},
    {"adc_type", FieldGroup::Analog, "ComboAdcType", "ADC Type", "ADC类型"},
    {"pin_directions", FieldGroup::Digital, "MSHFlexGriddigitalSetting", "DIO Setting (pins 10-14)",
     "数字量(管脚10~14)"},
    {"din_filter_ms", FieldGroup::Digital, "TextDinFilter", "Debounce (ms)", "防抖时间(ms)"},
    {"capture_edges", FieldGroup::Digital, "CheckCaptureEdge_0", "Input Capture", "输入捕获设置"},
    {"save_period_s", FieldGroup::Digital, "TextSavePeriod", "Save Period (s)", "采集保存周期(s)"},
    {"serial_number", FieldGroup::Service, "CommandFactory", "Serial Number", "生产序列号"},
    {"lte_enable", FieldGroup::Cloud, "CheckLteEnable", "Lte Enable", "4G使能"},
    {"clock_source", FieldGroup::Cloud, "ComboTimeSource", "Check Time Source", "对时方式"},
    {"device_name", FieldGroup::Cloud, "TextDeviceName", "Device Name", "设备名称"},
    {"device_sn", FieldGroup::Cloud, "TextDeviceSN", "Device SN", "设备序号"},
    {"install_address", FieldGroup::Cloud, "TextInstallAddr", "Install Addr", "安装地址"},
    {"device_sort", FieldGroup::Cloud, "TextDeviceSort", "Device Sort", "设备类型"},
    {"install_date", FieldGroup::Cloud, "DTPickerInstallTime", "Install Time", "安装时间"},
    {"apn", FieldGroup::Cloud, "CommandMqttSetting", "APN", "APN"},
    {"mqtt_server", FieldGroup::Cloud, "CommandMqttSetting", "Service Addr", "服务器地址"},
    {"mqtt_port", FieldGroup::Cloud, "CommandMqttSetting", "Port", "服务器端口号"},
    {"mqtt_user", FieldGroup::Cloud, "CommandMqttSetting", "User Name", "用户名"},
    {"mqtt_password", FieldGroup::Cloud, "CommandMqttSetting", "Password", "密码"},
    {"report_type", FieldGroup::Cloud, "CommandMqttSetting", "Report Type", "报文KEY类型"},
    {"mqtt_client_id", FieldGroup::Cloud, "CommandMqttSetting", "Client ID", "客户端ID"},
    {"publish_topic", FieldGroup::Cloud, "CommandMqttSetting", "Pub Topic", "上行主题"},
    {"subscribe_topic", FieldGroup::Cloud, "CommandMqttSetting", "Sub Topic", "下行主题"},
    {"mqtt_version", FieldGroup::Cloud, "CommandMqttSetting", "MQTT Version", "MQTT版本"},
    {"report_period", FieldGroup::Cloud, "CommandMqttSetting", "Report Period", "上报周期"},
    {"heartbeat_period", FieldGroup::Cloud, "CommandMqttSetting", "Heart Period", "心跳周期"},
    {"qos", FieldGroup::Cloud, "CommandMqttSetting", "QOS LEVEL", "QOS等级"},
    {"keep_alive", FieldGroup::Cloud, "CommandMqttSetting", "Keep Alive Time", "保持时间"},
    {"ping_interval", FieldGroup::Cloud, "CommandMqttSetting", "Ping Interval", "MQTT心跳时间"},
    // Carried in the image or shown only as text (identity, production date).
    {"production_year", FieldGroup::Unshown, "", "Production year", "生产日期(年)"},
    {"production_month", FieldGroup::Unshown, "", "Production month", "生产日期(月)"},
    {"production_day", FieldGroup::Unshown, "", "Production day", "生产日期(日)"},
    {"firmware_minor", FieldGroup::Unshown, "", "Firmware minor version", "固件次版本"},
    {"firmware_major", FieldGroup::Unshown, "", "Firmware major version", "固件主版本"},
    {"hardware_variant", FieldGroup::Unshown, "", "Hardware variant", "硬件型号"},
    {"byte1026", FieldGroup::Unshown, "", "Identity byte 1026", "标识字节1026"},
    {"valid_marker", FieldGroup::Unshown, "", "Valid marker", "有效标志"},
};

// The ADC grid's columns (row = channel 1 to 8).
struct AdcColumn {
  const char* what;
  int column;
  const char* english;
  const char* chinese;
};
const AdcColumn kAdcColumns[] = {
    {"full_scale", 1, "Full Voltage", "满偏电流/电压"},
    {"offset", 2, "Offset Voltage", "修正电流/电压"},
    {"multiplier", 3, "Mul", "倍率"},
    {"kind", 4, "Type", "类型"},
};

struct PortWord {
  const char* what;
  const char* control;
  const char* english;
  const char* chinese;
};
const PortWord kPortWords[] = {
    {"baud", "ComboBaudRate", "BaudRate", "波特率"},
    {"parity", "ComboParity", "Parity", "校验位"},
    {"data_bits", "ComboDatabits", "Data Bits", "数据位"},
    {"stop_bits", "ComboStopbits", "Stop Bits", "停止位"},
};

FieldLabel Make(FieldGroup group, const QString& control, const QString& english,
                const QString& chinese, int row = -1, int column = -1) {
  FieldLabel label;
  label.group = group;
  label.control = control;
  label.english = english;
  label.chinese = chinese;
  label.row = row;
  label.column = column;
  return label;
}

QHash<QString, FieldLabel> BuildLabels() {
  QHash<QString, FieldLabel> labels;
  for (const Entry& e : kEntries)
    labels.insert(QString::fromLatin1(e.name),
                  Make(e.group, QString::fromLatin1(e.control), QString::fromUtf8(e.english),
                       QString::fromUtf8(e.chinese)));
  const struct {
    const char* prefix;
    int index;
    const char* english;
    const char* chinese;
  } ports[] = {{"ttl", 0, "TTL", "TTL串口"}, {"rs485", 1, "RS-485", "实串口"}};
  for (const auto& port : ports) {
    for (const PortWord& w : kPortWords)
      labels.insert(
          QStringLiteral("%1_%2").arg(QLatin1String(port.prefix), QLatin1String(w.what)),
          Make(FieldGroup::SerialPorts,
               QStringLiteral("%1_%2").arg(QLatin1String(w.control)).arg(port.index),
               QStringLiteral("%1 %2").arg(QLatin1String(port.english), QLatin1String(w.english)),
               QString::fromUtf8(port.chinese) + QString::fromUtf8(w.chinese)));
  }
  for (int channel = 1; channel <= 9; ++channel) {
    for (const AdcColumn& c : kAdcColumns) {
      const QString name = QStringLiteral("adc%1_%2").arg(channel).arg(QLatin1String(c.what));
      const QString english =
          QStringLiteral("Channel %1 %2").arg(channel).arg(QLatin1String(c.english));
      const QString chinese = QStringLiteral("信道%1 ").arg(channel) + QString::fromUtf8(c.chinese);
      // The grid has eight rows: the ninth channel's words are carried only.
      labels.insert(name, channel <= 8
                              ? Make(FieldGroup::Analog, QStringLiteral("MSHFlexGridAdcParam"),
                                     english, chinese, channel, c.column)
                              : Make(FieldGroup::Unshown, QString(), english, chinese));
    }
  }
  const struct {
    const char* kind;
    int count;
  } points[] = {{"DO", 8}, {"DI", 8}, {"AI", 8}, {"AO", 2}};
  for (const auto& p : points) {
    for (int k = 0; k < p.count; ++k) {
      const QString point = QStringLiteral("%1%2").arg(QLatin1String(p.kind)).arg(k);
      labels.insert(QStringLiteral("var_%1_report").arg(point),
                    Make(FieldGroup::ReportVariables, QStringLiteral("CommandVarSetting"),
                         point + QStringLiteral(" Report"), point + QStringLiteral(" 上报")));
      labels.insert(QStringLiteral("var_%1_name").arg(point),
                    Make(FieldGroup::ReportVariables, QStringLiteral("CommandVarSetting"),
                         point + QStringLiteral(" Var Name"), point + QStringLiteral(" 变量名")));
    }
  }
  // Words the tool carries unchanged: "word13", "word65", ...
  const QRegularExpression word(QStringLiteral("^word(\\d+)$"));
  for (const Field& field : FieldTable::Fields()) {
    const QString name = QString::fromLatin1(field.name);
    const QRegularExpressionMatch m = word.match(name);
    if (m.hasMatch())
      labels.insert(name, Make(FieldGroup::Unshown, QString(),
                               QStringLiteral("Reserved word %1").arg(m.captured(1)),
                               QStringLiteral("保留字%1").arg(m.captured(1))));
  }
  return labels;
}

const QHash<QString, FieldLabel>& Labels() {
  static const QHash<QString, FieldLabel> labels = BuildLabels();
  return labels;
}

}  // namespace

FieldLabel FieldLabels::Of(const Field& field) {
  const QString name = QString::fromLatin1(field.name);
  const auto it = Labels().constFind(name);
  if (it != Labels().constEnd()) return *it;
  return Make(FieldGroup::Unshown, QString(), name, name);
}

QString FieldLabels::Caption(const Field& field, bool english) {
  const FieldLabel label = Of(field);
  return english ? label.english : label.chinese;
}

QString FieldLabels::CaptionWithGroup(const Field& field, bool english) {
  const FieldLabel label = Of(field);
  const QString group = GroupName(label.group, english);
  return english ? QStringLiteral("%1 (%2)").arg(label.english, group)
                 : QStringLiteral("%1(%2)").arg(label.chinese, group);
}

QString FieldLabels::GroupName(FieldGroup group, bool english) {
  switch (group) {
    case FieldGroup::SerialPorts:
      return english ? QStringLiteral("Serial Ports") : QStringLiteral("串口参数");
    case FieldGroup::Communication:
      return english ? QStringLiteral("Options") : QStringLiteral("通信参数");
    case FieldGroup::Analog:
      return english ? QStringLiteral("Analog") : QStringLiteral("模拟量参数");
    case FieldGroup::Digital:
      return english ? QStringLiteral("Digital") : QStringLiteral("数字量参数");
    case FieldGroup::Cloud:
      return english ? QStringLiteral("Cloud Service") : QStringLiteral("云服务配置");
    case FieldGroup::ReportVariables:
      return english ? QStringLiteral("Var Setting") : QStringLiteral("报文变量设置");
    case FieldGroup::Service:
      return english ? QStringLiteral("Serial Number") : QStringLiteral("生产序列号");
    case FieldGroup::Unshown:
      break;
  }
  return english ? QStringLiteral("Not on a page") : QStringLiteral("不在页面上");
}

int FieldLabels::TabIndex(FieldGroup group) {
  switch (group) {
    case FieldGroup::SerialPorts:
      return 0;
    case FieldGroup::Communication:
      return 1;
    case FieldGroup::Analog:
      return 2;
    case FieldGroup::Digital:
      return 3;
    case FieldGroup::Cloud:
    case FieldGroup::ReportVariables:
      return 4;
    case FieldGroup::Service:
    case FieldGroup::Unshown:
      break;
  }
  return -1;
}
