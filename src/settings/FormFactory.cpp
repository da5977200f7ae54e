#include "settings/FormFactory.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "image/TextCodec.h"
#include "ui/FilterTextKey.h"

namespace {

// The production serial number's place in the option block.
const Field& SerialNumberField() { return FieldTable::Named(QStringLiteral("serial_number")); }

}  // namespace

FormFactory::FormFactory(ParameterImage& image, bool english, QWidget* parent)
    : SettingsDialog(english, parent), image_(image) {
  setObjectName("FormFactory");
  setWindowTitle(QString::fromUtf8("设备信息"));
  auto* label = new QLabel(QString::fromUtf8("设备编码："), this);
  label->setObjectName("LabelProductSN");
  text1_ = new QLineEdit(this);
  text1_->setObjectName("Text1");
  text1_->setMinimumWidth(260);
  label->setBuddy(text1_);
  auto* close = new QPushButton(QString::fromUtf8("确定"), this);
  close->setObjectName("CommandClose");
  // Enter belongs to the text box; it must not close the window.
  close->setAutoDefault(false);
  close->setDefault(false);

  FilterTextKey(text1_, KeyMode::Any, SerialNumberField().length);
  WatchBox(text1_, [this] { Text1_LostFocus(); });
  WatchFieldBytes(text1_, SerialNumberField().length, true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(text1_, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(ByteHint());
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  text1_->setText(ReadSerialNumber(image_));
}

QString FormFactory::ReadSerialNumber(const ParameterImage& image) {
  QString text;
  const Field& field = SerialNumberField();
  for (int i = 0; i < field.length; ++i) {
    const uint8_t byte = image.Byte(field.byte + i);
    if (byte < 32 || byte > 126) break;
    text += QChar(byte);
  }
  return text;
}

void FormFactory::WriteSerialNumber(ParameterImage& image, const QString& text) {
  const int start = SerialNumberField().byte;
  const int length = SerialNumberField().length;
  if (text.isEmpty()) {
    image.SetByte(start, 0);
    return;
  }
  const QByteArray bytes = TextCodec::ToGbk(text);
  // Whole characters only: never the first half of a two-byte character.
  int n = 0;
  while (n < bytes.size()) {
    const int step = TextCodec::CharLength(static_cast<uint8_t>(bytes[n]));
    if (n + step > length) break;
    n += step;
  }
  image.Store(start, reinterpret_cast<const uint8_t*>(bytes.constData()), n);
  if (n < length) image.SetByte(start + n, 0);
}

void FormFactory::Text1_LostFocus() {
  if (TakeEdit(text1_, ReadSerialNumber(image_))) WriteSerialNumber(image_, text1_->text());
}
