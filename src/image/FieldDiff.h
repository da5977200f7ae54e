#pragma once

#include <QList>
#include <QString>

struct Field;
class ParameterImage;

/// One named field that differs between two images, with both display texts.
struct FieldDifference {
  const Field* field = nullptr;  ///< the field table's entry
  QString left;                  ///< FieldTable::DisplayText in the first image
  QString right;                 ///< the same in the second image
};

/// Field-by-field comparison of two parameter images through the field
/// table: a field differs when its display text differs.
class FieldDiff {
 public:
  /// Every field, in table order, whose display text differs between `left`
  /// and `right`.
  static QList<FieldDifference> Compare(const ParameterImage& left, const ParameterImage& right);
};
