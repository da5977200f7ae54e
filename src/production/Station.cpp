#include "production/Station.h"

#include "image/Identity.h"
#include "image/ParameterImage.h"
#include "link/Clock.h"
#include "link/Frame.h"
#include "link/ReadBackCheck.h"
#include "link/SerialLink.h"
#include "link/TransactionEngine.h"
#include "production/ProgressSink.h"
#include "production/QuietPrompts.h"
#include "update/FirmwareTransfer.h"

#include <QCryptographicHash>
#include <QStringList>

#include <algorithm>

namespace {

QString AfterColon(const QString& line) { return line.mid(line.indexOf(QLatin1Char(':')) + 1); }

}  // namespace

struct Station::Private {
  Private(SerialLink& l, Clock& c, RecordStore& s, const ParameterImage& cfg,
          const FirmwareImage* fw, Settings set)
      : link(l),
        clock(c),
        store(s),
        config(cfg),
        firmware(fw),
        settings(std::move(set)),
        reader(l, c, prompts, sink, terminal),
        writer(l, c, prompts, sink, work),
        check(l, c, prompts, sink),
        probe(c.CreateTimer()),
        retry(c.CreateTimer()) {}

  SerialLink& link;
  Clock& clock;
  RecordStore& store;
  const ParameterImage& config;
  const FirmwareImage* firmware;
  Settings settings;

  QuietPrompts prompts;
  ProgressSink sink;
  ParameterImage terminal;  ///< what the terminal holds, as read
  ParameterImage work;      ///< the configuration with the unit's number
  TransactionEngine reader;
  TransactionEngine writer;
  ReadBackCheck check;
  std::unique_ptr<FirmwareTransfer> transfer;
  std::unique_ptr<Timer> probe;
  std::unique_ptr<Timer> retry;        ///< the next try at a locked database
  void (Private::*again)() = nullptr;  ///< what the retry tries

  Status status;
  bool stopping = false;
  bool finishedReported = false;
  int passed = 0;
  int failed = 0;
  bool probeAnswered = false;
  std::chrono::steady_clock::time_point unitStart;
  std::chrono::steady_clock::time_point restartStart;
  std::chrono::steady_clock::time_point waitStart;  ///< of the database step under way
  std::chrono::steady_clock::time_point stopAt;
  bool updated = false;  ///< this unit's firmware update has run
  /// The number's fate follows the unit (used when it passes, void when it
  /// fails): a number taken for it, or a taken one it came back holding. A
  /// number already in service stays used whatever happens to the unit.
  bool numberFollows = false;
  RecordStore::Unit unit;

  std::function<void(const Status&)> onStatus;
  std::function<void(const RecordStore::Unit&)> onUnit;
  std::function<void()> onFinished;

  void Enter(Step step, int percent = 0) {
    status.step = step;
    status.percent = percent;
    if (onStatus) onStatus(status);
  }

  // Waiting for a terminal (and, with loop, for it to go away).
  void StartProbing(Step step);
  void SendProbe();
  void OnProbeAnswer();
  void OnProbeTick();

  // One unit.
  void BeginUnit();
  void ReadIdentity();
  void OnIdentity(bool ok);
  void UpdateFirmware();
  void ChooseSerial();
  void TryChooseSerial();
  QString HeldSerial() const;
  void TakeSerial();
  void Write();
  void Verify();
  void Fail(Step step, const QString& reason);
  void Record(bool passed, Step step, const QString& reason);
  void TryRecord();
  bool RetryLater(void (Private::*attempt)());
  void AfterUnit();
  void Finish();
  QString Reason() const;
};

// ---------------------------------------------------------------------------
// Waiting

void Station::Private::StartProbing(Step step) {
  Enter(step);
  probeAnswered = false;
  SendProbe();
}

void Station::Private::SendProbe() {
  link.SetReceiveHandler([this] { OnProbeAnswer(); });
  link.SetLostHandler([](const QString&) {});
  if (!link.IsOpen()) {
    link.SetPort(settings.portNumber);
    link.SetSettings(settings.linkSettings);
    link.SetThreshold(Frame::Probe().answerLength);
    // An adapter that is not there yet is tried again next second; meanwhile
    // the status says why it does not open.
    const QString problem = link.Open() ? QString() : link.ErrorString();
    if (problem != status.problem) {
      status.problem = problem;
      Enter(status.step, status.percent);
    }
  }
  link.ReadAll();
  if (link.IsOpen()) link.Write(Frame::Probe().bytes);
  probe->Start(settings.probeInterval);
}

void Station::Private::OnProbeAnswer() {
  link.ReadAll();  // any answer means a terminal is there (one in a session answers "LBTW")
  probeAnswered = true;
  if (status.step == Step::Wait) {
    probe->Stop();
    link.SetReceiveHandler(nullptr);
    link.Close();
    BeginUnit();
  }
}

