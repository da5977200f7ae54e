// provision: one Station per port on the one event loop, the record and the
// serial-number counter in a database.
#include "CliOptions.h"
#include "Commands.h"
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
#include "production/RecordStore.h"
#include "production/Station.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSysInfo>

#include <unistd.h>

#include <memory>
#include <vector>

namespace {

/// A --port as a number and the device behind it ("" for the catalogue's).
bool ResolvePort(const QString& text, int* number, QString* device) {
  const QString port = text.trimmed();
  if (port.contains(QLatin1Char('/'))) {
    *number = 1;
    *device = port;
    return true;
  }
  static const QRegularExpression pattern(QStringLiteral("^(?:COM)?(\\d{1,2})$"),
                                          QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = pattern.match(port);
  *number = match.hasMatch() ? match.captured(1).toInt() : 0;
  return *number >= PortCatalog::kFirstPort && *number <= PortCatalog::kLastPort;
}

/// A port's status line; `percent` for the line rewritten in place.
QString StatusText(const Station::Status& s, bool percent) {
  const QString serial = s.serial.isEmpty() ? QStringLiteral("-") : s.serial;
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

/// One port: its link and its station.
struct Port {
  QString device;
  std::unique_ptr<QtSerialLink> link;
  std::unique_ptr<Station> station;
};

}  // namespace

int RunProvision(const CliOptions& options) {
  ParameterImage config;
  LoadDefaults(config);
  const ConfigFile::Result opened = ConfigFile::Open(options.config, config);
  if (!opened) {
    PrintError(opened.english);
    return kExitFailure;
  }
  std::unique_ptr<FirmwareImage> firmware;
  if (!options.firmware.isEmpty()) {
    firmware = std::make_unique<FirmwareImage>();
    IntelHexReader reader(*firmware);
    if (!reader.ReadFile(options.firmware)) {
      PrintError(QStringLiteral("%1: %2").arg(options.firmware, reader.ErrorText()));
      return kExitFailure;
    }
  }

  RecordStore store;
  QString error;
  if (!store.Open(options.db, &error)) {
    PrintError(error);
    return kExitFailure;
  }
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

  std::unique_ptr<QtSettingsStore> settings =
      options.settingsFile.isEmpty() ? std::make_unique<QtSettingsStore>()
                                     : std::make_unique<QtSettingsStore>(options.settingsFile);
  PortCatalog catalog(*settings);
  QString linkFormat = DeviceFormatOf(config);
  if (!options.link.isEmpty()) {
    QtSerialLink::Format format;
    QtSerialLink::ParseSettings(options.link, &format);
    linkFormat = QtSerialLink::FormatSettings(format);
  }
  QtClock clock;
  const QString host = QSysInfo::machineHostName();
  std::vector<Port> ports(static_cast<size_t>(options.ports.size()));
  StatusBoard board(options.ports.size(), isatty(STDOUT_FILENO) != 0);
  int running = 0;
  for (int i = 0; i < options.ports.size(); ++i) {
    Port& port = ports[static_cast<size_t>(i)];
    int number = 0;
    if (!ResolvePort(options.ports[i], &number, &port.device)) {
      PrintError(QStringLiteral("--port \"%1\" is neither COM1 to COM99 nor a device path")
                     .arg(options.ports[i]));
      return kExitUsage;
    }
    port.link = std::make_unique<QtSerialLink>([&catalog, &port](int n) {
      return port.device.isEmpty() ? catalog.DeviceFor(n) : port.device;
    });
    Station::Settings s;
    s.port = options.ports[i].trimmed();
    s.portNumber = number;
    s.station = host;
    s.linkSettings = linkFormat;
    s.loop = options.loop;
    s.renumber = options.renumber;
    port.station = std::make_unique<Station>(*port.link, clock, store, config, firmware.get(), s);
    port.station->SetStatusHandler([&board, i](const Station::Status& status) {
      board.Set(i, StatusText(status, true), StatusText(status, false));
    });
    port.station->SetUnitHandler(
        [&board](const RecordStore::Unit& unit) { board.Note(UnitText(unit)); });
    port.station->SetFinishedHandler([&running] {
      if (--running == 0) QCoreApplication::exit(0);
    });
    ++running;
  }

  InterruptWatcher watcher([&ports](int count) {
    if (count == 1) {
      for (Port& port : ports) port.station->Stop();
      return;
    }
    // A second Ctrl-C: stop waiting for the ports to wind down.
    for (Port& port : ports) port.link->Close();
    QCoreApplication::exit(kExitFailure);
  });
  for (Port& port : ports) port.station->Start();
  if (running > 0) QCoreApplication::exec();

  int passed = 0;
  int failed = 0;
  for (Port& port : ports) {
    passed += port.station->Passed();
    failed += port.station->Failed();
    port.link->Close();
  }
  out.AddMessage(QStringLiteral("%1 passed, %2 failed").arg(passed).arg(failed));
  return failed > 0 ? kExitFailure : kExitSuccess;
}
