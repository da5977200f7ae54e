#pragma once

#include <QList>
#include <QString>
#include <QStringList>

struct Field;
class ParameterImage;

/// What applying a configuration changes: each field whose stored value
/// differs between the image before and after, with both values as the text
/// writes them, by page; and the bytes no field names that differ.
class ConfigPlan {
 public:
  struct Row {
    const Field* field = nullptr;
    QString before;  ///< ConfigExport::ValueText in the image before
    QString after;   ///< the same after
  };

  /// The fields that change, in the order of the pages and then the field table.
  static QList<Row> Rows(const ParameterImage& before, const ParameterImage& after);
  /// The image offsets of the bytes outside every field (and of the bits of a
  /// word outside its bit groups) that change.
  static QList<int> OtherBytes(const ParameterImage& before, const ParameterImage& after);

  /// The plan as lines for printing, empty when nothing changes:
  ///   communication (通信参数 / Options):
  ///     device_address: 1 -> 7
  ///   bytes no field names: 3 change (138 to 140)
  static QStringList Lines(const ParameterImage& before, const ParameterImage& after);
};
