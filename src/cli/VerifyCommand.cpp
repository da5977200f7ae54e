// verify (and write --verify): the terminal read back into an image of its
// own and compared with what the write sends.
#include "CliOptions.h"
#include "Commands.h"
#include "LinkSession.h"
#include "image/ParameterImage.h"
#include "link/ReadBackCheck.h"

int VerifyImage(const CliOptions& options, const ParameterImage& written) {
  LinkSession session(options);
  QString error;
  if (!session.ResolvePort(&error)) {
    PrintError(error);
    return kExitUsage;
  }
  ReadBackCheck check(session.Link(), session.ClockSource(), session.Prompts(), session.Sink());
  check.Engine().SetPortNumber(session.PortNumber());
  check.Engine().SetLinkSettings(session.LinkFormat(written));
  check.Engine().SetLanguageEnglish(options.english);
  const ReadBackCheck::Scope scope{options.hasAdjust, options.service, options.service};
  const bool readOk = session.RunUntilDone(
      [&](std::function<void(bool)> done) {
        check.SetFinishedHandler(
            [done](bool readOk, const std::vector<FieldDifference>&) { done(readOk); });
        return check.Start(written, scope);
      },
      [&check] {
        check.Cancel();
        return false;
      });
  if (!readOk) {
    PrintError(session.FailureReason(QStringLiteral("verify")));
    return kExitFailure;
  }
  for (const FieldDifference& d : check.Differences())
    session.Sink().AddMessage(ReadBackCheck::Line(d));
  const size_t count = check.Differences().size();
  if (!check.Passed()) {
    PrintError(
        QStringLiteral("verify failed on %1: %2 differ%3 from the file")
            .arg(session.PortName(),
                 count == 1 ? QStringLiteral("1 field") : QStringLiteral("%1 fields").arg(count),
                 count == 1 ? QStringLiteral("s") : QString()));
    return kExitFailure;
  }
  session.Sink().AddMessage(QStringLiteral("verified: the terminal holds what the file writes"));
  return kExitSuccess;
}
