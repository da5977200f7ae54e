#include "CliOptions.h"

#include "link/QtSerialLink.h"

#include <QCommandLineParser>

namespace {

const QStringList kCommands = {
    QStringLiteral("read"),   QStringLiteral("write"),     QStringLiteral("reset"),
    QStringLiteral("log"),    QStringLiteral("detect"),    QStringLiteral("update"),
    QStringLiteral("show"),   QStringLiteral("diff"),      QStringLiteral("ports"),
    QStringLiteral("verify"), QStringLiteral("provision"), QStringLiteral("records")};

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
      "        [--service]           ... and the extended block and serial number\n"
      "        [--verify]            ... then read it back and compare (as verify)\n"
      "  verify -i FILE.quelt        compare the terminal with what a write of the\n"
      "        [--adjust V] [--service]  file sends; prints the differing fields\n"
      "                              (status 1 when any differ or the read fails)\n"
      "  provision --config FILE.quelt --port P [--port P ...]\n"
      "        [--firmware APP.hex]  update every terminal first\n"
      "        [--db URL]            SQLite file (default printed at start) or\n"
      "                              postgresql://user@host/dbname\n"
      "        [--first-serial TEXT] start an empty counter, e.g. TR-2026-000100\n"
      "        [--loop]              keep going: wait for the next terminal\n"
      "        [--renumber]          number terminals holding an unknown number\n"
      "        [--station NAME]      the station's name in the record (default: host name)\n"
      "        [--expect-firmware TEXT]  fail units whose firmware line differs\n"
      "  records [--db URL] [--csv]  list the provisioned units\n"
      "        [--summary]           units, yield and failures per station and day\n"
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
  const QCommandLineOption serviceOption(QStringLiteral("service"));
  const QCommandLineOption verifyOption(QStringLiteral("verify"));
  const QCommandLineOption configOption(QStringLiteral("config"), {}, QStringLiteral("file"));
  const QCommandLineOption firmwareOption(QStringLiteral("firmware"), {}, QStringLiteral("file"));
  const QCommandLineOption dbOption(QStringLiteral("db"), {}, QStringLiteral("url"));
  const QCommandLineOption firstSerialOption(QStringLiteral("first-serial"), {},
                                             QStringLiteral("text"));
  const QCommandLineOption loopOption(QStringLiteral("loop"));
  const QCommandLineOption renumberOption(QStringLiteral("renumber"));
  const QCommandLineOption csvOption(QStringLiteral("csv"));
  const QCommandLineOption stationOption(QStringLiteral("station"), {}, QStringLiteral("name"));
  const QCommandLineOption expectFirmwareOption(QStringLiteral("expect-firmware"), {},
                                                QStringLiteral("text"));
  const QCommandLineOption summaryOption(QStringLiteral("summary"));
  parser.addOptions({portOption,     linkOption,     retriesOption,     settingsOption,
                     englishOption,  outputOption,   inputOption,       adjustOption,
                     jsonOption,     defaultsOption, checkOption,       mapOption,
                     helpOption,     serviceOption,  verifyOption,      configOption,
                     firmwareOption, dbOption,       firstSerialOption, loopOption,
                     renumberOption, csvOption});
  parser.addOptions({stationOption, expectFirmwareOption, summaryOption});
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
  o.service = parser.isSet(serviceOption);
  o.verify = parser.isSet(verifyOption);
  o.ports = parser.values(portOption);
  o.config = parser.value(configOption);
  o.firmware = parser.value(firmwareOption);
  o.db = parser.value(dbOption);
  o.firstSerial = parser.value(firstSerialOption);
  o.loop = parser.isSet(loopOption);
  o.renumber = parser.isSet(renumberOption);
  o.csv = parser.isSet(csvOption);
  o.station = parser.value(stationOption).trimmed();
  if (parser.isSet(stationOption) && o.station.isEmpty())
    return Fail(error, QStringLiteral("--station needs a name"));
  o.expectFirmware = parser.value(expectFirmwareOption);
  o.summary = parser.isSet(summaryOption);
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
  } else if (c == QLatin1String("verify")) {
    if (o.input.isEmpty() && o.arguments.size() == 1) o.input = o.arguments.takeFirst();
    if (o.input.isEmpty()) return Fail(error, QStringLiteral("verify needs -i FILE.quelt"));
  } else if (c == QLatin1String("provision")) {
    if (o.config.isEmpty())
      return Fail(error, QStringLiteral("provision needs --config FILE.quelt"));
    if (o.ports.isEmpty())
      return Fail(error, QStringLiteral("provision needs at least one --port"));
    if (o.ports.removeDuplicates() > 0)
      return Fail(error, QStringLiteral("provision takes each --port once"));
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
  const bool transfer = c == QLatin1String("write") || c == QLatin1String("verify");
  if (o.hasAdjust && !transfer)
    return Fail(error, QStringLiteral("--adjust belongs to the write and verify commands"));
  if (o.service && !transfer)
    return Fail(error, QStringLiteral("--service belongs to the write and verify commands"));
  if (o.verify && c != QLatin1String("write"))
    return Fail(error, QStringLiteral("--verify belongs to the write command"));
  const bool production = c == QLatin1String("provision");
  if (!production && (!o.config.isEmpty() || !o.firmware.isEmpty() || !o.firstSerial.isEmpty() ||
                      o.loop || o.renumber))
    return Fail(error, QStringLiteral("--config, --firmware, --first-serial, --loop and "
                                      "--renumber belong to the provision command"));
  if (!production && (parser.isSet(stationOption) || parser.isSet(expectFirmwareOption)))
    return Fail(error,
                QStringLiteral("--station and --expect-firmware belong to the provision command"));
  if (!o.db.isEmpty() && !production && c != QLatin1String("records"))
    return Fail(error, QStringLiteral("--db belongs to the provision and records commands"));
  if (o.csv && c != QLatin1String("records"))
    return Fail(error, QStringLiteral("--csv belongs to the records command"));
  if (o.summary && c != QLatin1String("records"))
    return Fail(error, QStringLiteral("--summary belongs to the records command"));
  if (!production && o.ports.size() > 1)
    return Fail(error, QStringLiteral("only provision takes several --port"));
  *options = o;
  return true;
}
