#pragma once

#include "image/ParameterImage.h"
#include "text/ConfigChanges.h"

#include <QList>
#include <QString>

/// Puts checked changes into a parameter image: the byte runs first, then the
/// fields in the order of the text, each through the field table (a bit group
/// keeps the other bits of its word, a text is written as the window writes
/// it: GBK, a terminator when there is room, the bytes after it kept).
class ConfigApply {
 public:
  /// The result of an apply: the new image, or why a text did not fit.
  struct Result {
    ParameterImage image;
    QList<ConfigError> errors;
    bool Ok() const { return errors.isEmpty(); }
  };

  /// `base` with `changes` applied. A text holding "{serial}" takes `serial`
  /// in its place; should the text then exceed its field (a number longer
  /// than the one it was checked with) or `serial` be empty, the result has
  /// errors and its image is `base` unchanged.
  static Result Apply(const ParameterImage& base, const ConfigChanges& changes,
                      const QString& serial = QString());

  /// Writes one checked field value (texts exactly as given, no placeholder
  /// replaced).
  static void Assign(ParameterImage& image, const Assignment& assignment);
};
