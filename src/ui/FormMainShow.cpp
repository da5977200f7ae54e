// The image in the controls: ShowImage and ShowIdentity. Nothing here writes
// into the image; out-of-range values are brought into their list's range
// for the display only.
#include "ui/FormMain.h"

#include "image/Identity.h"
#include "ui/AdcGrid.h"
#include "ui/DioGrid.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

namespace {

// Extended offsets and lengths of the cloud-service fields.
constexpr int kLteEnable = 0;
constexpr int kTimeSource = 2;
constexpr int kDeviceName = 20;
constexpr int kDeviceSN = 70;
constexpr int kInstallAddr = 120;
constexpr int kDeviceSort = 170;
constexpr int kInstallDate = 180;
constexpr int kLongText = 50;
constexpr int kShortText = 10;

constexpr int kCycleLimit = 8640;
constexpr int kCycleReplacement = 6;

void SetIndex(QComboBox* combo, int index) {
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

// A format list shows any stored rate: a listed one is selected, any other
// is shown as the list's text without an entry.
void ShowText(QComboBox* combo, const QString& text) {
  combo->setPlaceholderText(text);
  combo->setCurrentIndex(combo->findText(text));
}

// The install date as the tool writes it ("2024-05-01"); a few looser forms
// of the same date are accepted too.
QDate ParseInstallDate(const QString& text) {
  for (const char* format : {"yyyy-MM-dd", "yyyy-M-d", "yyyy/M/d", "yyyy.M.d"}) {
    const QDate date = QDate::fromString(text, QLatin1String(format));
    if (date.isValid()) return date;
  }
  return {};
}

}  // namespace

void FormMain::ShowImage() {
  fillingControls_ = true;
  ShowOptionWords();
  if (image_.HasValidMarker()) ShowExtendedFields();
  RebuildDeviceFormatText();
  fillingControls_ = false;
}

void FormMain::ShowOptionWords() {
  const auto word = [this](int i) { return static_cast<int>(image_.GetUWord(i)); };

  textDeviceAddr_->setText(QString::number(word(0)));

  // Serial formats: words 5 to 8 for the TTL port (index 0), 9 to 12 for the 485 port.
  for (int i = 0; i < 2; ++i) {
    const int base = 5 + 4 * i;
    ShowText(comboBaudRate_[i], QString::number(word(base) * 100));
    const int parity = word(base + 1) > 3 ? 0 : word(base + 1);
    comboParity_[i]->setPlaceholderText(QString());
    SetIndex(comboParity_[i], parity);  // code 3 has no entry: shown blank
    int stop = word(base + 2);
    if (stop == 0 || stop > 2) stop = 1;
    SetIndex(comboStopbits_[i], stop - 1);
    SetIndex(comboDatabits_[i], word(base + 3) == 7 ? 0 : 1);
  }

  // The channel list holds 7 entries until a read fills the band's list.
  const int channel = word(14);
  SetIndex(comboChannel_, channel < comboChannel_->count() ? channel : 0);

  int airRate = word(15);
  if (airRate > 12 || airRate < 5) airRate = 7;
  SetIndex(comboAirRate_, 12 - airRate);
  SetIndex(comboTxPower_, qMin(word(18), 22));
  SetIndex(comboLoraRepeat_, word(19) == 0 ? 0 : 1);
  if (comboLoraRepeat_->currentIndex() != 0 && word(20) != 0) SetIndex(comboLoraRepeat_, 2);
  SetIndex(comboAdcType_, qMin(word(21), 2));

  // Words 22 to 56: offsets, full scales, multipliers and kinds of the channels.
  if (adcGrid_) adcGrid_->ShowImage();

  textUartLostTime_->setText(QString::number(qMin(word(58), 255)));
  textUartPackageSize_->setText(QString::number(qMin(word(59), 255)));

  // Word 60: the pin directions.
  if (dioGrid_) dioGrid_->ShowImage();

  const int reset = word(61) > kCycleLimit ? kCycleReplacement : word(61);
  checkResetEnable_->setChecked(reset != 0);
  textResetCycle_->setEnabled(reset != 0);
  textIdleCycle_->setEnabled(reset != 0);
  textResetCycle_->setText(QString::number(reset));
  const int idle = word(62) > kCycleLimit ? kCycleReplacement : word(62);
  textIdleCycle_->setText(QString::number(idle));

  SetIndex(comboLogLevel_, word(63) > 4 ? 0 : word(63));
  SetIndex(comboLogPort_, word(64) > 3 ? 0 : word(64));

  const int capture = word(67);
  for (int k = 0; k < 4; ++k) checkCaptureEdge_[k]->setChecked(capture & (1 << (12 + k)));
  textDinFilter_->setText(QString::number(capture & 0x0FFF));
  textSavePeriod_->setText(QString::number(word(68)));
}

void FormMain::ShowExtendedFields() {
  checkLteEnable_->setChecked(image_.GetExtWord(kLteEnable) != 0);
  textDeviceName_->setText(image_.ReadImageText(kDeviceName, kLongText));
  textDeviceSN_->setText(image_.ReadImageText(kDeviceSN, kLongText));
  textDeviceSort_->setText(image_.ReadImageText(kDeviceSort, kShortText));
  textInstallAddr_->setText(image_.ReadImageText(kInstallAddr, kLongText));
  SetIndex(comboTimeSource_, image_.GetExtWord(kTimeSource) != 0 ? 1 : 0);
  const QString date = image_.ReadImageText(kInstallDate, kShortText).trimmed();
  if (!date.isEmpty()) {
    // The picker's own handler writes the date back in its "YYYY-MM-DD" form.
    const QDate value = ParseInstallDate(date);
    if (value.isValid()) dtPickerInstallTime_->setDate(value);
  }
}

void FormMain::RebuildDeviceFormatText() {
  deviceFormatText_ = ShownText(comboBaudRate_[1]) + ',' + ShownText(comboParity_[1]) + ',' +
                      ShownText(comboDatabits_[1]) + ',' + ShownText(comboStopbits_[1]);
}

void FormMain::ShowIdentity() {
  fillingControls_ = true;
  const QStringList lines = Identity::Lines(image_);
  for (const QString& line : lines) AddMessage(line);
  comboChannel_->clear();
  comboChannel_->addItems(Identity::ChannelList(Identity::BandCode(image_)));
  comboChannel_->setCurrentIndex(Identity::ChannelIndex(image_, comboChannel_->count()));
  fillingControls_ = false;
}
