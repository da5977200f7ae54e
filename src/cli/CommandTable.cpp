#include "CommandTable.h"

#include "CliOptions.h"
#include "Commands.h"
#include "link/QtSerialLink.h"
#include "text/ConfigTextFile.h"

#include <QtGlobal>

namespace {

using Setter = std::function<bool(CliOptions&, const QString&, QString*)>;

Setter Flag(bool CliOptions::*member) {
  return [member](CliOptions& o, const QString&, QString*) { return o.*member = true; };
}

Setter Text(QString CliOptions::*member) {
  return [member](CliOptions& o, const QString& value, QString*) {
    o.*member = value;
    return true;
  };
}

/// A name that means something once its blanks are gone.
Setter Name(QString CliOptions::*member, const char* option) {
  return [member, option](CliOptions& o, const QString& value, QString* error) {
    o.*member = value.trimmed();
    if (!(o.*member).isEmpty()) return true;
    *error = QStringLiteral("--%1 needs a name").arg(QLatin1String(option));
    return false;
  };
}

/// Another name for the command's file argument.
Setter Argument() {
  return [](CliOptions& o, const QString& value, QString*) {
    o.arguments << value;
    return true;
  };
}

Setter Number(int CliOptions::*member, int minimum, int maximum, const char* reason) {
  return [=](CliOptions& o, const QString& value, QString* error) {
    bool ok = false;
    const int number = value.trimmed().toInt(&ok, 0);
    if (!ok || number < minimum || number > maximum) {
      *error = QString::fromUtf8(reason);
      return false;
    }
    o.*member = number;
    return true;
  };
}

bool SetPort(CliOptions& o, const QString& value, QString* error) {
  if (value.trimmed().isEmpty()) {
    *error = QStringLiteral("--port needs COMn or a device");
    return false;
  }
  o.port = value;
  o.ports << value;
  return true;
}

bool SetLink(CliOptions& o, const QString& value, QString* error) {
  QtSerialLink::Format format;
  if (!QtSerialLink::ParseSettings(value, &format)) {
    *error = QStringLiteral("--link \"%1\" is not a format such as 9600,E,7,1").arg(value);
    return false;
  }
  o.link = value;
  return true;
}

bool SetAdjust(CliOptions& o, const QString& value, QString* error) {
  o.hasAdjust = true;
  return Number(&CliOptions::adjust, 0, 255, "--adjust takes a byte value, 0 to 255")(o, value,
                                                                                      error);
}

/// A value of a records filter, its blanks dropped; never empty.
Setter Filter(QString RecordFilter::*member, const char* option) {
  return [member, option](CliOptions& o, const QString& value, QString* error) {
    o.records.*member = value.trimmed();
    if (!(o.records.*member).isEmpty()) return true;
    *error = QStringLiteral("--%1 needs a value").arg(QLatin1String(option));
    return false;
  };
}

Setter Time(QString RecordFilter::*member, bool until, const char* option) {
  return [=](CliOptions& o, const QString& value, QString* error) {
    return RecordFilter::ParseTime(value, until, QStringLiteral("--") + QLatin1String(option),
                                   &(o.records.*member), error);
  };
}

bool SetResult(CliOptions& o, const QString& value, QString* error) {
  const QString result = value.trimmed().toLower();
  if (result == QLatin1String("pass") || result == QLatin1String("fail")) {
    o.records.result =
        result == QLatin1String("pass") ? RecordFilter::Result::Pass : RecordFilter::Result::Fail;
    return true;
  }
  *error = QStringLiteral("--result takes pass or fail, not \"%1\"").arg(value);
  return false;
}

bool SetLast(CliOptions& o, const QString& value, QString* error) {
  bool ok = false;
  o.records.last = value.trimmed().toInt(&ok);
  if (ok && o.records.last > 0) return true;
  *error = QStringLiteral("--last takes a number of units, 1 or more, not \"%1\"").arg(value);
  return false;
}

bool Fail(QString* error, const QString& reason) {
  *error = reason;
  return false;
}

// What the table cannot say, per command.

bool CheckRead(CliOptions& o, QString* error) {
  // "read FILE.quelt": the older spelling of -o.
  if (!o.arguments.isEmpty() && !o.output.isEmpty())
    return Fail(error, QStringLiteral("read takes -o FILE.quelt or FILE.quelt, not both"));
  if (!o.arguments.isEmpty()) o.output = o.arguments.takeFirst();
  if (o.output.isEmpty()) return Fail(error, QStringLiteral("read needs -o FILE.quelt"));
  return true;
}

bool CheckInput(CliOptions& o, QString*) {
  o.input = o.arguments.value(0);
  return true;
}

bool CheckUpdate(CliOptions& o, QString*) {
  o.firmware = o.arguments.value(0);
  return true;
}

bool CheckShow(CliOptions& o, QString* error) {
  if (o.defaults == !o.arguments.isEmpty())
    return Fail(error, QStringLiteral("show needs one file, or --defaults"));
  o.input = o.arguments.value(0);
  return true;
}

bool CheckDiff(CliOptions& o, QString* error) {
  if (o.arguments.count(QStringLiteral("-")) > 1)
    return Fail(error, QStringLiteral("diff reads only one file from standard input"));
  return true;
}

bool CheckPorts(CliOptions& o, QString* error) {
  if (o.mapNumber == 0 && !o.arguments.isEmpty())
    return Fail(error, QStringLiteral("unexpected argument \"%1\"").arg(o.arguments.first()));
  if (o.mapNumber > 0 && o.arguments.isEmpty())
    return Fail(error, QStringLiteral("ports --map N needs the device, e.g. /dev/ttyUSB0"));
  o.mapDevice = o.arguments.value(0);
  return true;
}

bool CheckProvision(CliOptions& o, QString* error) {
  o.config = o.arguments.value(0);
  if (o.config.isEmpty())
    return Fail(error, QStringLiteral("provision needs FILE.quelt or RECIPE.yaml"));
  if (!o.base.isEmpty() && !ConfigTextFile::IsText(o.config))
    return Fail(error, QStringLiteral("--base goes with a recipe (.yaml), not with a .quelt file"));
  if (o.ports.isEmpty()) return Fail(error, QStringLiteral("provision needs at least one --port"));
  if (QStringList(o.ports).removeDuplicates() > 0)
    return Fail(error, QStringLiteral("provision takes each --port once"));
  return true;
}

bool CheckExport(CliOptions& o, QString* error) {
  o.input = o.arguments.value(0);
  if (int(!o.input.isEmpty()) + int(!o.port.isEmpty()) + int(o.defaults) != 1)
    return Fail(error, QStringLiteral("export needs one of FILE.quelt, --defaults or --port P"));
  if (o.output.isEmpty()) o.output = QStringLiteral("-");  // the text on standard output
  return true;
}

/// apply and set: what the changes go onto, and where the result goes.
bool CheckTarget(CliOptions& o, QString* error) {
  const int bases = int(!o.base.isEmpty()) + int(o.defaults) + int(!o.port.isEmpty());
  if (bases != 1)
    return Fail(
        error,
        QStringLiteral("%1 needs one of --base FILE.quelt, --defaults or --port P").arg(o.command));
  if (o.port.isEmpty() && o.output.isEmpty() && !o.dryRun)
    return Fail(error,
                QStringLiteral("%1 onto a file needs -o OUT.quelt or --dry-run").arg(o.command));
  if (o.port.isEmpty() && (o.verify || o.noVerify))
    return Fail(error, QStringLiteral("--verify and --no-verify are for --port"));
  if (o.verify && o.noVerify)
    return Fail(error, QStringLiteral("%1 takes --verify or --no-verify, not both").arg(o.command));
  if (o.output != QLatin1String("-") && ConfigTextFile::IsText(o.output))
    return Fail(error, QStringLiteral("-o %1: %2 saves a .quelt image (export writes the text)")
                           .arg(o.output, o.command));
  return true;
}

bool CheckApply(CliOptions& o, QString* error) {
  o.input = o.arguments.value(0);
  if (o.input == QLatin1String("-") && o.base == QLatin1String("-"))
    return Fail(error, QStringLiteral("apply reads only one file from standard input"));
  return CheckTarget(o, error);
}


bool CheckRecords(CliOptions& o, QString* error) {
  const RecordFilter& f = o.records;
  if (!f.since.isEmpty() && !f.until.isEmpty() && f.since >= f.until)
    return Fail(error,
                QStringLiteral("--since comes after --until: no unit finished between them"));
  return true;
}

bool CheckHelp(CliOptions& o, QString* error) {
  o.help = true;
  o.command = o.arguments.value(0);
  if (!o.command.isEmpty() && !CommandTable::Find(o.command))
    return Fail(error, QStringLiteral("unknown command \"%1\" (see --help)").arg(o.command));
  return true;
}

constexpr const char* kLink = "port link retries settings english";

QString Padded(const QString& text, int width) {
  return text.size() < width ? text.leftJustified(width) : text + QLatin1Char(' ');
}

}  // namespace

