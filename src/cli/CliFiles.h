#pragma once

#include <QByteArray>
#include <QString>

class ParameterImage;

/// Configuration files as the commands name them: a path, or "-" for
/// standard input or output. Each function prints its one-line reason on
/// standard error when it fails.
class CliFiles {
 public:
  /// Loads the whole image from `path` ("-": standard input), or nothing.
  static bool Open(const QString& path, ParameterImage* image);
  /// Checks before the terminal is touched that the image can be saved at
  /// `path`: its folder takes the file, and a file already there is a
  /// configuration file (10240 bytes with the valid marker) unless `force`.
  /// Returns the exit status: success, failure, or bad usage (--force).
  /// With `text`, a file already there must be a configuration text (one
  /// that names its format, `tr5906-config`) instead.
  static int CheckOutput(const QString& path, bool force, bool text = false);
  /// Saves the image to `path` atomically ("-": standard output).
  static bool Save(const QString& path, ParameterImage& image);
  /// Reads a whole configuration text from `path` ("-": standard input).
  static bool ReadText(const QString& path, QByteArray* text);
  /// Saves a configuration text to `path` atomically ("-": standard output).
  static bool SaveText(const QString& path, const QByteArray& text);
};
