// provision: one Station per port on the one event loop, the record and the
// serial-number counter in a database.
#include "CliFiles.h"
#include "CliOptions.h"
#include "Commands.h"
#include "ConsoleStreams.h"
#include "InterruptWatcher.h"
#include "LinkSession.h"
#include "StatusBoard.h"
#include "image/ConfigFile.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"
#include "link/PortCatalog.h"
#include "link/QtClock.h"
#include "link/QtSerialLink.h"
#include "link/QtSettingsStore.h"
#include "production/DatabaseAddress.h"
#include "production/RecordStore.h"
#include "production/SerialNumbers.h"
#include "production/Station.h"
#include "text/ConfigApply.h"
#include "text/ConfigReader.h"
#include "text/ConfigTextFile.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

/// A --port as checked before anything starts.
struct PortChoice {
  QString given;  ///< as typed, trimmed: the name the record keeps
  int number = 1;
  QString device;  ///< the device behind it
  QString key;     ///< the device's canonical path: one device, one key
};

/// Resolves a --port to its device (COMn through the settings store) and
/// refuses what cannot be a serial port. A device that is not there yet is
/// accepted: the station waits for it.
bool ResolvePort(const QString& text, const PortCatalog& catalog, PortChoice* choice,
                 QString* error) {
  choice->given = text.trimmed();
  if (choice->given.contains(QLatin1Char('/'))) {
    choice->device = choice->given;
  } else {
    static const QRegularExpression pattern(QStringLiteral("^(?:COM)?(\\d{1,2})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(choice->given);
    choice->number = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (choice->number < PortCatalog::kFirstPort || choice->number > PortCatalog::kLastPort) {
      *error = QStringLiteral("--port \"%1\" is neither COM1 to COM99 nor a device path").arg(text);
      return false;
    }
    choice->device = catalog.DeviceFor(choice->number);
    if (choice->device.isEmpty()) {
      *error = QStringLiteral(
                   "--port %1: no device is mapped to COM%2 (map one with "
                   "\"tr5906ctl ports --map %2 DEVICE\")")
                   .arg(choice->given)
                   .arg(choice->number);
      return false;
    }
  }
  const QFileInfo file(choice->device);
  if (file.exists() && (file.isFile() || file.isDir())) {
    *error = QStringLiteral("--port %1: %2 is a %3, not a serial device")
                 .arg(choice->given, choice->device,
                      file.isDir() ? QStringLiteral("folder") : QStringLiteral("plain file"));
    return false;
  }
  choice->key = file.exists() ? file.canonicalFilePath() : QDir::cleanPath(file.absoluteFilePath());
  return true;
}

/// A port's status line; `percent` for the line rewritten in place.
QString StatusText(const Station::Status& s, bool percent) {
  const QString serial = s.serial.isEmpty() ? QStringLiteral("-") : s.serial;
  if (s.step == Station::Step::Wait && !s.problem.isEmpty())
    return QStringLiteral("%1  %2  waiting: %3").arg(s.port, serial, s.problem);
  QString text = QStringLiteral("%1  %2  %3").arg(s.port, serial, Station::StepName(s.step));
  if (percent && s.step != Station::Step::Wait && s.step != Station::Step::Removal &&
      s.step != Station::Step::Done)
    text += QStringLiteral(" %1%").arg(s.percent);
  return text;
}

QString UnitText(const RecordStore::Unit& u) {
  const QString serial = u.serial.isEmpty() ? QStringLiteral("-") : u.serial;
  if (u.passed)
    return QStringLiteral("%1  %2  pass  %3 s").arg(u.port, serial).arg(u.seconds, 0, 'f', 1);
  return QStringLiteral("%1  %2  FAIL at %3: %4  %5 s")
      .arg(u.port, serial, u.step, u.reason)
      .arg(u.seconds, 0, 'f', 1);
}

/// A configuration text: checked for the longest number the counter gives,
/// applied onto its base for each unit's own number.
struct Recipe {
  QByteArray text;
  ConfigChanges changes;
  ParameterImage base;
  int longest = 0;

  /// Checks the text for numbers of `longest` characters (0: not known yet,
  /// checked as 1); the exit status.
  int Check(const QString& name, int longestSerial) {
    longest = std::max(longestSerial, 1);
    ConfigReader::Options options;
    options.longestSerial = longest;
    const ConfigCheck check = ConfigReader::Read(text, options);
    changes = check.changes;
    return check.Ok() ? kExitSuccess : RefuseText(check.Lines(name), name);
  }
};

/// One port: its link and its station.
struct Port {
  PortChoice choice;
  std::unique_ptr<QtSerialLink> link;
  std::unique_ptr<Station> station;
};

}  // namespace

int RunProvision(const CliOptions& options) {
  // Every argument is checked before the database is touched.
  QString error;
  SerialNumbers::Counter first;
  if (!options.firstSerial.isEmpty() &&
      !SerialNumbers::Parse(options.firstSerial, &first, &error)) {
    PrintError(QStringLiteral("--first-serial: ") + error);
    return kExitUsage;
  }
  ParameterImage config;
  LoadDefaults(config);
  Recipe recipe;
  if (ConfigTextFile::IsText(options.config)) {
    if (!CliFiles::ReadText(options.config, &recipe.text) ||
        (!options.base.isEmpty() && !CliFiles::Open(options.base, &config)))
      return kExitFailure;
    // The longest number is known here only from --first-serial; else once
    // the counter is read, before any station starts.
    const int refused = recipe.Check(options.config, first.prefix.size() + first.width);
    if (refused != kExitSuccess) return refused;
    recipe.base = config;
    config = ConfigApply::Apply(config, recipe.changes, QString(recipe.longest, '0')).image;
  } else {
    const ConfigFile::Result opened = ConfigFile::Open(options.config, config);
    if (!opened) {
      PrintError(opened.english);
      return kExitFailure;
    }
  }
  std::unique_ptr<FirmwareImage> firmware;
  Station::Settings common;
  if (!options.firmware.isEmpty()) {
    firmware = std::make_unique<FirmwareImage>();
    IntelHexReader reader(*firmware);
    QFile file(options.firmware);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!reader.ReadFile(options.firmware) || !file.open(QIODevice::ReadOnly) ||
        !hash.addData(&file)) {
      PrintError(QStringLiteral("%1: %2").arg(options.firmware, reader.ErrorText()));
      return kExitFailure;
    }
    common.firmwareSha256 = QString::fromLatin1(hash.result().toHex());
  }
  DatabaseAddress address;
  if (!DatabaseAddress::Parse(options.db, &address, &error)) {
    PrintError(error);
    return kExitUsage;
  }
  common.station = options.station.isEmpty() ? QSysInfo::machineHostName() : options.station;
  std::unique_ptr<QtSettingsStore> settings =
      options.settingsFile.isEmpty() ? std::make_unique<QtSettingsStore>()
                                     : std::make_unique<QtSettingsStore>(options.settingsFile);
  PortCatalog catalog(*settings);
  std::vector<Port> ports(static_cast<size_t>(options.ports.size()));
  QHash<QString, QString> spellings;  // device key -> the --port that named it first
  for (int i = 0; i < options.ports.size(); ++i) {
    PortChoice& choice = ports[static_cast<size_t>(i)].choice;
    if (!ResolvePort(options.ports[i], catalog, &choice, &error)) {
      PrintError(error);
      return kExitUsage;
    }
    if (spellings.contains(choice.key)) {
      PrintError(QStringLiteral("--port \"%1\" and --port \"%2\" are one device (%3)")
                     .arg(spellings[choice.key], options.ports[i], choice.key));
      return kExitUsage;
    }
    spellings.insert(choice.key, options.ports[i]);
  }

  RecordStore store;
  if (!store.Open(address, true, &error)) {
    PrintError(error);
    return kExitFailure;
  }
  // A statement waits briefly for a lock; the stations try again on the loop.
  store.SetLockWait(std::chrono::milliseconds(200));
  ConsoleSink out;
  out.AddMessage(QStringLiteral("records: %1").arg(store.Description()));
  if (!options.firstSerial.isEmpty() && !store.StartCounter(options.firstSerial, &error)) {
    PrintError(error);
    return kExitUsage;
  }
  if (!store.HasCounter()) {
    PrintError(
        QStringLiteral("the database has no serial counter yet: start it with "
                       "--first-serial TEXT (e.g. TR-2026-000100)"));
    return kExitUsage;
  }
  if (recipe.changes.UsesSerial() && options.firstSerial.isEmpty()) {
    SerialNumbers::Parse(store.CounterFirst(), &first, &error);
    const int refused = recipe.Check(options.config, first.prefix.size() + first.width);
    if (refused != kExitSuccess) return refused;
  }

  common.linkSettings = DeviceFormatOf(config);
  if (!options.link.isEmpty()) {
    QtSerialLink::Format format;
    QtSerialLink::ParseSettings(options.link, &format);
    common.linkSettings = QtSerialLink::FormatSettings(format);
  }
  common.loop = options.loop;
  common.renumber = options.renumber;
  common.expectFirmware = options.expectFirmware;
  common.program = QStringLiteral("tr5906ctl %1.%2.%3")
                       .arg(TR5906_VERSION_MAJOR)
                       .arg(TR5906_VERSION_MINOR)
                       .arg(TR5906_VERSION_PATCH);
  QtClock clock;
  StatusBoard board(options.ports.size(), ConsoleStreams::IsTerminal(stdout));
  int running = 0;
  for (int i = 0; i < options.ports.size(); ++i) {
    Port& port = ports[static_cast<size_t>(i)];
    const QString device = port.choice.device;
    port.link = std::make_unique<QtSerialLink>([device](int) { return device; });
    Station::Settings s = common;
    s.port = port.choice.given;
    s.portNumber = port.choice.number;
    if (ConfigTextFile::IsText(options.config)) {  // each unit's own image, for its number
      s.imageFor = [&recipe](const QString& serial, ParameterImage* image, QString* problem) {
        const ConfigApply::Result unit = ConfigApply::Apply(recipe.base, recipe.changes, serial);
        *image = unit.image;
        if (!unit.Ok()) *problem = unit.errors.first().english;
        return unit.Ok();
      };
    }
    port.station = std::make_unique<Station>(*port.link, clock, store, config, firmware.get(), s);
    port.station->SetStatusHandler([&board, i](const Station::Status& status) {
      board.Set(i, StatusText(status, true), StatusText(status, false));
    });
    port.station->SetUnitHandler(
        [&board](const RecordStore::Unit& unit) { board.Note(UnitText(unit)); });
    port.station->SetFinishedHandler([&running] {
      if (--running == 0) QCoreApplication::exit(kExitSuccess);
    });
    ++running;
  }

  bool abandoned = false;  // a second Ctrl-C: nothing after it counts as success
  InterruptWatcher watcher([&ports, &abandoned](int count) {
    if (count == 1) {
      for (Port& port : ports) port.station->Stop();
      return;
    }
    // A second Ctrl-C: stop waiting for the ports to wind down.
    abandoned = true;
    for (Port& port : ports) port.link->Close();
    QCoreApplication::exit(kExitFailure);
  });
  for (Port& port : ports) port.station->Start();
  if (running > 0) QCoreApplication::exec();

  int passed = 0;
  int failed = 0;
  bool incomplete = false;  // a port that did not finish what it was asked for
  for (Port& port : ports) {
    Station& station = *port.station;
    passed += station.Passed();
    failed += station.Failed();
    const Station::Status& status = station.CurrentStatus();
    const bool underWay = status.step != Station::Step::Wait &&
                          status.step != Station::Step::Removal &&
                          status.step != Station::Step::Done;
    if (!station.Finished() && underWay) {
      ++failed;
      board.Note(QStringLiteral("%1  %2  FAIL at %3: interrupted (not recorded)")
                     .arg(status.port,
                          status.serial.isEmpty() ? QStringLiteral("-") : status.serial,
                          Station::StepName(status.step)));
    }
    incomplete = incomplete || !station.Finished() ||
                 (!options.loop && station.Passed() + station.Failed() == 0);
    port.link->Close();
  }
  out.AddMessage(QStringLiteral("%1 passed, %2 failed").arg(passed).arg(failed));
  return abandoned || incomplete || failed > 0 ? kExitFailure : kExitSuccess;
}
