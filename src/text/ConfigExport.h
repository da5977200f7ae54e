#pragma once

#include <QByteArray>
#include <QString>

struct Field;
class ParameterImage;

/// Writes a parameter image as a configuration text (YAML, UTF-8): a header
/// (`tr5906-config: 1`, the program's version, where the values came from),
/// then one map per page of the window with every field by its name, its
/// value as a person types it and a comment with its captions in both
/// languages and its range or choices.
///
/// A value that cannot be written in that form (a number outside its range, a
/// text field whose bytes are no text) is written as `!raw` with the stored
/// number or all of its bytes in hexadecimal, so that reading the text back
/// always gives the image's own values.
class ConfigExport {
 public:
  struct Options {
    /// Every field, and the bytes no field names as hexadecimal runs (`bytes:`),
    /// so that the text applied onto any image gives this image byte for byte.
    /// Without it: the fields a technician sets on the pages and in the cloud
    /// windows.
    bool all = false;
    /// Where the values came from ("terminal on COM7", "site.quelt"); written
    /// into the header as it is.
    QString source;
  };

  /// The configuration text of `image`.
  static QByteArray Export(const ParameterImage& image, const Options& options);

  /// One field's value as the text writes it: 9600, E, -1.5, "a text",
  /// !raw 7, !raw "ff ff ...".
  static QString ValueText(const ParameterImage& image, const Field& field);

  /// The version of this text form (the header's `tr5906-config`).
  static constexpr int kFormatVersion = 1;
};
