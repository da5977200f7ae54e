#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class SettingsStore;

/// The PC's serial ports as numbers 1 to 99, the port scan and the
/// remembered port.
///
/// On Windows port n is the device COMn. Elsewhere port n is the device
/// named by the setting "Ports/COMn": every scan gives each serial device the
/// system lists that has no number yet the lowest free number and saves it,
/// so a number keeps naming the same device from run to run. A number can
/// also be mapped by hand to any device (a pseudo-terminal included).
class PortCatalog {
 public:
  static constexpr int kFirstPort = 1;
  static constexpr int kLastPort = 99;

  /// One port found by a scan.
  struct Entry {
    int number = 0;
    QString device;  ///< "/dev/ttyUSB0", "COM3"
    QString text;    ///< list entry: "COM3", on Linux "COM7 (ttyUSB0)"
  };

  /// The port list after a refresh and the choice the selection rules made.
  struct Selection {
    QList<Entry> entries;
    int selectedIndex = -1;  ///< -1: the list is empty
    int portNumber = 1;      ///< the port number after the refresh
  };

  /// Lists the system's serial devices (default: QSerialPortInfo).
  using DeviceLister = std::function<QStringList()>;
  /// Whether a device can be opened now (default: a real open and close).
  using Prober = std::function<bool(const QString& device)>;

  explicit PortCatalog(SettingsStore& store);

  /// The device behind port `number`: "COMn" on Windows; elsewhere the mapped
  /// device, or an empty string when the number names none.
  QString DeviceFor(int number) const;

  /// Maps `number` to `device` and saves it; false for a number outside 1 to
  /// 99, an empty device, or a store that could not be written.
  bool Map(int number, const QString& device);
  /// Forgets the device of `number`.
  void Unmap(int number);
  /// The mapped numbers and their devices, ascending (empty on Windows).
  QList<Entry> Mappings() const;

  /// Gives every system device without a number the lowest free number and
  /// saves it; returns the numbers given out (does nothing on Windows).
  QList<int> AssignSystemDevices();

  /// Tries to open each numbered port in ascending order and lists those that
  /// open. Numbers without a device (or whose device file is missing) are
  /// skipped without an open attempt.
  QList<Entry> Scan();
  /// The ports of the last Scan whose device exists but did not open
  /// (another program holds them), ascending.
  const QList<Entry>& Held() const { return held_; }
  /// Whether `device` opens now (an open and close through the prober).
  bool Opens(const QString& device) const;

  /// The port-list refresh: assigns new devices, scans, and applies the
  /// selection rules for `currentPort`: the remembered port found is
  /// selected; otherwise the first entry is selected, becomes the port number
  /// and is remembered; with no entry the list is empty, the port number
  /// stays and nothing is stored.
  Selection Refresh(int currentPort);

  /// What can be seen of the ports without opening any: the system's devices
  /// and the mapped devices whose device file exists, sorted. Two equal
  /// answers mean nothing was plugged in or pulled in between.
  QStringList PresentDevices() const;

  /// The remembered "ComPort"; 1 when nothing usable is stored.
  int RecallPort() const;
  /// Stores "ComPort"; false when the store could not be written (the choice
  /// still holds for this run).
  bool RememberPort(int number);

  /// The number in a list entry: what follows its first three characters
  /// ("COM12" -> 12, "COM7 (ttyUSB0)" -> 7); 0 when there is none.
  static int NumberOfEntry(const QString& entry);
  /// The list entry of a port: "COM7", on Linux with the device after it.
  static QString EntryText(int number, const QString& device);

  /// The settings store the catalog keeps its numbers in (the window keeps
  /// its own few choices there too).
  SettingsStore& Store() const { return store_; }

  void SetDeviceLister(DeviceLister lister);
  void SetProber(Prober prober);

 private:
  SettingsStore& store_;
  DeviceLister lister_;
  Prober prober_;
  QList<Entry> held_;
};
