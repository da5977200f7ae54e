#pragma once

#include "settings/SettingsDialog.h"

class ParameterImage;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

/// The MQTT settings window: broker, credentials, APN, topics, periods,
/// protocol version, QoS and report key type, all in the extended block of
/// the parameter image. Every edit is stored at once; the window keeps no
/// copy of its own.
class FormMqttSetting : public SettingsDialog {
  Q_OBJECT
 public:
  /// Builds the window and fills it from `image` (which it then edits in
  /// place). `english` chooses the captions.
  FormMqttSetting(ParameterImage& image, bool english, QWidget* parent = nullptr);

  /// Extended offsets of the fields.
  static constexpr int kApn = 4;
  static constexpr int kServiceAddr = 190;
  static constexpr int kServicePort = 222;
  static constexpr int kUserName = 228;
  static constexpr int kPassword = 244;
  static constexpr int kReportType = 260;
  static constexpr int kClientId = 262;
  static constexpr int kPubTopic = 278;
  static constexpr int kSubTopic = 310;
  static constexpr int kVersion = 342;
  static constexpr int kReportPeriod = 344;
  static constexpr int kHeartPeriod = 346;
  static constexpr int kQosLevel = 348;
  static constexpr int kKeepAliveTime = 350;
  static constexpr int kPingInterval = 352;

 private:
  /// A number box's rule for leaving: the value an empty box takes, the upper
  /// bound and what a larger value becomes, the lower bound (0: none).
  struct NumberRule {
    int offset;
    int whenEmpty;
    int upper;
    int lower;
  };

  void BuildControls();
  void ApplyCaptions();
  void FillControls();
  QLineEdit* AddTextField(QWidget* frame, const char* name, int offset, int length, int maxChars);
  QLineEdit* AddNumberField(const char* name, NumberRule rule, int maxChars);
  void StoreNumber(QLineEdit* box, NumberRule rule);
  void ComboReportType_Click();
  void ComboVersion_Click();
  void ComboQosLevel_Click();

  ParameterImage& image_;
  QGroupBox* frameBase_ = nullptr;
  QGroupBox* frameAdvance_ = nullptr;
  QComboBox* comboReportType_ = nullptr;
  QComboBox* comboVersion_ = nullptr;
  QComboBox* comboQosLevel_ = nullptr;
  struct TextField {
    QLineEdit* box;
    int offset;
    int length;
  };
  std::vector<TextField> textFields_;
  std::vector<std::pair<QLineEdit*, NumberRule>> numberFields_;
};
