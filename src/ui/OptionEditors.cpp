#include "ui/OptionEditors.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

#include "image/ParameterImage.h"
#include "ui/AdcGrid.h"
#include "ui/FilterTextKey.h"

namespace {

// Option words written by the editors.
constexpr int kChannelWord = 14;
constexpr int kAirRateWord = 15;
constexpr int kTxPowerWord = 18;
constexpr int kRepeatEnableWord = 19;
constexpr int kRepeatTargetWord = 20;
constexpr int kAdcTypeWord = 21;
constexpr int kLogLevelWord = 63;
constexpr int kLogPortWord = 64;
constexpr int kResetCycleWord = 61;
constexpr int kDinWord = 67;
constexpr int kAirRateTopCode = 12;  // list index 0 is code 12

// Format words of the TTL port (group 0); the RS-485 port's are 4 further.
constexpr int kBaudWord = 5;
constexpr int kParityWord = 6;
constexpr int kStopBitsWord = 7;
constexpr int kDataBitsWord = 8;
constexpr int kGroupStride = 4;

// Extended block.
constexpr int kLteEnableOffset = 0;
constexpr int kTimeSourceOffset = 2;
constexpr int kInstallDateOffset = 180;
constexpr int kInstallDateLength = 10;

constexpr int kEdgeBoxes = 4;
constexpr int kFirstEdgeBit = 12;

}  // namespace

OptionEditors::OptionEditors(QWidget* form, ParameterImage& image, const bool& fillingControls,
                             AdcGrid* adcGrid)
    : QObject(form), form_(form), image_(image), filling_(fillingControls), adcGrid_(adcGrid) {
  ConnectLists();
  ConnectFormatLists();
  ConnectChecks();
  ConnectTextBoxes();
}

template <typename T>
T* OptionEditors::Find(const QString& name) const {
  return form_->findChild<T*>(name);
}

void OptionEditors::OnList(const char* name, std::function<void(int)> store) {
  auto* list = Find<QComboBox>(QString::fromLatin1(name));
  if (!list) return;
  const auto chosen = [this, store = std::move(store)](int index) {
    if (filling_ || index < 0) return;  // index -1: the list was emptied
    store(index);
  };
  // A click on the entry already shown stores it too: the display may have
  // replaced a stored value the list has no entry for.
  connect(list, qOverload<int>(&QComboBox::currentIndexChanged), this, chosen);
  connect(list, qOverload<int>(&QComboBox::activated), this, chosen);
}

void OptionEditors::ConnectLists() {
  auto word = [this](int number) {
    return [this, number](int index) { image_.SetWord(number, static_cast<uint16_t>(index)); };
  };
  OnList("ComboChannel", word(kChannelWord));
  OnList("ComboAirRate", [this](int index) {
    image_.SetWord(kAirRateWord, static_cast<uint16_t>(std::max(0, kAirRateTopCode - index)));
  });
  OnList("ComboTxPower", word(kTxPowerWord));
  OnList("ComboLoraRepeat", [this](int index) {
    const EditorRules::RepeatWords repeat = EditorRules::RepeatFromIndex(index);
    image_.SetWord(kRepeatEnableWord, repeat.enable);
    image_.SetWord(kRepeatTargetWord, repeat.target);
  });
  OnList("ComboAdcType", [this](int index) {
    if (adcGrid_)
      adcGrid_->AdcTypeChanged(index);
    else if (index != image_.GetUWord(kAdcTypeWord))
      image_.SetWord(kAdcTypeWord, static_cast<uint16_t>(index));
  });
  OnList("ComboLogLevel", word(kLogLevelWord));
  OnList("ComboLogPort", word(kLogPortWord));
  OnList("ComboTimeSource",
         [this](int index) { image_.SetExtWord(kTimeSourceOffset, static_cast<uint16_t>(index)); });
}

void OptionEditors::ConnectFormatLists() {
  struct FormatList {
    const char* name;
    int word;
    uint16_t (*value)(const QString&);
  };
  static const FormatList kLists[] = {
      {"ComboBaudRate", kBaudWord, &EditorRules::BaudWord},
      {"ComboParity", kParityWord, &EditorRules::ParityWord},
      {"ComboDatabits", kDataBitsWord, &EditorRules::DataBitsWord},
      {"ComboStopbits", kStopBitsWord, &EditorRules::StopBitsWord},
  };
  for (int group = 0; group < 2; ++group) {
    for (const FormatList& format : kLists) {
      auto* list =
          Find<QComboBox>(QStringLiteral("%1_%2").arg(QLatin1String(format.name)).arg(group));
      if (!list) continue;
      const int word = format.word + group * kGroupStride;
      // The text, not the index: the baud list may show a rate it does not hold.
      // One choice raises both signals; only a new value is stored and announced.
      const auto chosen = [this, word, group, value = format.value](const QString& text) {
        if (filling_ || text.isEmpty() || image_.GetUWord(word) == value(text)) return;
        image_.SetWord(word, value(text));
        if (group == 1) Q_EMIT deviceFormatChanged();
      };
      connect(list, &QComboBox::currentTextChanged, this, chosen);
      connect(list, &QComboBox::textActivated, this, chosen);
    }
  }
}

