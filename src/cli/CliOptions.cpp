#include "CliOptions.h"

#include "CommandTable.h"

#include <QCommandLineParser>

#include <map>

namespace {

bool Fail(QString* error, const QString& reason) {
  *error = reason;
  return false;
}

QString Spelled(const QString& name) {
  return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

}  // namespace

bool CliOptions::Parse(const QStringList& args, CliOptions* options, QString* error) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  const QCommandLineOption versionOption(QStringLiteral("version"));
  parser.addOption(helpOption);
  parser.addOption(versionOption);
  std::map<const OptionSpec*, QCommandLineOption> registered;
  for (const OptionSpec& known : CommandTable::Options()) {
    const QCommandLineOption option(known.Names(), known.help, known.value);
    // A command's own row of an option shares its names with the general one.
    if (CommandTable::FindOption(known.Names().first()) == &known) parser.addOption(option);
    registered.emplace(&known, option);
  }
  if (!parser.parse(args)) return Fail(error, parser.errorText());

  CliOptions o;
  o.arguments = parser.positionalArguments();
  o.version = parser.isSet(versionOption);
  o.help = parser.isSet(helpOption);
  if (!o.arguments.isEmpty()) o.command = o.arguments.takeFirst();
  if (o.version || (o.help && o.command.isEmpty())) {
    *options = o;
    return true;
  }
  if (o.command.isEmpty()) return Fail(error, QStringLiteral("no command given (see --help)"));
  const CommandSpec* command = CommandTable::Find(o.command);
  if (!command)
    return Fail(error, QStringLiteral("unknown command \"%1\" (see --help)").arg(o.command));
  const QString seeHelp = QStringLiteral(" (see tr5906ctl help %1)").arg(o.command);

  // Every option given must be one the command takes, once unless it says so.
  const QStringList given = parser.optionNames();
  for (const QString& name : given) {
    const OptionSpec* known = CommandTable::FindOption(name, command);
    bool repeated = false;
    if (!known) continue;
    if (!CommandTable::Takes(*command, *known, &repeated))
      return Fail(error,
                  QStringLiteral("%1 does not take %2").arg(o.command, Spelled(name)) + seeHelp);
    int times = 0;
    for (const QString& other : given) times += known->Names().contains(other) ? 1 : 0;
    if (!repeated && times > 1)
      return Fail(error, QStringLiteral("%1 is given more than once").arg(Spelled(name)));
  }
  if (o.help) {
    *options = o;
    return true;
  }
  for (const OptionSpec& known : CommandTable::Options()) {
    const QCommandLineOption& option = registered.at(&known);
    bool repeated = false;
    if (!parser.isSet(option) || !CommandTable::Takes(*command, known, &repeated)) continue;
    const QStringList values =
        known.value.isEmpty() ? QStringList{QString()} : parser.values(option);
    for (const QString& value : values)
      if (!known.set(o, value, error)) return false;
  }
  if (o.arguments.size() < command->minArguments)
    return Fail(error, QStringLiteral("%1 needs %2").arg(o.command, command->arguments) + seeHelp);
  if (o.arguments.size() > command->maxArguments)
    return Fail(
        error,
        QStringLiteral("unexpected argument \"%1\"").arg(o.arguments.at(command->maxArguments)) +
            seeHelp);
  o.changesTerminal = command->changesTerminal;
  if (command->check && !command->check(o, error)) return false;
  *options = o;
  return true;
}
