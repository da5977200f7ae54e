#include "link/QtSettingsStore.h"

QtSettingsStore::QtSettingsStore()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QUELT"),
                QStringLiteral("TR5906")) {}

QtSettingsStore::QtSettingsStore(const QString& path) : settings_(path, QSettings::IniFormat) {}

QString QtSettingsStore::Value(const QString& key) const { return settings_.value(key).toString(); }

bool QtSettingsStore::SetValue(const QString& key, const QString& value) {
  // Every write goes to disk with a lock file and two syncs; storing what
  // the file already holds (the window remembers the same port at every
  // start) writes nothing. sync() first takes in other programs' changes.
  settings_.sync();
  if (settings_.contains(key) && settings_.value(key).toString() == value)
    return settings_.status() == QSettings::NoError;
  settings_.setValue(key, value);
  settings_.sync();
  return settings_.status() == QSettings::NoError && settings_.isWritable();
}

void QtSettingsStore::Remove(const QString& key) {
  settings_.remove(key);
  settings_.sync();
}

QStringList QtSettingsStore::Keys(const QString& group) const {
  settings_.sync();
  settings_.beginGroup(group);
  QStringList keys = settings_.childKeys();
  settings_.endGroup();
  return keys;
}

QString QtSettingsStore::Location() const { return settings_.fileName(); }
