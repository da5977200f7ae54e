#include "production/Station.h"

#include "image/Identity.h"
#include "image/ParameterImage.h"
#include "link/Clock.h"
#include "link/Frame.h"
#include "link/MessageSink.h"
#include "link/Prompts.h"
#include "link/ReadBackCheck.h"
#include "link/SerialLink.h"
#include "link/TransactionEngine.h"
#include "update/FirmwareTransfer.h"

#include <QStringList>

#include <algorithm>

namespace {

/// Nobody stands at a station's questions: Cancel, and keep what was said.
class QuietPrompts : public Prompts {
 public:
  void Critical(const QString& text) override { said = text; }
  void Information(const QString&) override {}
  bool AskRetry(const QString& text) override {
    said = text;
    return false;
  }
  bool AskOkCancel(const QString&) override { return false; }
  QString ChooseFile(FileMode, const QString&, const QString&, bool) override { return {}; }
  QString said;
};

/// Keeps the last line and turns percentage lines into progress.
class ProgressSink : public MessageSink {
 public:
  void AddMessage(const QString& text) override {
    if (text.endsWith(QLatin1Char('%'))) {
      bool ok = false;
      const int percent = text.chopped(1).toInt(&ok);
      if (ok && onPercent) onPercent(std::min(percent, 100));
      return;
    }
    last = text;
  }
  QString last;
  std::function<void(int)> onPercent;
};

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
        probe(c.CreateTimer()) {}

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

  Status status;
  bool stopping = false;
  bool finishedReported = false;
  int passed = 0;
  int failed = 0;
  bool probeAnswered = false;
  std::chrono::steady_clock::time_point unitStart;
  std::chrono::steady_clock::time_point restartStart;
  bool updated = false;    ///< this unit's firmware update has run
  bool newNumber = false;  ///< this unit's number was taken for it
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
  void Write();
  void Verify();
  void Fail(Step step, const QString& reason);
  void Record(bool passed, Step step, const QString& reason);
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
    link.Open();  // an adapter that is not there yet is tried again next second
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
  newNumber = false;
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
  const QByteArray held =
      terminal.Bytes(ParameterImage::kSerialNumberByte, ParameterImage::kSerialNumberLength);
  const QString current =
      QString::fromLatin1(held.left(held.indexOf('\0') < 0 ? held.size() : held.indexOf('\0')));
  const bool holdsNumber = SerialNumbers::IsValid(current);
  const RecordStore::SerialState state =
      holdsNumber ? store.StateOf(current) : RecordStore::SerialState::Unknown;
  QString serial;
  if (state == RecordStore::SerialState::Used) {
    serial = current;  // a reworked unit keeps its number
  } else {
    if (holdsNumber && state == RecordStore::SerialState::Unknown && !settings.renumber)
      return Fail(Step::Serial,
                  QStringLiteral("the terminal holds %1, a number the record does not know "
                                 "(--renumber gives it a new one)")
                      .arg(current));
    QString error;
    if (!store.TakeSerial(settings.station, settings.port, &serial, &error))
      return Fail(Step::Serial, error);
    newNumber = true;
  }
  unit.serial = serial;
  status.serial = serial;
  Write();
}

void Station::Private::Write() {
  Enter(Step::Write);
  work = config;
  const QByteArray number =
      unit.serial.toLatin1().leftJustified(ParameterImage::kSerialNumberLength, '\0', true);
  work.Store(ParameterImage::kSerialNumberByte,
             reinterpret_cast<const uint8_t*>(number.constData()), int(number.size()));
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
  unit.time = QDateTime::currentDateTimeUtc();
  unit.passed = ok;
  unit.step = ok ? QString() : StepName(step);
  unit.reason = reason;
  unit.seconds = std::chrono::duration<double>(clock.Now() - unitStart).count();
  QString error;
  if (!unit.serial.isEmpty() && newNumber)
    store.SetState(unit.serial,
                   ok ? RecordStore::SerialState::Used : RecordStore::SerialState::Void, &error);
  if (!store.AddUnit(unit, &error)) {
    unit.passed = false;
    unit.step = StepName(Step::Record);
    unit.reason = error;
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
  d_->sink.onPercent = [this](int percent) {
    if (percent != d_->status.percent) d_->Enter(d_->status.step, percent);
  };
}

Station::~Station() {
  d_->probe->Stop();
  if (d_->status.step == Step::Wait || d_->status.step == Step::Removal ||
      d_->status.step == Step::Restart)
    d_->link.SetReceiveHandler(nullptr);
}

void Station::Start() {
  // Numbers this port took before a crash were never finished.
  d_->store.VoidUnfinished(d_->settings.station, d_->settings.port);
  d_->StartProbing(Step::Wait);
}

void Station::Stop() {
  if (d_->stopping || d_->finishedReported) return;
  d_->stopping = true;
  switch (d_->status.step) {
    case Step::Wait:
    case Step::Removal:
      return d_->Finish();
    case Step::Restart:
      return d_->Fail(Step::Restart, QStringLiteral("interrupted"));
    case Step::Identity:
      return d_->reader.Cancel();
    case Step::Firmware:
      if (d_->transfer) d_->transfer->Cancel();
      return;
    case Step::Write:
      return d_->writer.Cancel();
    case Step::Verify:
      return d_->check.Cancel();
    default:
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
