#pragma once
// Shared by the fault matrices: a line that spoils what a simulated device
// answers, and the report line that scripts/reliability collects.

#include "SimDevice.h"

#include <QtTest>

#include <chrono>

/// Sits between FakeSerialLink and a device: the first answer lost or
/// replaced, every answer noise or late, the line cut after some bytes.
class FaultyLine : public SimDevice {
 public:
  explicit FaultyLine(SimDevice& device) : device_(device) {}

  bool dropFirstAnswer = false;
  QByteArray replaceFirstAnswer;
  bool noise = false;                  ///< every answer is noise of its length
  std::chrono::milliseconds delay{0};  ///< every answer starts this late
  int hangUpAfterBytes = -1;           ///< the line is cut once this many bytes were sent
  bool babble = false;                 ///< every request, at any format, gets 4 bytes of noise

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    if (cut_) return {};
    sent_ += bytes.size();
    if (hangUpAfterBytes >= 0 && sent_ >= hangUpAfterBytes) {
      cut_ = true;
      return {{}, {}, true};
    }
    DeviceReply reply = device_.Receive(bytes, settings);
    if (babble) reply.bytes = QByteArray(4, '\0');
    reply.delay += delay;
    if (reply.bytes.isEmpty()) return reply;
    if (!std::exchange(firstDone_, true)) {
      if (dropFirstAnswer) reply.bytes.clear();
      if (!replaceFirstAnswer.isEmpty()) reply.bytes = replaceFirstAnswer;
    }
    for (char& byte : reply.bytes) {
      state_ = state_ * 1103515245u + 12345u;
      if (noise) byte = static_cast<char>(0x80 | (state_ >> 24));  // never 'y', 'L' or 0x06
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

/// One line of the reliability report: "MATRIX<TAB>case<TAB>expected<TAB>seen".
inline void ReportCase(const QString& expected, const QString& seen) {
  qInfo().noquote() << QStringLiteral("MATRIX\t%1\t%2\t%3").arg(QTest::currentDataTag(), expected,
                                                               seen);
}
