#pragma once
// Whole files as bytes, for the tests that make files or check what was written.
#include <QByteArray>
#include <QFile>
#include <QString>

/// The bytes of the file at `path`; empty when it cannot be read.
inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// Makes `path` hold exactly `bytes`; returns the path, or an empty string on failure.
inline QString WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}