void Station::Private::OnProbeTick() {
  if (stopping) return Finish();
  if (status.step == Step::Removal && !probeAnswered) {
    link.Close();
    return StartProbing(Step::Wait);
  }
  if (status.step == Step::Restart) {
    if (probeAnswered) {
      probe->Stop();
      link.Close();
      return ReadIdentity();
    }
    if (clock.Now() - restartStart > settings.restartLimit)
      return Fail(Step::Restart, QStringLiteral("the application did not answer after the update"));
  }
  probeAnswered = false;
  SendProbe();
}

// ---------------------------------------------------------------------------
// One unit

void Station::Private::BeginUnit() {
  unitStart = clock.Now();
  unit = RecordStore::Unit{};
  unit.station = settings.station;
  unit.port = settings.port;
  updated = false;
  numberFollows = false;
  status.serial.clear();
  prompts.said.clear();
  ReadIdentity();
}

void Station::Private::ReadIdentity() {
  Enter(Step::Identity);
  terminal.Clear();
  sink.last.clear();
  reader.SetServiceTransfer(true, false);  // the serial number comes with the service read
  reader.SetFinishedHandler([this](TransactionEngine::Kind, bool ok) { OnIdentity(ok); });
  if (!reader.StartRead()) Fail(Step::Identity, QStringLiteral("the port is busy"));
}

void Station::Private::OnIdentity(bool ok) {
  if (!ok) return Fail(Step::Identity, Reason());
  if (stopping) return Fail(Step::Identity, QStringLiteral("interrupted"));
  const QString line = AfterColon(Identity::FirmwareLine(terminal));
  if (!updated) {
    unit.firmwareBefore = line;
    unit.firmwareAfter = line;
  } else {
    unit.firmwareAfter = line;
  }
  if (firmware != nullptr && !updated) return UpdateFirmware();
  if (updated && line == unit.firmwareBefore)
    return Fail(Step::Firmware,
                QStringLiteral("the terminal still runs %1 after the update").arg(line));
  if (!settings.expectFirmware.isEmpty() && line != settings.expectFirmware)
    return Fail(Step::Firmware, QStringLiteral("the terminal runs %1, not %2 (--expect-firmware)")
                                    .arg(line, settings.expectFirmware));
  ChooseSerial();
}

void Station::Private::UpdateFirmware() {
  Enter(Step::Firmware);
  updated = true;
  transfer = std::make_unique<FirmwareTransfer>(link, clock, prompts, sink, *firmware);
  transfer->SetPortNumber(settings.portNumber);
  transfer->SetLinkSettings(settings.linkSettings);
  transfer->SetProgressHandler([this](double fraction, const QString&) {
    const int percent = static_cast<int>(fraction * 100);
    if (percent != status.percent) Enter(Step::Firmware, percent);
  });
  transfer->SetFinishedHandler([this](bool ok) {
    if (!ok) return Fail(Step::Firmware, Reason());
    if (stopping) return Fail(Step::Firmware, QStringLiteral("interrupted"));
    restartStart = clock.Now();
    StartProbing(Step::Restart);
  });
  if (!transfer->Start()) Fail(Step::Firmware, QStringLiteral("the port is busy"));
}

void Station::Private::ChooseSerial() {
  Enter(Step::Serial);
  waitStart = clock.Now();
  unit.serialBefore = HeldSerial();
  TryChooseSerial();
}

QString Station::Private::HeldSerial() const {
  const QByteArray held =
      terminal.Bytes(ParameterImage::kSerialNumberByte, ParameterImage::kSerialNumberLength);
  const QString text =
      QString::fromLatin1(held.left(held.indexOf('\0') < 0 ? held.size() : held.indexOf('\0')));
  return SerialNumbers::IsValid(text) ? text : QString();
}

void Station::Private::TryChooseSerial() {
  if (stopping) return Fail(Step::Serial, QStringLiteral("interrupted"));
  const QString held = unit.serialBefore;
  if (held.isEmpty()) return TakeSerial();
  RecordStore::Claim claim;
  QString error;
  if (!store.ClaimSerial(held, settings.station, settings.port, &claim, &error)) {
    if (!RetryLater(&Private::TryChooseSerial)) Fail(Step::Serial, error);
    return;
  }
  using State = RecordStore::SerialState;
  if (claim.state == State::Void) return TakeSerial();  // a unit that failed before
  if (!claim.holder.isEmpty() || claim.state == State::Unknown) {
    if (settings.renumber) return TakeSerial();
    if (claim.state == State::Unknown)
      return Fail(Step::Serial, QStringLiteral("the terminal holds %1, a number the record does "
                                               "not know (--renumber gives it a new one)")
                                    .arg(held));
    return Fail(Step::Serial,
                QStringLiteral("%1 is being worked on at %2").arg(held, claim.holder));
  }
  // A reworked unit keeps its number; so does one that came back holding a
  // number taken for it by a run that never finished it.
  numberFollows = claim.state == State::Taken;
  unit.serial = held;
  status.serial = held;
  Write();
}

