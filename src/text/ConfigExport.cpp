#include "text/ConfigExport.h"

#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "text/ConfigApply.h"
#include "text/ConfigSchema.h"
#include "text/HexRuns.h"
#include "text/ValueCheck.h"

#include <yaml-cpp/yaml.h>

#include <array>
#include <cstring>

namespace {

using Rule = ConfigSchema::Rule;
using ValueKind = ConfigSchema::ValueKind;

constexpr int kRunTokens = 16;  ///< hexadecimal tokens in one entry of `bytes:`

/// A field's value as the text writes it, and the assignment reading it gives.
struct Form {
  QString text;
  bool quoted = false;
  bool raw = false;
  Assignment assignment;
};

Form NumberForm(const ParameterImage& image, const Rule& rule) {
  const Field& field = *rule.field;
  Form form;
  const uint32_t stored = ConfigSchema::Stored(image, field);
  form.assignment.stored = stored;
  if (rule.kind == ValueKind::Choice) {
    const ConfigSchema::Choice* choice = rule.ChoiceOf(stored);
    if (choice != nullptr && choice->value == stored) {
      form.text = choice->key;
      return form;
    }
    if (choice != nullptr) {  // one of "every other number": the number itself
      form.text = QString::number(stored);
      return form;
    }
  } else {
    const int64_t value = ConfigSchema::Signed(field, stored);
    if (value >= rule.minimum && value <= rule.maximum) {
      form.text = ConfigSchema::NumberText(field, stored);
      return form;
    }
  }
  form.raw = true;
  form.assignment.raw = true;
  form.text = QString::number(stored);
  return form;
}

/// A text, when writing it back gives the field's bytes and reading the
/// value back accepts it; otherwise every byte of the field.
Form TextForm(const ParameterImage& image, const Rule& rule) {
  const Field& field = *rule.field;
  Form form;
  form.quoted = true;
  form.assignment.text = FieldTable::Text(image, field);
  form.assignment.field = &field;
  ParameterImage copy = image;
  ConfigApply::Assign(copy, form.assignment);
  const bool exact = copy.Bytes(field.byte, field.length) == image.Bytes(field.byte, field.length);
  if (exact && ValueCheck::TextProblem(rule, form.assignment.text).isEmpty() &&
      !form.assignment.text.contains(QLatin1String(ValueCheck::kSerialPlaceholder))) {
    form.text = form.assignment.text;
    return form;
  }
  form.raw = form.assignment.raw = true;
  form.assignment.bytes = image.Bytes(field.byte, field.length);
  form.text = HexRuns::Encode(form.assignment.bytes);
  return form;
}

Form FormOf(const ParameterImage& image, const Rule& rule) {
  Form form = rule.kind == ValueKind::Text ? TextForm(image, rule) : NumberForm(image, rule);
  form.assignment.field = rule.field;
  return form;
}

QString Comment(const Rule& rule, const Form& form) {
  QString comment =
      ConfigSchema::Captions(rule) + QStringLiteral("; ") + ConfigSchema::Values(rule);
  if (!rule.note.isEmpty()) comment += QStringLiteral("; ") + rule.note;
  if (form.raw) comment += QStringLiteral("; stored as it is");
  return comment;
}

void EmitValue(YAML::Emitter& out, const Form& form) {
  if (form.raw) out << YAML::LocalTag("raw");
  if (form.quoted) out << YAML::DoubleQuoted;
  out << form.text.toStdString();
}

/// Which bits of each byte the written fields decide whatever the image they
/// are applied onto: a field is applied onto all-zero and all-one bytes, and
/// the bits that come out the same are its own.
std::array<uint8_t, ParameterImage::kSize> OwnedBits(const QList<Form>& forms) {
  std::array<uint8_t, ParameterImage::kSize> owned{};
  ParameterImage zeros;
  ParameterImage ones;
  std::memset(ones.Data(), 0xFF, ParameterImage::kSize);
  for (const Form& form : forms) {
    const Field& field = *form.assignment.field;
    ConfigApply::Assign(zeros, form.assignment);
    ConfigApply::Assign(ones, form.assignment);
    for (int i = field.byte; i < field.byte + field.length; ++i) {
      owned[i] |= static_cast<uint8_t>(~(zeros.Byte(i) ^ ones.Byte(i)));
      zeros.SetByte(i, 0x00);  // a field writes only its own bytes: put them back
      ones.SetByte(i, 0xFF);
    }
  }
  return owned;
}

void EmitRuns(YAML::Emitter& out, const ParameterImage& image,
              const std::array<uint8_t, ParameterImage::kSize>& owned) {
  out << YAML::Newline
      << YAML::Comment("bytes no field names, by image offset: hexadecimal, \"00*16\" = 16 x 00");
  out << YAML::Key << "bytes" << YAML::Value << YAML::BeginMap;
  for (int i = 0; i < ParameterImage::kSize;) {
    if (owned[i] == 0xFF) {
      ++i;
      continue;
    }
    int end = i;
    while (end < ParameterImage::kSize && owned[end] != 0xFF) ++end;
    // Split a run into entries of a few tokens, so a change is one line.
    for (int start = i; start < end;) {
      int stop = start;
      for (int tokens = 0; stop < end && tokens < kRunTokens; ++tokens) {
        int n = 1;
        while (stop + n < end && image.Byte(stop + n) == image.Byte(stop)) ++n;
        stop += n >= 4 ? n : 1;
      }
      out << YAML::Key << start << YAML::Value << YAML::DoubleQuoted
          << HexRuns::Encode(image.Bytes(start, stop - start)).toStdString();
      start = stop;
    }
    i = end;
  }
  out << YAML::EndMap;
}

}  // namespace

