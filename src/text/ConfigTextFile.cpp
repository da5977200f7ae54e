#include "text/ConfigTextFile.h"

#include "image/ParameterImage.h"
#include "text/ConfigApply.h"
#include "text/ConfigExport.h"
#include "text/ConfigReader.h"

#include <QFileInfo>

bool ConfigTextFile::IsText(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == QLatin1String("yaml") || suffix == QLatin1String("yml") ||
         suffix == QLatin1String("json");
}

QStringList ConfigTextFile::Open(const QString& path, ParameterImage& image, bool english) {
  QByteArray text;
  const ConfigFile::Result read = ConfigFile::ReadBytes(path, kMaxSize, &text);
  if (!read) return {read.Message(english)};
  const QString name = QFileInfo(path).fileName();
  const ConfigCheck check = ConfigReader::Read(text);
  if (!check.Ok()) return check.Lines(name, english);
  // Without a serial number "{serial}" is refused by the check, so the apply cannot fail.
  image = ConfigApply::Apply(image, check.changes).image;
  return {};
}

ConfigFile::Result ConfigTextFile::Save(const QString& path, ParameterImage& image,
                                        const QString& source) {
  // JSON is read as YAML, but what is written is YAML with comments.
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix != QLatin1String("yaml") && suffix != QLatin1String("yml"))
    return ConfigFile::Save(path, image);
  ConfigExport::Options options;
  options.source = source;
  return ConfigFile::SaveBytes(path, ConfigExport::Export(image, options));
}
