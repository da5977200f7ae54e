#include "ui/FilterTextKey.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "ui/InsertionValidator.h"

bool AcceptTextKey(QChar key, KeyMode mode, int currentLength, bool hasSelection, int maxLength) {
  const bool control = key == QChar('\b') || key == QChar('\r');
  switch (mode) {
    case KeyMode::Printable:
      if (!control && (key.unicode() < 32 || key.unicode() > 127)) return false;
      break;
    case KeyMode::Digits:
      if (!control && (key < QChar('0') || key > QChar('9'))) return false;
      break;
    case KeyMode::Any:
      break;
  }
  if (maxLength > 0 && !hasSelection && !control && currentLength >= maxLength) return false;
  return true;
}

void FilterTextKey(QLineEdit* box, KeyMode mode, int maxLength) {
  if (maxLength > 0) box->setMaxLength(maxLength);
  box->installEventFilter(new TextKeyFilter(box, mode, maxLength));
  // Pasted, dropped and input-method text goes in as if typed key by key.
  new InsertionValidator(box, [mode, maxLength](QChar ch, const QString& kept, bool replacing) {
    return AcceptTextKey(ch, mode, static_cast<int>(kept.size()), replacing, maxLength);
  });
}

TextKeyFilter::TextKeyFilter(QLineEdit* box, KeyMode mode, int maxLength)
    : QObject(box), box_(box), mode_(mode), maxLength_(maxLength) {}

bool TextKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (watched == box_ && event->type() == QEvent::Drop && !box_->hasFocus()) {
    // A drop edits the box as a click and typing would: it takes the focus,
    // so that leaving the box stores what was dropped.
    box_->setFocus(Qt::MouseFocusReason);
    return false;
  }
  if (watched != box_ || event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Return ||
      key->key() == Qt::Key_Enter)
    return false;                                                                // always pass
  if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;  // shortcuts
  const QString text = key->text();
  if (text.isEmpty()) return false;  // cursor keys, Delete, ...
  // Tab, Escape and other control keys move the focus or close the window;
  // they are not typed text.
  if (text.size() == 1 && (text.at(0).unicode() < 32 || text.at(0).unicode() == 127)) return false;
  for (const QChar ch : text) {
    if (!AcceptTextKey(ch, mode_, box_->text().size(), box_->hasSelectedText(), maxLength_))
      return true;  // dropped
  }
  return false;
}
