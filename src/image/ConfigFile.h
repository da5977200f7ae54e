#pragma once

#include <QByteArray>
#include <QString>

class ParameterImage;

/// Configuration files (".quelt"): the raw 10240-byte parameter image, no
/// header. Save replaces a file atomically; Open loads a whole image or
/// nothing.
class ConfigFile {
 public:
  static constexpr int kFileSize = 10240;
  static constexpr const char* kDefaultName = "new.quelt";

  /// Outcome of Save or Open. On failure both language lines name the file
  /// and end with the system's reason.
  struct Result {
    bool ok = true;
    QString
        english;  ///< e.g. "Cannot save the configuration file a.quelt: No space left on device"
    QString chinese;  ///< the same in Chinese
    QString reason;   ///< the system's (or this tool's) reason alone
    /// The line in the chosen language.
    const QString& Message(bool englishLanguage) const {
      return englishLanguage ? english : chinese;
    }
    explicit operator bool() const { return ok; }
  };

  /// Stamps the valid marker on the image, then writes its 10240 bytes to
  /// `path`, replacing any earlier file only once every byte is on disk.
  /// On failure the earlier file is left as it was.
  static Result Save(const QString& path, ParameterImage& image);
  /// Writes `bytes` to `path` the same way (a configuration text).
  static Result SaveBytes(const QString& path, const QByteArray& bytes);

  /// Reads the first 10240 bytes of `path` into the image. A file shorter
  /// than that, or one that cannot be opened or read, is refused and the
  /// image stays unchanged. Neither the marker nor the content is checked.
  static Result Open(const QString& path, ParameterImage& image);
  /// Reads the whole of `path` (a configuration text) into `bytes`; a file
  /// larger than `maxSize` is refused and `bytes` stays unchanged.
  static Result ReadBytes(const QString& path, qint64 maxSize, QByteArray* bytes);
};
