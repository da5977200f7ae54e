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
/// update its firmware when asked, take the next serial number, write the
/// configuration with it, read it back and compare, record the unit. With
/// `loop` it then waits for the terminal to be taken away and for the next.
/// Several stations share one event loop and one record store.
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
  };

  /// One status line's content.
  struct Status {
    QString port;
    QString serial;
    Step step = Step::Wait;
    int percent = 0;
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
  /// and recorded, the port is closed, then the finished handler runs.
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
