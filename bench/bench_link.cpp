// Read, write, factory reset and firmware update through a pseudo-terminal
// against tr5906-sim. With the simulator's wire delay each transfer is put
// beside its physical limit (every byte at its format plus the pauses the
// protocol prescribes); without it, the time the tool itself adds to each
// request/answer round trip is measured.
//
// Usage: bench_link [--runs N] [--update-runs N] [--sim PATH] [--ctl PATH]
//                   [--only read|write|reset|update]
#include "BenchUtil.h"
#include "TimingLink.h"
#include "image/ConfigFile.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"
#include "link/QtClock.h"
#include "link/QtSerialLink.h"
#include "link/TransactionEngine.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <map>
#include <memory>

using namespace bench;
using std::chrono::milliseconds;

namespace {

constexpr const char* kLinkFormat = "9600,E,7,1";
constexpr const char* kUpdateFormat = "115200,N,8,1";
constexpr uint32_t kUpdateStart = 0x08010000;
constexpr int kUpdateSize = 64 * 1024;

// Bytes on the wire, both ways, of each transfer as the protocols lay it
// out; a run that moved any other number of bytes is not a clean one.
constexpr int kGreetingBytes = 4 + 4;                                     // "LBTW" and its answer
constexpr int kReadBytes = kGreetingBytes + 17 * (4 + 20) + (4 + 8) + 1;  // blocks, identity, "E"
constexpr int kWriteBytes = kGreetingBytes + 16 * (21 + 1) + 1;
constexpr int kResetBytes = kGreetingBytes + (5 + 1) + 1;
constexpr int kUpdateBytes = (4 + 4) + (kUpdateSize / 2048) * (6 + 1) +  // start, erases
                             (kUpdateSize / 128) * ((7 + 1) + (129 + 1)) + (6 + 1);  // blocks, go

// Pauses the configuration protocol prescribes.
constexpr double kContinuePauseMs = 2;      // before every continuing request
constexpr double kFormatChangePauseMs = 7;  // 5 ms closed + 2 ms before opening
constexpr double kUpdateCloseTickMs = 1;    // after the go frame's answer

/// What one transfer took and what its traffic allows.
struct Measurement {
  bool ok = false;
  double elapsedMs = 0;
  double limitMs = 0;
  int wireBytes = 0;
  std::vector<double> roundTripsMs;   ///< request to next request, less the pause
  std::vector<double> turnaroundsMs;  ///< answer taken to next request, less the pause
  /// Of the time beyond the limit: what passed between a request written
  /// and its answer taken beyond their bytes' time on the wire (the
  /// pseudo-terminal and the simulator); the rest is the tool's.
  double lineExcessMs = 0;
  std::vector<double> lineTripsMs;  ///< the same per round trip
};

/// Puts the recorded traffic from event `first` on beside its limit.
/// `pauseBefore(i)` is the prescribed pause before write number i (counted
/// from `first`), `pausesAtEnd` what follows the last answer.
template <typename PauseFunction>
Measurement Analyse(const std::vector<TimingLink::Event>& events, size_t first,
                    TimingLink::Clock::time_point start, TimingLink::Clock::time_point end,
                    PauseFunction pauseBefore, double pausesAtEnd) {
  Measurement m;
  m.elapsedMs = Millis(end - start).count();
  double wireNs = 0;
  double pauses = pausesAtEnd;
  int writes = 0;
  const TimingLink::Event* lastWrite = nullptr;
  const TimingLink::Event* lastAnswer = nullptr;
  for (size_t i = first; i < events.size(); ++i) {
    const TimingLink::Event& e = events[i];
    wireNs += double(e.bytes) * double(TimingLink::ByteTime(e.settings).count());
    m.wireBytes += e.bytes;
    if (!e.write) {
      if (lastWrite && (!lastAnswer || lastAnswer->at < lastWrite->at)) {
        const double wire =
            double(lastWrite->bytes) * double(TimingLink::ByteTime(lastWrite->settings).count()) +
            double(e.bytes) * double(TimingLink::ByteTime(e.settings).count());
        m.lineTripsMs.push_back(Millis(e.at - lastWrite->at).count() - wire / 1e6);
        m.lineExcessMs += m.lineTripsMs.back();
      }
      lastAnswer = &e;
      continue;
    }
    const double pause = pauseBefore(writes++);
    pauses += pause;
    if (lastWrite && lastAnswer && lastAnswer->at >= lastWrite->at) {
      m.roundTripsMs.push_back(Millis(e.at - lastWrite->at).count() - pause);
      m.turnaroundsMs.push_back(Millis(e.at - lastAnswer->at).count() - pause);
    }
    lastWrite = &e;
  }
  m.limitMs = wireNs / 1e6 + pauses;
  return m;
}

/// Lets the event loop run for `ms` milliseconds.
void Idle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

class Bench {
 public:
  Bench(QString sim, QString ctl, QString dir) : sim_(sim), ctl_(ctl), dir_(dir) {}

