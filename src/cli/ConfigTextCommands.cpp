// export, apply and set: the configuration as YAML text. Every key and value
// is checked, and the whole plan shown, before anything is written anywhere.
#include "CliFiles.h"
#include "CliOptions.h"
#include "Commands.h"
#include "ConsoleSink.h"
#include "ConsoleStreams.h"
#include "LinkSession.h"
#include "image/Defaults.h"
#include "image/FieldTable.h"
#include "image/ParameterImage.h"
#include "text/ConfigApply.h"
#include "text/ConfigExport.h"
#include "text/ConfigPlan.h"
#include "text/ConfigReader.h"

#include <cstring>

namespace {

const QString kStandard = QStringLiteral("-");

/// The bytes a write sends: the option block, and with the service transfer
/// the production serial number and the extended block.
constexpr int kOptionBlockEnd = 256;
constexpr int kExtendedEnd = ParameterImage::kExtendedBase + 2048;

bool InOptionBlock(int offset) { return offset < kOptionBlockEnd; }

bool WrittenWithService(int offset) {
  return (offset >= ParameterImage::kSerialNumberByte &&
          offset < ParameterImage::kSerialNumberByte + ParameterImage::kSerialNumberLength) ||
         (offset >= ParameterImage::kExtendedBase && offset < kExtendedEnd);
}

ParameterImage Defaults() {
  ParameterImage image;
  LoadDefaults(image);
  return image;
}

/// The options of a transfer with the terminal: at the format the read
/// used (the terminal's, whatever the new values say), with the service
/// transfer when asked.
CliOptions TransferOptions(const CliOptions& options, bool service) {
  CliOptions transfer = options;
  if (transfer.link.isEmpty()) transfer.link = DeviceFormatOf(Defaults());
  transfer.service = service;
  return transfer;
}

}  // namespace

int RefuseText(const QStringList& lines, const QString& what) {
  for (const QString& line : lines) ConsoleStreams::WriteLine(stderr, line);
  PrintError(QStringLiteral("%1 refused (%2 error%3): nothing was written")
                 .arg(what)
                 .arg(lines.size())
                 .arg(lines.size() == 1 ? QString() : QStringLiteral("s")));
  return kExitUsage;
}

