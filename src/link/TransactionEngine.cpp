// The engine's frame: starting transactions, SendFrame, the answer and
// time-out handlers, and the end of a transaction. The steps of each
// transfer are in TransactionEngineSteps.cpp.
#include "link/TransactionEngine.h"

#include "image/ParameterImage.h"
#include "link/FormatTable.h"
#include "link/MessageSink.h"
#include "link/Prompts.h"
#include "link/SerialLink.h"
#include "link/TransactionEngineState.h"

namespace {

constexpr int kHandshakeTries = 3;
constexpr int kProbeTries = 55;

}  // namespace

TransactionEngine::State::State(SerialLink& link_, Clock& clock_, Prompts& prompts_,
                                MessageSink& sink_, ParameterImage& image_)
    : link(link_),
      clock(clock_),
      prompts(prompts_),
      sink(sink_),
      image(image_),
      timer1(clock_.CreateTimer()),
      pause(clock_.CreateTimer()) {
  timer1->SetTickHandler([this] { OnTimeout(); });
  pause->SetTickHandler([this] {
    if (running == Kind::Detect && !done) SendFrame(Mode::Retry);
  });
}

void TransactionEngine::State::Line(const QString& text) { sink.AddMessage(text); }

QString TransactionEngine::State::TryLine() const {
  return QStringLiteral("Try(%1):%2").arg(retryCount).arg(FormatTable::At(formatIndex));
}

bool TransactionEngine::State::Start(Kind kind) {
  if (!Prepare(kind)) return false;
  if (kind == Kind::Write) image.StampValidMarker();
  if (kind == Kind::Log) {
    logLastOffset = 0;
    logLastLength = 0;
    logEnd = 0xE000;
  }
  if (kind == Kind::Detect) formatIndex = 0;
  const QString settings = kind == Kind::Detect ? FormatTable::At(0) : linkSettings;
  if (!link.SetSettings(settings)) {
    Line(QStringLiteral("串口格式无效:") + settings);
    EndFailed(kEndTick);
    return true;
  }
  BuildPlan();
  request = kind == Kind::Detect ? Frame::Probe() : Frame::Handshake();
  SendFrame(kind == Kind::Detect ? Mode::OpenDetect : Reading() ? Mode::OpenRead : Mode::OpenWrite);
  return true;
}

bool TransactionEngine::State::Prepare(Kind kind) {
  if (running != Kind::None) return false;
  running = kind;
  done = false;
  succeeded = false;
  awaitingAnswer = false;
  timeoutBusy = false;
  asking = false;
  lastKind = Frame::kNoAnswer;
  link.SetReceiveHandler([this] { OnAnswer(); });
  link.SetLostHandler([this](const QString& reason) { OnLost(reason); });
  adjustPending = adjustMode;
  if (link.IsOpen()) link.Close();
  link.SetPort(portNumber);
  retryCount = 0;
  timeoutsPerRequest.clear();
  link.SetThreshold(0);
  return true;
}

void TransactionEngine::State::SendFrame(Mode mode) {
  QString statusLine;
  awaitingAnswer = true;
  const bool opening = mode == Mode::OpenRead || mode == Mode::OpenWrite ||
                       mode == Mode::OpenDetect || mode == Mode::End;
  if (opening) {
    lastKind = Frame::kNoAnswer;
    // Everything is transferred when the end request goes: a port that is
    // gone by then is not worth a question.
    if (mode == Mode::End && !link.IsOpen()) return;
    if (!link.IsOpen() && !link.Open()) {
      prompts.Critical(english ? QStringLiteral("Please reselect COM port!")
                               : QStringLiteral("请重新选择端口！"));
      if (!done) EndFailed(kEndTick);
      return;
    }
    if (mode != Mode::End) {
      static const QString kOpening[] = {QStringLiteral("读取数据"), QStringLiteral("设置数据"),
                                         QStringLiteral("自动匹配")};
      Line(kOpening[static_cast<int>(mode)]);
      if (formatIndex >= 0 && formatIndex < FormatTable::kSize) statusLine = TryLine();
    }
    timer1->Start(kAnswerTimeout);
  } else {
    timer1->Start(kAnswerTimeout);
    clock.Sleep(kContinuePause);
    if (request.answerKind == Frame::kProbeAnswer) {
      if (link.IsOpen()) link.Close();
      link.SetSettings(FormatTable::At(formatIndex));
      Line(TryLine());
      if (!link.Open()) return PortError(link.ErrorString());
    } else if (mode == Mode::Retry) {
      request = Frame::RepeatedHandshake();
    }
    if (mode == Mode::Retry) statusLine = QStringLiteral("Retry(%1): ").arg(retryCount);
  }
  link.ReadAll();
  lastKind = request.answerKind;
  link.SetThreshold(request.answerLength);
  if (!link.Write(request.bytes)) {
    // Opening requests carry on past a failed write (the time-out repeats
    // them); within a transaction a failed write ends it.
    if (!opening && !done) return PortError(link.ErrorString());
  }
  if (!done || mode == Mode::End) {
    if (!statusLine.isEmpty()) Line(statusLine);
  }
}

