#pragma once
// Child processes of the end-to-end tests: tr5906-sim on a pseudo-terminal and
// runs of tr5906ctl, each with a hard time limit so that no test can hang.
#include "FileBytes.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <signal.h>

#include <functional>

/// tr5906-sim in the background; stopped (SIGTERM, then killed) when destroyed.
struct SimProcess {
  QProcess process;
  QString path;  ///< the pseudo-terminal device the tool opens
  ~SimProcess() { Stop(); }
  /// Starts the simulator; true once it has printed its device path.
  bool Start(const QStringList& arguments) {
    process.start(QStringLiteral(TR5906_SIM), arguments);
    for (int i = 0; i < 50 && !process.canReadLine(); ++i) process.waitForReadyRead(100);
    path = QString::fromLocal8Bit(process.readLine()).trimmed();
    return path.startsWith(QLatin1Char('/'));
  }
  /// Ends the simulator as Ctrl-C does (it then writes its dump files).
  void Stop() {
    if (process.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000)) process.kill();
  }
};

/// The outcome of one tr5906ctl run.
struct CtlRun {
  int exitCode = -1;  ///< -1 when it crashed or had to be killed
  bool triggered = false;
  QStringList lines;  ///< standard output, line by line
  QString errors;     ///< standard error
  qint64 elapsedMs = 0;
};

/// Runs tr5906ctl to its end, killing it after `limitMs`; `onTrigger` runs once
/// when its standard output first shows `trigger`.
inline CtlRun RunCtl(const QStringList& arguments, int limitMs = 20000,
                     const QString& trigger = QString(),
                     const std::function<void(QProcess&)>& onTrigger = {}) {
  CtlRun run;
  QProcess process;
  QElapsedTimer timer;
  timer.start();
  process.start(QStringLiteral(TR5906_CTL), arguments);
  QByteArray out;
  process.waitForStarted(5000);
  while (process.state() == QProcess::Running && timer.elapsed() < limitMs) {
    process.waitForReadyRead(50);
    out += process.readAllStandardOutput();
    if (!run.triggered && !trigger.isEmpty() && out.contains(trigger.toUtf8())) {
      run.triggered = true;
      onTrigger(process);
    }
  }
  const bool killed = process.state() != QProcess::NotRunning;
  if (killed) process.kill();
  process.waitForFinished(2000);
  run.elapsedMs = timer.elapsed();
  if (!killed && process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
  out += process.readAllStandardOutput();
  run.lines = QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  run.errors = QString::fromUtf8(process.readAllStandardError());
  return run;
}
