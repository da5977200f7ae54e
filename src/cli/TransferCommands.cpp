// read, write, reset, log and detect: one engine transaction each.
#include "CliFiles.h"
#include "CliOptions.h"
#include "Commands.h"
#include "ConsoleStreams.h"
#include "LinkSession.h"
#include "image/Defaults.h"
#include "image/Identity.h"
#include "image/ParameterImage.h"

int Transact(const CliOptions& options, ParameterImage& image, TransactionEngine::Kind kind,
             const QString& what, const std::function<void()>& onSuccess) {
  LinkSession session(options);
  QString error;
  if (!session.ResolvePort(&error)) {
    PrintError(error);
    return kExitUsage;
  }
  TransactionEngine engine(session.Link(), session.ClockSource(), session.Prompts(), session.Sink(),
                           image);
  engine.SetPortNumber(session.PortNumber());
  engine.SetLinkSettings(session.LinkFormat(image));
  engine.SetLanguageEnglish(options.english);
  if (options.service) engine.SetServiceTransfer(true, true);
  if (options.hasAdjust) {
    engine.SetAdjustMode(true);
    image.SetByte(ParameterImage::kAdjustByte, static_cast<uint8_t>(options.adjust));
  }
  if (!session.Run(engine, kind)) {
    PrintError(session.FailureReason(what));
    return kExitFailure;
  }
  if (onSuccess) onSuccess();
  return kExitSuccess;
}

namespace {

ParameterImage DefaultImage() {
  ParameterImage image;
  LoadDefaults(image);
  return image;
}

/// The image a command works on: the defaults, or the -i file (whose RS-485
/// format becomes the default link format). False after printing why not.
bool WorkImage(const CliOptions& options, ParameterImage* image) {
  *image = DefaultImage();
  return options.input.isEmpty() || CliFiles::Open(options.input, image);
}

}  // namespace

void PrintError(const QString& reason) {
  ConsoleStreams::WriteLine(stderr, QStringLiteral("tr5906ctl: %1").arg(reason));
}

int RunRead(const CliOptions& options) {
  // Where the image goes is checked before the terminal is touched.
  const int checked = CliFiles::CheckOutput(options.output, options.force);
  if (checked != kExitSuccess) return checked;
  ParameterImage image = DefaultImage();
  ConsoleSink sink(options.output == QLatin1String("-") ? stderr : stdout, options.english);
  int status = Transact(options, image, TransactionEngine::Kind::Read, QStringLiteral("read"),
                        [&image, &sink] {
                          const QStringList lines = Identity::Lines(image);
                          for (const QString& line : lines) sink.AddMessage(line);
                        });
  if (status != kExitSuccess) return status;
  return CliFiles::Save(options.output, image) ? kExitSuccess : kExitFailure;
}

int RunWrite(const CliOptions& options) {
  ParameterImage image;
  if (!WorkImage(options, &image)) return kExitFailure;
  const int status =
      Transact(options, image, TransactionEngine::Kind::Write, QStringLiteral("write"));
  if (status != kExitSuccess || !options.verify) return status;
  return VerifyImage(options, image);
}

int RunReset(const CliOptions& options) {
  ParameterImage image = DefaultImage();
  return Transact(options, image, TransactionEngine::Kind::Reset, QStringLiteral("reset"));
}

int RunLog(const CliOptions& options) {
  ParameterImage image = DefaultImage();
  return Transact(options, image, TransactionEngine::Kind::Log, QStringLiteral("core log"));
}

int RunVerify(const CliOptions& options) {
  ParameterImage image;
  if (!WorkImage(options, &image)) return kExitFailure;
  if (options.hasAdjust)
    image.SetByte(ParameterImage::kAdjustByte, static_cast<uint8_t>(options.adjust));
  return VerifyImage(options, image);
}

int RunDetect(const CliOptions& options) {
  ParameterImage image = DefaultImage();
  return Transact(options, image, TransactionEngine::Kind::Detect,
                  QStringLiteral("format detection"));
}
