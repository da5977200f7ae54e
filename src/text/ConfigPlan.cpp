#include "text/ConfigPlan.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "text/ConfigExport.h"
#include "text/ConfigSchema.h"

#include <array>
#include <cstring>

namespace {

bool Differs(const ParameterImage& a, const ParameterImage& b, const Field& field) {
  if (field.kind == FieldKind::Bits)
    return ConfigSchema::Stored(a, field) != ConfigSchema::Stored(b, field);
  return std::memcmp(a.Data() + field.byte, b.Data() + field.byte,
                     static_cast<size_t>(field.length)) != 0;
}

/// "138 to 140, 1026": the offsets as ranges.
QString Ranges(const QList<int>& offsets) {
  QStringList parts;
  for (qsizetype i = 0; i < offsets.size();) {
    qsizetype j = i;
    while (j + 1 < offsets.size() && offsets[j + 1] == offsets[j] + 1) ++j;
    parts << (i == j ? QString::number(offsets[i])
                     : QStringLiteral("%1 to %2").arg(offsets[i]).arg(offsets[j]));
    i = j + 1;
  }
  return parts.join(QStringLiteral(", "));
}

}  // namespace

QList<ConfigPlan::Row> ConfigPlan::Rows(const ParameterImage& before, const ParameterImage& after) {
  QList<const ConfigSchema::Rule*> changed;
  for (const ConfigSchema::Rule& rule : ConfigSchema::Rules())
    if (Differs(before, after, *rule.field)) changed.push_back(&rule);
  QList<Row> rows;
  for (FieldGroup group : ConfigSchema::Groups()) {
    for (const ConfigSchema::Rule* rule : changed) {
      if (rule->group != group) continue;
      rows.push_back({rule->field, ConfigExport::ValueText(before, *rule->field),
                      ConfigExport::ValueText(after, *rule->field)});
    }
  }
  return rows;
}

QList<int> ConfigPlan::OtherBytes(const ParameterImage& before, const ParameterImage& after) {
  // The bits each field holds: whole bytes, or a bit group's bits of its word.
  std::array<uint8_t, ParameterImage::kSize> named{};
  for (const Field& field : FieldTable::Fields()) {
    if (field.kind != FieldKind::Bits) {
      for (int i = field.byte; i < field.byte + field.length; ++i) named[i] = 0xFF;
      continue;
    }
    const uint32_t mask = ((1u << field.bitCount) - 1) << field.bitShift;
    named[field.byte] |= static_cast<uint8_t>(mask & 0xFF);
    named[field.byte + 1] |= static_cast<uint8_t>(mask >> 8);
  }
  QList<int> offsets;
  for (int i = 0; i < ParameterImage::kSize; ++i)
    if ((before.Byte(i) ^ after.Byte(i)) & ~named[i] & 0xFF) offsets.push_back(i);
  return offsets;
}

QStringList ConfigPlan::Lines(const ParameterImage& before, const ParameterImage& after) {
  QStringList lines;
  FieldGroup heading = FieldGroup::Unshown;
  bool first = true;
  for (const Row& row : Rows(before, after)) {
    const FieldGroup group = ConfigSchema::Find(QString::fromLatin1(row.field->name))->group;
    if (first || group != heading) {
      lines << QStringLiteral("%1 (%2 / %3):")
                   .arg(ConfigSchema::GroupKey(group), FieldLabels::GroupName(group, false),
                        FieldLabels::GroupName(group, true));
      heading = group;
      first = false;
    }
    QString line = QStringLiteral("  %1: %2 -> %3")
                       .arg(QString::fromLatin1(row.field->name), row.before, row.after);
    if (row.before == row.after) line += QStringLiteral(" (bytes after the text)");
    lines << line;
  }
  const QList<int> others = OtherBytes(before, after);
  if (!others.isEmpty())
    lines << QStringLiteral("bytes no field names: %1 change (%2)")
                 .arg(others.size())
                 .arg(Ranges(others));
  return lines;
}
