// update: a firmware file through the terminal's boot loader.
#include "CliOptions.h"
#include "Commands.h"
#include "LinkSession.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"
#include "update/IntelHexReader.h"

#include <memory>

namespace {

using State = FirmwareTransfer::State;

QString Hex(uint32_t address) {
  return QString::number(address, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}

/// What an update cancelled in `state` has left in the flash.
QString FlashAfterCancel(State state) {
  if (state == State::Starting) return QStringLiteral("the flash was not changed");
  return QStringLiteral("the flash may now be incomplete: update again before using it");
}

}  // namespace

int RunUpdate(const CliOptions& options) {
  auto firmware = std::make_unique<FirmwareImage>();
  IntelHexReader reader(*firmware);
  if (!reader.ReadFile(options.firmware)) {
    PrintError(QStringLiteral("%1: %2").arg(options.firmware, reader.ErrorText()));
    return kExitFailure;
  }
  ConsoleSink sink(stdout, options.english);
  if (options.check) {
    sink.AddMessage(QStringLiteral("start 0x%1").arg(Hex(firmware->ImageStartAddress())));
    sink.AddMessage(QStringLiteral("end 0x%1").arg(Hex(firmware->ImageEndAddress())));
    sink.AddMessage(QStringLiteral("size %1").arg(firmware->DataSize()));
    return kExitSuccess;
  }

  // The application listens for the start frame at the link format.
  ParameterImage image;
  LoadDefaults(image);
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
  State cancelledIn = State::Idle;
  const bool ok = session.RunUntilDone(
      [&transfer](std::function<void(bool)> done) {
        transfer.SetFinishedHandler(done);
        return transfer.Start();
      },
      [&transfer, &cancelledIn] {
        // Once ended, the transfer reports its end itself; a cancelled one
        // never does.
        const State state = transfer.CurrentState();
        if (state == State::Closing || state == State::Finished) return false;
        cancelledIn = state;
        transfer.Cancel();
        return true;
      });
  if (ok) return kExitSuccess;
  QString line = session.FailureReason(QStringLiteral("firmware update"));
  if (cancelledIn != State::Idle) line += QStringLiteral(": ") + FlashAfterCancel(cancelledIn);
  PrintError(line);
  return kExitFailure;
}
