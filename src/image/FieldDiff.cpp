#include "image/FieldDiff.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"

QList<FieldDiff::Row> FieldDiff::Compare(const ParameterImage& left, const ParameterImage& right) {
  QList<Row> differences;
  for (const Field& field : FieldTable::Fields()) {
    Row difference{&field, FieldTable::DisplayText(left, field),
                   FieldTable::DisplayText(right, field)};
    if (difference.left != difference.right) differences.append(std::move(difference));
  }
  return differences;
}
