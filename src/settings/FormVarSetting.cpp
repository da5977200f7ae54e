#include "settings/FormVarSetting.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "ui/FilterTextKey.h"

namespace {

// The four groups of points: prefix, first entry, number of points, frame caption.
struct Group {
  const char* prefix;
  int first;
  int count;
  const char* english;
  const char* chinese;
};

constexpr Group kGroups[] = {
    {"DO", 0, 8, "Digital Output", "数字输出"},
    {"DI", 8, 8, "Digital Input", "数字输入"},
    {"AI", 16, 8, "Anlage Input", "模拟输入"},
    {"AO", 24, 2, "Analge Output", "模拟输出"},
};

QString Indexed(const char* name, int index) {
  return QString::fromLatin1(name) + '_' + QString::number(index);
}

}  // namespace

QString FormVarSetting::FunctionName(int entry) {
  for (const Group& group : kGroups) {
    if (entry >= group.first && entry < group.first + group.count)
      return QString::fromLatin1(group.prefix) + QString::number(entry - group.first);
  }
  return {};
}

namespace {

const Field& EntryField(int entry, const char* part) {
  return FieldTable::Named(
      QStringLiteral("var_%1_%2").arg(FormVarSetting::FunctionName(entry), QLatin1String(part)));
}

}  // namespace

int FormVarSetting::FlagOffset(int entry) {
  return FieldTable::ExtendedOffset(EntryField(entry, "report"));
}

int FormVarSetting::NameOffset(int entry) {
  return FieldTable::ExtendedOffset(EntryField(entry, "name"));
}

int FormVarSetting::NameLength(int entry) { return EntryField(entry, "name").length; }

FormVarSetting::FormVarSetting(ParameterImage& image, bool english, QWidget* parent)
    : SettingsDialog(english, parent), image_(image) {
  setObjectName("FormVarSetting");
  FillingControls = true;
  BuildControls();
  ApplyCaptions();
  FillControls();
  FillingControls = false;
}

void FormVarSetting::BuildControls() {
  auto* label1 = new QLabel(this);
  label1->setObjectName("Label1");
  auto* frames = new QGridLayout;
  for (int g = 0; g < 4; ++g) {
    const Group& group = kGroups[g];
    auto* frame = new QGroupBox(this);
    frame->setObjectName(Indexed("FrameItemConfig", g));
    auto* grid = new QGridLayout(frame);
    auto* function = new QLabel(frame);
    function->setObjectName(Indexed("LabelFunction", g));
    auto* var = new QLabel(frame);
    var->setObjectName(Indexed("LabelVar", g));
    grid->addWidget(function, 0, 0);
    grid->addWidget(var, 0, 1);
    for (int k = 0; k < group.count; ++k) {
      const int entry = group.first + k;
      auto* check = new QCheckBox(frame);
      check->setObjectName(Indexed("CheckFunction", entry));
      auto* name = new QLineEdit(frame);
      name->setObjectName(Indexed("TextVarName", entry));
      name->setMinimumWidth(180);
      FilterTextKey(name, KeyMode::Any, NameLength(entry));
      WatchBox(name, [this, entry] { TextVarName_LostFocus(entry); });
      WatchFieldBytes(name, NameLength(entry));
      connect(check, &QCheckBox::toggled, this,
              [this, entry](bool ticked) { CheckFunction_Click(entry, ticked); });
      grid->addWidget(check, k + 1, 0);
      grid->addWidget(name, k + 1, 1);
      checks_[entry] = check;
      names_[entry] = name;
    }
    grid->setRowStretch(group.count + 1, 1);
    // Digital outputs and inputs on the first row, analog on the second.
    frames->addWidget(frame, g / 2, g % 2);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label1);
  layout->addLayout(frames);
  layout->addWidget(ByteHint());
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void FormVarSetting::ApplyCaptions() {
  setWindowTitle(QString::fromUtf8("报文变量设置"));
  auto pick = [this](const char* english, const char* chinese) {
    return english_ ? QString::fromLatin1(english) : QString::fromUtf8(chinese);
  };
  for (int g = 0; g < 4; ++g) {
    findChild<QGroupBox*>(Indexed("FrameItemConfig", g))
        ->setTitle(pick(kGroups[g].english, kGroups[g].chinese));
    findChild<QLabel*>(Indexed("LabelFunction", g))->setText(pick("Function Name", "功能名"));
    findChild<QLabel*>(Indexed("LabelVar", g))->setText(pick("Var Name", "变量名"));
  }
  findChild<QLabel*>("Label1")->setText(pick("Select the item if you need report it",
                                             "如需MQTT周期上报，则需要在对应条目前打勾选中"));
  for (int entry = 0; entry < kEntries; ++entry) checks_[entry]->setText(FunctionName(entry));

  // The name boxes of all four frames line up: the first column is as wide as
  // its widest caption or check box in any frame.
  int width = 0;
  for (int g = 0; g < 4; ++g)
    width = std::max(width, findChild<QLabel*>(Indexed("LabelFunction", g))->sizeHint().width());
  for (const QCheckBox* check : checks_) width = std::max(width, check->sizeHint().width());
  for (int g = 0; g < 4; ++g) {
    auto* frame = findChild<QGroupBox*>(Indexed("FrameItemConfig", g));
    static_cast<QGridLayout*>(frame->layout())->setColumnMinimumWidth(0, width);
  }
}

void FormVarSetting::FillControls() {
  const bool filling = FillingControls;
  FillingControls = true;
  for (int entry = 0; entry < kEntries; ++entry) {
    checks_[entry]->setChecked(image_.GetExtWord(FlagOffset(entry)) != 0);
    names_[entry]->setText(image_.ReadImageText(NameOffset(entry), NameLength(entry)));
  }
  FillingControls = filling;
}

void FormVarSetting::CheckFunction_Click(int entry, bool ticked) {
  if (FillingControls) return;
  image_.SetExtWord(FlagOffset(entry), ticked ? 1 : 0);
}

void FormVarSetting::TextVarName_LostFocus(int entry) {
  QLineEdit* box = names_[entry];
  if (TakeEdit(box, image_.ReadImageText(NameOffset(entry), NameLength(entry))))
    image_.WriteImageText(NameOffset(entry), NameLength(entry), box->text());
}
