#pragma once

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;

/// Common ground of the cloud-service windows (MQTT, report variables,
/// factory number). They have no OK or Cancel: every edit is stored into the
/// shared parameter image at once. A text box stores its value when it loses
/// the focus or when Enter is typed; after Enter the box keeps the focus with
/// its whole text selected. Closing the window stores the box being edited,
/// so nothing typed is lost.
///
/// Control arrays are named `<Name>_<index>`, indexed from 0
/// (`CheckFunction_0` .. `CheckFunction_25`).
class SettingsDialog : public QDialog {
  Q_OBJECT
 public:
  /// Runs the leave step of the box that has the focus, then closes.
  void done(int result) override;
  ~SettingsDialog() override;

 protected:
  SettingsDialog(bool english, QWidget* parent);

  /// Registers a text box: `leave` runs when the box loses the focus and when
  /// Enter is typed in it (then with EnterPressed set).
  void WatchBox(QLineEdit* box, std::function<void()> leave);

  /// Makes the box report in the hint label how many bytes of its text
  /// field of `length` bytes are left, or by how much the text is too long.
  /// With `printableOnly` it also warns about characters outside printable
  /// ASCII, which end the text when it is read back.
  void WatchFieldBytes(QLineEdit* box, int length, bool printableOnly = false);

  /// Lifts the box's own length cap so a stored value longer than what may be
  /// typed is shown whole; FilterTextKey() still holds typed, pasted and
  /// dropped text to the field's length.
  static void LiftLengthCap(QLineEdit* box);

  /// True when the user typed in the box since it was filled or last stored,
  /// or when its text is not what the field holds (`stored`); clears the
  /// box's modified mark. A box only visited leaves its field as it is,
  /// bytes after the text included.
  static bool TakeEdit(QLineEdit* box, const QString& stored);

  /// The small line under the fields that shows the byte count of the text
  /// box being edited; the window puts it in its layout.
  QLabel* ByteHint() const { return byteHint_; }

  bool eventFilter(QObject* watched, QEvent* event) override;

  bool english_;
  /// True while the window fills its controls from the image; change
  /// handlers store nothing while it is set.
  bool FillingControls = false;
  /// Set when Enter was typed in a text box, cleared by the box's leave step.
  bool EnterPressed = false;

 private:
  struct Watched {
    QLineEdit* box;
    std::function<void()> leave;
    int fieldLength;  // 0: no byte hint
    bool printableOnly;
  };
  Watched* Find(QObject* box);
  void RunLeave(Watched& watched);
  void UpdateHint(const Watched& watched);

  std::vector<Watched> boxes_;
  QLabel* byteHint_;
  bool inLeave_ = false;
};
