#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct CliOptions;

/// One option of tr5906ctl.
struct OptionSpec {
  const char* spelling;  ///< "o output": its names; one letter for -o, words for --output
  QString value;         ///< the value's name in the help ("FILE"); empty for a flag
  QString help;          ///< one line
  /// Stores the value (or the flag) into the options; false with a reason.
  std::function<bool(CliOptions&, const QString& value, QString* error)> set;
  /// The one command this row is for, where the option means something of
  /// its own; null: every command that lists the key (but that one).
  const char* command = nullptr;

  /// Its names, "o" and "output".
  QStringList Names() const { return QString::fromLatin1(spelling).split(QLatin1Char(' ')); }
  /// The option's last name: what the command table lists it by.
  QString Key() const { return Names().last(); }
  /// "-o, --output FILE".
  QString Spelling() const;
};

/// One command of tr5906ctl: its arguments, the options it takes, its help.
struct CommandSpec {
  QString name;
  QString arguments;  ///< the arguments as the help shows them ("FILE.quelt")
  int minArguments;
  int maxArguments;
  QString summary;  ///< one line for the list of commands
  QString options;  ///< the keys of the options it takes, "*" after one it takes repeatedly
  QString example;  ///< one worked example
  int (*run)(const CliOptions&);
  /// Checks what the table cannot say and fills the command's fields from
  /// its arguments; false with a reason.
  bool (*check)(CliOptions&, QString* error);
  bool changesTerminal;  ///< needs --port
};

/// Every option and every command of tr5906ctl, and the help made from them.
/// A new option or command is one line in CommandTable.cpp.
class CommandTable {
 public:
  static const std::vector<OptionSpec>& Options();
  static const std::vector<CommandSpec>& Commands();
  /// The command named `name`, or null.
  static const CommandSpec* Find(const QString& name);
  /// The option with `name` among its names, or null; the row `command`
  /// takes first.
  static const OptionSpec* FindOption(const QString& name, const CommandSpec* command = nullptr);
  /// Whether `command` takes `option`; `repeated` tells whether more than once.
  static bool Takes(const CommandSpec& command, const OptionSpec& option, bool* repeated);

  /// The help of `command`, or the list of commands when it is empty.
  static QString Help(const QString& command);
  /// "tr5906ctl 1.2.0 (Qt 6.4.2)".
  static QString Version();
};
