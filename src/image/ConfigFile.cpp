#include "image/ConfigFile.h"

#include "image/ParameterImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

static_assert(ConfigFile::kFileSize == ParameterImage::kSize, "a file holds the whole image");

ConfigFile::Result Failure(const QString& english, const QString& chinese, const QString& reason) {
  ConfigFile::Result r;
  r.ok = false;
  r.reason = reason;
  r.english = english;
  r.chinese = chinese;
  return r;
}

ConfigFile::Result SaveFailure(const QString& path, const QString& reason) {
  const QString name = QDir::toNativeSeparators(path);
  return Failure(QStringLiteral("Cannot save the configuration file %1: %2").arg(name, reason),
                 QStringLiteral("无法保存配置文件 %1：%2").arg(name, reason), reason);
}

ConfigFile::Result OpenFailure(const QString& path, const QString& reason) {
  const QString name = QDir::toNativeSeparators(path);
  return Failure(QStringLiteral("Cannot open the configuration file %1: %2").arg(name, reason),
                 QStringLiteral("无法打开配置文件 %1：%2").arg(name, reason), reason);
}

}  // namespace

ConfigFile::Result ConfigFile::Save(const QString& path, ParameterImage& image) {
  image.StampValidMarker();
  return SaveBytes(path, QByteArray(reinterpret_cast<const char*>(image.Data()), kFileSize));
}

ConfigFile::Result ConfigFile::SaveBytes(const QString& path, const QByteArray& bytes) {
  if (path.isEmpty()) return SaveFailure(path, QStringLiteral("No file name"));
  if (QFileInfo(path).isDir()) return SaveFailure(path, QStringLiteral("Is a directory"));

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return SaveFailure(path, file.errorString());
  // QSaveFile buffers small files, so a failed write may only show at the
  // flush; commit() must not run after it, or the old file is replaced by a
  // short one.
  const qint64 written = file.write(bytes);
  if (written != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
    const QString reason = file.error() != QFileDevice::NoError
                               ? file.errorString()
                               : QStringLiteral("Only part of the data could be written");
    file.cancelWriting();
    return SaveFailure(path, reason);
  }
  if (!file.commit()) return SaveFailure(path, file.errorString());
  return Result{};
}

ConfigFile::Result ConfigFile::Open(const QString& path, ParameterImage& image) {
  if (path.isEmpty()) return OpenFailure(path, QStringLiteral("No file name"));
  if (QFileInfo(path).isDir()) return OpenFailure(path, QStringLiteral("Is a directory"));

  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return OpenFailure(path, file.errorString());
  ParameterImage loaded;
  int filled = 0;
  while (filled < kFileSize) {
    const qint64 n = file.read(reinterpret_cast<char*>(loaded.Data()) + filled, kFileSize - filled);
    if (n < 0) return OpenFailure(path, file.errorString());
    if (n == 0) break;
    filled += static_cast<int>(n);
  }
  if (filled < kFileSize) {
    const QString name = QDir::toNativeSeparators(path);
    const QString reason = QStringLiteral("the file holds %1 bytes, a configuration file holds %2")
                               .arg(filled)
                               .arg(kFileSize);
    return Failure(
        QStringLiteral(
            "%1 is not a configuration file: it holds %2 bytes, not %3. Nothing was loaded.")
            .arg(name)
            .arg(filled)
            .arg(kFileSize),
        QStringLiteral("%1 不是配置文件：文件只有 %2 字节，应为 %3 字节。未载入任何数据。")
            .arg(name)
            .arg(filled)
            .arg(kFileSize),
        reason);
  }
  image = loaded;
  return Result{};
}

ConfigFile::Result ConfigFile::ReadBytes(const QString& path, qint64 maxSize, QByteArray* bytes) {
  if (path.isEmpty()) return OpenFailure(path, QStringLiteral("No file name"));
  if (QFileInfo(path).isDir()) return OpenFailure(path, QStringLiteral("Is a directory"));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return OpenFailure(path, file.errorString());
  // One byte more than allowed tells a file that is too large, whatever its size claims.
  const QByteArray read = file.read(maxSize + 1);
  if (file.error() != QFileDevice::NoError) return OpenFailure(path, file.errorString());
  if (read.size() > maxSize)
    return OpenFailure(path, QStringLiteral("larger than %1 bytes").arg(maxSize));
  *bytes = read;
  return Result{};
}
