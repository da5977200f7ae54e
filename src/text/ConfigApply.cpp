#include "text/ConfigApply.h"

#include "image/FieldTable.h"
#include "text/ConfigSchema.h"
#include "text/ValueCheck.h"

namespace {

/// The production serial number's field: printable ASCII, a 0 after it when
/// there is room; an empty number clears only its first byte.
void WriteSerialNumber(ParameterImage& image, const Field& field, const QString& text) {
  const QByteArray bytes = text.toLatin1().left(field.length);
  image.Store(field.byte, reinterpret_cast<const uint8_t*>(bytes.constData()),
              static_cast<int>(bytes.size()));
  if (bytes.size() < field.length) image.SetByte(field.byte + static_cast<int>(bytes.size()), 0);
}

}  // namespace

void ConfigApply::Assign(ParameterImage& image, const Assignment& a) {
  const Field& field = *a.field;
  if (field.kind != FieldKind::Text && field.kind != FieldKind::SerialNumber) {
    ConfigSchema::Store(image, field, a.stored);
  } else if (a.raw) {
    image.Store(field.byte, reinterpret_cast<const uint8_t*>(a.bytes.constData()),
                static_cast<int>(std::min<qsizetype>(a.bytes.size(), field.length)));
  } else if (field.kind == FieldKind::SerialNumber) {
    WriteSerialNumber(image, field, a.text);
  } else {
    image.WriteImageText(FieldTable::ExtendedOffset(field), field.length, a.text);
  }
}

ConfigApply::Result ConfigApply::Apply(const ParameterImage& base, const ConfigChanges& changes,
                                       const QString& serial) {
  Result result{base, {}};
  const QString placeholder = QString::fromLatin1(ValueCheck::kSerialPlaceholder);
  QList<Assignment> fields = changes.fields;
  for (Assignment& a : fields) {
    if (a.raw || !a.text.contains(placeholder)) continue;
    const ConfigSchema::Rule& rule = *ConfigSchema::Find(QString::fromLatin1(a.field->name));
    ScalarValue at;
    at.line = a.line;
    at.column = a.column;
    if (serial.isEmpty()) {
      result.errors.push_back(ValueCheck::Error(
          at, rule.Name(), QStringLiteral("%1 needs a serial number").arg(placeholder),
          QStringLiteral("%1 需要序列号").arg(placeholder)));
      continue;
    }
    a.text.replace(placeholder, serial);
    const QStringList problem = ValueCheck::TextProblem(rule, a.text);
    if (!problem.isEmpty())
      result.errors.push_back(ValueCheck::Error(at, rule.Name(), problem[0], problem[1]));
  }
  if (!result.Ok()) return result;
  for (const ByteRun& run : changes.runs)
    result.image.Store(run.offset, reinterpret_cast<const uint8_t*>(run.bytes.constData()),
                       static_cast<int>(run.bytes.size()));
  for (const Assignment& a : fields) Assign(result.image, a);
  return result;
}