void Station::Private::TakeSerial() {
  if (stopping) return Fail(Step::Serial, QStringLiteral("interrupted"));
  QString serial;
  QString error;
  if (!store.TakeSerial(settings.station, settings.port, &serial, &error)) {
    if (!RetryLater(&Private::TakeSerial)) Fail(Step::Serial, error);
    return;
  }
  numberFollows = true;
  unit.serial = serial;
  status.serial = serial;
  Write();
}

bool Station::Private::RetryLater(void (Private::*attempt)()) {
  auto limit = waitStart + settings.databaseLimit;
  if (stopping) limit = std::min(limit, stopAt + settings.stopLimit);
  if (!store.Busy() || clock.Now() + settings.databaseRetry > limit) return false;
  again = attempt;
  retry->Start(settings.databaseRetry);
  return true;
}

void Station::Private::Write() {
  Enter(Step::Write);
  work = config;
  QString problem;
  if (settings.imageFor && !settings.imageFor(unit.serial, &work, &problem))
    return Fail(Step::Write, problem);
  const QByteArray number =
      unit.serial.toLatin1().leftJustified(ParameterImage::kSerialNumberLength, '\0', true);
  work.Store(ParameterImage::kSerialNumberByte,
             reinterpret_cast<const uint8_t*>(number.constData()), int(number.size()));
  ParameterImage written = work;  // as a configuration file of it would hold it
  written.StampValidMarker();
  unit.configSha256 = QString::fromLatin1(
      QCryptographicHash::hash(written.Bytes(0, ParameterImage::kSize), QCryptographicHash::Sha256)
          .toHex());
  sink.last.clear();
  prompts.said.clear();
  writer.SetPortNumber(settings.portNumber);
  writer.SetLinkSettings(settings.linkSettings);
  writer.SetServiceTransfer(true, true);
  writer.SetFinishedHandler([this](TransactionEngine::Kind, bool ok) {
    if (!ok) return Fail(Step::Write, Reason());
    if (stopping) return Fail(Step::Write, QStringLiteral("interrupted"));
    Verify();
  });
  if (!writer.StartWrite()) Fail(Step::Write, QStringLiteral("the port is busy"));
}

void Station::Private::Verify() {
  Enter(Step::Verify);
  sink.last.clear();
  check.Engine().SetPortNumber(settings.portNumber);
  check.Engine().SetLinkSettings(settings.linkSettings);
  check.SetFinishedHandler([this](bool ok, const std::vector<FieldDifference>& differences) {
    if (!ok) return Fail(Step::Verify, Reason());
    if (!differences.empty()) {
      QStringList lines;
      for (const FieldDifference& d : differences) lines << ReadBackCheck::Line(d);
      return Fail(Step::Verify, lines.join(QStringLiteral("; ")));
    }
    Record(true, Step::Done, QString());
  });
  if (!check.Start(work, ReadBackCheck::Scope{false, true, true}))
    Fail(Step::Verify, QStringLiteral("the port is busy"));
}

QString Station::Private::Reason() const {
  if (stopping) return QStringLiteral("interrupted");
  if (!link.ErrorString().isEmpty() && !prompts.said.isEmpty())
    return prompts.said + QStringLiteral(" (") + link.ErrorString() + QLatin1Char(')');
  if (!prompts.said.isEmpty()) return prompts.said;
  return sink.last.isEmpty() ? QStringLiteral("no answer") : sink.last;
}

void Station::Private::Fail(Step step, const QString& reason) { Record(false, step, reason); }

void Station::Private::Record(bool ok, Step step, const QString& reason) {
  probe->Stop();
  if (link.IsOpen()) link.Close();
  Enter(Step::Record, 100);
  unit.passed = ok;
  unit.step = ok ? QString() : StepName(step);
  unit.reason = reason;
  unit.seconds = std::chrono::duration<double>(clock.Now() - unitStart).count();
  unit.firmwareSha256 = updated ? settings.firmwareSha256 : QString();
  unit.program = settings.program;
  waitStart = clock.Now();
  TryRecord();
}

