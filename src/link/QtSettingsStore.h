#pragma once

#include "link/SettingsStore.h"

#include <QSettings>

/// SettingsStore on QSettings. The default store is the tool's own
/// (organization "QUELT", application "TR5906": on Linux
/// ~/.config/QUELT/TR5906.conf); the path constructor uses an INI file, for
/// tests and for `--settings FILE`.
class QtSettingsStore : public SettingsStore {
 public:
  /// The tool's normal store.
  QtSettingsStore();
  /// An INI file at `path` (created when first written).
  explicit QtSettingsStore(const QString& path);

  QString Value(const QString& key) const override;
  bool SetValue(const QString& key, const QString& value) override;
  void Remove(const QString& key) override;
  QStringList Keys(const QString& group) const override;

  /// Where the values live (file path, or the registry path on Windows).
  QString Location() const;

 private:
  mutable QSettings settings_;
};
