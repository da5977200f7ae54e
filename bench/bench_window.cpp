// The main window's start-up until it is shown (offscreen platform) with all
// 99 port numbers mapped, most of them to devices that are not there, and
// peak memory: of the window process and of a whole `tr5906ctl read`.
//
// Each start-up runs in a child process of this program (dynamic loading
// included), started with the moment of its spawn; the child reports when
// the first paint of the window is done. Peak memory comes from wait4.
//
// Usage: bench_window [--runs N] [--sim PATH] [--ctl PATH] [--tool PATH]
#include "BenchUtil.h"
#include "link/PortCatalog.h"
#include "link/QtClock.h"
#include "link/QtSerialLink.h"
#include "link/QtSettingsStore.h"
#include "ui/FormMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <stdlib.h>

#include <cstring>
#include <memory>

using namespace bench;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kPresentPorts = 3;  // the rest of the 99 numbers name missing devices

long long NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now().time_since_epoch())
      .count();
}

/// Notes the end of the first paint of a widget, then quits.
class FirstPaint : public QObject {
 public:
  explicit FirstPaint(long long* doneNs) : doneNs_(doneNs) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && *doneNs_ == 0) {
      // The paint runs after this filter; take the time once it is done.
      QTimer::singleShot(0, [this] {
        if (*doneNs_ == 0) *doneNs_ = NowNs();
        QCoreApplication::quit();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  long long* doneNs_;
};

/// The child: the window program's start-up with the given settings file.
/// Writes "spawn-to-shown-ms construct-to-shown-ms max-rss-kb" to `report`.
int Child(int argc, char** argv, const char* settings, long long spawnNs, const char* report) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QStringLiteral("QUELT"));
  QApplication::setApplicationName(QStringLiteral("TR5906"));
  const long long constructNs = NowNs();
  QtSettingsStore store{QString::fromLocal8Bit(settings)};
  PortCatalog ports(store);
  const auto resolve = [&ports](int number) { return ports.DeviceFor(number); };
  QtSerialLink link(resolve);
  QtSerialLink updateLink(resolve);
  QtClock clock;
  long long shownNs = 0;
  FirstPaint watcher(&shownNs);
  FormMain window({link, updateLink, clock, ports, nullptr}, FormMainOptions{});
  window.installEventFilter(&watcher);
  window.show();
  QTimer::singleShot(10000, &app, &QCoreApplication::quit);
  app.exec();
  if (shownNs == 0) return 1;
  QFile out(QString::fromLocal8Bit(report));
  if (!out.open(QIODevice::WriteOnly)) return 1;
  out.write(QStringLiteral("%1 %2 %3\n")
                .arg(double(shownNs - spawnNs) / 1e6)
                .arg(double(shownNs - constructNs) / 1e6)
                .arg(OwnMaxRssKb())
                .toUtf8());
  return 0;
}

