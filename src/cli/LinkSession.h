#pragma once

#include "ConsolePrompts.h"
#include "ConsoleSink.h"
#include "link/PortCatalog.h"
#include "link/QtClock.h"
#include "link/QtSerialLink.h"
#include "link/QtSettingsStore.h"
#include "link/TransactionEngine.h"

#include <QString>

#include <functional>
#include <memory>

struct CliOptions;
class ParameterImage;

/// Everything a command needs to talk to a terminal: the settings store,
/// the port catalogue, the real serial link on the chosen port, the clock,
/// the console prompts and message lines, and Ctrl-C handling.
class LinkSession {
 public:
  explicit LinkSession(const CliOptions& options);
  ~LinkSession();

  /// Resolves --port (COMn, a number, or a device path; default: the
  /// remembered port, except for a command that changes the terminal). False
  /// with a reason on bad usage.
  bool ResolvePort(QString* error);
  int PortNumber() const { return portNumber_; }
  /// The port as a failure names it: "/dev/pts/3", "COM7 (/dev/ttyUSB0)".
  QString PortName() const;

  /// The link format: --link, or the RS-485 format stored in `image`.
  QString LinkFormat(const ParameterImage& image) const;

  /// Runs one engine transaction to its end (Ctrl-C cancels it); true when
  /// it succeeded. After a failure FailureReason() says why in one line.
  bool Run(TransactionEngine& engine, TransactionEngine::Kind kind);
  /// Runs the event loop until `finished` is called back (for transfers that
  /// are not engine transactions); `cancel` runs on Ctrl-C and returns true
  /// when the transfer will not report its end itself (then the run ends at
  /// once as failed).
  bool RunUntilDone(const std::function<bool(std::function<void(bool)>)>& start,
                    const std::function<bool()>& cancel);

  /// One line for standard error after a failed transfer: what failed on
  /// which port, and why: the system's reason (with its hint) when the port
  /// failed, else the message or the question answered Cancel.
  QString FailureReason(const QString& what) const;

  SettingsStore& Store() { return *store_; }
  PortCatalog& Catalog() { return catalog_; }
  QtSerialLink& Link() { return link_; }
  QtClock& ClockSource() { return clock_; }
  ConsolePrompts& Prompts() { return prompts_; }
  ConsoleSink& Sink() { return sink_; }
  bool Interrupted() const { return interrupted_; }

 private:
  const CliOptions& options_;
  std::unique_ptr<QtSettingsStore> store_;
  PortCatalog catalog_;
  QString fixedDevice_;
  int portNumber_ = 1;
  QtSerialLink link_;
  QtClock clock_;
  ConsolePrompts prompts_;
  ConsoleSink sink_;
  bool interrupted_ = false;
};

/// The RS-485 format stored in the image (bytes 18 to 25) as a settings
/// string, "9600,N,8,1" for the defaults.
QString DeviceFormatOf(const ParameterImage& image);
