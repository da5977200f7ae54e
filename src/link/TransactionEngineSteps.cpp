// The transfers of the engine: the block plans of read, write and reset,
// the handshake answer with its change to the transfer format, the data
// answers, the core log and the probe answers of automatic detection.
#include "image/ParameterImage.h"
#include "image/TextCodec.h"
#include "link/FormatTable.h"
#include "link/SerialLink.h"
#include "link/TransactionEngineState.h"

namespace {

constexpr int kOptionEnd = 0x0100;       ///< last option block read
constexpr int kOptionWriteEnd = 0x00F0;  ///< last option block written
constexpr int kIdentityAddress = 0x0400;
constexpr int kLogTextBase = 0x0800;
constexpr int kLogIndexLast = 0x07F0;
constexpr int kLogAddressLimit = 0x7FF0;  ///< addresses are 16-bit signed on the wire
constexpr int kExtendedEnd = ParameterImage::kExtendedBase + 2048;

/// numerator / denominator rounded to the nearest integer, a half to even.
int RoundHalfEven(long long numerator, long long denominator) {
  long long quotient = numerator / denominator;
  const long long twice = 2 * (numerator % denominator);
  if (twice > denominator || (twice == denominator && quotient % 2 != 0)) ++quotient;
  return static_cast<int>(quotient);
}

}  // namespace

void TransactionEngine::State::BuildPlan() {
  plan.clear();
  step = 0;
  const auto blocks = [this](int from, int to) {
    for (int address = from; address < to; address += Frame::kBlock)
      plan.push_back(Step{address, Frame::kBlock, false});
  };
  switch (running) {
    case Kind::Read:
      blocks(0, kOptionEnd + Frame::kBlock);
      if (readAdjustByte) plan.push_back(Step{Frame::kAdjustAddress, 1, false});
      plan.push_back(Step{kIdentityAddress, Frame::kIdentityCount, false});
      if (service) {
        blocks(ParameterImage::kSerialNumberByte,
               ParameterImage::kSerialNumberByte + ParameterImage::kSerialNumberLength);
        blocks(ParameterImage::kExtendedBase, kExtendedEnd);
      }
      break;
    case Kind::Write:
      blocks(0, kOptionWriteEnd + Frame::kBlock);
      if (adjustPending) plan.push_back(Step{Frame::kAdjustAddress, 1, true});
      if (service) blocks(ParameterImage::kExtendedBase, kExtendedEnd);
      if (serviceSerialNumber)
        blocks(ParameterImage::kSerialNumberByte,
               ParameterImage::kSerialNumberByte + ParameterImage::kSerialNumberLength);
      break;
    case Kind::Reset:
      plan.push_back(Step{Frame::kResetAddress, 0, false});
      break;
    default:
      break;
  }
}

QString TransactionEngine::State::Progress(int acked) const {
  const long long count = static_cast<long long>(plan.size());
  int percent;
  if (service && running != Kind::Reset) {
    percent = Reading() ? (count > 1 ? RoundHalfEven(100LL * acked, count - 1) : 100)
                        : RoundHalfEven(100LL * (acked + 1), count);
  } else {
    // The address of the block (a write: of the next one) over 1024.
    const int address = plan[acked].address + (Reading() ? 0 : Frame::kBlock);
    percent = RoundHalfEven(100LL * address, 1024);
  }
  return QString::number(percent) + QLatin1Char('%');
}

void TransactionEngine::State::OnHandshakeAnswer(const QByteArray& answer) {
  if (!Frame::IsGoodHandshake(answer)) {
    if (retryCount < 2) {
      ++retryCount;
      SendFrame(Mode::Retry);
      return;
    }
    if (link.IsOpen()) link.Close();
    Line(Reading() ? QStringLiteral("读取数据失败!") : QStringLiteral("设置数据失败!"));
    EndFailed(kEndTick);
    return;
  }
  retryCount = 0;
  if (!ChangeToTransferFormat()) return;
  if (running == Kind::Log) {
    address = 0;
    request = Frame::Read(address, Frame::kLogCount);
    SendFrame(Mode::ReadEeprom);
    return;
  }
  // A repeated handshake starts the transfer again from its first block.
  step = 0;
  SendStep();
}

