// update: a firmware file through the terminal's boot loader.
#include "CliOptions.h"
#include "Commands.h"
#include "LinkSession.h"
#include "image/ConfigFile.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"
#include "update/IntelHexReader.h"

#include <memory>

namespace {

QString Hex(uint32_t address) {
  return QString::number(address, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

}  // namespace

int RunUpdate(const CliOptions& options) {
  const QString path = options.arguments.first();
  auto firmware = std::make_unique<FirmwareImage>();
  IntelHexReader reader(*firmware);
  if (!reader.ReadFile(path)) {
    PrintError(QStringLiteral("%1: %2").arg(path, reader.ErrorText()));
    return kExitFailure;
  }
  ConsoleSink sink;
  if (options.check) {
    sink.AddMessage(QStringLiteral("start 0x%1").arg(Hex(firmware->ImageStartAddress())));
    sink.AddMessage(QStringLiteral("end 0x%1").arg(Hex(firmware->ImageEndAddress())));
    sink.AddMessage(QStringLiteral("size %1").arg(firmware->DataSize()));
    return kExitSuccess;
  }

  // The application listens for the start frame at the link format.
  ParameterImage image;
  LoadDefaults(image);
  if (!options.input.isEmpty()) {
    const ConfigFile::Result opened = ConfigFile::Open(options.input, image);
    if (!opened) {
      PrintError(opened.english);
      return kExitFailure;
    }
  }
  LinkSession session(options);
  QString error;
  if (!session.ResolvePort(&error)) {
    PrintError(error);
    return kExitUsage;
  }
  FirmwareTransfer transfer(session.Link(), session.ClockSource(), session.Prompts(),
                            session.Sink(), *firmware);
  transfer.SetPortNumber(session.PortNumber());
  transfer.SetLinkSettings(session.LinkFormat(image));
  transfer.SetLanguageEnglish(options.english);
  QString lastProgress;
  transfer.SetProgressHandler([&sink, &lastProgress](double, const QString& text) {
    if (text == lastProgress) return;
    lastProgress = text;
    sink.AddMessage(text);
  });
  transfer.SetCaptionHandler([&sink](const QString& caption) { sink.AddMessage(caption); });
  const bool ok = session.RunUntilDone(
      [&transfer](std::function<void(bool)> done) {
        transfer.SetFinishedHandler(done);
        return transfer.Start();
      },
      [&transfer] { transfer.Cancel(); });
  if (!ok) {
    PrintError(session.FailureReason(QStringLiteral("firmware update")));
    return kExitFailure;
  }
  return kExitSuccess;
}
