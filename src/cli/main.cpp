// tr5906ctl: the configuration tool without windows, for production lines
// and scripts. Same engine, same message lines as the window.
#include "CliOptions.h"
#include "CommandTable.h"
#include "Commands.h"
#include "ConsoleStreams.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tr5906ctl"));
  ConsoleStreams::IgnoreBrokenPipe();
  CliOptions options;
  QString error;
  if (!CliOptions::Parse(QCoreApplication::arguments(), &options, &error)) {
    PrintError(error);
    return kExitUsage;
  }
  if (options.version) {
    ConsoleStreams::WriteLine(stdout, CommandTable::Version());
    return kExitSuccess;
  }
  if (options.help) {
    ConsoleStreams::Write(stdout, CommandTable::Help(options.command).toUtf8());
    return kExitSuccess;
  }
  return CommandTable::Find(options.command)->run(options);
}
