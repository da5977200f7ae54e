// show and diff: the named fields of configuration files, no terminal needed.
#include "CliFiles.h"
#include "CliOptions.h"
#include "Commands.h"
#include "ConsoleSink.h"
#include "ConsoleStreams.h"
#include "image/Defaults.h"
#include "image/FieldTable.h"
#include "image/ParameterImage.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool SameField(const ParameterImage& a, const ParameterImage& b, const Field& field) {
  return a.Bytes(field.byte, field.length) == b.Bytes(field.byte, field.length);
}

}  // namespace

int RunShow(const CliOptions& options) {
  ParameterImage image;
  if (options.defaults) {
    LoadDefaults(image);
  } else if (!CliFiles::Open(options.input, &image)) {
    return kExitFailure;
  }
  const auto& fields = FieldTable::Fields();
  if (options.json) {
    QJsonObject object;
    for (const Field& field : fields)
      object.insert(QString::fromLatin1(field.name), FieldTable::JsonValue(image, field));
    ConsoleStreams::Write(stdout, QJsonDocument(object).toJson(QJsonDocument::Indented));
    return kExitSuccess;
  }
  ConsoleSink out;
  for (const Field& field : fields)
    out.AddMessage(QStringLiteral("%1 = %2").arg(QString::fromLatin1(field.name),
                                                 FieldTable::DisplayText(image, field)));
  return kExitSuccess;
}

int RunDiff(const CliOptions& options) {
  ParameterImage a;
  ParameterImage b;
  if (!CliFiles::Open(options.arguments.at(0), &a) || !CliFiles::Open(options.arguments.at(1), &b))
    return kExitUsage;
  ConsoleSink out;
  int differences = 0;
  for (const Field& field : FieldTable::Fields()) {
    if (SameField(a, b, field)) continue;
    ++differences;
    out.AddMessage(QStringLiteral("%1: %2 -> %3")
                       .arg(QString::fromLatin1(field.name), FieldTable::DisplayText(a, field),
                            FieldTable::DisplayText(b, field)));
  }
  // Bytes that no named field covers are compared too, as a count.
  std::vector<bool> covered(ParameterImage::kSize, false);
  for (const Field& field : FieldTable::Fields())
    for (int i = field.byte; i < field.byte + field.length && i < ParameterImage::kSize; ++i)
      covered[static_cast<size_t>(i)] = true;
  int unnamed = 0;
  for (int i = 0; i < ParameterImage::kSize; ++i)
    if (!covered[static_cast<size_t>(i)] && a.Byte(i) != b.Byte(i)) ++unnamed;
  if (unnamed > 0) {
    out.AddMessage(QStringLiteral("%1 byte(s) outside the named fields differ").arg(unnamed));
    ++differences;
  }
  return differences == 0 ? kExitSuccess : kExitFailure;
}
