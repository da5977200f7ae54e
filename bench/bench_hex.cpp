// Reading a 192 KB firmware file (Intel HEX, about 550 KB of text): the
// whole `tr5906ctl update --check` process beside srec_cat converting the
// same file to binary, and the reader alone in this process, in MB/s.
//
// Usage: bench_hex [--runs N] [--ctl PATH] [--srec PATH] [--keep FILE]
#include "BenchUtil.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

using namespace bench;

namespace {

constexpr uint32_t kBase = 0x08010000;  // the application's start
constexpr int kSize = 192 * 1024;       // up to the end of the flash

QByteArray Record(int type, int address, const uint8_t* data, int count) {
  static const char kDigits[] = "0123456789ABCDEF";
  QByteArray line(":");
  int sum = 0;
  const auto put = [&](int byte) {
    line.append(kDigits[(byte >> 4) & 0xF]).append(kDigits[byte & 0xF]);
    sum += byte;
  };
  put(count);
  put((address >> 8) & 0xFF);
  put(address & 0xFF);
  put(type);
  for (int i = 0; i < count; ++i) put(data[i]);
  put((-sum) & 0xFF);
  return line + "\r\n";
}

/// 192 KB of firmware from 0x08010000, 16 bytes to a record, CR LF line
/// ends, as the usual tool chains write it.
QByteArray FirmwareText() {
  QByteArray text;
  text.reserve(570 * 1024);
  uint32_t upper = 0xFFFFFFFF;
  for (uint32_t offset = 0; offset < kSize; offset += 16) {
    const uint32_t address = kBase + offset;
    if (address >> 16 != upper) {
      upper = address >> 16;
      const uint8_t base[2] = {uint8_t(upper >> 8), uint8_t(upper)};
      text += Record(4, 0, base, 2);
    }
    uint8_t data[16];
    for (int i = 0; i < 16; ++i) data[i] = uint8_t((offset + i) * 31 + ((offset + i) >> 9));
    text += Record(0, address & 0xFFFF, data, 16);
  }
  return text + ":00000001FF\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption runsOption(QStringLiteral("runs"), {}, QStringLiteral("n"),
                                      QStringLiteral("15"));
  const QCommandLineOption ctlOption(QStringLiteral("ctl"), {}, QStringLiteral("path"),
                                     QStringLiteral(TR5906_CTL));
  const QCommandLineOption srecOption(QStringLiteral("srec"), {}, QStringLiteral("path"),
                                      QStringLiteral("srec_cat"));
  const QCommandLineOption keepOption(QStringLiteral("keep"), {}, QStringLiteral("file"));
  parser.addOptions({runsOption, ctlOption, srecOption, keepOption});
  parser.process(app);
  const int runs = std::max(3, parser.value(runsOption).toInt());

  QTemporaryDir dir;
  const QString hex = parser.isSet(keepOption) ? parser.value(keepOption)
                                               : dir.filePath(QStringLiteral("firmware.hex"));
  const QByteArray text = FirmwareText();
  {
    QFile file(hex);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
      Out(QStringLiteral("cannot write %1").arg(hex));
      return 1;
    }
  }
  const QString report = dir.filePath(QStringLiteral("check.txt"));
  const QString binary = dir.filePath(QStringLiteral("firmware.bin"));
  const QStringList ctl{parser.value(ctlOption), QStringLiteral("update"), hex,
                        QStringLiteral("--check")};
  const QStringList srec{parser.value(srecOption),
                         hex,
                         QStringLiteral("-Intel"),
                         QStringLiteral("-offset"),
                         QStringLiteral("-0x08010000"),
                         QStringLiteral("-o"),
                         binary,
                         QStringLiteral("-Binary")};

  // Both must do the whole job before their times mean anything.
  const ProcessRun firstCtl = RunProcess(ctl, -1, report);
  QFile checked(report);
  const QByteArray said = checked.open(QIODevice::ReadOnly) ? checked.readAll() : QByteArray();
  if (!firstCtl.ok || !said.contains("size 196608")) {
    Out(QStringLiteral("tr5906ctl update --check failed: %1").arg(QString::fromUtf8(said)));
    return 1;
  }
  const ProcessRun firstSrec = RunProcess(srec);
  if (!firstSrec.ok || QFileInfo(binary).size() != kSize) {
    Out(QStringLiteral("srec_cat failed (is the srecord package installed?)"));
    return 1;
  }

  // Alternate the two so that a busy moment hits both.
  std::vector<double> ctlMs, srecMs;
  for (int run = 0; run < runs; ++run) {
    const ProcessRun a = RunProcess(ctl);
    const ProcessRun b = RunProcess(srec);
    if (a.ok) ctlMs.push_back(a.seconds * 1000);
    if (b.ok) srecMs.push_back(b.seconds * 1000);
  }

  // The reader alone: from text in memory, and from the file (page cache).
  auto image = std::make_unique<FirmwareImage>();
  IntelHexReader reader(*image);
  std::vector<double> memoryMBs, fileMBs;
  const double megabytes = double(text.size()) / 1e6;
  for (int run = 0; run < runs * 4; ++run) {
    auto start = std::chrono::steady_clock::now();
    const bool okMemory = reader.ReadData(text);
    const double memorySeconds = Seconds(std::chrono::steady_clock::now() - start).count();
    start = std::chrono::steady_clock::now();
    const bool okFile = reader.ReadFile(hex);
    const double fileSeconds = Seconds(std::chrono::steady_clock::now() - start).count();
    if (!okMemory || !okFile || image->DataSize() != kSize) {
      Out(QStringLiteral("the reader refused the file: %1").arg(reader.ErrorText()));
      return 1;
    }
    memoryMBs.push_back(megabytes / memorySeconds);
    fileMBs.push_back(megabytes / fileSeconds);
  }

  const double speedup = Median(srecMs) / Median(ctlMs);
  Out(QStringLiteral("### Reading a 192 KB firmware file (%1 bytes of Intel HEX)\n")
          .arg(text.size()));
  Out(QStringLiteral("| What | Median | Best | Runs | Reference / target |"));
  Out(QStringLiteral("|---|---:|---:|---:|---|"));
  Out(QStringLiteral("| `tr5906ctl update --check`, whole process | %1 ms | %2 ms | %3 | "
                     "**%4x** faster than srec_cat (target: at least 2x) |")
          .arg(Num(Median(ctlMs), 2), Num(Min(ctlMs), 2))
          .arg(ctlMs.size())
          .arg(Num(speedup, 2)));
  Out(QStringLiteral("| `srec_cat -Intel -offset -0x08010000 -o x.bin -Binary`, whole "
                     "process | %1 ms | %2 ms | %3 | the reference |")
          .arg(Num(Median(srecMs), 2), Num(Min(srecMs), 2))
          .arg(srecMs.size()));
  Out(QStringLiteral("| IntelHexReader::ReadData, text in memory | **%1 MB/s** | %2 MB/s | %3 | "
                     "above 300 MB/s |")
          .arg(Num(Median(memoryMBs), 0), Num(Max(memoryMBs), 0))
          .arg(memoryMBs.size()));
  Out(QStringLiteral("| IntelHexReader::ReadFile, file in the page cache | %1 MB/s | %2 MB/s | "
                     "%3 | above 300 MB/s |")
          .arg(Num(Median(fileMBs), 0), Num(Max(fileMBs), 0))
          .arg(fileMBs.size()));
  Out(QString());
  return 0;
}
