#include "link/FormatTable.h"

namespace {

QStringList BuildEntries() {
  static const char* const kBauds[] = {"9600", "19200", "38400", "57600", "115200",
                                       "2400", "4800",  "28800", "1200",  "128000"};
  static const char* const kFormats[] = {"N,8,1", "E,8,1", "O,8,1", "E,7,1", "O,7,1"};
  QStringList entries;
  for (const char* baud : kBauds)
    for (const char* format : kFormats)
      entries.append(QLatin1String(baud) + QLatin1Char(',') + QLatin1String(format));
  return entries;
}

}  // namespace

const QStringList& FormatTable::Entries() {
  static const QStringList entries = BuildEntries();
  return entries;
}

QString FormatTable::At(int position) {
  return (position >= 0 && position < kSize) ? Entries().at(position) : QString();
}

int FormatTable::IndexOf(const QString& settings) {
  const int position = static_cast<int>(Entries().indexOf(settings));
  return position < 0 ? kNone : position;
}

int FormatTable::Advance(int position) {
  return (position + 1 >= kSize || position < 0) ? 0 : position + 1;
}
