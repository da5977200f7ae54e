#pragma once
// Shared by the fault matrices and the firmware transfer test: a line that
// spoils what a simulated device answers, the report line that
// scripts/reliability collects, and a firmware update on the virtual clock.

#include "BootLoaderModel.h"
#include "FakeSerialLink.h"
#include "RecordingSink.h"
#include "ScriptedPrompts.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"

#include <QtTest>

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
  int twice = -1;                      ///< the answer with this number (from 0) comes twice at once

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
    if (answers_++ == twice) reply.bytes += reply.bytes;
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
  int answers_ = 0;
  quint32 state_ = 5906;
};

/// One line of the reliability report: "MATRIX<TAB>case<TAB>expected<TAB>seen".
inline void ReportCase(const QString& expected, const QString& seen) {
  qInfo().noquote()
      << QStringLiteral("MATRIX\t%1\t%2\t%3").arg(QTest::currentDataTag(), expected, seen);
}

/// A firmware update of the bytes Plain(start) .. Plain(end) through a
/// FaultyLine to the simulated boot loader (application at "9600,E,7,1").
struct UpdateRig {
  static uint8_t Plain(uint32_t address) { return static_cast<uint8_t>(address * 29 + 3); }
  ManualClock clock;
  BootLoaderModel loader;
  FaultyLine line{loader};
  FakeSerialLink link{clock, &line};
  ScriptedPrompts prompts;
  RecordingSink sink;
  FirmwareImage image;
  FirmwareTransfer transfer{link, clock, prompts, sink, image};
  int finished = 0;
  bool outcome = false;
  QStringList labels;
  UpdateRig(uint32_t start, uint32_t end) {
    loader.SetApplicationSettings("9600,E,7,1");
    QByteArray bytes;
    for (uint32_t a = start; a <= end; ++a) bytes.append(static_cast<char>(Plain(a)));
    image.StoreData(start, reinterpret_cast<const uint8_t*>(bytes.constData()), int(bytes.size()));
    transfer.SetPortNumber(3);
    transfer.SetLinkSettings("9600,E,7,1");
    transfer.SetProgressHandler([this](double, const QString& text) { labels << text; });
    transfer.SetFinishedHandler([this](bool ok) { ++finished, outcome = ok; });
  }
  bool Run() {
    return transfer.Start() && clock.RunUntil([this] { return finished > 0; });
  }
  /// The wire as steps: "start 19200", "erase 10780", "write 10780 128",
  /// "data", "go 10000" (addresses less 0x08000000).
  QString Steps() const {
    const QStringList kinds = {"?", "erase", "write", "go"};
    QStringList steps;
    int announced = -1;
    for (const auto& e : link.WireLog()) {
      if (e.type != FakeSerialLink::WireEvent::Type::Write) continue;
      const QByteArray& b = e.bytes;
      quint32 a = 0;
      for (int i = 5; i >= 2 && b.size() >= 6; --i) a = a << 8 | uint8_t(b[i]);
      if (b == "UPD\x11")
        steps << "start " + e.settings.section(',', 0, 0);
      else if (std::exchange(announced, -1) + 1 == b.size())
        steps << "data";
      else
        steps << kinds.value(b[1]) + ' ' + QString::number(a - 0x08000000, 16).toUpper();
      if (steps.last().startsWith("write"))
        steps.last() += ' ' + QString::number(announced = uint8_t(b[6]));
    }
    return steps.join('|');
  }
};
