#pragma once

#include "image/ParameterImage.h"

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTableWidget;

/// The compare window: where the form (the window's parameter image)
/// differs from a configuration file or from the terminal. Each differing
/// field is a row with the caption it has on its page, the page, and both
/// values, the fields on a page first; the count says how many. A
/// double-click on a row asks for the field's page and box, and the ticked
/// rows can be taken into the form from the other side ("采用所选"). The
/// other side is read into an image of its own by whoever answers the two
/// requests.
class FormCompare : public QDialog {
  Q_OBJECT
 public:
  /// `form` is the window's image, which only "采用所选" changes.
  FormCompare(ParameterImage& form, bool english, QWidget* parent = nullptr);

  /// Lists the fields where the form differs from `other`; `source` names the
  /// other side in the heading of its column ("终端", "a.quelt").
  void ShowDifferences(const ParameterImage& other, const QString& source);
  /// Says why there is nothing to compare with (a failed read or open).
  void ShowFailure(const QString& text);
  /// While the terminal is read for the comparison every button waits.
  void SetReading(bool reading);
  /// While another transaction holds the link, "与终端对比" and "采用所选"
  /// wait and the window says why.
  void SetLinkBusy(bool busy);

 Q_SIGNALS:
  /// "与文件对比...": the user wants to compare with a file.
  void fileRequested();
  /// "与终端对比": the user wants to compare with the terminal.
  void terminalRequested();
  /// A row was double-clicked: the field table's name of its field.
  void fieldActivated(const QString& field);
  /// "采用所选" changed the form.
  void taken();

 private:
  void TakeSelected();
  void UpdateButtons();

  ParameterImage& form_;
  ParameterImage other_;
  QString source_;
  bool english_;
  bool hasOther_ = false;
  bool reading_ = false;
  bool linkBusy_ = false;
  QPushButton* commandFile_;
  QPushButton* commandTerminal_;
  QPushButton* commandTake_;
  QLabel* labelCount_;
  QLabel* labelBusy_;
  QTableWidget* table_;
};