void OptionEditors::ConnectChecks() {
  if (auto* check = Find<QCheckBox>(QStringLiteral("CheckResetEnable"))) {
    connect(check, &QCheckBox::toggled, this, [this](bool on) {
      if (filling_) return;
      if (auto* cycle = Find<QLineEdit>(QStringLiteral("TextResetCycle"))) {
        cycle->setEnabled(on);
        cycle->setText(on ? QStringLiteral("6") : QStringLiteral("0"));
      }
      image_.SetWord(kResetCycleWord, on ? 6 : 0);
    });
  }
  for (int edge = 0; edge < kEdgeBoxes; ++edge) {
    auto* check = Find<QCheckBox>(QStringLiteral("CheckCaptureEdge_%1").arg(edge));
    if (!check) continue;
    connect(check, &QCheckBox::toggled, this, [this, edge](bool on) {
      if (filling_) return;
      const auto bit = static_cast<uint16_t>(1u << (kFirstEdgeBit + edge));
      const uint16_t word = image_.GetUWord(kDinWord);
      image_.SetWord(kDinWord,
                     on ? static_cast<uint16_t>(word | bit) : static_cast<uint16_t>(word & ~bit));
    });
  }
  if (auto* check = Find<QCheckBox>(QStringLiteral("CheckLteEnable"))) {
    connect(check, &QCheckBox::toggled, this, [this](bool on) {
      if (!filling_) image_.SetExtWord(kLteEnableOffset, on ? 1 : 0);
    });
  }
  if (auto* check = Find<QCheckBox>(QStringLiteral("Check1"))) {
    writeSerialNumber_ = check->isChecked();
    connect(check, &QCheckBox::toggled, this, [this](bool on) {
      writeSerialNumber_ = on;
      Q_EMIT writeSerialNumberChanged(on);
    });
  }
  if (auto* picker = Find<QDateTimeEdit>(QStringLiteral("DTPickerInstallTime"))) {
    // Not held back while the window fills: showing a stored date writes it
    // back in the one form the tool uses.
    connect(picker, &QDateTimeEdit::dateChanged, this, [this](QDate date) {
      image_.WriteImageText(kInstallDateOffset, kInstallDateLength,
                            date.toString(QStringLiteral("yyyy-MM-dd")));
    });
  }
}

void OptionEditors::ConnectTextBoxes() {
  auto word = [this](int number) {
    return [this, number](uint16_t value) { image_.SetWord(number, value); };
  };
  AddNumberBox("TextDeviceAddr", EditorRules::kDeviceAddr, word(0));
  AddNumberBox("TextUartLostTime", EditorRules::kUartLostTime, word(58));
  AddNumberBox("TextUartPackageSize", EditorRules::kUartPackageSize, word(59));
  AddNumberBox("TextResetCycle", EditorRules::kCycle, word(kResetCycleWord));
  AddNumberBox("TextIdleCycle", EditorRules::kCycle, word(62));
  AddNumberBox("TextSavePeriod", EditorRules::kSavePeriod, word(68));
  AddNumberBox("TextDinFilter", EditorRules::kDinFilter, [this](uint16_t value) {
    image_.SetWord(kDinWord, EditorRules::WithDinFilter(image_.GetUWord(kDinWord), value));
  });
  AddNumberBox("TextAdjustVol", EditorRules::kAdjustVol, [this](uint16_t value) {
    image_.SetByte(ParameterImage::kAdjustByte, static_cast<uint8_t>(value));
  });
  AddTextField("TextDeviceName", 20, 50);
  AddTextField("TextDeviceSN", 70, 50);
  AddTextField("TextInstallAddr", 120, 50);
  AddTextField("TextDeviceSort", 170, 10);
}

void OptionEditors::AddNumberBox(const char* name, const EditorRules::NumberRule& rule,
                                 std::function<void(uint16_t)> store) {
  auto* box = Find<QLineEdit>(QString::fromLatin1(name));
  if (!box) return;
  FilterTextKey(box, KeyMode::Digits, 0);
  box->installEventFilter(this);
  boxes_.insert(
      box, {&rule, [store = std::move(store)](const QString&, uint16_t value) { store(value); }});
}

void OptionEditors::AddTextField(const char* name, int offset, int length) {
  auto* box = Find<QLineEdit>(QString::fromLatin1(name));
  if (!box) return;
  FilterTextKey(box, KeyMode::Any, length);
  box->installEventFilter(this);
  boxes_.insert(box, {nullptr, [this, offset, length](const QString& text, uint16_t) {
                        image_.WriteImageText(offset, length, text);
                      }});
}

bool OptionEditors::eventFilter(QObject* watched, QEvent* event) {
  auto* box = qobject_cast<QLineEdit*>(watched);
  if (!box || !boxes_.contains(box)) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      enterPressed_ = true;
      LeaveBox(box);
      return true;
    }
  } else if (event->type() == QEvent::FocusOut &&
             static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason &&
             !QApplication::activePopupWidget()) {
    LeaveBox(box);  // a context menu opening is not a leave
  }
  return QObject::eventFilter(watched, event);
}

void OptionEditors::LeaveBox(QLineEdit* box) {
  const TextBox& editor = boxes_[box];
  if (editor.rule) {
    const EditorRules::Replaced result = EditorRules::ApplyNumberRule(*editor.rule, box->text());
    if (result.text != box->text()) box->setText(result.text);
    editor.store(result.text, result.value);
  } else {
    editor.store(box->text(), 0);
  }
  if (enterPressed_) {
    // Enter keeps the user in the box, with the whole text selected.
    enterPressed_ = false;
    box->setFocus(Qt::OtherFocusReason);
    box->setSelection(0, static_cast<int>(box->text().size()));
  }
}
