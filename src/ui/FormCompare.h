#pragma once

#include <QDialog>
#include <QString>

class ParameterImage;
class QLabel;
class QPushButton;
class QTableWidget;

/// The compare window: where the form (the window's parameter image)
/// differs from a configuration file or from the terminal, field by field
/// with the field table's names and display texts. Only differing fields are
/// listed, with both values and their count. It never changes the form: the
/// other side is read into an image of its own by whoever answers the two
/// requests.
class FormCompare : public QDialog {
  Q_OBJECT
 public:
  FormCompare(const ParameterImage& form, bool english, QWidget* parent = nullptr);

  /// Lists the fields where the form differs from `other`; `source` names the
  /// other side in the heading of its column ("终端", "a.quelt").
  void ShowDifferences(const ParameterImage& other, const QString& source);
  /// Says why there is nothing to compare with (a failed read or open).
  void ShowFailure(const QString& text);
  /// Disables the two buttons while the terminal is being read.
  void SetBusy(bool busy);

 Q_SIGNALS:
  /// "与文件对比...": the user wants to compare with a file.
  void fileRequested();
  /// "与终端对比": the user wants to compare with the terminal.
  void terminalRequested();

 private:
  const ParameterImage& form_;
  bool english_;
  QPushButton* commandFile_;
  QPushButton* commandTerminal_;
  QLabel* labelCount_;
  QTableWidget* table_;
};
