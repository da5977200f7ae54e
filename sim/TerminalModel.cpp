#include "TerminalModel.h"

#include "image/Defaults.h"
#include "link/Frame.h"

namespace {

const QByteArray kGreeting("LBTW");
const QByteArray kProbe("L35W");

}  // namespace

TerminalModel::TerminalModel() : log_(kLogSize, static_cast<char>(0xFF)) {
  LoadDefaults(memory_);
  SetIdentity({0x10, 0x01, 0x19, 0x01});
}

QString TerminalModel::TransferFormat() const { return Frame::TransferSettings(format_); }

void TerminalModel::SetIdentity(const std::array<uint8_t, 4>& identity) {
  memory_.Store(ParameterImage::kIdentityByte, identity.data(), 4);
}

bool TerminalModel::AddLogEntry(const QByteArray& text) {
  const int length = static_cast<int>(text.size());
  if (length > 255 || 4 * (logEntries_ + 1) > kLogTextBase ||
      kLogTextBase + logNextOffset_ + length > kLogSize)
    return false;
  const char record[4] = {Frame::kLogMark, static_cast<char>(length),
                          static_cast<char>(logNextOffset_ & 0xFF),
                          static_cast<char>((logNextOffset_ >> 8) & 0xFF)};
  SetLogBytes(4 * logEntries_, QByteArray(record, 4));
  SetLogBytes(kLogTextBase + logNextOffset_, text);
  ++logEntries_;
  logNextOffset_ += length;
  return true;
}

void TerminalModel::SetLogBytes(int address, const QByteArray& bytes) {
  for (int i = 0; i < bytes.size(); ++i)
    if (address + i >= 0 && address + i < kLogSize) log_[address + i] = bytes.at(i);
}

QByteArray TerminalModel::Noise(int length) {
  QByteArray noise;
  for (int i = 0; i < length; ++i) {
    noiseState_ ^= noiseState_ << 13;
    noiseState_ ^= noiseState_ >> 17;
    noiseState_ ^= noiseState_ << 5;
    uint8_t byte = static_cast<uint8_t>(noiseState_);
    // Never the start of a valid answer.
    if (i == 0 && (byte == Frame::kAck || byte == 'L')) byte = 0xA5;
    noise.append(static_cast<char>(byte));
  }
  return noise;
}

int TerminalModel::FrameLength() const {
  if (buffer_.isEmpty()) return 0;
  switch (buffer_.at(0)) {
    case 'L':
    case Frame::kRead:
      return buffer_.size() >= 4 ? 4 : 0;
    case Frame::kWrite:
      return buffer_.size() >= 4 ? 5 + static_cast<uint8_t>(buffer_.at(3)) : 0;
    case Frame::kEnd:
      return 1;
    default:
      return -1;
  }
}

DeviceReply TerminalModel::Receive(const QByteArray& bytes, const QString& settings) {
  DeviceReply reply;
  reply.delay = faults_.delay;
  if (hungUp_) return reply;
  receivedBytes_ += bytes.size();
  if (faults_.hangUpAfterBytes >= 0 && receivedBytes_ >= faults_.hangUpAfterBytes) {
    hungUp_ = true;
    reply.hangUp = true;
    return reply;
  }
  // Bytes at another format than the ones before them do not join one frame.
  if (settings != bufferSettings_) buffer_.clear();
  bufferSettings_ = settings;
  buffer_.append(bytes);

  for (;;) {
    const int length = FrameLength();
    if (length < 0) {
      buffer_.remove(0, 1);  // noise between frames
      continue;
    }
    if (length == 0 || buffer_.size() < length) break;
    const QByteArray frame = buffer_.left(length);
    buffer_.remove(0, length);
    requests_.append(Request{frame, settings});
    QByteArray answer = Answer(frame, settings);
    if (answer.isEmpty() || faults_.silent) continue;
    if (faults_.silentAfterRequests >= 0 && answered_ >= faults_.silentAfterRequests) continue;
    ++answered_;
    if (faults_.garbage) answer = Noise(static_cast<int>(answer.size()));
    reply.bytes.append(answer);
  }
  return reply;
}

