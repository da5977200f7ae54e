#pragma once

#include "production/RecordStore.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class Clock;
class FirmwareImage;
class ParameterImage;
class SerialLink;

/// One port of a production line, as a chain of events on its own serial
/// link: wait for a terminal (a probe once a second), read its identity,
/// update its firmware when asked and check what runs, take the next serial
/// number (or claim the one the terminal holds), write the configuration with
/// it, read it back and compare, record the unit and its number's fate in one
/// transaction. With `loop` it then waits for the terminal to be taken away
/// and for the next. Several stations share one event loop and one record
/// store; a database another client holds locked is tried again on the loop.
class Station {
 public:
  /// What a station is doing; the names are those of the record's step.
  enum class Step {
    Wait,
    Identity,
    Firmware,
    Restart,
    Serial,
    Write,
    Verify,
    Record,
    Removal,
    Done
  };

  struct Settings {
    QString port;        ///< the port as the record names it ("COM7", "/dev/ttyUSB0")
    int portNumber = 1;  ///< the number the link opens
    QString station;     ///< the station's name (the host name)
    QString linkSettings = QStringLiteral("9600,N,8,1");
    bool loop = false;      ///< go back to waiting after each unit
    bool renumber = false;  ///< give a number to a terminal holding one the record does not know
    std::chrono::milliseconds probeInterval{1000};
    std::chrono::milliseconds restartLimit{30000};  ///< for the application after an update
    QString expectFirmware;  ///< the firmware line every unit must show; empty: any
    QString firmwareSha256;  ///< of the firmware file, for the record
    QString program;         ///< the program and its version, for the record
    /// Each unit's own configuration, made for its number (a recipe whose
    /// texts hold the number); false with the reason. Empty: `config` itself.
    std::function<bool(const QString& serial, ParameterImage* image, QString* error)> imageFor;
    /// A database locked by another client is tried again every `databaseRetry`
    /// for up to `databaseLimit`, after Stop() for up to `stopLimit` more.
    std::chrono::milliseconds databaseRetry{100};
    std::chrono::milliseconds databaseLimit{30000};
    std::chrono::milliseconds stopLimit{1500};
  };

  /// One status line's content.
  struct Status {
    QString port;
    QString serial;
    Step step = Step::Wait;
    int percent = 0;
    QString problem;  ///< why the port cannot be opened (the system's reason); empty when it can
  };

  /// `config` and `firmware` (nullptr: no update) must outlive the station.
  Station(SerialLink& link, Clock& clock, RecordStore& store, const ParameterImage& config,
          const FirmwareImage* firmware, Settings settings);
  ~Station();
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  /// Starts waiting for the first terminal.
  void Start();
  /// Ends the station: a unit in progress is ended as failed ("interrupted")
  /// and recorded (its new number void), the port is closed, then the
  /// finished handler runs; all within `stopLimit`.
  void Stop();

  bool Finished() const;
  int Passed() const;
  int Failed() const;
  const Status& CurrentStatus() const;

  /// Lower-case name of a step: "wait", "identity", "firmware", ...
  static QString StepName(Step step);

  void SetStatusHandler(std::function<void(const Status&)> handler);
  /// Called with every unit once it is recorded.
  void SetUnitHandler(std::function<void(const RecordStore::Unit&)> handler);
  void SetFinishedHandler(std::function<void()> handler);

 private:
  struct Private;
  std::unique_ptr<Private> d_;
};
