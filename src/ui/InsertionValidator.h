#pragma once

#include <QString>
#include <QValidator>

#include <functional>

class QLineEdit;

/// Holds whatever the user puts into a box (typed, pasted by key or menu,
/// dropped, or committed by an input method) to a rule for one character,
/// applied to the inserted characters one at a time as if they were typed:
/// those the rule refuses are left out. An insertion of which nothing is let
/// in leaves the box as it was, as refused keys do. Text the program sets is
/// taken whole, so a stored value longer than what may be typed is shown.
///
/// It tells the two apart by the box's modified mark, which Qt raises for
/// every user edit before it validates and clears on setText().
class InsertionValidator : public QValidator {
  Q_OBJECT
 public:
  /// Decides one inserted character. `kept` is the text that stays with the
  /// characters let in so far (what the insertion replaces is gone);
  /// `replacing` is true until a character of an insertion that replaces
  /// selected text has been let in.
  using Rule = std::function<bool(QChar ch, const QString& kept, bool replacing)>;

  /// Sets itself as `box`'s validator (replacing any other).
  InsertionValidator(QLineEdit* box, Rule rule);

  State validate(QString& input, int& pos) const override;

 private:
  QLineEdit* box_;
  Rule rule_;
  mutable QString last_;  ///< the text as it was before the change being validated
};