namespace {

/// Whether the changes set any byte beyond the option block: applied onto
/// all-zero and all-one images, such a byte comes out changed in one of them.
bool BeyondOptionBlock(const ConfigChanges& changes) {
  ParameterImage zeros;
  ParameterImage ones;
  std::memset(ones.Data(), 0xFF, ParameterImage::kSize);
  const ParameterImage zerosAfter = ConfigApply::Apply(zeros, changes).image;
  const ParameterImage onesAfter = ConfigApply::Apply(ones, changes).image;
  for (int i = kOptionBlockEnd; i < ParameterImage::kSize; ++i)
    if (zerosAfter.Byte(i) != 0x00 || onesAfter.Byte(i) != 0xFF) return true;
  return false;
}

/// What the changes go onto: --base, --defaults, or the terminal read (with
/// its service block when the changes reach beyond the option block).
/// Returns the exit status.
int LoadBase(const CliOptions& options, const ConfigChanges& changes, ParameterImage* base) {
  *base = Defaults();
  if (!options.base.isEmpty())
    return CliFiles::Open(options.base, base) ? kExitSuccess : kExitUsage;
  if (options.port.isEmpty()) return kExitSuccess;
  return Transact(TransferOptions(options, BeyondOptionBlock(changes)), *base,
                  TransactionEngine::Kind::Read, QStringLiteral("read"));
}

/// The fields, and the bytes no field names ("bytes 300 to 310"), that
/// change where a write does not reach.
QStringList Unwritable(const ParameterImage& before, const ParameterImage& after) {
  QStringList names;
  int runStart = -1;
  for (int i = 0; i <= ParameterImage::kSize; ++i) {
    const bool beyond = i < ParameterImage::kSize && before.Byte(i) != after.Byte(i) &&
                        !InOptionBlock(i) && !WrittenWithService(i);
    const Field* named = nullptr;
    for (const Field& field : FieldTable::Fields())
      if (beyond && i >= field.byte && i < field.byte + field.length) named = &field;
    if (runStart >= 0 && (!beyond || named)) {  // a run of unnamed bytes ends before i
      names << (runStart == i - 1 ? QStringLiteral("byte %1").arg(runStart)
                                  : QStringLiteral("bytes %1 to %2").arg(runStart).arg(i - 1));
      runStart = -1;
    }
    if (named && !names.contains(QString::fromLatin1(named->name)))
      names << QString::fromLatin1(named->name);
    if (beyond && !named && runStart < 0) runStart = i;
  }
  return names;
}

/// Applies checked changes as apply and set do; `what` names them.
int ApplyChecked(const CliOptions& options, const ConfigCheck& check, const QString& what) {
  if (!check.Ok()) return RefuseText(check.Lines(what), what);
  if (!options.output.isEmpty()) {
    const int checked = CliFiles::CheckOutput(options.output, options.force);
    if (checked != kExitSuccess) return checked;
  }
  ParameterImage before;
  const int loaded = LoadBase(options, check.changes, &before);
  if (loaded != kExitSuccess) return loaded;
  ParameterImage after = ConfigApply::Apply(before, check.changes).image;

  ConsoleSink out(options.output == kStandard ? stderr : stdout);
  const QStringList plan = ConfigPlan::Lines(before, after);
  for (const QString& line : plan) out.AddMessage(line);
  if (plan.isEmpty()) out.AddMessage(QStringLiteral("nothing changes"));
  bool service = false;
  if (!options.port.isEmpty()) {
    const QStringList beyond = Unwritable(before, after);
    if (!beyond.isEmpty()) {
      PrintError(QStringLiteral("%1 changes what a write cannot send to the terminal: %2 (apply it "
                                "to a file with --base and -o); nothing was written")
                     .arg(what, beyond.join(QStringLiteral(", "))));
      return kExitUsage;
    }
    for (int i = kOptionBlockEnd; i < ParameterImage::kSize && !service; ++i)
      service = before.Byte(i) != after.Byte(i);
    if (!plan.isEmpty())
      out.AddMessage(service ? QStringLiteral("write: the option block, the serial number and the "
                                              "extended block (service transfer)")
                             : QStringLiteral("write: the option block"));
  }
  if (options.dryRun) return kExitSuccess;

  if (!options.port.isEmpty() && !plan.isEmpty()) {
    const CliOptions transfer = TransferOptions(options, service);
    ParameterImage written = after;
    if (Transact(transfer, written, TransactionEngine::Kind::Write, QStringLiteral("write")) !=
        kExitSuccess) {
      PrintError(
          QStringLiteral("the terminal may now hold only part of the new values: run the "
                         "command again once it answers"));
      return kExitFailure;
    }
    if (!options.noVerify && VerifyImage(transfer, after) != kExitSuccess) return kExitFailure;
  }
  if (!options.output.isEmpty() && !CliFiles::Save(options.output, after)) return kExitFailure;
  return kExitSuccess;
}

}  // namespace

int RunExport(const CliOptions& options) {
  const int checked = CliFiles::CheckOutput(options.output, options.force, true);
  if (checked != kExitSuccess) return checked;
  ParameterImage image = Defaults();
  ConfigExport::Options text;
  text.all = options.all;
  if (options.defaults) {
    text.source = QStringLiteral("the defaults");
  } else if (options.port.isEmpty()) {
    if (!CliFiles::Open(options.input, &image)) return kExitFailure;
    text.source = options.input == kStandard ? QStringLiteral("standard input") : options.input;
  } else {
    const int read = Transact(TransferOptions(options, true), image, TransactionEngine::Kind::Read,
                              QStringLiteral("read"));
    if (read != kExitSuccess) return read;
    text.source = QStringLiteral("terminal on %1").arg(options.port.trimmed());
  }
  return CliFiles::SaveText(options.output, ConfigExport::Export(image, text)) ? kExitSuccess
                                                                               : kExitFailure;
}

int RunApply(const CliOptions& options) {
  QByteArray text;
  if (!CliFiles::ReadText(options.input, &text)) return kExitUsage;
  const QString name =
      options.input == kStandard ? QStringLiteral("standard input") : options.input;
  return ApplyChecked(options, ConfigReader::Read(text), name);
}

int RunSet(const CliOptions& options) {
  return ApplyChecked(options, ConfigReader::ReadArguments(options.arguments),
                      QStringLiteral("set"));
}
