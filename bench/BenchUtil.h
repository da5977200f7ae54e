#pragma once
// Small helpers shared by the benchmark programs: statistics, timing child
// processes (with their peak memory), the simulator in the background, and
// the collaborators a protocol needs when nobody is watching.

#include "link/MessageSink.h"
#include "link/Prompts.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

extern char** environ;

// Paths of the programs the benchmarks start (set by the build).
#ifndef TR5906_SIM
#define TR5906_SIM "tr5906-sim"
#endif
#ifndef TR5906_CTL
#define TR5906_CTL "tr5906ctl"
#endif
#ifndef TR5906_TOOL
#define TR5906_TOOL "tr5906tool"
#endif

namespace bench {

using Seconds = std::chrono::duration<double>;
using Millis = std::chrono::duration<double, std::milli>;

/// Median of the values (the mean of the middle two for an even count).
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

inline double Max(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

inline double Min(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

/// One finished child process.
struct ProcessRun {
  bool ok = false;        ///< started, and exited with status 0
  int status = -1;        ///< exit status, or -signal
  double seconds = 0;     ///< wall time from spawn to exit
  long maxRssKb = 0;      ///< peak resident memory of the child
  double cpuSeconds = 0;  ///< user and system time of the child
};

/// Runs a program to its end with standard output and error on /dev/null
/// (or `output`), measuring the wall time and the peak memory. With
/// `stopAfterMs` >= 0 the child is sent SIGTERM that long after the start.
inline ProcessRun RunProcess(const QStringList& command, int stopAfterMs = -1,
                             const QString& output = QStringLiteral("/dev/null")) {
  ProcessRun run;
  std::vector<QByteArray> storage;
  for (const QString& part : command) storage.push_back(part.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& part : storage) argv.push_back(part.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const QByteArray out = output.toLocal8Bit();
  posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  if (stopAfterMs >= 0) {
    // Poll for an early end, then stop it.
    for (int waited = 0; waited < stopAfterMs; waited += 5) {
      siginfo_t info{};
      if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
          info.si_pid != 0)
        break;
      ::usleep(5000);
    }
    ::kill(pid, SIGTERM);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return run;
  run.seconds = Seconds(std::chrono::steady_clock::now() - start).count();
  run.maxRssKb = usage.ru_maxrss;
  run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

/// Peak resident memory of this process so far, in KB.
inline long OwnMaxRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

/// tr5906-sim in the background, stopped when destroyed.
class Simulator {
 public:
  Simulator() = default;
  ~Simulator() { Stop(); }
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  /// Starts it; true once it has printed its device path.
  bool Start(const QString& program, const QStringList& arguments) {
    // BENCH_TRACE=1: the simulator shows every request and answer.
    const bool trace = qEnvironmentVariableIsSet("BENCH_TRACE");
    process_.setProgram(program);
    process_.setArguments(trace ? arguments + QStringList{QStringLiteral("--trace")} : arguments);
    process_.setProcessChannelMode(trace ? QProcess::ForwardedErrorChannel
                                         : QProcess::SeparateChannels);
    process_.start();
    if (!process_.waitForStarted(5000)) return false;
    QElapsedTimer timer;
    timer.start();
    while (!process_.canReadLine() && timer.elapsed() < 5000) {
      if (process_.state() != QProcess::Running) return false;
      process_.waitForReadyRead(50);
    }
    if (!process_.canReadLine()) return false;
    path_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    return path_.startsWith(QLatin1Char('/'));
  }

  QString Path() const { return path_; }

  void Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
    if (!process_.waitForFinished(5000)) {
      process_.kill();
      process_.waitForFinished(2000);
    }
  }

 private:
  QProcess process_;
  QString path_;
};

/// Answers Cancel to every question and notes whether any was put.
class SilentPrompts : public Prompts {
 public:
  void Critical(const QString& text) override { Note(text); }
  void Information(const QString&) override {}
  bool AskRetry(const QString& text) override {
    Note(text);
    return false;
  }
  bool AskOkCancel(const QString& text) override {
    Note(text);
    return false;
  }
  QString ChooseFile(FileMode, const QString&, const QString&, bool) override { return {}; }
  QString LastProblem() const { return problem_; }

 private:
  void Note(const QString& text) { problem_ = text; }
  QString problem_;
};

/// Keeps the message lines (the last one tells how a transfer ended).
class LineSink : public MessageSink {
 public:
  void AddMessage(const QString& text) override { lines_ << text; }
  const QStringList& Lines() const { return lines_; }
  void Clear() { lines_.clear(); }

 private:
  QStringList lines_;
};

/// One line on standard output, flushed, so a piped run shows progress.
inline void Out(const QString& line) {
  std::fputs(line.toUtf8().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

/// A number with `decimals` places.
inline QString Num(double value, int decimals) { return QString::number(value, 'f', decimals); }

}  // namespace bench
