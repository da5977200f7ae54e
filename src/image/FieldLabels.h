#pragma once

#include <QString>

struct Field;

/// Where a field of the parameter image is edited: a page of the main window,
/// one of the windows behind the cloud-service page, or nowhere.
enum class FieldGroup {
  SerialPorts,      ///< page 1: the TTL and RS-485 port formats
  Communication,    ///< page 2: device options, radio, log, watchdog, adjust
  Analog,           ///< page 3: the ADC type and the channel grid
  Digital,          ///< page 4: pin directions, debounce, capture, save period
  Cloud,            ///< page 5 and its MQTT window
  ReportVariables,  ///< the report variable window of page 5
  Service,          ///< the production serial number (its own window)
  Unshown,          ///< carried in the image, shown on no page
};

/// How a technician knows a field: its caption on the page that edits it, in
/// both languages, and the control that shows it. Texts are the window's own
/// captions (without their colons), prefixed where the same caption serves
/// several fields ("RS-485 BaudRate", "Channel 3 Offset Voltage").
struct FieldLabel {
  FieldGroup group = FieldGroup::Unshown;
  QString english;
  QString chinese;
  /// objectName of the main window's control that shows the field or opens
  /// the window that does ("ComboTxPower", "MSHFlexGridAdcParam",
  /// "CommandMqttSetting"); empty when nothing shows it.
  QString control;
  int row = -1;     ///< grid cell of a grid control, else -1
  int column = -1;  ///< grid cell of a grid control, else -1
};

/// The labels of the field table's fields.
class FieldLabels {
 public:
  /// The label of a field of the field table (an unknown name: unshown, its
  /// name as both captions).
  static FieldLabel Of(const Field& field);
  /// The caption in the chosen language.
  static QString Caption(const Field& field, bool english);
  /// The group's name as the window names it ("串口参数" / "Serial Ports"; the
  /// unshown group: "不在页面上" / "Not on a page").
  static QString GroupName(FieldGroup group, bool english);
  /// The caption followed by its group's name: "发射功率(通信参数)" /
  /// "TX Power (Options)", "有效标志(不在页面上)" / "Valid marker (Not on a page)".
  static QString CaptionWithGroup(const Field& field, bool english);
  /// The tab of the main window a group is on (0 to 4), or -1.
  static int TabIndex(FieldGroup group);
};