/// A pseudo-terminal whose slave stands in for a present serial device.
QString OpenPresentDevice(int* master) {
  *master = posix_openpt(O_RDWR | O_NOCTTY);
  if (*master < 0 || grantpt(*master) != 0 || unlockpt(*master) != 0) return {};
  const char* name = ptsname(*master);
  return name ? QString::fromLocal8Bit(name) : QString();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return Child(1, argv, argv[2], std::atoll(argv[3]), argv[4]);
  }
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption runsOption(QStringLiteral("runs"), {}, QStringLiteral("n"),
                                      QStringLiteral("9"));
  const QCommandLineOption simOption(QStringLiteral("sim"), {}, QStringLiteral("path"),
                                     QStringLiteral(TR5906_SIM));
  const QCommandLineOption ctlOption(QStringLiteral("ctl"), {}, QStringLiteral("path"),
                                     QStringLiteral(TR5906_CTL));
  const QCommandLineOption toolOption(QStringLiteral("tool"), {}, QStringLiteral("path"),
                                      QStringLiteral(TR5906_TOOL));
  parser.addOptions({runsOption, simOption, ctlOption, toolOption});
  parser.process(app);
  const int runs = std::max(1, parser.value(runsOption).toInt());
  qputenv("QT_QPA_PLATFORM", "offscreen");

  QTemporaryDir dir;
  const QString settings = dir.filePath(QStringLiteral("ports.ini"));
  std::vector<int> masters;
  {
    QtSettingsStore store(settings);
    PortCatalog catalog(store);
    for (int number = PortCatalog::kFirstPort; number <= PortCatalog::kLastPort; ++number) {
      QString device;
      if (number <= kPresentPorts) {
        int master = -1;
        device = OpenPresentDevice(&master);
        masters.push_back(master);
      }
      if (device.isEmpty()) device = QStringLiteral("/dev/ttyUSB%1").arg(number + 100);
      catalog.Map(number, device);
    }
    catalog.RememberPort(42);  // a remembered port that is missing
  }

  const QString report = dir.filePath(QStringLiteral("child.txt"));
  std::vector<double> spawnMs, constructMs, cpuMs, rssMb;
  for (int run = 0; run < runs; ++run) {
    QFile::remove(report);
    const ProcessRun child =
        RunProcess({QCoreApplication::applicationFilePath(), QStringLiteral("--child"), settings,
                    QString::number(NowNs()), report});
    QFile in(report);
    if (!child.ok || !in.open(QIODevice::ReadOnly)) {
      Out(QStringLiteral("the window did not start (status %1)").arg(child.status));
      return 1;
    }
    const QList<QByteArray> fields = in.readAll().trimmed().split(' ');
    if (fields.size() != 3) return 1;
    spawnMs.push_back(fields[0].toDouble());
    constructMs.push_back(fields[1].toDouble());
    rssMb.push_back(double(child.maxRssKb) / 1024);
    cpuMs.push_back(child.cpuSeconds * 1000);
  }

  // The window program itself, left running for a second, then stopped.
  const ProcessRun tool =
      RunProcess({parser.value(toolOption), QStringLiteral("--settings"), settings}, 1500);

  // Peak memory of a whole `tr5906ctl read` against the simulator.
  std::vector<double> ctlRssMb;
  Simulator sim;
  if (sim.Start(parser.value(simOption),
                {QStringLiteral("--format"), QStringLiteral("9600,E,7,1")})) {
    for (int run = 0; run < 3; ++run) {
      const ProcessRun read =
          RunProcess({parser.value(ctlOption), QStringLiteral("read"), QStringLiteral("-o"),
                      dir.filePath(QStringLiteral("read.quelt")), QStringLiteral("--port"),
                      sim.Path(), QStringLiteral("--link"), QStringLiteral("9600,E,7,1"),
                      QStringLiteral("--settings"), dir.filePath(QStringLiteral("ctl.ini"))});
      if (read.ok) ctlRssMb.push_back(double(read.maxRssKb) / 1024);
    }
  }
  for (int fd : masters) ::close(fd);

  Out(QStringLiteral("### Window start-up and peak memory\n"));
  Out(QStringLiteral("| What | Median | Range | Runs | Target |"));
  Out(QStringLiteral("|---|---:|---|---:|---|"));
  Out(QStringLiteral("| Window start-up, process spawn to first paint done (offscreen, 99 "
                     "mapped ports, %1 present) | **%2 ms** | %3 to %4 ms | %5 | under 250 ms |")
          .arg(kPresentPorts)
          .arg(Num(Median(spawnMs), 1), Num(Min(spawnMs), 1), Num(Max(spawnMs), 1))
          .arg(spawnMs.size()));
  Out(QStringLiteral("| ... of which FormMain construction to first paint done | %1 ms | %2 to "
                     "%3 ms | %4 | - |")
          .arg(Num(Median(constructMs), 1), Num(Min(constructMs), 1), Num(Max(constructMs), 1))
          .arg(constructMs.size()));
  Out(QStringLiteral("| ... CPU time of the whole window process (start-up and exit; what "
                     "the start-up costs however busy the machine is) | %1 ms | %2 to %3 ms | %4 "
                     "| - |")
          .arg(Num(Median(cpuMs), 1), Num(Min(cpuMs), 1), Num(Max(cpuMs), 1))
          .arg(cpuMs.size()));
  Out(QStringLiteral("| Peak memory (max RSS) of the window process at start-up | **%1 MB** | "
                     "%2 to %3 MB | %4 | under 80 MB |")
          .arg(Num(Median(rssMb), 1), Num(Min(rssMb), 1), Num(Max(rssMb), 1))
          .arg(rssMb.size()));
  Out(QStringLiteral("| Peak memory of tr5906tool, running for 1.5 s | %1 MB | - | 1 | "
                     "under 80 MB |")
          .arg(tool.maxRssKb > 0 ? Num(double(tool.maxRssKb) / 1024, 1) : QStringLiteral("n/a")));
  Out(QStringLiteral("| Peak memory of a whole `tr5906ctl read` | **%1 MB** | %2 to %3 MB | %4 | "
                     "under 20 MB |")
          .arg(Num(Median(ctlRssMb), 1), Num(Min(ctlRssMb), 1), Num(Max(ctlRssMb), 1))
          .arg(ctlRssMb.size()));
  Out(QString());
  return ctlRssMb.empty() ? 1 : 0;
}