QString ConfigExport::ValueText(const ParameterImage& image, const Field& field) {
  const Rule* rule = ConfigSchema::Find(QString::fromLatin1(field.name));
  if (rule == nullptr) return FieldTable::DisplayText(image, field);
  const Form form = FormOf(image, *rule);
  QString text = form.quoted ? QLatin1Char('"') + form.text + QLatin1Char('"') : form.text;
  return form.raw ? QStringLiteral("!raw ") + text : text;
}

QByteArray ConfigExport::Export(const ParameterImage& image, const Options& options) {
  YAML::Emitter out;
  out.SetIndent(2);
  out << YAML::Comment(
      "TR5906 configuration: each value as the window shows it, its caption and range or "
      "choices beside it. A file may hold any part of it. Texts count GBK bytes (a Chinese "
      "character takes 2).");
  out << YAML::BeginMap;
  out << YAML::Key << "tr5906-config" << YAML::Value << kFormatVersion;
  out << YAML::Key << "program" << YAML::Value
      << QStringLiteral("tr5906 %1.%2.%3")
             .arg(TR5906_VERSION_MAJOR)
             .arg(TR5906_VERSION_MINOR)
             .arg(TR5906_VERSION_PATCH)
             .toStdString();
  out << YAML::Key << "source" << YAML::Value << YAML::DoubleQuoted << options.source.toStdString();
  QList<Form> written;
  for (FieldGroup group : ConfigSchema::Groups()) {
    QList<const Rule*> rules;
    for (const Rule& rule : ConfigSchema::Rules())
      if (rule.group == group && (options.all || ConfigSchema::Technician(rule)))
        rules.push_back(&rule);
    if (rules.isEmpty()) continue;
    const QString chinese = FieldLabels::GroupName(group, false);
    const QString english = FieldLabels::GroupName(group, true);
    out << YAML::Newline
        << YAML::Comment((chinese + QStringLiteral(" / ") + english).toStdString());
    out << YAML::Key << ConfigSchema::GroupKey(group).toStdString() << YAML::Value
        << YAML::BeginMap;
    for (const Rule* rule : rules) {
      const Form form = FormOf(image, *rule);
      out << YAML::Key << rule->Name().toStdString() << YAML::Value;
      EmitValue(out, form);
      out << YAML::Comment(Comment(*rule, form).toStdString());
      written.push_back(form);
    }
    out << YAML::EndMap;
  }
  if (options.all) EmitRuns(out, image, OwnedBits(written));
  out << YAML::EndMap;
  return QByteArray(out.c_str()) + '\n';
}
