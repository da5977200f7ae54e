#include "update/FirmwareTransfer.h"

#include "link/Clock.h"
#include "link/MessageSink.h"
#include "link/Prompts.h"
#include "link/SerialLink.h"
#include "update/FirmwareImage.h"

#include <algorithm>

namespace {

constexpr char kStartFrame[] = {'U', 'P', 'D', 0x11};
constexpr int kStartAnswerLength = 4;
constexpr std::chrono::milliseconds kCloseSoon{1};
constexpr std::chrono::milliseconds kCloseAfterError{10};

const QString kCaption = QStringLiteral("更新固件");
const QString kProgressPrefix = QStringLiteral("完成进度:");
const QString kSucceededLine = QStringLiteral("升级成功！");
const QString kVersionRefused = QStringLiteral("升级版本比机器版本低！禁止升级！");
const QString kTransferFailed = QStringLiteral("读写失败,地址 = ");

// What the next answer acknowledges; Settling: nothing, the line is left to
// fall quiet after a time-out before the step is repeated.
enum class Stage { Opening, Command, DataBlock, Settling };

}  // namespace

struct FirmwareTransfer::Private {
  Private(SerialLink& l, Clock& c, Prompts& p, MessageSink& s, const FirmwareImage& i)
      : link(l), clock(c), prompts(p), sink(s), image(i), timer(c.CreateTimer()) {}

  SerialLink& link;
  Clock& clock;
  Prompts& prompts;
  MessageSink& sink;
  const FirmwareImage& image;
  std::unique_ptr<Timer> timer;

  int port = 1;
  QString linkSettings = QStringLiteral("9600,N,8,1");
  bool english = false;
  std::function<void(double, const QString&)> progress;
  std::function<void(const QString&)> caption;
  std::function<void(bool)> finished;

  QByteArray frame = QByteArray(8, '\0');  // the command frame, resent on a retry
  int frameLength = 0;
  int answerLength = 1;
  Stage nextStage = Stage::Command;
  Stage stage = Stage::Opening;
  uint32_t current = 0;
  int errorCount = 0;
  bool awaiting = false;
  bool timerBusy = false;
  bool asking = false;                  // a message box is open
  Stage settlingFrom = Stage::Command;  // the stage whose step is repeated
  bool useBootSettings = true;
  bool succeeded = false;
  State state = State::Idle;

  uint8_t FrameByte(int i) const { return static_cast<uint8_t>(frame[i]); }
  uint32_t FrameAddress() const {
    return uint32_t{FrameByte(2)} | uint32_t{FrameByte(3)} << 8 | uint32_t{FrameByte(4)} << 16 |
           uint32_t{FrameByte(5)} << 24;
  }
  void SetFrameAddress(uint32_t address) {
    for (int i = 0; i < 4; ++i) frame[2 + i] = static_cast<char>(address >> (8 * i));
  }
  void SetCommand(uint8_t command, uint32_t address, int length, State newState) {
    frame[0] = kSync;
    frame[1] = static_cast<char>(command);
    SetFrameAddress(address);
    frameLength = length;
    answerLength = 1;
    nextStage = Stage::Command;
    state = newState;
  }
  void SetWrite(int count) {
    SetCommand(kWrite, current, 7, State::Writing);
    frame[6] = static_cast<char>(count);
  }

  QString ReselectText() const {
    return english ? QStringLiteral("Please reselect COM port!")
                   : QStringLiteral("请重新选择端口！");
  }
  bool Ending() const { return state == State::Closing || state == State::Finished; }
  uint32_t FailedAddress() const { return FrameByte(1) == 'P' ? current : FrameAddress(); }

  bool ApplySettings(const QString& settings);
  void SendFrame(bool first);
  void SendDataBlock();
  void Transmit(const QByteArray& bytes);
  void OnReceive();
  void OnCommandAnswer(const QByteArray& answer);
  void OnBlockAnswer(const QByteArray& answer);
  void Refused(bool dataBlock);
  void FailAt(uint32_t address);
  void Tell(const QString& text);
  bool AskRetry();
  void Repeat();
  void OnTick();
  void OnLost();
  void ReportProgress();
  void End(bool success, std::chrono::milliseconds delay);
  void Release();
};