QString OptionSpec::Spelling() const {
  QStringList spelled;
  for (const QString& name : Names())
    spelled << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
  return spelled.join(QStringLiteral(", ")) +
         (value.isEmpty() ? QString() : QLatin1Char(' ') + value);
}

const std::vector<OptionSpec>& CommandTable::Options() {
  static const std::vector<OptionSpec> options = {
      {"o output", "FILE", "the file to write (- for standard output)", Text(&CliOptions::output)},
      {"force", "", "overwrite a file that is not a configuration file", Flag(&CliOptions::force)},
      {"i input", "FILE", "the same as the FILE.quelt argument (older spelling)", Argument()},
      {"config", "FILE", "the same as the FILE.quelt argument (older spelling)", Argument()},
      {"port", "COMn|DEVICE", "the terminal's port: COMn (see ports) or a device path", SetPort},
      {"link", "FORMAT", "link format such as 9600,E,7,1 (default: the file's, or 9600,N,8,1)",
       SetLink},
      {"retries", "N", "answer Retry N times when the terminal is silent (default 0: Cancel)",
       Number(&CliOptions::retries, 0, 1000000, "--retries takes a number of 0 or more")},
      {"settings", "FILE", "use FILE as the settings store (port numbers)",
       Text(&CliOptions::settingsFile)},
      {"english", "", "lines and messages in English", Flag(&CliOptions::english)},
      {"adjust", "V", "and the adjust byte V, 0 to 255 (adjust mode)", SetAdjust},
      {"service", "", "and the extended block and the serial number", Flag(&CliOptions::service)},
      {"verify", "", "then read the terminal back and compare (as verify does)",
       Flag(&CliOptions::verify)},
      {"json", "", "JSON instead of lines", Flag(&CliOptions::json)},
      {"defaults", "", "the start-up defaults instead of a file", Flag(&CliOptions::defaults)},
      {"check", "", "only read the file and print its range", Flag(&CliOptions::check)},
      {"map", "N", "map COMN (1 to 99) to the DEVICE argument",
       Number(&CliOptions::mapNumber, 1, 99, "--map takes a port number, 1 to 99")},
      {"firmware", "APP.hex", "update every terminal first", Text(&CliOptions::firmware)},
      {"db", "URL", "the record: an SQLite file or postgresql://user@host/dbname",
       Text(&CliOptions::db)},
      {"first-serial", "TEXT", "start an empty counter, e.g. TR-2026-000100",
       Text(&CliOptions::firstSerial)},
      {"loop", "", "keep going: wait for the next terminal", Flag(&CliOptions::loop)},
      {"renumber", "", "number terminals holding an unknown number", Flag(&CliOptions::renumber)},
      {"station", "NAME", "the station's name in the record (default: the host name)",
       Name(&CliOptions::station, "station")},
      {"expect-firmware", "TEXT", "the firmware line every terminal must show",
       Text(&CliOptions::expectFirmware)},
      {"csv", "", "CSV instead of a table", Flag(&CliOptions::csv)},
      {"summary", "", "units, yield and failures by step, per station and day",
       Flag(&CliOptions::summary)},
      {"all", "", "every field and the bytes no field names, not only what the pages show",
       Flag(&CliOptions::all)},
      {"base", "FILE", "the image to apply onto (- for standard input)", Text(&CliOptions::base)},
      {"dry-run", "", "only check and show what would change", Flag(&CliOptions::dryRun)},
      {"no-verify", "", "no read-back after the write (with --port it is on by default)",
       Flag(&CliOptions::noVerify)},
      {"serial", "TEXT", "only the units that got or came with this number: its history",
       Filter(&RecordFilter::serial, "serial")},
      {"since", "WHEN", "only units finished from WHEN on: YYYY-MM-DD [HH:MM[:SS]], UTC",
       Time(&RecordFilter::since, false, "since")},
      {"until", "WHEN", "only units finished up to WHEN, inclusive (a date: all that day)",
       Time(&RecordFilter::until, true, "until")},
      {"station", "NAME", "only the units of this station",
       Filter(&RecordFilter::station, "station"), "records"},
      {"port", "NAME", "only the units of this port, named as provision was given it",
       Filter(&RecordFilter::port, "port"), "records"},
      {"result", "pass|fail", "only the units that passed, or only those that failed", SetResult},
      {"last", "N", "only the last N of the units chosen (still oldest first)", SetLast},
  };
  return options;
}

