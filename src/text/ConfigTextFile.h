#pragma once

#include "image/ConfigFile.h"

#include <QString>
#include <QStringList>

class ParameterImage;

/// Configuration texts as files beside the `.quelt` images: which names are
/// texts, opening one onto an image and saving an image as either kind.
class ConfigTextFile {
 public:
  /// The largest text read (an export of every field and byte is about 60 KB).
  static constexpr qint64 kMaxSize = 4 * 1024 * 1024;

  /// Whether `path` names a configuration text (.yaml, .yml, .json) rather
  /// than a parameter image.
  static bool IsText(const QString& path);

  /// Reads and checks the text at `path` and applies it onto `image`. Returns
  /// why it was refused (the file that cannot be read, or every error by
  /// line and column, the file named by its name alone); empty when applied.
  /// A refused text leaves `image` unchanged.
  static QStringList Open(const QString& path, ParameterImage& image, bool english);

  /// Saves `image` atomically: as a configuration text of the fields a
  /// technician sets (what `tr5906ctl export` writes, `source` in its
  /// header) when its name ends in .yaml or .yml, else as a `.quelt` file.
  static ConfigFile::Result Save(const QString& path, ParameterImage& image, const QString& source);
};