  /// One engine transaction on the simulator at `device`.
  Measurement Transaction(const QString& device, TransactionEngine::Kind kind) {
    // A moment of quiet first, as between a technician's clicks: the end
    // request of the previous transaction is still on its way (1 ms after
    // it the port closes), and the simulator tells the formats of a
    // pseudo-terminal apart by its session, not by the bits on the line.
    Idle(20);
    QtSerialLink serial([device](int) { return device; });
    TimingLink link(serial);
    QtClock clock;
    SilentPrompts prompts;
    LineSink sink;
    ParameterImage image;
    LoadDefaults(image);
    TransactionEngine engine(link, clock, prompts, sink, image);
    engine.SetPortNumber(1);
    engine.SetLinkSettings(QString::fromLatin1(kLinkFormat));
    QEventLoop loop;
    bool ok = false;
    TimingLink::Clock::time_point end;
    engine.SetFinishedHandler([&](TransactionEngine::Kind, bool success) {
      end = TimingLink::Clock::now();
      ok = success;
      loop.quit();
    });
    const auto start = TimingLink::Clock::now();
    const bool started = kind == TransactionEngine::Kind::Read    ? engine.StartRead()
                         : kind == TransactionEngine::Kind::Write ? engine.StartWrite()
                                                                  : engine.StartReset();
    if (!started) return {};
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    const auto& events = link.Events();
    if (qEnvironmentVariableIsSet("BENCH_DUMP")) {
      for (const TimingLink::Event& e : events)
        std::fprintf(stderr, "%c %8.3f %4d %s\n", e.write ? 'W' : 'R', Millis(e.at - start).count(),
                     e.bytes, qPrintable(e.settings));
      std::fprintf(stderr, "end %8.3f\n", Millis(end - start).count());
    }
    const size_t writes = std::count_if(events.begin(), events.end(),
                                        [](const TimingLink::Event& e) { return e.write; });
    Measurement m = Analyse(
        events, 0, start, end,
        [writes](int i) {
          if (i == 0 || size_t(i) + 1 == writes) return 0.0;  // handshake; end request
          return i == 1 ? kFormatChangePauseMs + kContinuePauseMs : kContinuePauseMs;
        },
        0);
    // A repeated request would mean a lost answer, not a clean run.
    const int expected = kind == TransactionEngine::Kind::Read    ? kReadBytes
                         : kind == TransactionEngine::Kind::Write ? kWriteBytes
                                                                  : kResetBytes;
    m.ok = ok && m.wireBytes == expected &&
           !sink.Lines().join(QLatin1Char('\n')).contains(QLatin1String("Retry("));
    if (!m.ok) std::fprintf(stderr, "%s\n", qPrintable(sink.Lines().join(QLatin1String(" | "))));
    return m;
  }