void Station::Private::TryRecord() {
  if (stopping && unit.passed) {  // not recorded as passed yet: the unit is cut short
    unit.passed = false;
    unit.step = StepName(Step::Record);
    unit.reason = QStringLiteral("interrupted");
  }
  unit.time = QDateTime::currentDateTimeUtc();
  using State = RecordStore::SerialState;
  const State fate = !numberFollows ? State::Unknown : unit.passed ? State::Used : State::Void;
  QString error;
  if (!store.FinishUnit(unit, fate, &error)) {
    if (RetryLater(&Private::TryRecord)) return;
    // Nothing was written: the number stays taken and claimed by this port,
    // and the unit is not a pass.
    if (unit.passed) {
      unit.passed = false;
      unit.step = StepName(Step::Record);
      unit.reason = error;
    } else {
      unit.reason += QStringLiteral(" (not recorded: %1)").arg(error);
    }
  }
  (unit.passed ? passed : failed) += 1;
  if (onUnit) onUnit(unit);
  AfterUnit();
}

void Station::Private::AfterUnit() {
  if (stopping || !settings.loop) return Finish();
  StartProbing(Step::Removal);
}

void Station::Private::Finish() {
  probe->Stop();
  retry->Stop();
  link.SetReceiveHandler(nullptr);
  if (link.IsOpen()) link.Close();
  if (finishedReported) return;
  finishedReported = true;
  Enter(Step::Done, status.percent);
  if (onFinished) onFinished();
}

// ---------------------------------------------------------------------------

Station::Station(SerialLink& link, Clock& clock, RecordStore& store, const ParameterImage& config,
                 const FirmwareImage* firmware, Settings settings)
    : d_(std::make_unique<Private>(link, clock, store, config, firmware, std::move(settings))) {
  d_->status.port = d_->settings.port;
  for (TransactionEngine* engine : {&d_->reader, &d_->writer, &d_->check.Engine()}) {
    engine->SetPortNumber(d_->settings.portNumber);
    engine->SetLinkSettings(d_->settings.linkSettings);
  }
  d_->probe->SetTickHandler([this] { d_->OnProbeTick(); });
  d_->retry->SetTickHandler([this] { (d_.get()->*d_->again)(); });
  d_->sink.onPercent = [this](int percent) {
    if (percent != d_->status.percent) d_->Enter(d_->status.step, percent);
  };
}

Station::~Station() {
  d_->probe->Stop();
  d_->retry->Stop();
  if (d_->status.step == Step::Wait || d_->status.step == Step::Removal ||
      d_->status.step == Step::Restart)
    d_->link.SetReceiveHandler(nullptr);
}

void Station::Start() { d_->StartProbing(Step::Wait); }

void Station::Stop() {
  if (d_->stopping || d_->finishedReported) return;
  d_->stopping = true;
  d_->stopAt = d_->clock.Now();
  switch (d_->status.step) {
    case Step::Wait:
    case Step::Removal:
      return d_->Finish();
    case Step::Restart:
      return d_->Fail(Step::Restart, QStringLiteral("interrupted"));
    case Step::Identity:
      return d_->reader.Cancel();
    case Step::Firmware:
      // A cancelled transfer does not report its end: the unit ends here.
      if (d_->transfer) d_->transfer->Cancel();
      return d_->Fail(Step::Firmware, QStringLiteral("interrupted"));
    case Step::Write:
      return d_->writer.Cancel();
    case Step::Verify:
      return d_->check.Cancel();
    case Step::Serial:
    case Step::Record:
      // Waiting for a locked database: try (or give up) now.
      if (!d_->retry->IsActive()) return;
      d_->retry->Stop();
      return (d_.get()->*d_->again)();
    case Step::Done:
      return;
  }
}

bool Station::Finished() const { return d_->finishedReported; }
int Station::Passed() const { return d_->passed; }
int Station::Failed() const { return d_->failed; }
const Station::Status& Station::CurrentStatus() const { return d_->status; }

QString Station::StepName(Step step) {
  switch (step) {
    case Step::Wait:
      return QStringLiteral("wait");
    case Step::Identity:
      return QStringLiteral("identity");
    case Step::Firmware:
      return QStringLiteral("firmware");
    case Step::Restart:
      return QStringLiteral("restart");
    case Step::Serial:
      return QStringLiteral("serial");
    case Step::Write:
      return QStringLiteral("write");
    case Step::Verify:
      return QStringLiteral("verify");
    case Step::Record:
      return QStringLiteral("record");
    case Step::Removal:
      return QStringLiteral("removal");
    case Step::Done:
      break;
  }
  return QStringLiteral("done");
}

void Station::SetStatusHandler(std::function<void(const Status&)> handler) {
  d_->onStatus = std::move(handler);
}
void Station::SetUnitHandler(std::function<void(const RecordStore::Unit&)> handler) {
  d_->onUnit = std::move(handler);
}
void Station::SetFinishedHandler(std::function<void()> handler) {
  d_->onFinished = std::move(handler);
}
