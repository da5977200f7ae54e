#pragma once
// Shared by the fault matrix programs: a line that puts faults of its own
// between the link and a simulated device (for faults the device models do
// not have), and the report line that scripts/reliability collects.

#include "SimDevice.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <chrono>

/// Sits between FakeSerialLink and a simulated device and spoils what the
/// device answers: the first answer lost or replaced, every answer replaced
/// by noise, every answer late, the line cut after some bytes.
class FaultyLine : public SimDevice {
 public:
  explicit FaultyLine(SimDevice& device) : device_(device) {}

  bool dropFirstAnswer = false;        ///< the first non-empty answer never arrives
  QByteArray replaceFirstAnswer;       ///< the first non-empty answer is these bytes
  bool noise = false;                  ///< every answer is noise of its length
  std::chrono::milliseconds delay{0};  ///< every answer starts this late
  int hangUpAfterBytes = -1;           ///< the line is cut once this many bytes were sent
  bool babble = false;                 ///< every request, at any format, gets 4 bytes of noise

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    if (cut_) return {};
    sent_ += bytes.size();
    if (hangUpAfterBytes >= 0 && sent_ >= hangUpAfterBytes) {
      cut_ = true;
      DeviceReply reply;
      reply.hangUp = true;
      return reply;
    }
    DeviceReply reply = device_.Receive(bytes, settings);
    if (babble) reply.bytes = QByteArray(4, '\0');
    reply.delay += delay;
    if (reply.bytes.isEmpty()) return reply;
    if (!firstDone_) {
      firstDone_ = true;
      if (dropFirstAnswer) reply.bytes.clear();
      if (!replaceFirstAnswer.isEmpty()) reply.bytes = replaceFirstAnswer;
    }
    if (noise) {
      for (char& byte : reply.bytes) {
        state_ = state_ * 1103515245u + 12345u;
        byte = static_cast<char>(0x80 | (state_ >> 24));  // never 'y', 'L' or 0x06
      }
    }
    return reply;
  }

 private:
  SimDevice& device_;
  bool firstDone_ = false;
  bool cut_ = false;
  long long sent_ = 0;
  quint32 state_ = 5906;
};

/// One line for the reliability report: "MATRIX<TAB>case<TAB>expected<TAB>seen".
inline void ReportCase(const QString& name, const QString& expected, const QString& seen) {
  qInfo().noquote() << QStringLiteral("MATRIX\t%1\t%2\t%3").arg(name, expected, seen);
}
