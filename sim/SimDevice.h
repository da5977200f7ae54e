#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

/// What a simulated device does with bytes it received.
struct DeviceReply {
  QByteArray bytes;                    ///< answer bytes (may be empty)
  std::chrono::milliseconds delay{0};  ///< extra time before the answer starts
  bool hangUp = false;                 ///< the device vanishes (cable pulled)
};

/// A simulated device behind a serial line: bytes in, bytes out. `settings`
/// is the port's current format as the device sees it ("9600,E,7,1"); a
/// device stays silent when it does not match its own. Requests may arrive
/// in pieces: the device buffers until it has a whole frame.
class SimDevice {
 public:
  virtual ~SimDevice() = default;
  virtual DeviceReply Receive(const QByteArray& bytes, const QString& settings) = 0;
  /// True while part of a frame has arrived and the rest is awaited.
  virtual bool MidFrame() const { return false; }
};