const std::vector<CommandSpec>& CommandTable::Commands() {
  static const QString link = QString::fromLatin1(kLink);
  static const std::vector<CommandSpec> commands = {
      {"read", "-o FILE.quelt", 0, 1, "read the terminal's parameters into a file",
       "output force " + link, "tr5906ctl read -o terminal.quelt --port COM7", RunRead, CheckRead,
       false},
      {"write", "FILE.quelt", 1, 1, "write a file's parameters to the terminal",
       "input adjust service verify " + link, "tr5906ctl write terminal.quelt --port COM7 --verify",
       RunWrite, CheckInput, true},
      {"verify", "FILE.quelt", 1, 1, "compare the terminal with what a write of the file sends",
       "input adjust service " + link, "tr5906ctl verify terminal.quelt --port COM7", RunVerify,
       CheckInput, false},
      {"reset", "", 0, 0, "reset the terminal to its factory settings", link,
       "tr5906ctl reset --port COM7", RunReset, nullptr, true},
      {"log", "", 0, 0, "read the terminal's core log", link, "tr5906ctl log --port COM7", RunLog,
       nullptr, false},
      {"detect", "", 0, 0, "find the terminal's serial format", link,
       "tr5906ctl detect --port COM7", RunDetect, nullptr, false},
      {"update", "FIRMWARE.hex", 1, 1, "update the firmware through the terminal's boot loader",
       "check " + link, "tr5906ctl update app.hex --port COM7", RunUpdate, CheckUpdate, true},
      {"show", "FILE.quelt", 0, 1, "print every named field of a file (- for standard input)",
       "json defaults", "tr5906ctl show terminal.quelt --json", RunShow, CheckShow, false},
      {"diff", "A.quelt B.quelt", 2, 2, "print the fields in which two files differ", "",
       "tr5906ctl diff old.quelt new.quelt", RunDiff, CheckDiff, false},
      {"export", "(FILE.quelt | --defaults | --port P)", 0, 1,
       "write a configuration as YAML text, each field with its caption and range",
       "output force all defaults " + link, "tr5906ctl export terminal.quelt -o site.yaml",
       RunExport, CheckExport, false},
      {"apply", "FILE.yaml (--base FILE.quelt | --defaults | --port P)", 1, 1,
       "check a YAML configuration, show what it changes and apply it",
       "base defaults output force dry-run verify no-verify " + link,
       "tr5906ctl apply site.yaml --port COM7 --dry-run", RunApply, CheckApply, false},
      {"set", "(--port P | --base FILE.quelt -o OUT.quelt) NAME=VALUE ...", 1, 999,
       "set fields by name, with the checks and the plan of apply",
       "base defaults output force dry-run verify no-verify " + link,
       "tr5906ctl set --port COM7 device_address=7 lora_channel=12", RunSet, CheckTarget, false},
      {"ports", "[--map N DEVICE]", 0, 1, "list the serial ports, or map COMn to a device",
       "map settings", "tr5906ctl ports --map 7 /dev/ttyUSB0", RunPorts, CheckPorts, false},
      {"provision", "(FILE.quelt | RECIPE.yaml) --port P [--port P ...]", 0, 1,
       "write a numbered configuration into every terminal that is connected",
       "config base port* link settings firmware db first-serial loop renumber station "
       "expect-firmware",
       "tr5906ctl provision unit.quelt --port COM7 --db line.sqlite --first-serial TR-2026-000100",
       RunProvision, CheckProvision, true},
      {"records", "", 0, 0, "list the provisioned units",
       "db csv summary serial since until station port result last",
       "tr5906ctl records --db line.sqlite --station line2 --since 2026-12-01 --result fail",
       RunRecords, CheckRecords, false},
      {"help", "[COMMAND]", 0, 1, "print a command's options and an example", "",
       "tr5906ctl help write", nullptr, CheckHelp, false},
  };
  return commands;
}

