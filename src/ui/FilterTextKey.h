#pragma once

#include <QObject>

class QLineEdit;

/// Key filter modes of the text boxes.
enum class KeyMode {
  Printable = 0,  ///< printable ASCII 32 to 127, Backspace and Enter
  Any = 1,        ///< every key (1 and 3 are used by the windows)
  Digits = 2,     ///< "0" to "9", Backspace and Enter
};

/// Decides one typed character: '\b' is Backspace, '\r' is Enter. A key is
/// rejected when the mode refuses it, or when nothing is selected, the key
/// is neither Backspace nor Enter and the box already holds `maxLength`
/// characters (0: no limit).
bool AcceptTextKey(QChar key, KeyMode mode, int currentLength, bool hasSelection, int maxLength);

/// Installs the filter on a box: rejected keys never reach it, and pasted,
/// dropped or input-method text is held to the same mode and length, as if
/// typed (an InsertionValidator, which takes the place of any validator).
void FilterTextKey(QLineEdit* box, KeyMode mode, int maxLength);

/// The event filter behind FilterTextKey(): drops refused keys, and gives the
/// box the focus when text is dropped on it.
class TextKeyFilter : public QObject {
  Q_OBJECT
 public:
  TextKeyFilter(QLineEdit* box, KeyMode mode, int maxLength);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* box_;
  KeyMode mode_;
  int maxLength_;
};
