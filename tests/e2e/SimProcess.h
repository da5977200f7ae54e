#pragma once
// Child processes of the end-to-end tests: the simulated terminal on a
// pseudo-terminal and runs of tr5906ctl, each with a hard time limit so that
// no test can hang.

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <signal.h>

/// tr5906-sim running in the background; stopped (SIGTERM, then killed) when
/// destroyed.
class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess() { Stop(); }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  /// Starts the simulator; true once it has printed its device path.
  bool Start(const QStringList& arguments) {
    process_.setProgram(QStringLiteral(TR5906_SIM));
    process_.setArguments(arguments);
    process_.start();
    if (!process_.waitForStarted(5000)) return false;
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 5000) {
      if (process_.state() != QProcess::Running) return false;
      process_.waitForReadyRead(100);
    }
    if (!process_.canReadLine()) return false;
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    return path_.startsWith(QLatin1Char('/'));
  }

  /// The pseudo-terminal device the tool opens.
  QString Path() const { return path_; }

  /// Ends the simulator like Ctrl-C would (it then writes its dump files);
  /// returns its exit code, or -1 when it had to be killed.
  int Stop() {
    if (process_.state() == QProcess::NotRunning) return process_.exitCode();
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(5000)) {
      process_.kill();
      process_.waitForFinished(2000);
      return -1;
    }
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
  }

  /// Makes the simulator vanish at once, as a pulled cable does.
  void Kill() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(2000);
  }

  /// Waits for the simulator to end by itself (after a hang-up).
  bool WaitForExit(int ms) { return process_.waitForFinished(ms); }

  QString ErrorOutput() { return QString::fromUtf8(process_.readAllStandardError()); }

 private:
  QProcess process_;
  QString path_;
};

/// The outcome of one tr5906ctl run.
struct CtlRun {
  int exitCode = -1;  ///< -1 when it crashed or had to be killed
  bool timedOut = false;
  QStringList lines;  ///< standard output, line by line
  QString errors;     ///< standard error
  qint64 elapsedMs = 0;
};

/// Runs tr5906ctl to its end, killing it after `limitMs`. `interruptAfterMs`
/// (when >= 0) sends SIGINT that long after its first output line, when its
/// transaction (and its Ctrl-C handling) is under way.
inline CtlRun RunCtl(const QStringList& arguments, int limitMs = 20000, int interruptAfterMs = -1) {
  CtlRun run;
  QProcess process;
  process.setProgram(QStringLiteral(TR5906_CTL));
  process.setArguments(arguments);
  QElapsedTimer timer;
  timer.start();
  process.start();
  if (!process.waitForStarted(5000)) return run;
  if (interruptAfterMs >= 0) {
    process.waitForReadyRead(limitMs);
    if (!process.waitForFinished(interruptAfterMs) && process.state() == QProcess::Running)
      ::kill(static_cast<pid_t>(process.processId()), SIGINT);
  }
  if (!process.waitForFinished(limitMs)) {
    run.timedOut = true;
    process.kill();
    process.waitForFinished(2000);
  }
  run.elapsedMs = timer.elapsed();
  if (!run.timedOut && process.exitStatus() == QProcess::NormalExit)
    run.exitCode = process.exitCode();
  const QString out = QString::fromUtf8(process.readAllStandardOutput());
  run.lines = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  run.errors = QString::fromUtf8(process.readAllStandardError());
  return run;
}