// The settings of an open port change by closing and opening it again.
bool FirmwareTransfer::Private::ApplySettings(const QString& settings) {
  if (link.Settings() == settings) return true;
  const bool wasOpen = link.IsOpen();
  if (wasOpen) link.Close();
  link.SetSettings(settings);
  return !wasOpen || link.Open();
}

void FirmwareTransfer::Private::SendFrame(bool first) {
  awaiting = true;
  if (frame[1] == 'P') {
    const QString settings = useBootSettings ? QString::fromLatin1(kBootSettings) : linkSettings;
    useBootSettings = !useBootSettings;
    if (!ApplySettings(settings)) {
      OnLost();
      return;
    }
  }
  if (first) {
    stage = Stage::Opening;
    if (!link.IsOpen() && !link.Open()) {
      Tell(ReselectText());
      End(false, kCloseSoon);
      return;
    }
    if (caption) caption(kCaption);
  }
  timer->Start(kAnswerTimeout);
  stage = nextStage;
  link.SetThreshold(answerLength);
  Transmit(frame.left(frameLength));
}

void FirmwareTransfer::Private::SendDataBlock() {
  const int count = FrameByte(6);
  QByteArray block = image.StoredBytes(FrameAddress(), count);
  block.append(static_cast<char>(CheckByte(block)));
  stage = nextStage;
  link.SetThreshold(answerLength);
  awaiting = true;  // a lost block answer is repeated on the time-out
  timer->Start(kAnswerTimeout);
  Transmit(block);
}

void FirmwareTransfer::Private::Transmit(const QByteArray& bytes) {
  link.ReadAll();  // a late answer to an earlier try must not count for this one
  if (!link.Write(bytes) && !Ending()) OnLost();
}

void FirmwareTransfer::Private::OnReceive() {
  const QByteArray answer = link.ReadAll();
  // While a message box is open nothing may move the transfer on: what
  // arrives then is dropped, and the step is repeated if the user says so.
  if (asking || state == State::Idle || Ending() || answer.isEmpty()) return;
  if (stage == Stage::Settling) {
    // A late answer to the step that timed out: it counts as an error, and
    // the line must be quiet for a whole guard time again before the repeat.
    if (++errorCount > kRefusalLimit) return FailAt(FailedAddress());
    timer->Start(kGuardTime);
    return;
  }
  if (answerLength == 1 && answer.size() > 1) {
    // Two answers for one frame: one of them belongs to an earlier frame, and
    // which one cannot be told. Going on could skip a refused block.
    return FailAt(FailedAddress());
  }
  awaiting = false;
  timer->Stop();
  if (stage == Stage::Command) {
    OnCommandAnswer(answer);
  } else if (stage == Stage::DataBlock) {
    OnBlockAnswer(answer);
  }
}

void FirmwareTransfer::Private::OnCommandAnswer(const QByteArray& answer) {
  if (answer[0] != kAck) {
    Refused(false);
    return;
  }
  switch (FrameByte(1)) {
    case 'P': {
      current = image.ImageStartAddress();
      const auto at = [&](int i) {
        return i < answer.size() ? static_cast<uint8_t>(answer[i]) : 0;
      };
      if (at(1) == 'U' && at(2) == 'U' && at(3) >= kStartVersion) {
        Tell(kVersionRefused);
        if (!Ending()) End(false, kCloseAfterError);
        return;
      }
      if (at(1) == 'U') {
        // The application has handed over to the boot loader, which listens
        // at its own settings after a short while.
        useBootSettings = false;
        if (!ApplySettings(QString::fromLatin1(kBootSettings))) {
          OnLost();
          return;
        }
        clock.Sleep(kSwitchPause);
        if (Ending()) return;
      }
      SetCommand(kErase, current, 6, State::Erasing);
      SendFrame(false);
      return;
    }
    case kErase:
      // The first block after an erase runs to the next 128-byte boundary.
      SetWrite(kBlockSize - static_cast<int>(current % kBlockSize));
      SendFrame(false);
      return;
    case kWrite:
      answerLength = 1;
      nextStage = Stage::DataBlock;
      SendDataBlock();
      return;
    case kGo: {
      link.Close();
      link.SetThreshold(0);
      succeeded = true;
      sink.AddMessage(kSucceededLine);
      End(true, kCloseSoon);
      return;
    }
    default:
      return;
  }
}

