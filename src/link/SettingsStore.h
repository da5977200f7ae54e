#pragma once

#include <QString>
#include <QStringList>

/// The tool's own persistent settings (organization "QUELT", application
/// "TR5906"): the remembered "ComPort" and, off Windows, the "Ports/COMn"
/// device map. QtSettingsStore keeps them in QSettings; tests use a
/// temporary file.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  /// The stored text, or an empty string when the value is missing.
  virtual QString Value(const QString& key) const = 0;
  /// Stores the text; false when the store could not be written.
  virtual bool SetValue(const QString& key, const QString& value) = 0;
  virtual void Remove(const QString& key) = 0;
  /// Keys directly under a group, for example "Ports".
  virtual QStringList Keys(const QString& group) const = 0;
};
