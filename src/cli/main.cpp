// tr5906ctl: the configuration tool without windows, for production lines
// and scripts. Same engine, same message lines as the window.
#include "CliOptions.h"
#include "Commands.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("tr5906ctl"));
  CliOptions options;
  QString error;
  bool help = false;
  if (!CliOptions::Parse(QCoreApplication::arguments(), &options, &error, &help)) {
    PrintError(error);
    return kExitUsage;
  }
  if (help) {
    std::fputs(CliOptions::Usage().toUtf8().constData(), stdout);
    return kExitSuccess;
  }
  const QString& c = options.command;
  if (c == QLatin1String("read")) return RunRead(options);
  if (c == QLatin1String("write")) return RunWrite(options);
  if (c == QLatin1String("reset")) return RunReset(options);
  if (c == QLatin1String("log")) return RunLog(options);
  if (c == QLatin1String("detect")) return RunDetect(options);
  if (c == QLatin1String("update")) return RunUpdate(options);
  if (c == QLatin1String("show")) return RunShow(options);
  if (c == QLatin1String("diff")) return RunDiff(options);
  if (c == QLatin1String("ports")) return RunPorts(options);
  if (c == QLatin1String("verify")) return RunVerify(options);
  if (c == QLatin1String("provision")) return RunProvision(options);
  if (c == QLatin1String("records")) return RunRecords(options);
  PrintError(QStringLiteral("unknown command"));
  return kExitUsage;
}
