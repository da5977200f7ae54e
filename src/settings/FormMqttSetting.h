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

 private:
  /// A number box's rule for leaving: the field (its extended offset), the
  /// value an empty box takes, the upper bound and what a larger value
  /// becomes, the lower bound (0: none).
  struct NumberRule {
    int offset;
    int whenEmpty;
    int upper;
    int lower;
  };

  void BuildControls();
  void ApplyCaptions();
  void FillControls();
  QLineEdit* AddTextField(QWidget* frame, const char* name, const char* field, int maxChars);
  QLineEdit* AddNumberField(const char* name, const char* field, NumberRule rule, int maxChars);
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
  int reportTypeOffset_ = 0;  ///< extended offsets of the three listed fields
  int versionOffset_ = 0;
  int qosLevelOffset_ = 0;
  struct TextField {
    QLineEdit* box;
    int offset;
    int length;
  };
  std::vector<TextField> textFields_;
  std::vector<std::pair<QLineEdit*, NumberRule>> numberFields_;
};