  /// One firmware update of 64 KB into a fresh simulated boot loader that
  /// listens at 115200 baud. The first start frame goes out at the boot
  /// loader's usual 19200 baud and times out; the measurement starts with
  /// the second one.
  Measurement Update(bool wire) {
    Simulator sim;
    QStringList args{QStringLiteral("--boot-loader"), QStringLiteral("--boot-settings"),
                     QString::fromLatin1(kUpdateFormat)};
    if (wire) args << QStringLiteral("--wire");
    if (!sim.Start(sim_, args)) return {};
    auto firmware = std::make_unique<FirmwareImage>();
    QByteArray data(kUpdateSize, Qt::Uninitialized);
    for (int i = 0; i < kUpdateSize; ++i) data[i] = char((i * 7 + (i >> 8)) & 0xFF);
    firmware->StoreData(kUpdateStart, reinterpret_cast<const uint8_t*>(data.constData()),
                        kUpdateSize);
    const QString device = sim.Path();
    QtSerialLink serial([device](int) { return device; });
    TimingLink link(serial);
    QtClock clock;
    SilentPrompts prompts;
    LineSink sink;
    FirmwareTransfer transfer(link, clock, prompts, sink, *firmware);
    transfer.SetPortNumber(1);
    transfer.SetLinkSettings(QString::fromLatin1(kUpdateFormat));
    QEventLoop loop;
    bool ok = false;
    TimingLink::Clock::time_point end;
    transfer.SetFinishedHandler([&](bool success) {
      end = TimingLink::Clock::now();
      ok = success;
      QTimer::singleShot(0, &loop, &QEventLoop::quit);
    });
    if (!transfer.Start()) return {};
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    const auto& events = link.Events();
    // From the second start frame on.
    size_t first = 0;
    int writes = 0;
    while (first < events.size() && !(events[first].write && ++writes == 2)) ++first;
    if (first >= events.size()) return {};
    if (qEnvironmentVariableIsSet("BENCH_DUMP")) {
      for (size_t i = first;
           i < std::min(events.size(), first + size_t(qEnvironmentVariableIntValue("BENCH_DUMP")));
           ++i)
        std::fprintf(stderr, "%c %8.3f %4d %s\n", events[i].write ? 'W' : 'R',
                     Millis(events[i].at - events[first].at).count(), events[i].bytes,
                     qPrintable(events[i].settings));
    }
    Measurement m = Analyse(
        events, first, events[first].at, end, [](int) { return 0.0; }, kUpdateCloseTickMs);
    // Just the first start frame's time-out, and every byte once.
    m.ok = ok && transfer.ErrorCount() == 1 && m.wireBytes == kUpdateBytes;
    return m;
  }

  /// A whole tr5906ctl run; its time and peak memory.
  ProcessRun Ctl(const QString& device, const QStringList& command) {
    QStringList line{ctl_};
    line << command << QStringLiteral("--port") << device << QStringLiteral("--link")
         << QString::fromLatin1(kLinkFormat) << QStringLiteral("--settings")
         << QDir(dir_).filePath(QStringLiteral("ctl.ini"));
    return RunProcess(line);
  }

  /// What opening and closing the port cost, in ms (medians): a transaction
  /// opens it twice (the greeting, then at 8 data bits) and closes it twice.
  std::pair<double, double> PortCost(const QString& device, int times) {
    QtSerialLink link([device](int) { return device; });
    link.SetSettings(QString::fromLatin1(kLinkFormat));
    std::vector<double> open, close;
    for (int i = 0; i < times; ++i) {
      const auto t0 = TimingLink::Clock::now();
      if (!link.Open()) return {-1, -1};
      const auto t1 = TimingLink::Clock::now();
      link.Close();
      const auto t2 = TimingLink::Clock::now();
      open.push_back(Millis(t1 - t0).count());
      close.push_back(Millis(t2 - t1).count());
    }
    return {Median(open), Median(close)};
  }

  QString Dir() const { return dir_; }

