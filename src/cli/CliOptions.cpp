#include "CliOptions.h"

#include "link/QtSerialLink.h"

#include <QCommandLineParser>

namespace {

const QStringList kCommands = {
    QStringLiteral("read"), QStringLiteral("write"),  QStringLiteral("reset"),
    QStringLiteral("log"),  QStringLiteral("detect"), QStringLiteral("update"),
    QStringLiteral("show"), QStringLiteral("diff"),   QStringLiteral("ports")};

bool ParseNumber(const QString& text, int minimum, int maximum, int* value) {
  bool ok = false;
  const int number = text.trimmed().toInt(&ok, 0);
  if (!ok || number < minimum || number > maximum) return false;
  *value = number;
  return true;
}

bool Fail(QString* error, const QString& reason) {
  *error = reason;
  return false;
}

}  // namespace

QString CliOptions::Usage() {
  return QStringLiteral(
      "Usage: tr5906ctl [options] <command> [arguments]\n"
      "\n"
      "Commands:\n"
      "  read -o FILE.quelt          read the terminal's parameters into a file\n"
      "  write -i FILE.quelt         write a file's parameters to the terminal\n"
      "        [--adjust V]          ... and the adjust byte (adjust mode)\n"
      "  reset                       reset the terminal to its factory settings\n"
      "  log                         read the terminal's core log\n"
      "  detect                      find the terminal's serial format\n"
      "  update FIRMWARE.hex         update the firmware through the boot loader\n"
      "        [--check]             only read the file and report its range\n"
      "  show FILE.quelt [--json]    print every named field of a file\n"
      "  show --defaults [--json]    ... of the start-up defaults\n"
      "  diff A.quelt B.quelt        print the fields that differ (status 1 when\n"
      "                              any do, 2 when a file cannot be read)\n"
      "  ports [--map N DEVICE]      list the serial ports, or map COMN to DEVICE\n"
      "\n"
      "Options:\n"
      "  --port COMn|DEVICE          the port (default: the remembered one)\n"
      "  --link FORMAT               link format such as 9600,E,7,1 (default: the\n"
      "                              RS-485 format of the image worked on)\n"
      "  --retries N                 answer Retry N times when the terminal is silent\n"
      "                              (default 0: Cancel)\n"
      "  --settings FILE             use FILE as the settings store\n"
      "  --english                   English message boxes\n"
      "\n"
      "Exit status: 0 success, 1 failure, 2 bad usage.\n");
}

