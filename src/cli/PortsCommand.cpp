// ports: the numbered serial ports, and mapping a number to a device.
#include "CliOptions.h"
#include "Commands.h"
#include "LinkSession.h"

int RunPorts(const CliOptions& options) {
  LinkSession session(options);
  PortCatalog& catalog = session.Catalog();
  ConsoleSink out;
  if (options.mapNumber > 0) {
    if (!catalog.Map(options.mapNumber, options.mapDevice)) {
      PrintError(QStringLiteral("cannot store the mapping of COM%1").arg(options.mapNumber));
      return kExitFailure;
    }
    out.AddMessage(PortCatalog::EntryText(options.mapNumber, options.mapDevice));
    return kExitSuccess;
  }
  // The same refresh as the window's "Fresh" button: new devices get numbers,
  // the remembered port is selected or the first present one is remembered.
  const PortCatalog::Selection selection = catalog.Refresh(catalog.RecallPort());
  for (int i = 0; i < selection.entries.size(); ++i) {
    const PortCatalog::Entry& entry = selection.entries[i];
    out.AddMessage((i == selection.selectedIndex ? QStringLiteral("* ") : QStringLiteral("  ")) +
                   entry.text);
  }
  if (selection.entries.isEmpty()) {
    PrintError(QStringLiteral("no serial port can be opened"));
    return kExitFailure;
  }
  return kExitSuccess;
}