bool TransactionEngine::State::ChangeToTransferFormat() {
  if (link.IsOpen()) link.Close();
  clock.Sleep(kFormatChangeClose);
  link.SetPort(portNumber);
  link.SetSettings(Frame::TransferSettings(linkSettings));
  link.SetThreshold(0);
  clock.Sleep(kFormatChangeOpen);
  if (link.Open()) return true;
  PortError(link.ErrorString());
  return false;
}

void TransactionEngine::State::SendStep() {
  // An adjust byte already acknowledged is not written again by a retry.
  while (step < plan.size() && plan[step].adjust && !adjustPending) ++step;
  if (step >= plan.size()) {
    if (!Reading()) Line(QStringLiteral("设置成功"));
    EndNormally();
    return;
  }
  const Step& block = plan[step];
  address = block.address;
  if (Reading()) {
    request = Frame::Read(block.address, block.count);
    SendFrame(Mode::ReadEeprom);
  } else {
    request = Frame::WriteFromImage(block.address, block.count, image);
    SendFrame(Mode::WriteEeprom);
  }
}

void TransactionEngine::State::OnDataAnswer(const QByteArray& answer) {
  if (!Frame::IsAcknowledge(answer)) {
    if (link.IsOpen()) link.Close();
    Line(Reading() ? QStringLiteral("读取失败") : QStringLiteral("写入失败"));
    EndFailed(kRefusalTick);
    return;
  }
  if (running == Kind::Log)
    LogStep(answer);
  else if (Reading())
    ReadStep(answer);
  else
    WriteStep();
}

void TransactionEngine::State::WriteStep() {
  if (step >= plan.size()) return;
  if (plan[step].adjust) adjustPending = false;
  Line(Progress(static_cast<int>(step)));
  ++step;
  SendStep();
}

void TransactionEngine::State::ReadStep(const QByteArray& answer) {
  if (step >= plan.size()) return;
  Frame::StoreReadData(answer, plan[step].address, readTarget ? *readTarget : image);
  Line(Progress(static_cast<int>(step)));
  ++step;
  SendStep();
}

void TransactionEngine::State::LogStep(const QByteArray& answer) {
  if (address >= kLogTextBase) {
    Line(TextCodec::FromGbk(answer.mid(4, Frame::kBlock)));
  } else {
    for (int record = 4; record < 4 + Frame::kBlock; record += 4) {
      if (Frame::At(answer, record) != static_cast<uint8_t>(Frame::kLogMark)) {
        address = kLogIndexLast;
        break;
      }
      logLastLength = Frame::At(answer, record + 1);
      logLastOffset = Frame::At(answer, record + 2) + 256 * Frame::At(answer, record + 3);
    }
    if (address == kLogIndexLast) logEnd = logLastOffset + logLastLength + kLogTextBase;
  }
  // The address travels as a 16-bit signed number: the log ends at 0x7FFF
  // whatever its index claims.
  if (address < kLogAddressLimit && address + Frame::kBlock < logEnd) {
    address += Frame::kBlock;
    request = Frame::Read(address, Frame::kLogCount);
    SendFrame(Mode::ReadEeprom);
  } else {
    EndNormally();
  }
}

void TransactionEngine::State::OnProbeAnswer(const QByteArray& answer) {
  if (Frame::IsGoodProbe(answer)) {
    linkSettings = FormatTable::At(formatIndex);
    EndNormally();
    return;
  }
  // A wrong answer moves on to the next format after a pause; it does not
  // count towards the question.
  formatIndex = FormatTable::Advance(formatIndex);
  pause->Start(kProbePause);
}
