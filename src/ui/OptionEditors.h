#pragma once

#include <QHash>
#include <QObject>

#include <functional>

#include "ui/EditorRules.h"

class AdcGrid;
class ParameterImage;
class QLineEdit;

/// The scalar editors of the main window: every list, check box, date picker
/// and text box that shows a setting stores what the user chose into the
/// image at once (lists on change and on every choice, the entry already
/// shown included; check boxes on change; text boxes when they are left or
/// Enter is pressed). The controls are found in the window by their
/// objectNames; control arrays are named `<Name>_<index>` (ComboBaudRate_1 is
/// the RS-485 port's baud list). A control the window lacks is skipped.
class OptionEditors : public QObject {
  Q_OBJECT
 public:
  /// Connects the editors found under `form`. `fillingControls` is the
  /// window's flag: while it is set, list and check box changes store nothing
  /// (the install-date picker is the exception: it always writes its date).
  /// `adcGrid` receives the changes of `ComboAdcType` (may be null).
  OptionEditors(QWidget* form, ParameterImage& image, const bool& fillingControls,
                AdcGrid* adcGrid);

  /// True while `Check1` (also write the production serial number) is ticked.
  bool WriteSerialNumber() const { return writeSerialNumber_; }

 Q_SIGNALS:
  /// One of the RS-485 port's four format lists changed: the window rebuilds
  /// its DeviceFormatText.
  void deviceFormatChanged();
  /// `Check1` was ticked or cleared.
  void writeSerialNumberChanged(bool on);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  /// A text box: its leave rule (for number boxes) and its store.
  struct TextBox {
    const EditorRules::NumberRule* rule;  ///< nullptr for a free text field
    std::function<void(const QString& text, uint16_t value)> store;
  };

  template <typename T>
  T* Find(const QString& name) const;
  void ConnectLists();
  void ConnectFormatLists();
  void ConnectChecks();
  void ConnectTextBoxes();
  void AddNumberBox(const char* name, const EditorRules::NumberRule& rule,
                    std::function<void(uint16_t)> store);
  void AddTextField(const char* name, int offset, int length);
  void OnList(const char* name, std::function<void(int index)> store);
  void LeaveBox(QLineEdit* box);

  QWidget* form_;
  ParameterImage& image_;
  const bool& filling_;
  AdcGrid* adcGrid_;
  QHash<QLineEdit*, TextBox> boxes_;
  bool enterPressed_ = false;
  bool writeSerialNumber_ = false;
};
