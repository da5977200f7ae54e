// tr5906-sim: a simulated TR5906 terminal (and its boot loader) behind a
// pseudo-terminal, for trying the tool without hardware and for the
// end-to-end tests.
#include "BootLoaderModel.h"
#include "PtyPort.h"
#include "PtyServer.h"
#include "SimulatedDevice.h"
#include "TerminalModel.h"
#include "image/ConfigFile.h"
#include "image/ParameterImage.h"
#include "image/TextCodec.h"
#include "link/PortCatalog.h"
#include "link/QtSerialLink.h"
#include "link/QtSettingsStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSaveFile>
#include <QStringList>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>

namespace {

int g_stopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], &byte, 1);
  errno = saved;
}

void InstallStopSignals() {
  if (::pipe(g_stopPipe) != 0) return;
  for (int fd : g_stopPipe) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGHUP, SIG_IGN);
}

void Print(std::FILE* stream, const QString& text) {
  std::fputs(text.toUtf8().constData(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

int Usage(const QString& reason) {
  Print(stderr, QStringLiteral("tr5906-sim: ") + reason);
  return 2;
}

/// The RS-485 format stored in an image (words 9 to 12).
QString ImageFormat(const ParameterImage& image) {
  const int baud = image.GetUWord(9) * 100;
  const int parity = image.GetUWord(10);
  const int stop = image.GetUWord(11);
  const QString settings = QStringLiteral("%1,%2,%3,%4")
                               .arg(baud)
                               .arg(parity == 1   ? QLatin1Char('E')
                                    : parity == 2 ? QLatin1Char('O')
                                                  : QLatin1Char('N'))
                               .arg(image.GetUWord(12) == 8 ? 8 : 7)
                               .arg(stop == 2   ? QStringLiteral("2")
                                    : stop == 3 ? QStringLiteral("1.5")
                                                : QStringLiteral("1"));
  QtSerialLink::Format format;
  return QtSerialLink::ParseSettings(settings, &format) ? settings : QStringLiteral("9600,N,8,1");
}

/// Stores a format in the image's RS-485 words, as the terminal keeps it;
/// false when the words cannot hold it (baud rates 1200 to 128000 in
/// hundreds, parity N, E or O, 7 or 8 data bits).
bool StoreImageFormat(const QString& settings, ParameterImage& image) {
  const QStringList parts = settings.split(QLatin1Char(','));
  if (parts.size() != 4) return false;
  const int baud = parts[0].toInt();
  const QString parity = parts[1].toUpper();
  if (baud % 100 != 0 || baud < 1200 || baud > 128000) return false;
  if (!QStringLiteral("NEO").contains(parity) || parity.size() != 1) return false;
  if (parts[2] != QLatin1String("7") && parts[2] != QLatin1String("8")) return false;
  image.SetWord(9, static_cast<uint16_t>(baud / 100));
  image.SetWord(10, parity == QLatin1String("E") ? 1 : parity == QLatin1String("O") ? 2 : 0);
  image.SetWord(11, parts[3] == QLatin1String("2") ? 2 : parts[3] == QLatin1String("1.5") ? 3 : 1);
  image.SetWord(12, parts[2] == QLatin1String("8") ? 8 : 7);
  return true;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    Print(stderr, QStringLiteral("tr5906-sim: cannot write %1: %2").arg(path, file.errorString()));
    return false;
  }
  return true;
}

bool ParseInt(const QString& text, int minimum, int maximum, int* value) {
  bool ok = false;
  const int number = text.toInt(&ok, 0);
  if (!ok || number < minimum || number > maximum) return false;
  *value = number;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tr5906-sim"));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("A simulated TR5906 terminal on a pseudo-terminal. Prints "
                     "the device path, then serves "
                     "until SIGINT or SIGTERM."));
  parser.addHelpOption();
  const auto opt = [&parser](const char* name, const char* help, const char* value = nullptr) {
    QCommandLineOption option(QString::fromLatin1(name), QString::fromUtf8(help),
                              value ? QString::fromLatin1(value) : QString());
    parser.addOption(option);
    return option;
  };
  const auto mapOption = opt("map", "Map the device to port number N (COMN).", "N");
  const auto settingsOption =
      opt("settings", "Settings file for --map (default: the tool's).", "file");
  const auto imageOption = opt("image", "Parameter memory from a .quelt file.", "file");
  const auto formatOption = opt("format",
                                "The terminal's RS-485 format, also written to the RS-485 words "
                                "of its memory (it wins over --image; default: the image's).",
                                "format");
  const auto identityOption = opt("identity", "Identity bytes 1024..1027 as 8 hex digits.", "hex");
  const auto updatedIdentityOption =
      opt("identity-after-update", "The identity bytes the new firmware reports.", "hex");
  const auto logOption = opt("log", "Add a core-log entry with this text (repeatable).", "text");
  const auto wireOption = opt("wire", "Delay every byte by its real time on the line.");
  const auto traceOption = opt("trace", "Print every request and answer on standard error.");
  const auto silentOption = opt("silent", "Fault: never answer.");
  const auto firstTryOption =
      opt("first-try", "Fault: the first handshake or data request is lost.", "handshake|data");
  const auto badHandshakeOption = opt("bad-handshake", "Fault: answer the handshake wrongly.");
  const auto refuseOption = opt("refuse-block", "Fault: refuse the data request of block N.", "N");
  const auto silentBlockOption =
      opt("silent-block", "Fault: never answer the data request of block N.", "N");
  const auto loseWriteOption = opt(
      "lose-write-block", "Fault: acknowledge the write of block N but keep its old bytes.", "N");
  const auto garbageOption = opt("garbage", "Fault: every answer is noise.");
  const auto longCountOption =
      opt("long-count", "Fault: read answers announce more data than they carry.");
  const auto hangUpOption = opt("hangup-after", "Fault: vanish after receiving N bytes.", "N");
  const auto slowOption = opt("slow", "Fault: every answer starts MS milliseconds late.", "ms");
  const auto silentAfterOption =
      opt("silent-after", "Fault: answer only the first N requests.", "N");
  const auto bootRefuseOption =
      opt("boot-refuse-block", "Fault: the boot loader refuses data block N.", "N");
  const auto bootSilentOption =
      opt("boot-silent-block", "Fault: the boot loader drops data block N once.", "N");
  const auto bootLateOption = opt("boot-late-block",
                                  "Fault: the boot loader answers data block N 1.5 s late "
                                  "(once) and accepts rewriting identical data.",
                                  "N");
  const auto versionOption =
      opt("boot-version", "Version byte of the start answer (default 0x10).", "V");
  const auto refuseVersionOption =
      opt("refuse-version", "Fault: answer the start frame with version 0x11.");
  const auto bootLoaderOption = opt("boot-loader", "Start in the boot loader.");
  const auto bootSettingsOption =
      opt("boot-settings", "The boot loader's own format (default 19200,N,8,1).", "format");
  const auto dumpFlashOption =
      opt("dump-flash", "Write the flash (270336 bytes) to FILE on exit.", "file");
  const auto dumpImageOption =
      opt("dump-image", "Write the parameter memory to FILE on exit.", "file");
  parser.process(app);
  if (!parser.positionalArguments().isEmpty())
    return Usage(
        QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

  TerminalModel terminal;
  BootLoaderModel bootLoader;
  bootLoader.SetMatchParityAndDataBits(false);  // a pseudo-terminal carries neither
  if (parser.isSet(imageOption)) {
    ParameterImage image;
    const ConfigFile::Result opened = ConfigFile::Open(parser.value(imageOption), image);
    if (!opened) return Usage(opened.english);
    terminal.Memory() = image;
  }
  QString format = ImageFormat(terminal.Memory());
  if (parser.isSet(formatOption)) {
    QtSerialLink::Format parsed;
    if (!QtSerialLink::ParseSettings(parser.value(formatOption), &parsed))
      return Usage(QStringLiteral("--format takes a format such as 9600,E,7,1"));
    format = QtSerialLink::FormatSettings(parsed);
    // The terminal answers at the format its memory holds: a read followed by
    // "Same as device" must find this one.
    if (!StoreImageFormat(format, terminal.Memory()))
      return Usage(
          QStringLiteral("--format takes what the terminal can hold: 1200 to 128000 "
                         "baud in hundreds, N, E or O, 7 or 8 data bits"));
  }
  terminal.SetFormat(format);
  bootLoader.SetApplicationSettings(format);
  std::array<std::array<uint8_t, 4>, 2> identities{};
  for (int i = 0; i < 2; ++i) {
    const QCommandLineOption& option = i == 0 ? identityOption : updatedIdentityOption;
    if (!parser.isSet(option)) continue;
    const QByteArray bytes = QByteArray::fromHex(parser.value(option).toLatin1());
    if (bytes.size() != 4 || parser.value(option).size() != 8)
      return Usage(QStringLiteral("--%1 takes 8 hex digits").arg(option.names().first()));
    identities[size_t(i)] = {uint8_t(bytes[0]), uint8_t(bytes[1]), uint8_t(bytes[2]),
                             uint8_t(bytes[3])};
  }
  if (parser.isSet(identityOption)) terminal.SetIdentity(identities[0]);
  // The terminal keeps its log texts in GBK, as it keeps every text.
  for (const QString& text : parser.values(logOption)) {
    if (!terminal.AddLogEntry(TextCodec::ToGbk(text)))
      return Usage(QStringLiteral("the core log is full"));
  }

  TerminalModel::Faults faults;
  faults.silent = parser.isSet(silentOption);
  faults.badHandshake = parser.isSet(badHandshakeOption);
  faults.garbage = parser.isSet(garbageOption);
  faults.longCount = parser.isSet(longCountOption);
  if (parser.isSet(firstTryOption)) {
    const QString which = parser.value(firstTryOption);
    if (which == QLatin1String("handshake")) {
      faults.firstTry = TerminalModel::Faults::FirstTry::Handshake;
    } else if (which == QLatin1String("data")) {
      faults.firstTry = TerminalModel::Faults::FirstTry::DataRequest;
    } else {
      return Usage(QStringLiteral("--first-try takes handshake or data"));
    }
  }
  int number = 0;
  if (parser.isSet(refuseOption)) {
    if (!ParseInt(parser.value(refuseOption), 0, 4095, &number))
      return Usage(QStringLiteral("--refuse-block takes a block number"));
    faults.refuseBlock = number;
  }
  if (parser.isSet(silentBlockOption)) {
    if (!ParseInt(parser.value(silentBlockOption), 0, 4095, &number))
      return Usage(QStringLiteral("--silent-block takes a block number"));
    faults.silentBlock = number;
  }
  if (parser.isSet(loseWriteOption)) {
    if (!ParseInt(parser.value(loseWriteOption), 0, 4095, &number))
      return Usage(QStringLiteral("--lose-write-block takes a block number"));
    faults.loseWriteBlock = number;
  }
  if (parser.isSet(hangUpOption)) {
    if (!ParseInt(parser.value(hangUpOption), 0, 1 << 30, &number))
      return Usage(QStringLiteral("--hangup-after takes a byte count"));
    faults.hangUpAfterBytes = number;
  }
  if (parser.isSet(slowOption)) {
    if (!ParseInt(parser.value(slowOption), 0, 600000, &number))
      return Usage(QStringLiteral("--slow takes milliseconds"));
    faults.delay = std::chrono::milliseconds(number);
  }
  if (parser.isSet(silentAfterOption)) {
    if (!ParseInt(parser.value(silentAfterOption), 0, 1 << 30, &number))
      return Usage(QStringLiteral("--silent-after takes a request count"));
    faults.silentAfterRequests = number;
  }
  terminal.SetFaults(faults);
  if (parser.isSet(bootRefuseOption)) {
    if (!ParseInt(parser.value(bootRefuseOption), 0, 1 << 20, &number))
      return Usage(QStringLiteral("--boot-refuse-block takes a block number"));
    bootLoader.SetRefuseBlock(number);
  }
  if (parser.isSet(bootSilentOption)) {
    if (!ParseInt(parser.value(bootSilentOption), 0, 1 << 20, &number))
      return Usage(QStringLiteral("--boot-silent-block takes a block number"));
    bootLoader.SetSilentAfterBlock(number);
  }
  if (parser.isSet(bootLateOption)) {
    if (!ParseInt(parser.value(bootLateOption), 0, 1 << 20, &number))
      return Usage(QStringLiteral("--boot-late-block takes a block number"));
    bootLoader.SetLateBlock(number);
  }
  if (parser.isSet(versionOption)) {
    if (!ParseInt(parser.value(versionOption), 0, 255, &number))
      return Usage(QStringLiteral("--boot-version takes a byte"));
    bootLoader.SetVersion(static_cast<uint8_t>(number));
  }
  if (parser.isSet(refuseVersionOption)) bootLoader.SetVersion(0x11);
  if (parser.isSet(bootSettingsOption)) {
    QtSerialLink::Format parsed;
    if (!QtSerialLink::ParseSettings(parser.value(bootSettingsOption), &parsed))
      return Usage(QStringLiteral("--boot-settings takes a format such as 19200,N,8,1"));
    bootLoader.SetBootSettings(QtSerialLink::FormatSettings(parsed));
  }
  if (parser.isSet(bootLoaderOption)) bootLoader.EnterBootLoader();
  int mapNumber = 0;
  if (parser.isSet(mapOption) && !ParseInt(parser.value(mapOption), 1, 99, &mapNumber))
    return Usage(QStringLiteral("--map takes a port number, 1 to 99"));

  PtyPort port;
  QString error;
  if (!port.Open(&error)) {
    Print(stderr, QStringLiteral("tr5906-sim: ") + error);
    return 1;
  }
  std::unique_ptr<QtSettingsStore> store;
  std::unique_ptr<PortCatalog> catalog;
  if (mapNumber > 0) {
    store = parser.isSet(settingsOption)
                ? std::make_unique<QtSettingsStore>(parser.value(settingsOption))
                : std::make_unique<QtSettingsStore>();
    catalog = std::make_unique<PortCatalog>(*store);
    if (!catalog->Map(mapNumber, port.SlavePath())) {
      Print(stderr,
            QStringLiteral("tr5906-sim: cannot store the mapping in %1").arg(store->Location()));
      return 1;
    }
  }
  InstallStopSignals();
  Print(stdout, port.SlavePath());
  if (mapNumber > 0)
    Print(stderr,
          QStringLiteral("tr5906-sim: %1 at %2, format %3")
              .arg(PortCatalog::EntryText(mapNumber, port.SlavePath()), port.SlavePath(), format));

  SimulatedDevice device(terminal, bootLoader);
  if (parser.isSet(updatedIdentityOption))
    device.SetApplicationStartedHandler([&] { terminal.SetIdentity(identities[1]); });
  PtyServer server(port, device);
  server.SetWireDelay(parser.isSet(wireOption));
  server.SetStopFd(g_stopPipe[0]);
  // The line shows baud rate and stop bits; parity and data bits are those
  // the terminal expects at this point of its session.
  const QString parity = format.section(QLatin1Char(','), 1, 1);
  const QString dataBits = format.section(QLatin1Char(','), 2, 2);
  server.SetSettingsFunction([&](const PtyPort::LineSettings& line, const QByteArray& bytes) {
    // The end request needs no answer, so the tool may have closed the port
    // (and the next program set other settings) before it is read here: the
    // terminal takes it at its session's format.
    if (terminal.InSession() && bytes == QByteArray(1, 'E')) return terminal.TransferFormat();
    const bool eight = terminal.InSession() || bootLoader.InBootLoader();
    QString stop = line.twoStopBits ? QStringLiteral("2") : QStringLiteral("1");
    if (line.twoStopBits && format.endsWith(QLatin1String(",1.5"))) stop = QStringLiteral("1.5");
    return QStringLiteral("%1,%2,%3,%4")
        .arg(line.baudRate)
        .arg(bootLoader.InBootLoader() ? QStringLiteral("N") : parity,
             eight ? QStringLiteral("8") : dataBits, stop);
  });
  if (parser.isSet(traceOption))
    server.SetTraceHandler([](const QString& line) { Print(stderr, line); });
  const bool hungUp = server.Run();
  if (hungUp) Print(stderr, QStringLiteral("tr5906-sim: hung up"));

  int status = 0;
  if (catalog && catalog->DeviceFor(mapNumber) == port.SlavePath()) catalog->Unmap(mapNumber);
  if (parser.isSet(dumpImageOption) &&
      !WriteFile(parser.value(dumpImageOption),
                 QByteArray(reinterpret_cast<const char*>(terminal.Memory().Data()),
                            ParameterImage::kSize)))
    status = 1;
  if (parser.isSet(dumpFlashOption) &&
      !WriteFile(parser.value(dumpFlashOption), bootLoader.Flash()))
    status = 1;
  return status;
}
