#pragma once

#include "SimDevice.h"

#include <functional>

class BootLoaderModel;

/// The whole simulated terminal behind one line: the configuration protocol
/// of the application (a TerminalModel) and the boot loader. While the
/// application runs, the boot loader only watches for its start frame
/// 'U' 'P' 'D' 0x11 arriving on an idle line (the same bytes inside a
/// configuration frame start nothing); once it has answered it, every byte
/// belongs to the boot
/// loader until its go frame starts the application again.
class SimulatedDevice : public SimDevice {
 public:
  SimulatedDevice(SimDevice& application, BootLoaderModel& bootLoader);

  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override;

  /// Whether the boot loader has the line now.
  bool InBootLoader() const;
  /// Called when the boot loader's go frame hands the line back to the
  /// application (the new firmware starts).
  void SetApplicationStartedHandler(std::function<void()> handler) {
    started_ = std::move(handler);
  }

 private:
  SimDevice& application_;
  BootLoaderModel& bootLoader_;
  std::function<void()> started_;
};
