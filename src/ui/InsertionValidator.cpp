#include "ui/InsertionValidator.h"

#include <QLineEdit>

#include <algorithm>

InsertionValidator::InsertionValidator(QLineEdit* box, Rule rule)
    : QValidator(box), box_(box), rule_(std::move(rule)), last_(box->text()) {
  box->setValidator(this);
}

QValidator::State InsertionValidator::validate(QString& input, int& pos) const {
  if (!box_->isModified() || input == last_) {
    last_ = input;
    return Acceptable;
  }
  // The change is what lies between the common start and the common end.
  const int before = static_cast<int>(last_.size());
  const int after = static_cast<int>(input.size());
  const int shorter = std::min(before, after);
  int head = 0;
  while (head < shorter && last_.at(head) == input.at(head)) ++head;
  int tail = 0;
  while (tail < shorter - head && last_.at(before - 1 - tail) == input.at(after - 1 - tail)) ++tail;
  const QString inserted = input.mid(head, after - head - tail);
  const QString left = input.left(head);
  const QString right = input.right(tail);
  const bool replacing = before - head - tail > 0;

  QString taken;
  for (const QChar ch : inserted) {
    if (rule_(ch, left + taken + right, replacing && taken.isEmpty())) taken.append(ch);
  }
  if (!inserted.isEmpty() && taken.isEmpty()) {
    input = last_;  // nothing let in: the box stays as it was
    pos = std::min(pos, static_cast<int>(input.size()));
  } else if (taken.size() != inserted.size()) {
    input = left + taken + right;
    pos = head + static_cast<int>(taken.size());
  }
  last_ = input;
  return Acceptable;
}