void TransactionEngine::State::OnAnswer() {
  if (running == Kind::None || done || asking || pause->IsActive()) {
    // No request is waiting for these bytes (a late answer while the user
    // is asked, or during the pause after a wrong probe answer).
    link.ReadAll();
    return;
  }
  const QByteArray answer = link.ReadAll();
  awaitingAnswer = false;
  timer1->Stop();
  switch (lastKind) {
    case Frame::kProbeAnswer:
      OnProbeAnswer(answer);
      break;
    case Frame::kHandshakeAnswer:
      OnHandshakeAnswer(answer);
      break;
    case Frame::kDataAnswer:
      OnDataAnswer(answer);
      break;
    default:
      break;
  }
}

void TransactionEngine::State::OnTimeout() {
  timer1->Stop();
  if (running == Kind::None) return;
  if (done) {
    if (link.IsOpen()) link.Close();
    Finish();
    return;
  }
  if (!awaitingAnswer || timeoutBusy) return;
  timeoutBusy = true;
  ++retryCount;
  const int timeoutsOfRequest = ++timeoutsPerRequest[RequestKey()];
  if (lastKind == Frame::kProbeAnswer && retryCount < kProbeTries) {
    formatIndex = FormatTable::Advance(formatIndex);
    SendFrame(Mode::Retry);
  } else if (lastKind != Frame::kProbeAnswer && retryCount < kHandshakeTries &&
             timeoutsOfRequest < kHandshakeTries) {
    SendFrame(Mode::Retry);
  } else {
    retryCount = 0;
    timeoutsPerRequest.clear();
    asking = true;
    const bool retry =
        prompts.AskRetry(english ? QStringLiteral("Check connection!Retry or cancel?")
                                 : QStringLiteral("检测连接！重试或取消？"));
    asking = false;
    // The transaction may have ended while the question was open (the
    // device vanished, or Cancel()).
    if (!done) {
      if (retry) {
        SendFrame(Mode::Retry);
      } else {
        if (link.IsOpen()) link.Close();
        EndFailed(kEndTick);
      }
    }
  }
  timeoutBusy = false;
}

void TransactionEngine::State::OnLost(const QString& reason) {
  if (running == Kind::None || done) return;
  PortError(reason);
}

void TransactionEngine::State::PortError(const QString& reason) {
  if (done) return;  // already ended (a lost port can also fail the call that noticed it)
  if (link.IsOpen()) link.Close();
  if (running == Kind::Read || running == Kind::Log)
    Line(QStringLiteral("读取数据失败!"));
  else if (running == Kind::Write || running == Kind::Reset)
    Line(QStringLiteral("设置数据失败!"));
  Line(QStringLiteral("串口错误:") +
       (reason.isEmpty() ? QStringLiteral("the port stopped working") : reason));
  EndFailed(kEndTick);
}

void TransactionEngine::State::EndFailed(std::chrono::milliseconds tick) {
  done = true;
  succeeded = false;
  awaitingAnswer = false;
  pause->Stop();
  link.SetThreshold(0);
  timer1->Start(tick);
}

void TransactionEngine::State::EndNormally() {
  // Done before the end request goes out: a port failure now no longer
  // matters, everything has been transferred.
  done = true;
  succeeded = true;
  request = Frame::End();
  SendFrame(Mode::End);
  link.SetThreshold(0);
  awaitingAnswer = false;
  timer1->Start(kEndTick);
}

