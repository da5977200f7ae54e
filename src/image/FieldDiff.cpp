#include "image/FieldDiff.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"

QList<FieldDifference> FieldDiff::Compare(const ParameterImage& left, const ParameterImage& right) {
  QList<FieldDifference> differences;
  for (const Field& field : FieldTable::Fields()) {
    FieldDifference difference{&field, FieldTable::DisplayText(left, field),
                               FieldTable::DisplayText(right, field)};
    if (difference.left != difference.right) differences.append(std::move(difference));
  }
  return differences;
}
