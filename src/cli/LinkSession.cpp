#include "LinkSession.h"

#include "CliOptions.h"
#include "InterruptWatcher.h"
#include "image/ParameterImage.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

std::unique_ptr<QtSettingsStore> MakeStore(const CliOptions& options) {
  if (options.settingsFile.isEmpty()) return std::make_unique<QtSettingsStore>();
  return std::make_unique<QtSettingsStore>(options.settingsFile);
}

constexpr int kRs485BaudWord = 9;  // words 9 to 12: baud/100, parity, stop bits, data bits

}  // namespace

QString DeviceFormatOf(const ParameterImage& image) {
  const int baud = image.GetUWord(kRs485BaudWord) * 100;
  const int parity = image.GetUWord(kRs485BaudWord + 1);
  const int stop = image.GetUWord(kRs485BaudWord + 2);
  const int data = image.GetUWord(kRs485BaudWord + 3);
  const QString parityText = parity == 1   ? QStringLiteral("E")
                             : parity == 2 ? QStringLiteral("O")
                                           : QStringLiteral("N");
  const QString stopText = stop == 2   ? QStringLiteral("2")
                           : stop == 3 ? QStringLiteral("1.5")
                                       : QStringLiteral("1");
  return QStringLiteral("%1,%2,%3,%4")
      .arg(baud > 0 ? baud : 9600)
      .arg(parityText, data == 8 ? QStringLiteral("8") : QStringLiteral("7"), stopText);
}

LinkSession::LinkSession(const CliOptions& options)
    : options_(options),
      store_(MakeStore(options)),
      catalog_(*store_),
      link_([this](int number) {
        return fixedDevice_.isEmpty() ? catalog_.DeviceFor(number) : fixedDevice_;
      }),
      prompts_(options.retries, options.english),
      // With the image on standard output the lines go to standard error.
      sink_(options.output == QLatin1String("-") ? stderr : stdout, options.english) {}

LinkSession::~LinkSession() { link_.Close(); }

bool LinkSession::ResolvePort(QString* error) {
  const QString port = options_.port.trimmed();
  if (port.isEmpty()) {
    portNumber_ = catalog_.RecallPort();
    if (!options_.changesTerminal) return true;
    *error = QStringLiteral(
                 "%1 changes the terminal: name its port with --port "
                 "(the remembered port is %2)")
                 .arg(options_.command, PortName());
    return false;
  }
  if (port.contains(QLatin1Char('/'))) {
    fixedDevice_ = port;
    portNumber_ = 1;
    return true;
  }
  static const QRegularExpression pattern(QStringLiteral("^(?:COM)?(\\d{1,2})$"),
                                          QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch match = pattern.match(port);
  const int number = match.hasMatch() ? match.captured(1).toInt() : 0;
  if (number < PortCatalog::kFirstPort || number > PortCatalog::kLastPort) {
    *error = QStringLiteral("--port \"%1\" is neither COM1 to COM99 nor a device path").arg(port);
    return false;
  }
  portNumber_ = number;
  return true;
}

QString LinkSession::LinkFormat(const ParameterImage& image) const {
  if (!options_.link.isEmpty()) {
    QtSerialLink::Format format;
    QtSerialLink::ParseSettings(options_.link, &format);
    return QtSerialLink::FormatSettings(format);
  }
  return DeviceFormatOf(image);
}

bool LinkSession::Run(TransactionEngine& engine, TransactionEngine::Kind kind) {
  return RunUntilDone(
      [&engine, kind](std::function<void(bool)> done) {
        engine.SetFinishedHandler([done](TransactionEngine::Kind, bool ok) { done(ok); });
        switch (kind) {
          case TransactionEngine::Kind::Read:
            return engine.StartRead();
          case TransactionEngine::Kind::Write:
            return engine.StartWrite();
          case TransactionEngine::Kind::Reset:
            return engine.StartReset();
          case TransactionEngine::Kind::Log:
            return engine.StartLog();
          case TransactionEngine::Kind::Detect:
            return engine.StartDetect();
          case TransactionEngine::Kind::None:
            break;
        }
        return false;
      },
      [&engine] {
        engine.Cancel();
        return false;
      });
}

bool LinkSession::RunUntilDone(const std::function<bool(std::function<void(bool)>)>& start,
                               const std::function<bool()>& cancel) {
  bool finished = false;
  bool succeeded = false;
  std::function<void(bool)> done;
  InterruptWatcher watcher([this, &cancel, &finished, &done](int count) {
    interrupted_ = true;
    if (finished) return;
    if (count == 1) {
      if (cancel()) done(false);
    } else {
      // A second Ctrl-C: stop waiting for the transfer to wind down.
      link_.Close();
      QCoreApplication::exit(kExitFailure);
    }
  });
  done = [&finished, &succeeded](bool ok) {
    if (finished) return;
    finished = true;
    succeeded = ok;
    QCoreApplication::exit(ok ? kExitSuccess : kExitFailure);
  };
  if (!start(done)) return false;
  if (!finished) QCoreApplication::exec();
  link_.Close();
  return finished && succeeded && !interrupted_;
}

QString LinkSession::PortName() const {
  if (!fixedDevice_.isEmpty()) return fixedDevice_;
  const QString device = catalog_.DeviceFor(portNumber_);
  const QString name = QStringLiteral("COM%1").arg(portNumber_);
  return device.isEmpty() || device == name ? name : QStringLiteral("%1 (%2)").arg(name, device);
}

QString LinkSession::FailureReason(const QString& what) const {
  if (interrupted_) return QStringLiteral("%1 on %2 cancelled (interrupted)").arg(what, PortName());
  // The system's reason names the device.
  if (link_.LastOpenFailed() || link_.DeviceFailed())
    return what + QStringLiteral(" failed: ") + link_.ErrorString();
  const QString line = QStringLiteral("%1 failed on %2").arg(what, PortName());
  return prompts_.Problem().isEmpty() ? line : line + QStringLiteral(": ") + prompts_.Problem();
}
