#include "settings/FormMqttSetting.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "image/ParameterImage.h"
#include "ui/FilterTextKey.h"

namespace {

struct Caption {
  const char* control;
  const char* english;
  const char* chinese;
};

// Captions of the labels and frames, by objectName.
constexpr Caption kCaptions[] = {
    {"FrameBaseConfig", "Base Config", "基本配置"},
    {"LabelServiceAddr", "Service Addr", "服务器地址："},
    {"LabelPort", "Port", "服务器端口号："},
    {"LabelReportType", "Report Type", "报文KEY类型："},
    {"LabelUserName", "User Name", "用户名"},
    {"LabelPassword", "Password", "密码："},
    {"LabelAPN", "APN", "APN："},
    {"FrameAdvanceConfig", "Advance Config", "高级设置"},
    {"LabelClientID", "Client ID", "客户端ID："},
    {"LabelPubTopic", "Pub Topic", "上行主题："},
    {"LabelSubTopic", "Sub Topic", "下行主题："},
    {"LabelKeepAlive", "Keep Alive Time", "保持时间："},
    {"LabelPingInterval", "Ping Interval", "MQTT心跳时间："},
    {"LabelVersion", "MQTT Version", "MQTT版本："},
    {"LabelReportPeriod", "Report Period", "上报周期："},
    {"LabelHeartPeriod", "Heart Period", "心跳周期："},
    {"LabelQosLevel", "QOS LEVEL", "QOS等级："},
};

QComboBox* MakeCombo(const char* name, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  return combo;
}

}  // namespace

FormMqttSetting::FormMqttSetting(ParameterImage& image, bool english, QWidget* parent)
    : SettingsDialog(english, parent), image_(image) {
  setObjectName("FormMqttSetting");
  FillingControls = true;  // filling the lists raises their change events
  BuildControls();
  ApplyCaptions();
  FillControls();
  FillingControls = false;
}

void FormMqttSetting::BuildControls() {
  frameBase_ = new QGroupBox(this);
  frameBase_->setObjectName("FrameBaseConfig");
  frameAdvance_ = new QGroupBox(this);
  frameAdvance_->setObjectName("FrameAdvanceConfig");
  auto* base = new QFormLayout(frameBase_);
  auto* advance = new QFormLayout(frameAdvance_);
  auto addRow = [](QFormLayout* form, const char* label, QWidget* field) {
    auto* caption = new QLabel(field->parentWidget());
    caption->setObjectName(label);
    caption->setBuddy(field);
    form->addRow(caption, field);
  };

  addRow(base, "LabelServiceAddr",
         AddTextField(frameBase_, "TextServiceAddr", kServiceAddr, 32, 32));
  addRow(base, "LabelPort", AddTextField(frameBase_, "TextServicePort", kServicePort, 6, 5));
  comboReportType_ = MakeCombo("ComboReportType", frameBase_);
  addRow(base, "LabelReportType", comboReportType_);
  addRow(base, "LabelUserName", AddTextField(frameBase_, "TextUserName", kUserName, 16, 16));
  addRow(base, "LabelPassword", AddTextField(frameBase_, "TextPassword", kPassword, 16, 16));
  addRow(base, "LabelAPN", AddTextField(frameBase_, "TextAPN", kApn, 16, 16));

  addRow(advance, "LabelClientID", AddTextField(frameAdvance_, "TextClientID", kClientId, 16, 16));
  addRow(advance, "LabelPubTopic", AddTextField(frameAdvance_, "TextPubTopic", kPubTopic, 32, 32));
  addRow(advance, "LabelSubTopic", AddTextField(frameAdvance_, "TextSubTopic", kSubTopic, 32, 32));
  addRow(advance, "LabelKeepAlive",
         AddNumberField("TextKeepAliveTime", {kKeepAliveTime, 120, 3600, 0}, 4));
  addRow(advance, "LabelPingInterval",
         AddNumberField("TextPingInterval", {kPingInterval, 5, 60, 5}, 2));
  comboVersion_ = MakeCombo("ComboVersion", frameAdvance_);
  addRow(advance, "LabelVersion", comboVersion_);
  addRow(advance, "LabelReportPeriod",
         AddNumberField("TextReportPeriod", {kReportPeriod, 60, 3600, 0}, 4));
  addRow(advance, "LabelHeartPeriod",
         AddNumberField("TextHeartPeriod", {kHeartPeriod, 5, 60, 5}, 2));
  comboQosLevel_ = MakeCombo("ComboQosLevel", frameAdvance_);
  addRow(advance, "LabelQosLevel", comboQosLevel_);

  // Fields of the same kind share a width.
  for (const TextField& field : textFields_) {
    if (field.length >= 32)
      field.box->setMinimumWidth(220);
    else if (field.length >= 16)
      field.box->setMinimumWidth(140);
    else
      field.box->setMaximumWidth(80);  // the port
  }
  for (auto& [box, rule] : numberFields_) box->setMaximumWidth(80);
  for (QComboBox* combo : {comboReportType_, comboVersion_, comboQosLevel_})
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);

  auto* frames = new QHBoxLayout;
  frames->addWidget(frameBase_, 0, Qt::AlignTop);
  frames->addWidget(frameAdvance_, 0, Qt::AlignTop);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(frames);
  layout->addWidget(ByteHint());
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(comboReportType_, &QComboBox::activated, this, [this] { ComboReportType_Click(); });
  connect(comboReportType_, &QComboBox::currentIndexChanged, this,
          [this] { ComboReportType_Click(); });
  connect(comboVersion_, &QComboBox::activated, this, [this] { ComboVersion_Click(); });
  connect(comboVersion_, &QComboBox::currentIndexChanged, this, [this] { ComboVersion_Click(); });
  connect(comboQosLevel_, &QComboBox::activated, this, [this] { ComboQosLevel_Click(); });
  connect(comboQosLevel_, &QComboBox::currentIndexChanged, this, [this] { ComboQosLevel_Click(); });
}