QByteArray TerminalModel::Answer(const QByteArray& frame, const QString& settings) {
  const bool atGreeting = settings == format_;
  const bool atTransfer = session_ && settings == TransferFormat();

  if (frame == kGreeting) {
    // A greeting inside a session (the tool gave up without the end
    // request) starts a new one.
    if (!atGreeting && !atTransfer) return QByteArray();
    if (faults_.firstTry == Faults::FirstTry::Handshake && !firstTryUsed_) {
      firstTryUsed_ = true;
      return QByteArray();
    }
    session_ = true;
    return faults_.badHandshake ? QByteArray("LBTX") : kGreeting;
  }
  if (frame == kProbe) {
    // A repeated greeting inside a session resumes it; outside it is the probe.
    if (atTransfer) return faults_.badHandshake ? QByteArray("LBTX") : kGreeting;
    if (atGreeting) return kProbe;
    return QByteArray();
  }
  if (frame.at(0) == 'L') return QByteArray();  // a greeting of no known kind
  if (frame.at(0) == Frame::kEnd) {
    if (atTransfer) session_ = false;
    return QByteArray();
  }
  if (!atTransfer || frame.size() < 4) return QByteArray();

  const int address = static_cast<uint8_t>(frame.at(1)) * 256 + static_cast<uint8_t>(frame.at(2));
  const int count = static_cast<uint8_t>(frame.at(3));
  if (faults_.firstTry == Faults::FirstTry::DataRequest && !firstTryUsed_) {
    firstTryUsed_ = true;
    return QByteArray();
  }
  if (faults_.silentBlock >= 0 && address == faults_.silentBlock * Frame::kBlock)
    return QByteArray();
  if (faults_.refuseBlock >= 0 && address == faults_.refuseBlock * Frame::kBlock)
    return Refusal(frame.at(0) == Frame::kRead ? count : -1);
  if (faults_.loseWriteBlock >= 0 && address == faults_.loseWriteBlock * Frame::kBlock &&
      frame.at(0) != Frame::kRead)
    return QByteArray(1, static_cast<char>(Frame::kAck));
  return frame.at(0) == Frame::kRead ? AnswerRead(address, count)
                                     : AnswerWrite(frame, address, count);
}

QByteArray TerminalModel::Refusal(int readCount) {
  // A refused read still comes at the length of its answer, so the tool
  // takes it at once; a refused write is the one byte.
  QByteArray refusal(1, static_cast<char>(Frame::kRefusal));
  if (readCount >= 0) refusal.append(QByteArray(Frame::Read(0, readCount).answerLength - 1, '\0'));
  return refusal;
}

QByteArray TerminalModel::AnswerRead(int address, int count) {
  QByteArray answer;
  answer.append(static_cast<char>(Frame::kAck));
  answer.append(static_cast<char>(address >> 8));
  answer.append(static_cast<char>(address & 0xFF));
  if (count == Frame::kLogCount) {
    answer.append(static_cast<char>(Frame::kBlock));
    for (int i = 0; i < Frame::kBlock; ++i)
      answer.append(address + i < kLogSize ? log_.at(address + i) : static_cast<char>(0xFF));
    return answer;
  }
  if (address + count > ParameterImage::kSize) return Refusal(count);
  answer.append(static_cast<char>(faults_.longCount ? count + 8 : count));
  answer.append(memory_.Bytes(address, count));
  return answer;
}

QByteArray TerminalModel::AnswerWrite(const QByteArray& frame, int address, int count) {
  const QByteArray refusal(1, static_cast<char>(Frame::kRefusal));
  const QByteArray ack(1, static_cast<char>(Frame::kAck));
  const QByteArray body = frame.left(frame.size() - 1);
  if (Frame::Checksum(body) != static_cast<uint8_t>(frame.back())) return refusal;
  if (address == Frame::kResetAddress && count == 0) {
    LoadDefaults(memory_);
    ++factoryResets_;
    return ack;
  }
  if (address + count > ParameterImage::kSize) return refusal;
  memory_.Store(address, reinterpret_cast<const uint8_t*>(body.constData()) + 4, count);
  if (address <= Frame::kAdjustAddress && Frame::kAdjustAddress < address + count) {
    lastAdjust_ = memory_.Byte(Frame::kAdjustAddress);
    ++adjustWrites_;
  }
  return ack;
}
