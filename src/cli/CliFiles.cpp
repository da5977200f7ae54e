#include "CliFiles.h"

#include "CliOptions.h"
#include "Commands.h"
#include "ConsoleStreams.h"
#include "image/ConfigFile.h"
#include "image/ParameterImage.h"
#include "text/ConfigTextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

const QString kStandard = QStringLiteral("-");

QString CannotSave(const QString& path, const QString& reason) {
  return QStringLiteral("Cannot save the configuration file %1: %2")
      .arg(QDir::toNativeSeparators(path), reason);
}

}  // namespace

bool CliFiles::Open(const QString& path, ParameterImage* image) {
  if (path != kStandard) {
    const ConfigFile::Result opened = ConfigFile::Open(path, *image);
    if (!opened) PrintError(opened.english);
    return opened.ok;
  }
  ConsoleStreams::UseBinary(stdin);
  QFile in;
  QByteArray bytes;
  if (in.open(stdin, QIODevice::ReadOnly)) {
    while (bytes.size() < ConfigFile::kFileSize) {
      const QByteArray more = in.read(ConfigFile::kFileSize - bytes.size());
      if (more.isEmpty()) break;
      bytes += more;
    }
  }
  if (bytes.size() < ConfigFile::kFileSize) {
    PrintError(QStringLiteral("standard input is not a configuration file: it holds %1 bytes, "
                              "not %2. Nothing was loaded.")
                   .arg(bytes.size())
                   .arg(ConfigFile::kFileSize));
    return false;
  }
  std::memcpy(image->Data(), bytes.constData(), ConfigFile::kFileSize);
  return true;
}

int CliFiles::CheckOutput(const QString& path, bool force, bool text) {
  if (path == kStandard) return kExitSuccess;
  const QFileInfo info(path);
  if (info.isDir()) {
    PrintError(CannotSave(path, QStringLiteral("Is a directory")));
    return kExitFailure;
  }
  if (info.exists() && !force && text) {
    QFile existing(path);
    if (!existing.open(QIODevice::ReadOnly) || !existing.read(4096).contains("tr5906-config")) {
      PrintError(QStringLiteral("%1 is not a configuration text (no tr5906-config in its header): "
                                "overwrite it with --force")
                     .arg(QDir::toNativeSeparators(path)));
      return kExitUsage;
    }
  } else if (info.exists() && !force) {
    ParameterImage existing;
    const ConfigFile::Result opened = ConfigFile::Open(path, existing);
    QString what;
    if (info.size() != ConfigFile::kFileSize)
      what = QStringLiteral("%1 bytes, not %2").arg(info.size()).arg(ConfigFile::kFileSize);
    else if (!opened)
      what = opened.reason;
    else if (!existing.HasValidMarker())
      what = QStringLiteral("no valid marker");
    if (!what.isEmpty()) {
      PrintError(QStringLiteral("%1 is not a configuration file (%2): overwrite it with --force")
                     .arg(QDir::toNativeSeparators(path), what));
      return kExitUsage;
    }
  }
  // The save itself, cancelled: it fails where the real one would.
  QSaveFile probe(path);
  if (!probe.open(QIODevice::WriteOnly)) {
    PrintError(CannotSave(path, probe.errorString()));
    return kExitFailure;
  }
  probe.cancelWriting();
  return kExitSuccess;
}

bool CliFiles::Save(const QString& path, ParameterImage& image) {
  if (path != kStandard) {
    const ConfigFile::Result saved = ConfigFile::Save(path, image);
    if (!saved) PrintError(saved.english);
    return saved.ok;
  }
  image.StampValidMarker();
  ConsoleStreams::UseBinary(stdout);
  const QByteArray bytes(reinterpret_cast<const char*>(image.Data()), ConfigFile::kFileSize);
  if (ConsoleStreams::Write(stdout, bytes)) return true;
  PrintError(QStringLiteral("Cannot write the configuration to standard output: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(errno))));
  return false;
}

bool CliFiles::ReadText(const QString& path, QByteArray* text) {
  if (path != kStandard) {
    const ConfigFile::Result read = ConfigFile::ReadBytes(path, ConfigTextFile::kMaxSize, text);
    if (!read) PrintError(read.english);
    return read.ok;
  }
  QFile in;
  text->clear();
  if (in.open(stdin, QIODevice::ReadOnly)) {
    while (text->size() <= ConfigTextFile::kMaxSize) {
      const QByteArray more = in.read(ConfigTextFile::kMaxSize + 1 - text->size());
      if (more.isEmpty()) break;
      *text += more;
    }
  }
  if (text->size() <= ConfigTextFile::kMaxSize) return true;
  PrintError(QStringLiteral("standard input holds more than %1 bytes: no configuration text")
                 .arg(ConfigTextFile::kMaxSize));
  return false;
}

bool CliFiles::SaveText(const QString& path, const QByteArray& text) {
  if (path != kStandard) {
    const ConfigFile::Result saved = ConfigFile::SaveBytes(path, text);
    if (!saved) PrintError(saved.english);
    return saved.ok;
  }
  if (ConsoleStreams::Write(stdout, text)) return true;
  PrintError(QStringLiteral("Cannot write the configuration to standard output: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(errno))));
  return false;
}