QLineEdit* FormMqttSetting::AddTextField(QWidget* frame, const char* name, int offset, int length,
                                         int maxChars) {
  auto* box = new QLineEdit(frame);
  box->setObjectName(name);
  if (offset == kServicePort) {
    // The port is a text field of six bytes of which five digits may be typed.
    FilterTextKey(box, KeyMode::Digits, maxChars);
    LiftLengthCap(box);
  } else {
    FilterTextKey(box, KeyMode::Any, maxChars);
  }
  textFields_.push_back({box, offset, length});
  WatchBox(box, [this, box, offset, length] {
    if (TakeEdit(box, image_.ReadImageText(offset, length)))
      image_.WriteImageText(offset, length, box->text());
  });
  WatchFieldBytes(box, length);
  return box;
}

QLineEdit* FormMqttSetting::AddNumberField(const char* name, NumberRule rule, int maxChars) {
  auto* box = new QLineEdit(frameAdvance_);
  box->setObjectName(name);
  FilterTextKey(box, KeyMode::Digits, maxChars);
  LiftLengthCap(box);
  numberFields_.emplace_back(box, rule);
  WatchBox(box, [this, box, rule] { StoreNumber(box, rule); });
  return box;
}

void FormMqttSetting::StoreNumber(QLineEdit* box, NumberRule rule) {
  const QString text = box->text();
  int value = rule.whenEmpty;
  if (!text.isEmpty()) {
    bool ok = false;
    const qlonglong typed = text.size() > 9 ? -1 : text.toLongLong(&ok);
    if (!ok || typed > rule.upper)
      value = rule.upper;
    else if (typed < rule.lower)
      value = rule.lower;
    else
      value = static_cast<int>(typed);
  }
  const QString shown = QString::number(value);
  if (shown != text) box->setText(shown);
  image_.SetExtWord(rule.offset, static_cast<uint16_t>(value));
}

void FormMqttSetting::ApplyCaptions() {
  setWindowTitle(english_ ? "MQTT Setting" : QString::fromUtf8("MQTT参数设置"));
  for (const Caption& caption : kCaptions) {
    const QString text =
        english_ ? QString::fromLatin1(caption.english) : QString::fromUtf8(caption.chinese);
    if (auto* frame = findChild<QGroupBox*>(caption.control))
      frame->setTitle(text);
    else if (auto* label = findChild<QLabel*>(caption.control))
      label->setText(text);
  }
  comboReportType_->clear();
  comboReportType_->addItem(english_ ? "Func Name" : QString::fromUtf8("功能名"));
  comboReportType_->addItem(english_ ? "Var Name" : QString::fromUtf8("变量名"));
  comboVersion_->clear();
  comboVersion_->addItems({"3", "4"});
  comboQosLevel_->clear();
  comboQosLevel_->addItems({"0", "1", "2"});
}

void FormMqttSetting::FillControls() {
  const bool filling = FillingControls;
  FillingControls = true;
  for (const TextField& field : textFields_)
    field.box->setText(image_.ReadImageText(field.offset, field.length));
  for (auto& [box, rule] : numberFields_) box->setText(image_.GetExtWordText(rule.offset));
  const uint16_t reportType = image_.GetExtWord(kReportType);
  comboReportType_->setCurrentIndex(reportType <= 1 ? reportType : 0);
  const uint16_t qos = image_.GetExtWord(kQosLevel);
  comboQosLevel_->setCurrentIndex(qos <= 2 ? qos : 0);
  comboVersion_->setCurrentIndex(image_.GetExtWord(kVersion) == 4 ? 1 : 0);
  FillingControls = filling;
}

void FormMqttSetting::ComboReportType_Click() {
  if (FillingControls || comboReportType_->currentIndex() < 0) return;
  image_.SetExtWord(kReportType, static_cast<uint16_t>(comboReportType_->currentIndex()));
}

void FormMqttSetting::ComboVersion_Click() {
  if (FillingControls || comboVersion_->currentIndex() < 0) return;
  image_.SetExtWord(kVersion, static_cast<uint16_t>(comboVersion_->currentText().toUInt()));
}

void FormMqttSetting::ComboQosLevel_Click() {
  if (FillingControls || comboQosLevel_->currentIndex() < 0) return;
  image_.SetExtWord(kQosLevel, static_cast<uint16_t>(comboQosLevel_->currentText().toUInt()));
}
