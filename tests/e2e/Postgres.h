#pragma once
// The throw-away PostgreSQL server that scripts/test starts with pg_virtualenv.
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

/// A new database on the pg_virtualenv server as a URL; empty without one.
inline QString PostgresDatabase(const QString& name) {
  if (qEnvironmentVariableIsEmpty("PGHOST") || qEnvironmentVariableIsEmpty("PGDATABASE")) return {};
  QSqlDatabase admin = QSqlDatabase::database("admin");
  if (!admin.isValid()) {
    admin = QSqlDatabase::addDatabase("QPSQL", "admin");
    admin.setDatabaseName(qEnvironmentVariable("PGDATABASE"));
  }
  const QString unique =
      QString("tr5906_e2e_%1_%2").arg(QCoreApplication::applicationPid()).arg(name);
  if (!admin.open() || !QSqlQuery(admin).exec("CREATE DATABASE " + unique)) return {};
  return "postgresql:///" + unique;  // server and user from PGHOST, PGUSER, ...
}
