#pragma once

#include <QList>
#include <QString>

struct Field;
class ParameterImage;

/// Field-by-field comparison of two parameter images through the field
/// table: a field differs when its display text differs.
class FieldDiff {
 public:
  /// One named field that differs, with both display texts.
  struct Row {
    const Field* field = nullptr;  ///< the field table's entry
    QString left;                  ///< FieldTable::DisplayText in the first image
    QString right;                 ///< the same in the second image
  };

  /// Every field, in table order, whose display text differs between `left`
  /// and `right`.
  static QList<Row> Compare(const ParameterImage& left, const ParameterImage& right);
};
