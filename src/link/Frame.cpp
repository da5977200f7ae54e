#include "link/Frame.h"

#include "image/ParameterImage.h"

namespace {

const QByteArray kHandshakeBytes("LBTW");
const QByteArray kProbeBytes("L35W");

QByteArray Header(char command, int address, int count) {
  QByteArray bytes;
  bytes.reserve(4 + Frame::kBlock + 1);
  bytes.append(command);
  bytes.append(static_cast<char>((address >> 8) & 0xFF));
  bytes.append(static_cast<char>(address & 0xFF));
  bytes.append(static_cast<char>(count & 0xFF));
  return bytes;
}

}  // namespace

Frame::Request Frame::Handshake() { return {kHandshakeBytes, 4, kHandshakeAnswer}; }

Frame::Request Frame::RepeatedHandshake() { return {kProbeBytes, 4, kHandshakeAnswer}; }

Frame::Request Frame::Probe() { return {kProbeBytes, 4, kProbeAnswer}; }

Frame::Request Frame::Read(int address, int count) {
  const int answer = (count == kBlock || count == kLogCount) ? 4 + kBlock : count + 4;
  return {Header(kRead, address, count), answer, kDataAnswer};
}

Frame::Request Frame::Write(int address, const QByteArray& data) {
  QByteArray bytes = Header(kWrite, address, static_cast<int>(data.size()));
  bytes.append(data);
  bytes.append(static_cast<char>(Checksum(bytes)));
  return {bytes, 1, kDataAnswer};
}

Frame::Request Frame::WriteFromImage(int address, int count, const ParameterImage& image) {
  return Write(address, image.Bytes(address, count));
}

Frame::Request Frame::Reset() { return Write(kResetAddress, QByteArray()); }

Frame::Request Frame::End() { return {QByteArray(1, kEnd), 0, kNoAnswer}; }

uint8_t Frame::Checksum(const QByteArray& bytes) {
  unsigned sum = 0;
  for (const char byte : bytes) sum += static_cast<uint8_t>(byte);
  return static_cast<uint8_t>(sum & 0xFF);
}

bool Frame::IsGoodHandshake(const QByteArray& answer) { return answer.startsWith(kHandshakeBytes); }

bool Frame::IsGoodProbe(const QByteArray& answer) { return answer.startsWith(kProbeBytes); }

bool Frame::IsAcknowledge(const QByteArray& answer) {
  return !answer.isEmpty() && static_cast<uint8_t>(answer.at(0)) == kAck;
}

uint8_t Frame::At(const QByteArray& answer, int index) {
  return (index >= 0 && index < answer.size()) ? static_cast<uint8_t>(answer.at(index)) : 0;
}

QByteArray Frame::ReadData(const QByteArray& answer) {
  if (answer.size() <= 4) return QByteArray();
  const int announced = At(answer, 3);
  const int received = static_cast<int>(answer.size()) - 4;
  return answer.mid(4, announced < received ? announced : received);
}

int Frame::StoreReadData(const QByteArray& answer, int address, ParameterImage& image) {
  if (address < 0 || address >= ParameterImage::kSize) return 0;
  const QByteArray data = ReadData(answer);
  return image.Store(address, reinterpret_cast<const uint8_t*>(data.constData()),
                     static_cast<int>(data.size()));
}

QString Frame::TransferSettings(const QString& linkSettings) {
  const int tail = linkSettings.size() < 5 ? 0 : static_cast<int>(linkSettings.size()) - 5;
  QString settings = linkSettings;
  for (int i = tail; i < settings.size(); ++i)
    if (settings.at(i) == QLatin1Char('7')) settings[i] = QLatin1Char('8');
  return settings;
}
