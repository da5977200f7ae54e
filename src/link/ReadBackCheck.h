#pragma once

#include "image/ParameterImage.h"
#include "link/TransactionEngine.h"

#include <QString>

#include <functional>
#include <vector>

class Clock;
class MessageSink;
class Prompts;
class SerialLink;

/// One field whose bytes on the terminal are not those a write sent.
struct FieldDifference {
  QString field;     ///< the field table's name, or "byte N" for a byte no field names
  QString expected;  ///< display text of the value written
  QString found;     ///< display text of the value read back
};

/// Checks a write by reading the terminal into an image of its own and
/// comparing every byte the write sent: the option blocks (bytes 0 to 255),
/// the adjust byte in adjust mode, the extended block and the production
/// serial number with the service transfer. Differences are named through
/// the field table. Runs on the caller's link, one transaction at a time
/// like any other engine, and never blocks.
class ReadBackCheck {
 public:
  /// What the write sent, hence what is compared.
  struct Scope {
    bool adjust = false;        ///< the adjust byte (1008)
    bool service = false;       ///< the extended block (4096 to 6143)
    bool serialNumber = false;  ///< the serial number (2048 to 2079)
  };

  ReadBackCheck(SerialLink& link, Clock& clock, Prompts& prompts, MessageSink& sink);
  ReadBackCheck(const ReadBackCheck&) = delete;
  ReadBackCheck& operator=(const ReadBackCheck&) = delete;

  /// The engine of the read-back: set its port, link format and language
  /// before Start (they are those of the write).
  TransactionEngine& Engine() { return engine_; }

  /// Starts the read of what a write of `written` in `scope` sent. False
  /// (and nothing happens) while the engine is busy.
  bool Start(const ParameterImage& written, Scope scope);
  /// Stops the read; it ends as failed.
  void Cancel() { engine_.Cancel(); }

  /// Called once at the end: whether the read succeeded, and the
  /// differences (empty when the terminal holds what was written).
  void SetFinishedHandler(
      std::function<void(bool readOk, const std::vector<FieldDifference>&)> handler);

  /// True when the read succeeded and nothing differed.
  bool Passed() const { return readOk_ && differences_.empty(); }
  bool ReadOk() const { return readOk_; }
  const std::vector<FieldDifference>& Differences() const { return differences_; }
  /// The terminal's image as read back.
  const ParameterImage& Found() const { return found_; }

  /// The bytes of `scope` in which `found` differs from what a write of
  /// `written` sends (the write stamps the valid marker), one entry per
  /// differing field in image order.
  static std::vector<FieldDifference> Compare(const ParameterImage& written,
                                              const ParameterImage& found, Scope scope);
  /// "device_address: wrote 5, read 7".
  static QString Line(const FieldDifference& difference);

 private:
  ParameterImage found_;
  ParameterImage written_;
  Scope scope_;
  TransactionEngine engine_;
  bool readOk_ = false;
  std::vector<FieldDifference> differences_;
  std::function<void(bool, const std::vector<FieldDifference>&)> finished_;
};
