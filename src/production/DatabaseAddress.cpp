#include "production/DatabaseAddress.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

namespace {

const QRegularExpression& SchemePattern() {
  static const QRegularExpression pattern(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
  return pattern;
}

/// Where the part after the scheme starts; -1 for a path.
int AfterScheme(const QString& text) {
  const QRegularExpressionMatch scheme = SchemePattern().match(text);
  if (scheme.hasMatch()) return int(scheme.capturedLength());
  const int separator = int(text.indexOf(QStringLiteral("://")));
  return separator < 0 ? -1 : separator + 1;
}

/// Decodes the %XX escapes of `text`; false when a % starts none.
bool Decode(const QString& text, QString* decoded) {
  static const QRegularExpression stray(QStringLiteral("%(?![0-9A-Fa-f]{2})"));
  if (stray.match(text).hasMatch()) return false;
  *decoded = QUrl::fromPercentEncoding(text.toUtf8());
  return true;
}

bool IsNumber(const QString& text, int minimum, int maximum, int* value) {
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
  if (!digits.match(text).hasMatch()) return false;
  *value = text.toInt();
  return *value >= minimum && *value <= maximum;
}

const QStringList kSslModes = {QStringLiteral("disable"),   QStringLiteral("allow"),
                               QStringLiteral("prefer"),    QStringLiteral("require"),
                               QStringLiteral("verify-ca"), QStringLiteral("verify-full")};

}  // namespace

QString DatabaseAddress::DefaultPath() {
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  return QDir(dir).filePath(QStringLiteral("tr5906/production.sqlite"));
}

QString DatabaseAddress::Mask(const QString& text) {
  int start = AfterScheme(text);
  if (start < 0) return text;
  const int scheme = start;
  while (start < text.size() && text[start] == QLatin1Char('/')) ++start;
  QString body = text.mid(start);
  static const QRegularExpression parameter(QStringLiteral("[?&]password="),
                                            QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch password = parameter.match(body);
  if (password.hasMatch()) body = body.left(password.capturedEnd()) + QStringLiteral("***");
  const int at = int(body.lastIndexOf(QLatin1Char('@')));
  const int colon = int(body.indexOf(QLatin1Char(':')));
  if (colon >= 0 && colon < at) {
    body = body.left(colon + 1) + QStringLiteral("***") + body.mid(at);
  } else if (at >= 0 && start == scheme) {
    body = QStringLiteral("***") + body.mid(at);  // "user:secret@host": no slashes at all
  }
  return text.left(start) + body;
}

bool DatabaseAddress::Parse(const QString& text, DatabaseAddress* address, QString* error) {
  DatabaseAddress a;
  const int afterScheme = AfterScheme(text);
  if (afterScheme < 0) {
    a.isDefault = text.isEmpty();
    a.path = QFileInfo(a.isDefault ? DefaultPath() : text).absoluteFilePath();
    a.shown = a.path;
    *address = a;
    return true;
  }
  a.kind = Kind::Postgres;
  a.shown = Mask(text);
  const auto fail = [&a, error](const QString& why) {
    *error = QStringLiteral("--db %1: %2").arg(a.shown, why);
    return false;
  };
  const QString scheme = text.left(afterScheme - 1).toLower();
  if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))
    return fail(
        QStringLiteral("unknown scheme (known: postgresql://, postgres://; an SQLite "
                       "file is named by its path)"));
  QString rest = text.mid(afterScheme);
  if (!rest.startsWith(QLatin1String("//")))
    return fail(QStringLiteral("does not parse: a PostgreSQL address starts postgresql://"));
  rest = rest.mid(2);

  // The user information ends at the last "@", so a password may hold any
  // character; the rest must percent-encode "/", "?", "#" and "@".
  const int at = int(rest.lastIndexOf(QLatin1Char('@')));
  const QString userInfo = at >= 0 ? rest.left(at) : QString();
  QString after = rest.mid(at + 1);
  QString query;
  const int question = int(after.indexOf(QLatin1Char('?')));
  if (question >= 0) {
    query = after.mid(question + 1);
    after.truncate(question);
  }
  const int slash = int(after.indexOf(QLatin1Char('/')));
  const QString hostPort = slash >= 0 ? after.left(slash) : after;
  const QString database = slash >= 0 ? after.mid(slash + 1) : QString();
  const int colon = int(userInfo.indexOf(QLatin1Char(':')));
  const QString user = colon >= 0 ? userInfo.left(colon) : userInfo;
  static const QRegularExpression reserved(QStringLiteral("[/?#@\\[\\]]"));
  if (reserved.match(user).hasMatch() || reserved.match(database).hasMatch() ||
      after.contains(QLatin1Char('#')) || query.contains(QLatin1Char('#')))
    return fail(
        QStringLiteral("does not parse (percent-encode / ? # @ in names and "
                       "passwords: %2F %3F %23 %40)"));

  QString host = hostPort;
  QString portText;
  bool hasPort = false;
  if (hostPort.startsWith(QLatin1Char('['))) {  // [IPv6]:port
    const int close = int(hostPort.indexOf(QLatin1Char(']')));
    if (close < 0) return fail(QStringLiteral("an IPv6 host needs its closing ]"));
    host = hostPort.mid(1, close - 1);
    hasPort = close + 1 < hostPort.size();
    if (hasPort && hostPort[close + 1] != QLatin1Char(':'))
      return fail(QStringLiteral("does not parse after the host"));
    portText = hostPort.mid(close + 2);
  } else if (hostPort.contains(QLatin1Char(':'))) {
    hasPort = true;
    host = hostPort.section(QLatin1Char(':'), 0, 0);
    portText = hostPort.section(QLatin1Char(':'), 1);
  }
  if (hasPort && !IsNumber(portText, 1, 65535, &a.port))
    return fail(QStringLiteral("the port \"%1\" is not a number from 1 to 65535").arg(portText));

  const QString badEscape = QStringLiteral(
      "a % must start a %XX escape (percent-encode a password: %25 for %, %2F for /)");
  if (!Decode(user, &a.user) || !Decode(host, &a.host) || !Decode(database, &a.database) ||
      (colon >= 0 && !Decode(userInfo.mid(colon + 1), &a.password)))
    return fail(badEscape);
  int timeout = kConnectTimeout;
  QString sslMode;
  for (const QString& pair : query.split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
    const QString key = pair.section(QLatin1Char('='), 0, 0);
    QString value;
    if (!Decode(pair.section(QLatin1Char('='), 1), &value)) return fail(badEscape);
    if (key == QLatin1String("password")) {
      a.password = value;
    } else if (key == QLatin1String("connect_timeout")) {
      if (!IsNumber(value, 1, 3600, &timeout))
        return fail(QStringLiteral("connect_timeout takes seconds, 1 to 3600"));
    } else if (key == QLatin1String("sslmode") && kSslModes.contains(value)) {
      sslMode = value;
    } else {
      return fail(QStringLiteral("unknown parameter (known: connect_timeout, sslmode=%1, password)")
                      .arg(kSslModes.join(QLatin1Char('|'))));
    }
  }
  a.options = QStringLiteral("connect_timeout=%1").arg(timeout);
  if (!sslMode.isEmpty()) a.options += QStringLiteral(";sslmode=") + sslMode;
  *address = a;
  return true;
}