void TransactionEngine::State::Finish() {
  const Kind kind = running;
  const bool ok = succeeded;
  timer1->Stop();
  pause->Stop();
  if (link.IsOpen()) link.Close();
  switch (kind) {
    case Kind::Read:
      Line(ok ? QStringLiteral("读取成功!") : QStringLiteral("读取失败!"));
      break;
    case Kind::Log:
      Line(ok ? QStringLiteral("读取完毕!") : QStringLiteral("读取失败!"));
      break;
    case Kind::Detect:
      if (ok) {
        Line(QStringLiteral("自动匹配成功,匹配格式为:") + FormatTable::At(formatIndex));
      } else {
        // The link format did not change; its position must not either.
        formatIndex = FormatTable::IndexOf(linkSettings);
        Line(QStringLiteral("自动匹配失败,请重新自动匹配或手动匹配!"));
      }
      break;
    default:
      break;
  }
  running = Kind::None;
  link.SetReceiveHandler(nullptr);
  link.SetLostHandler(nullptr);
  if (finished) finished(kind, ok);
}

// ---------------------------------------------------------------------------

TransactionEngine::TransactionEngine(SerialLink& link, Clock& clock, Prompts& prompts,
                                     MessageSink& sink, ParameterImage& image)
    : d_(std::make_unique<State>(link, clock, prompts, sink, image)) {
  d_->formatIndex = FormatTable::IndexOf(d_->linkSettings);
}

TransactionEngine::~TransactionEngine() {
  d_->timer1->Stop();
  d_->pause->Stop();
  if (d_->running != Kind::None) {
    if (d_->link.IsOpen()) d_->link.Close();
    d_->link.SetReceiveHandler(nullptr);
    d_->link.SetLostHandler(nullptr);
  }
}

void TransactionEngine::SetPortNumber(int port) { d_->portNumber = port; }
int TransactionEngine::PortNumber() const { return d_->portNumber; }

void TransactionEngine::SetLinkSettings(const QString& settings) {
  d_->linkSettings = settings;
  d_->formatIndex = FormatTable::IndexOf(settings);
}
QString TransactionEngine::LinkSettings() const { return d_->linkSettings; }
int TransactionEngine::FormatIndex() const { return d_->formatIndex; }

void TransactionEngine::SameAsDevice(const QString& deviceFormat) {
  SetLinkSettings(deviceFormat);
  d_->Line(LinkFormatLine(deviceFormat, d_->image));
}

QString TransactionEngine::LinkFormatLine(const QString& settings, const ParameterImage& image) {
  const auto hex = [&image](int index) { return QString::number(image.Byte(index), 16).toUpper(); };
  return QStringLiteral("软件串口格式为:%1(%2 %3 %4)").arg(settings, hex(2), hex(3), hex(6));
}

void TransactionEngine::SetAdjustMode(bool on) { d_->adjustMode = on; }
bool TransactionEngine::AdjustMode() const { return d_->adjustMode; }
void TransactionEngine::SetLanguageEnglish(bool english) { d_->english = english; }

void TransactionEngine::SetServiceTransfer(bool enabled, bool serialNumber) {
  d_->service = enabled;
  d_->serviceSerialNumber = enabled && serialNumber;
}

void TransactionEngine::SetReadAdjustByte(bool on) { d_->readAdjustByte = on; }

void TransactionEngine::SetReadTarget(ParameterImage* target) { d_->readTarget = target; }

bool TransactionEngine::StartRead() { return d_->Start(Kind::Read); }
bool TransactionEngine::StartWrite() { return d_->Start(Kind::Write); }
bool TransactionEngine::StartReset() { return d_->Start(Kind::Reset); }
bool TransactionEngine::StartLog() { return d_->Start(Kind::Log); }
bool TransactionEngine::StartDetect() { return d_->Start(Kind::Detect); }

void TransactionEngine::Cancel() {
  if (d_->running == Kind::None || d_->done) return;
  if (d_->link.IsOpen()) d_->link.Close();
  d_->EndFailed(State::kEndTick);
}

bool TransactionEngine::Busy() const { return d_->running != Kind::None; }
TransactionEngine::Kind TransactionEngine::Running() const { return d_->running; }
bool TransactionEngine::OperationSucceeded() const { return d_->succeeded; }

void TransactionEngine::SetFinishedHandler(std::function<void(Kind, bool)> handler) {
  d_->finished = std::move(handler);
}