void FirmwareTransfer::Private::OnBlockAnswer(const QByteArray& answer) {
  if (answer[0] != kAck) {
    Refused(true);
    return;
  }
  current += FrameByte(6);
  ReportProgress();
  const uint32_t end = image.ImageEndAddress();
  if (current > end) {
    SetCommand(kGo, kApplicationAddress, 6, State::Going);
  } else if (current % kPageSize == 0) {
    SetCommand(kErase, current, 6, State::Erasing);
  } else {
    SetWrite(end - current < kBlockSize - 1 ? static_cast<int>(end - current + 1) : kBlockSize);
  }
  SendFrame(false);
}

void FirmwareTransfer::Private::Refused(bool dataBlock) {
  if (dataBlock) nextStage = Stage::Command;  // announce the block anew
  if (errorCount < kRefusalLimit) {
    ++errorCount;
    SendFrame(false);
    return;
  }
  FailAt(FailedAddress());
}

void FirmwareTransfer::Private::FailAt(uint32_t address) {
  timer->Stop();
  Tell(kTransferFailed + QStringLiteral("%1").arg(address, 8, 16, QLatin1Char('0')).toUpper());
  if (!Ending()) End(false, kCloseAfterError);
}

void FirmwareTransfer::Private::Tell(const QString& text) {
  // Every message ends the update: no time-out may repeat a step meanwhile.
  timer->Stop();
  const bool wasAsking = asking;
  asking = true;
  prompts.Critical(text);
  asking = wasAsking;
}

bool FirmwareTransfer::Private::AskRetry() {
  const bool wasAsking = asking;
  asking = true;
  const bool retry = prompts.AskRetry(english ? QStringLiteral("Check connection!Retry or cancel?")
                                              : QStringLiteral("检测连接！重试或取消？"));
  asking = wasAsking;
  return retry;
}

void FirmwareTransfer::Private::Repeat() {
  if (state == State::Starting) {
    // Start frames alternate between two formats, each opening the port
    // afresh: an answer to an earlier one never reaches a later one.
    SendFrame(false);
    return;
  }
  // An answer may still be on its way: wait until the line has been quiet
  // for the guard time, dropping whatever comes, so that no late answer is
  // taken for the repeated frame's.
  settlingFrom = stage;
  stage = Stage::Settling;
  link.ReadAll();
  timer->Start(kGuardTime);
}

void FirmwareTransfer::Private::OnTick() {
  if (state == State::Closing) {
    state = State::Finished;
    Release();
    if (finished) {
      const auto report = finished;
      report(succeeded);
    }
    return;
  }
  if (Ending() || !awaiting || timerBusy || asking) return;
  if (stage == Stage::Settling) {
    // Quiet for the guard time: the step again (a data block from its write
    // frame on).
    if (settlingFrom == Stage::DataBlock) nextStage = Stage::Command;
    SendFrame(false);
    return;
  }
  timerBusy = true;
  ++errorCount;
  if (errorCount > kTimeoutLimit) {
    errorCount = 0;
    if (!AskRetry()) {
      if (!Ending()) End(false, kCloseSoon);
      timerBusy = false;
      return;
    }
  }
  // The device may have gone while the question was open.
  if (!Ending()) Repeat();
  timerBusy = false;
}

void FirmwareTransfer::Private::OnLost() {
  if (state == State::Idle || Ending()) return;
  Tell(ReselectText());
  End(false, kCloseSoon);
}

void FirmwareTransfer::Private::ReportProgress() {
  const int64_t start = image.ImageStartAddress();
  const int64_t done = int64_t{current} - start;
  const int64_t total = int64_t{image.ImageEndAddress()} - start;
  const double fraction = total <= 0 ? 1.0 : std::min(1.0, double(done) / double(total));
  if (progress) progress(fraction, ProgressText(Percent(done, total)));
}

