#pragma once

#include <QString>

/// Where the production record lives, as given to --db: nothing (the
/// default SQLite file), the path of an SQLite file, or a PostgreSQL URL
/// "postgresql://[user[:password]@][host][:port][/dbname][?param=value&...]".
///
/// Any text that starts with a scheme ("name:") is a URL and never a path;
/// only "postgresql" and "postgres" are known. A password is never shown:
/// Shown() and every error carry the address with "***" in its place.
struct DatabaseAddress {
  enum class Kind { Sqlite, Postgres };
  /// Seconds a connection to PostgreSQL may take unless connect_timeout says.
  static constexpr int kConnectTimeout = 10;

  Kind kind = Kind::Sqlite;
  bool isDefault = false;  ///< no --db: the default SQLite file
  QString path;            ///< SQLite: the absolute path
  QString host;            ///< PostgreSQL: empty for the driver's default (PGHOST)
  int port = 0;            ///< 0: the default port
  QString user;
  QString password;
  QString database;
  QString options;  ///< connection options for the driver, "connect_timeout=10;sslmode=require"
  QString shown;    ///< the address as printed: the path, or the URL with its password masked

  /// Parses `text`; false with a one-line reason (the address masked).
  static bool Parse(const QString& text, DatabaseAddress* address, QString* error);
  /// `text` with the password of its user information and the value of a
  /// password parameter replaced by "***"; a path comes back as it is.
  static QString Mask(const QString& text);
  /// The SQLite file used when no database is named.
  static QString DefaultPath();
};