const CommandSpec* CommandTable::Find(const QString& name) {
  for (const CommandSpec& command : Commands())
    if (command.name == name) return &command;
  return nullptr;
}

const OptionSpec* CommandTable::FindOption(const QString& name, const CommandSpec* command) {
  const OptionSpec* found = nullptr;
  for (const OptionSpec& option : Options()) {
    bool repeated = false;
    if (!option.Names().contains(name)) continue;
    if (command && Takes(*command, option, &repeated)) return &option;
    if (!found) found = &option;
  }
  return found;
}

bool CommandTable::Takes(const CommandSpec& command, const OptionSpec& option, bool* repeated) {
  const QStringList keys = command.options.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  *repeated = keys.contains(option.Key() + QLatin1Char('*'));
  if (!*repeated && !keys.contains(option.Key())) return false;
  if (option.command) return command.name == QLatin1String(option.command);
  // A row of the command's own stands in for the general one.
  for (const OptionSpec& own : Options())
    if (own.command && command.name == QLatin1String(own.command) && own.Key() == option.Key())
      return false;
  return true;
}

QString CommandTable::Help(const QString& name) {
  const CommandSpec* command = Find(name);
  QString text;
  if (!command) {
    text = QStringLiteral(
        "Usage: tr5906ctl COMMAND [ARGUMENTS] [OPTIONS]\n"
        "\n"
        "The TR5906 configuration tool without windows.\n"
        "\n"
        "Commands:\n");
    for (const CommandSpec& c : Commands())
      text += QStringLiteral("  ") + Padded(c.name, 11) + c.summary + QLatin1Char('\n');
    return text + QStringLiteral(
                      "\n"
                      "tr5906ctl help COMMAND (or COMMAND --help) shows its options and an "
                      "example;\n"
                      "tr5906ctl --version the versions of the program and of Qt.\n"
                      "Exit status: 0 success, 1 failure, 2 bad usage.\n");
  }
  text = QStringLiteral("Usage: tr5906ctl %1 %2%3[options]\n\n%4.\n")
             .arg(command->name, command->arguments,
                  command->arguments.isEmpty() ? QString() : QStringLiteral(" "),
                  command->summary.left(1).toUpper() + command->summary.mid(1));
  if (command->changesTerminal)
    text += QStringLiteral("It changes the terminal: --port is required.\n");
  text += QStringLiteral("\nOptions:\n");
  for (const OptionSpec& option : Options()) {
    bool repeated = false;
    if (!Takes(*command, option, &repeated)) continue;
    text += QStringLiteral("  ") + Padded(option.Spelling(), 28) + option.help +
            (repeated ? QStringLiteral(" (repeatable)") : QString()) + QLatin1Char('\n');
  }
  text += QStringLiteral("  ") + Padded(QStringLiteral("-h, --help"), 28) +
          QStringLiteral("this help\n");
  return text + QStringLiteral("\nExample:\n  %1\n").arg(command->example);
}

QString CommandTable::Version() {
  return QStringLiteral("tr5906ctl %1.%2.%3 (Qt %4)")
      .arg(TR5906_VERSION_MAJOR)
      .arg(TR5906_VERSION_MINOR)
      .arg(TR5906_VERSION_PATCH)
      .arg(QString::fromLatin1(qVersion()));
}
