#include "SimulatedDevice.h"

#include "BootLoaderModel.h"

SimulatedDevice::SimulatedDevice(SimDevice& application, BootLoaderModel& bootLoader)
    : application_(application), bootLoader_(bootLoader) {}

bool SimulatedDevice::InBootLoader() const { return bootLoader_.InBootLoader(); }

DeviceReply SimulatedDevice::Receive(const QByteArray& bytes, const QString& settings) {
  if (bootLoader_.InBootLoader()) {
    const DeviceReply reply = bootLoader_.Receive(bytes, settings);
    if (!bootLoader_.InBootLoader() && started_) started_();
    return reply;
  }
  // The application hands over to the boot loader on the start frame, which
  // it looks for only on an idle line, never inside a configuration frame.
  if (application_.MidFrame()) return application_.Receive(bytes, settings);
  DeviceReply handOver = bootLoader_.Receive(bytes, settings);
  if (!handOver.bytes.isEmpty() || bootLoader_.InBootLoader()) return handOver;
  return application_.Receive(bytes, settings);
}
