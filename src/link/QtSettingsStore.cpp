#include "link/QtSettingsStore.h"

QtSettingsStore::QtSettingsStore()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QUELT"),
                QStringLiteral("TR5906")) {}

QtSettingsStore::QtSettingsStore(const QString& path) : settings_(path, QSettings::IniFormat) {}

QString QtSettingsStore::Value(const QString& key) const { return settings_.value(key).toString(); }

bool QtSettingsStore::SetValue(const QString& key, const QString& value) {
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