void FirmwareTransfer::Private::End(bool success, std::chrono::milliseconds delay) {
  if (link.IsOpen()) link.Close();
  link.SetThreshold(0);
  awaiting = false;
  succeeded = success;
  state = State::Closing;
  timer->Start(delay);
}

void FirmwareTransfer::Private::Release() {
  timer->Stop();
  link.SetReceiveHandler(nullptr);
  link.SetLostHandler(nullptr);
}

FirmwareTransfer::FirmwareTransfer(SerialLink& link, Clock& clock, Prompts& prompts,
                                   MessageSink& sink, const FirmwareImage& image)
    : d_(std::make_unique<Private>(link, clock, prompts, sink, image)) {
  d_->timer->SetTickHandler([this] { d_->OnTick(); });
}

FirmwareTransfer::~FirmwareTransfer() {
  if (Running()) Cancel();
  d_->timer->SetTickHandler(nullptr);
}

void FirmwareTransfer::SetPortNumber(int port) { d_->port = port; }
void FirmwareTransfer::SetLinkSettings(const QString& settings) { d_->linkSettings = settings; }
void FirmwareTransfer::SetLanguageEnglish(bool english) { d_->english = english; }

void FirmwareTransfer::SetProgressHandler(std::function<void(double, const QString&)> handler) {
  d_->progress = std::move(handler);
}
void FirmwareTransfer::SetCaptionHandler(std::function<void(const QString&)> handler) {
  d_->caption = std::move(handler);
}
void FirmwareTransfer::SetFinishedHandler(std::function<void(bool)> handler) {
  d_->finished = std::move(handler);
}

bool FirmwareTransfer::Start() {
  Private& d = *d_;
  if (Running() || !d.image.HasData()) return false;
  d.link.SetReceiveHandler([this] { d_->OnReceive(); });
  d.link.SetLostHandler([this](const QString&) { d_->OnLost(); });
  d.link.SetPort(d.port);
  d.link.SetSettings(d.linkSettings);
  d.link.SetThreshold(0);
  if (d.progress) d.progress(0.0, kProgressPrefix + QStringLiteral("0%"));
  d.succeeded = false;
  d.nextStage = Stage::Command;
  d.useBootSettings = true;
  d.errorCount = 0;
  d.timerBusy = false;
  d.asking = false;
  d.current = d.image.ImageStartAddress();
  d.frame = QByteArray(kStartFrame, sizeof kStartFrame) + QByteArray(4, '\0');
  d.frameLength = sizeof kStartFrame;
  d.answerLength = kStartAnswerLength;
  d.state = State::Starting;
  d.SendFrame(true);
  return true;
}

void FirmwareTransfer::Cancel() {
  if (!Running()) return;
  if (d_->link.IsOpen()) d_->link.Close();
  d_->link.SetThreshold(0);
  d_->awaiting = false;
  d_->succeeded = false;
  d_->state = State::Finished;
  d_->Release();
}

FirmwareTransfer::State FirmwareTransfer::CurrentState() const { return d_->state; }
bool FirmwareTransfer::Running() const {
  return d_->state != State::Idle && d_->state != State::Finished;
}
bool FirmwareTransfer::OperationSucceeded() const { return d_->succeeded; }
int FirmwareTransfer::ErrorCount() const { return d_->errorCount; }
uint32_t FirmwareTransfer::CurrentAddress() const { return d_->current; }

QString FirmwareTransfer::ProgressText(int percent) {
  return kProgressPrefix + (percent > 0 ? QString::number(percent) : QString()) + QLatin1Char('%');
}

int FirmwareTransfer::Percent(int64_t done, int64_t total) {
  if (total <= 0) return 100;
  if (done <= 0) return 0;
  if (done >= total) return 100;
  return static_cast<int>((200 * done + total) / (2 * total));
}

uint8_t FirmwareTransfer::CheckByte(const QByteArray& bytes) {
  uint8_t check = 0;
  for (const char b : bytes) check ^= static_cast<uint8_t>(b);
  return check;
}