 private:
  QString sim_;
  QString ctl_;
  QString dir_;
};

struct Series {
  std::vector<double> elapsed, ratios, ctlElapsed, ctlRatios, lineExcess, lineTrips;
  std::vector<double> roundTrips, turnarounds;
  double limitMs = 0;
  int wireBytes = 0;
  int failures = 0;
};

void Add(Series& s, const QString& name, const Measurement& m, bool wire) {
  if (!m.ok) {
    ++s.failures;
    std::fprintf(stderr, "bench_link: a %s run %s failed or needed a retry\n", qPrintable(name),
                 wire ? "with wire delay" : "without wire delay");
    return;
  }
  if (wire) {
    s.elapsed.push_back(m.elapsedMs);
    s.ratios.push_back(m.elapsedMs / m.limitMs);
    s.lineExcess.push_back(m.lineExcessMs);
    s.lineTrips.insert(s.lineTrips.end(), m.lineTripsMs.begin(), m.lineTripsMs.end());
    s.limitMs = m.limitMs;
    s.wireBytes = m.wireBytes;
  } else {
    s.roundTrips.insert(s.roundTrips.end(), m.roundTripsMs.begin(), m.roundTripsMs.end());
    s.turnarounds.insert(s.turnarounds.end(), m.turnaroundsMs.begin(), m.turnaroundsMs.end());
  }
}

QString RatioCell(const std::vector<double>& ratios) {
  if (ratios.empty()) return QStringLiteral("n/a");
  return QStringLiteral("**%1** (%2 to %3)")
      .arg(Num(Median(ratios), 3), Num(Min(ratios), 3), Num(Max(ratios), 3));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption runsOption(QStringLiteral("runs"), {}, QStringLiteral("n"),
                                      QStringLiteral("7"));
  const QCommandLineOption updateRunsOption(QStringLiteral("update-runs"), {}, QStringLiteral("n"),
                                            QStringLiteral("3"));
  const QCommandLineOption simOption(QStringLiteral("sim"), {}, QStringLiteral("path"),
                                     QStringLiteral(TR5906_SIM));
  const QCommandLineOption ctlOption(QStringLiteral("ctl"), {}, QStringLiteral("path"),
                                     QStringLiteral(TR5906_CTL));
  const QCommandLineOption onlyOption(QStringLiteral("only"), {}, QStringLiteral("what"));
  parser.addOptions({runsOption, updateRunsOption, simOption, ctlOption, onlyOption});
  parser.process(app);
  const int runs = std::max(1, parser.value(runsOption).toInt());
  const int updateRuns = std::max(1, parser.value(updateRunsOption).toInt());
  const QString only = parser.value(onlyOption);
  const auto wanted = [&only](const char* what) {
    return only.isEmpty() || only == QLatin1String(what);
  };

  QTemporaryDir dir;
  Bench bench(parser.value(simOption), parser.value(ctlOption), dir.path());
  const std::vector<std::pair<const char*, TransactionEngine::Kind>> kinds = {
      {"read", TransactionEngine::Kind::Read},
      {"write", TransactionEngine::Kind::Write},
      {"reset", TransactionEngine::Kind::Reset}};
  std::map<QString, Series> series;
  std::pair<double, double> portCost{-1, -1};

  for (const bool wire : {true, false}) {
    Simulator sim;
    QStringList args{QStringLiteral("--format"), QString::fromLatin1(kLinkFormat)};
    if (wire) args << QStringLiteral("--wire");
    if (!sim.Start(parser.value(simOption), args)) {
      Out(QStringLiteral("cannot start %1").arg(parser.value(simOption)));
      return 1;
    }
    // Rounds of read, write and reset, so that a noisy moment hits all alike.
    for (int run = 0; run < runs; ++run) {
      for (const auto& [name, kind] : kinds) {
        if (!wanted(name)) continue;
        Add(series[QString::fromLatin1(name)], QString::fromLatin1(name),
            bench.Transaction(sim.Path(), kind), wire);
      }
    }
    if (!wire) {
      portCost = bench.PortCost(sim.Path(), 4 * runs);
      continue;
    }
    // The same through whole tr5906ctl processes (start-up, loading, exit).
    const QString file = dir.filePath(QStringLiteral("read.quelt"));
    for (int run = 0; run < runs; ++run) {
      for (const auto& [name, kind] : kinds) {
        if (!wanted(name)) continue;
        Series& s = series[QString::fromLatin1(name)];
        QStringList command{QString::fromLatin1(name)};
        if (kind == TransactionEngine::Kind::Read) command << QStringLiteral("-o") << file;
        if (kind == TransactionEngine::Kind::Write) {
          ParameterImage image;
          LoadDefaults(image);
          ConfigFile::Save(dir.filePath(QStringLiteral("write.quelt")), image);
          command << QStringLiteral("-i") << dir.filePath(QStringLiteral("write.quelt"));
        }
        const ProcessRun p = bench.Ctl(sim.Path(), command);
        if (!p.ok) {
          ++s.failures;
          std::fprintf(stderr, "bench_link: tr5906ctl %s failed (status %d)\n", name, p.status);
          continue;
        }
        s.ctlElapsed.push_back(p.seconds * 1000);
        if (s.limitMs > 0) s.ctlRatios.push_back(p.seconds * 1000 / s.limitMs);
      }
    }
  }
  if (wanted("update")) {
    for (const bool wire : {true, false}) {
      for (int run = 0; run < updateRuns; ++run)
        Add(series[QStringLiteral("update")], QStringLiteral("update"), bench.Update(wire), wire);
    }
  }

  Out(QStringLiteral("### Transfers at the physical limit (tr5906-sim --wire)\n"));
  Out(
      QStringLiteral("| Transfer | Format | Bytes | Limit (ms) | Measured, median (ms) | "
                     "Ratio, median (min to max) | Target | Beyond the limit: tool / "
                     "pty and simulator (ms) | Pty and simulator per round trip: median / 90th "
                     "percentile (ms) | Whole tr5906ctl process: median (ms), ratio |"));
  Out(QStringLiteral("|---|---|---:|---:|---:|---|---|---|---|---|"));
  for (const QString& name : {QStringLiteral("read"), QStringLiteral("write"),
                              QStringLiteral("reset"), QStringLiteral("update")}) {
    if (!series.count(name)) continue;
    const Series& s = series[name];
    const bool update = name == QLatin1String("update");
    const QString format = update ? QStringLiteral("115200,N,8,1, 64 KB")
                                  : QStringLiteral("9600,E,7,1 (transfer 9600,E,8,1)");
    const QString ctl = s.ctlElapsed.empty()
                            ? QStringLiteral("-")
                            : QStringLiteral("%1, %2").arg(Num(Median(s.ctlElapsed), 1),
                                                           Num(Median(s.ctlRatios), 3));
    const double excess = Median(s.elapsed) - s.limitMs;
    const double line = Median(s.lineExcess);
    std::vector<double> trips = s.lineTrips;
    std::sort(trips.begin(), trips.end());
    const double p90 = trips.empty() ? 0 : trips[trips.size() * 9 / 10];
    Out(QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 / %9 | %10 / %11 | %12 |")
            .arg(name, format)
            .arg(s.wireBytes)
            .arg(Num(s.limitMs, 1), Num(Median(s.elapsed), 1), RatioCell(s.ratios),
                 update ? QStringLiteral("within 1.03") : QStringLiteral("within 1.05"),
                 Num(excess - line, 1), Num(line, 1), Num(Median(trips), 3), Num(p90, 3))
            .arg(ctl));
  }
  Out(QString());
  Out(QStringLiteral("### The tool's own time per round trip (no wire delay)\n"));
  Out(
      QStringLiteral("| Transfer | Round trips | Request to next request, less the pause: "
                     "median / worst (ms) | Answer taken to next request out, less the pause: "
                     "median / worst (ms) | Target |"));
  Out(QStringLiteral("|---|---:|---|---|---|"));
  // The configuration transactions together: a reset has only two round
  // trips, one of them across the change of format (close, open).
  Series all;
  for (const auto& [name, s] : series) {
    if (name == QLatin1String("update")) continue;
    all.roundTrips.insert(all.roundTrips.end(), s.roundTrips.begin(), s.roundTrips.end());
    all.turnarounds.insert(all.turnarounds.end(), s.turnarounds.begin(), s.turnarounds.end());
  }
  std::vector<std::pair<QString, const Series*>> rows;
  for (const auto& [name, s] : series) rows.emplace_back(name, &s);
  if (series.size() > 1) rows.emplace_back(QStringLiteral("read, write and reset together"), &all);
  for (const auto& [name, s] : rows) {
    Out(QStringLiteral("| %1 | %2 | **%3** / %4 | %5 / %6 | median under 0.3 ms |")
            .arg(name)
            .arg(s->roundTrips.size())
            .arg(Num(Median(s->roundTrips), 3), Num(Max(s->roundTrips), 3),
                 Num(Median(s->turnarounds), 3), Num(Max(s->turnarounds), 3)));
  }
  Out(QString());
  Out(QStringLiteral("Opening the port (QSerialPort, with its lock file) costs %1 ms, closing "
                     "it %2 ms (medians); a configuration transaction does each twice.\n")
          .arg(Num(portCost.first, 3), Num(portCost.second, 3)));
  int failures = 0;
  for (const auto& [name, s] : series) failures += s.failures;
  if (failures) Out(QStringLiteral("FAILED_RUNS %1").arg(failures));
  return failures ? 1 : 0;
}
