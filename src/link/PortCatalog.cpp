#include "link/PortCatalog.h"

#include "link/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <set>

namespace {

const QString kComPortKey = QStringLiteral("ComPort");
const QString kPortsGroup = QStringLiteral("Ports");

QString MapKey(int number) { return kPortsGroup + QStringLiteral("/COM%1").arg(number); }

bool InRange(int number) {
  return number >= PortCatalog::kFirstPort && number <= PortCatalog::kLastPort;
}

QStringList SystemDevices() {
  QStringList devices;
  const auto ports = QSerialPortInfo::availablePorts();
  for (const QSerialPortInfo& info : ports) devices << info.systemLocation();
  return devices;
}

bool TryOpen(const QString& device) {
  QSerialPort port;
  port.setPortName(device);
  if (!port.open(QIODevice::ReadWrite)) return false;
  port.close();
  return true;
}

}  // namespace

PortCatalog::PortCatalog(SettingsStore& store)
    : store_(store), lister_(SystemDevices), prober_(TryOpen) {}

void PortCatalog::SetDeviceLister(DeviceLister lister) { lister_ = std::move(lister); }

void PortCatalog::SetProber(Prober prober) { prober_ = std::move(prober); }

QString PortCatalog::DeviceFor(int number) const {
  if (!InRange(number)) return {};
#ifdef Q_OS_WIN
  return QStringLiteral("COM%1").arg(number);
#else
  return store_.Value(MapKey(number));
#endif
}

bool PortCatalog::Map(int number, const QString& device) {
  if (!InRange(number) || device.trimmed().isEmpty()) return false;
  return store_.SetValue(MapKey(number), device.trimmed());
}

void PortCatalog::Unmap(int number) {
  if (InRange(number)) store_.Remove(MapKey(number));
}

QList<PortCatalog::Entry> PortCatalog::Mappings() const {
  QList<Entry> entries;
#ifndef Q_OS_WIN
  std::set<int> numbers;
  const QStringList keys = store_.Keys(kPortsGroup);
  for (const QString& key : keys) {
    const int number = NumberOfEntry(key);
    if (key.startsWith(QLatin1String("COM")) && InRange(number)) numbers.insert(number);
  }
  for (int number : numbers) {
    const QString device = store_.Value(MapKey(number));
    if (!device.isEmpty()) entries.append({number, device, EntryText(number, device)});
  }
#endif
  return entries;
}

QList<int> PortCatalog::AssignSystemDevices() {
  QList<int> given;
#ifndef Q_OS_WIN
  const QList<Entry> mapped = Mappings();
  std::set<int> used;
  QStringList known;
  for (const Entry& entry : mapped) {
    used.insert(entry.number);
    known << QFileInfo(entry.device).absoluteFilePath();
  }
  const QStringList devices = lister_ ? lister_() : QStringList();
  int next = kFirstPort;
  for (const QString& device : devices) {
    if (device.isEmpty() || known.contains(QFileInfo(device).absoluteFilePath())) continue;
    while (next <= kLastPort && used.count(next)) ++next;
    if (next > kLastPort) break;  // every number is taken
    if (!store_.SetValue(MapKey(next), device)) break;
    used.insert(next);
    known << QFileInfo(device).absoluteFilePath();
    given << next;
  }
#endif
  return given;
}

QList<PortCatalog::Entry> PortCatalog::Scan() {
  QList<Entry> present;
  held_.clear();
#ifdef Q_OS_WIN
  const QStringList listed = lister_ ? lister_() : QStringList();
  for (int number = kFirstPort; number <= kLastPort; ++number) {
    const QString device = DeviceFor(number);
    const Entry entry{number, device, EntryText(number, device)};
    if (prober_ && prober_(device))
      present.append(entry);
    else if (listed.contains(device) || listed.contains(QStringLiteral("\\\\.\\") + device))
      held_.append(entry);  // the system lists it: another program holds it
  }
#else
  const QList<Entry> mapped = Mappings();
  for (const Entry& entry : mapped) {
    // A missing device file cannot open: no need to ask the driver.
    if (!QFileInfo::exists(entry.device)) continue;
    if (prober_ && prober_(entry.device))
      present.append(entry);
    else
      held_.append(entry);  // there, but another program holds it
  }
#endif
  return present;
}

bool PortCatalog::Opens(const QString& device) const { return prober_ && prober_(device); }

PortCatalog::Selection PortCatalog::Refresh(int currentPort) {
  Selection selection;
  selection.portNumber = currentPort;
  AssignSystemDevices();
  selection.entries = Scan();
  if (selection.entries.isEmpty()) return selection;
  for (int i = 0; i < selection.entries.size(); ++i) {
    if (selection.entries[i].number == currentPort) {
      selection.selectedIndex = i;
      return selection;
    }
  }
  selection.selectedIndex = 0;
  selection.portNumber = selection.entries.first().number;
  RememberPort(selection.portNumber);
  return selection;
}

QStringList PortCatalog::PresentDevices() const {
  QStringList devices = lister_ ? lister_() : QStringList();
  const QList<Entry> mapped = Mappings();
  for (const Entry& entry : mapped) {
    if (QFileInfo::exists(entry.device))
      devices << QStringLiteral("COM%1=%2").arg(entry.number).arg(entry.device);
  }
  devices.sort();
  return devices;
}

int PortCatalog::RecallPort() const {
  bool ok = false;
  const int number = store_.Value(kComPortKey).trimmed().toInt(&ok);
  return ok && InRange(number) ? number : kFirstPort;
}

bool PortCatalog::RememberPort(int number) {
  return store_.SetValue(kComPortKey, QString::number(number));
}

int PortCatalog::NumberOfEntry(const QString& entry) {
  const QString rest = entry.mid(3);
  int digits = 0;
  while (digits < rest.size() && rest[digits].isDigit() && rest[digits].unicode() < 128) ++digits;
  return digits == 0 ? 0 : rest.left(digits).toInt();
}

QString PortCatalog::EntryText(int number, const QString& device) {
  QString text = QStringLiteral("COM%1").arg(number);
#ifndef Q_OS_WIN
  QString shown = device;
  if (shown.startsWith(QLatin1String("/dev/"))) shown = shown.mid(5);
  if (!shown.isEmpty()) text += QStringLiteral(" (%1)").arg(shown);
#endif
  return text;
}