bool CliOptions::Parse(const QStringList& args, CliOptions* options, QString* error, bool* help) {
  *help = false;
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption portOption(QStringLiteral("port"), {}, QStringLiteral("port"));
  const QCommandLineOption linkOption(QStringLiteral("link"), {}, QStringLiteral("format"));
  const QCommandLineOption retriesOption(QStringLiteral("retries"), {}, QStringLiteral("n"));
  const QCommandLineOption settingsOption(QStringLiteral("settings"), {}, QStringLiteral("file"));
  const QCommandLineOption englishOption(QStringLiteral("english"));
  const QCommandLineOption outputOption(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                        {}, QStringLiteral("file"));
  const QCommandLineOption inputOption(QStringList{QStringLiteral("i"), QStringLiteral("input")},
                                       {}, QStringLiteral("file"));
  const QCommandLineOption adjustOption(QStringLiteral("adjust"), {}, QStringLiteral("value"));
  const QCommandLineOption jsonOption(QStringLiteral("json"));
  const QCommandLineOption defaultsOption(QStringLiteral("defaults"));
  const QCommandLineOption checkOption(QStringLiteral("check"));
  const QCommandLineOption mapOption(QStringLiteral("map"), {}, QStringLiteral("n"));
  const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
  parser.addOptions({portOption, linkOption, retriesOption, settingsOption, englishOption,
                     outputOption, inputOption, adjustOption, jsonOption, defaultsOption,
                     checkOption, mapOption, helpOption});
  if (!parser.parse(args)) return Fail(error, parser.errorText());
  if (parser.isSet(helpOption)) {
    *help = true;
    return true;
  }

  CliOptions o;
  QStringList positional = parser.positionalArguments();
  if (positional.isEmpty()) return Fail(error, QStringLiteral("no command given (see --help)"));
  o.command = positional.takeFirst();
  if (!kCommands.contains(o.command))
    return Fail(error, QStringLiteral("unknown command \"%1\" (see --help)").arg(o.command));
  o.arguments = positional;
  o.port = parser.value(portOption);
  o.link = parser.value(linkOption);
  o.settingsFile = parser.value(settingsOption);
  o.english = parser.isSet(englishOption);
  o.output = parser.value(outputOption);
  o.input = parser.value(inputOption);
  o.json = parser.isSet(jsonOption);
  o.defaults = parser.isSet(defaultsOption);
  o.check = parser.isSet(checkOption);
  if (parser.isSet(retriesOption) &&
      !ParseNumber(parser.value(retriesOption), 0, 1000000, &o.retries))
    return Fail(error, QStringLiteral("--retries takes a number of 0 or more"));
  if (parser.isSet(adjustOption)) {
    if (!ParseNumber(parser.value(adjustOption), 0, 255, &o.adjust))
      return Fail(error, QStringLiteral("--adjust takes a byte value, 0 to 255"));
    o.hasAdjust = true;
  }
  if (parser.isSet(linkOption)) {
    QtSerialLink::Format format;
    if (!QtSerialLink::ParseSettings(o.link, &format))
      return Fail(error,
                  QStringLiteral("--link \"%1\" is not a format such as 9600,E,7,1").arg(o.link));
  }
  if (parser.isSet(portOption) && o.port.trimmed().isEmpty())
    return Fail(error, QStringLiteral("--port needs COMn or a device"));

  // What each command needs.
  const QString& c = o.command;
  auto extra = [&](int allowed) { return o.arguments.size() > allowed; };
  if (c == QLatin1String("read")) {
    if (o.output.isEmpty() && o.arguments.size() == 1) o.output = o.arguments.takeFirst();
    if (o.output.isEmpty()) return Fail(error, QStringLiteral("read needs -o FILE.quelt"));
  } else if (c == QLatin1String("write")) {
    if (o.input.isEmpty() && o.arguments.size() == 1) o.input = o.arguments.takeFirst();
    if (o.input.isEmpty()) return Fail(error, QStringLiteral("write needs -i FILE.quelt"));
  } else if (c == QLatin1String("update")) {
    if (o.arguments.size() != 1)
      return Fail(error, QStringLiteral("update needs one firmware file (FIRMWARE.hex)"));
  } else if (c == QLatin1String("show")) {
    if (o.defaults == (o.arguments.size() == 1) || extra(1))
      return Fail(error, QStringLiteral("show needs one file, or --defaults"));
  } else if (c == QLatin1String("diff")) {
    if (o.arguments.size() != 2) return Fail(error, QStringLiteral("diff needs two files"));
  } else if (c == QLatin1String("ports")) {
    if (parser.isSet(mapOption)) {
      if (!ParseNumber(parser.value(mapOption), 1, 99, &o.mapNumber))
        return Fail(error, QStringLiteral("--map takes a port number, 1 to 99"));
      if (o.arguments.size() != 1)
        return Fail(error, QStringLiteral("ports --map N needs the device, e.g. /dev/ttyUSB0"));
      o.mapDevice = o.arguments.takeFirst();
    }
  }
  if (!o.arguments.isEmpty() && c != QLatin1String("update") && c != QLatin1String("show") &&
      c != QLatin1String("diff"))
    return Fail(error, QStringLiteral("unexpected argument \"%1\"").arg(o.arguments.first()));
  if (parser.isSet(mapOption) && c != QLatin1String("ports"))
    return Fail(error, QStringLiteral("--map belongs to the ports command"));
  if (o.hasAdjust && c != QLatin1String("write"))
    return Fail(error, QStringLiteral("--adjust belongs to the write command"));
  *options = o;
  return true;
}
