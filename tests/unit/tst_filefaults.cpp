// Files that fail under the tool: saves on a full disk, under a plain file,
// over a folder; configuration and firmware files that are empty, short,
// unreadable, folders or 32 MB of garbage. Every failure is reported, the
// image is left as it was, and the earlier file survives.
#include <QtTest>

#include "FileBytes.h"
#include "image/ConfigFile.h"
#include "image/ParameterImage.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

static QByteArray Pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 11 + 3) & 0xFF);
  return bytes;
}

/// Runs `action` in a child process: 0 when true, and its peak memory.
static int InChild(const std::function<bool()>& action, long* maxRssKb = nullptr) {
  const pid_t pid = fork();
  if (pid == 0) _exit(action() ? 0 : 1);
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
  if (maxRssKb) *maxRssKb = usage.ru_maxrss;
  return WEXITSTATUS(status);
}

class TestFileFaults : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString At(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:
  void initTestCase() {
    // An earlier file, a plain file where a folder is expected, a folder where a file is.
    QVERIFY(!WriteFile(At("full.quelt"), Pattern(10240)).isEmpty());
    QVERIFY(!WriteFile(At("plain"), Pattern(77)).isEmpty() && QDir().mkpath(At("folder.quelt")));
    QVERIFY(!WriteFile(At("folder.quelt/inside"), "x").isEmpty());
  }
  void saveAndOpen() {
    // A longer file is replaced whole.
    QVERIFY(!WriteFile(At("unit.quelt"), Pattern(12000)).isEmpty());
    ParameterImage image;
    image.SetWord(0, 7);
    image.WriteImageText(20, 50, QStringLiteral("泵"));
    QVERIFY(ConfigFile::Save(At("unit.quelt"), image).ok);
    QByteArray expected(10240, '\0');
    expected.replace(0, 1, "\x07").replace(4116, 2, "\xb1\xc3").replace(6142, 2, "\x55\xaa");
    QCOMPARE(ReadFile(At("unit.quelt")).toHex(), expected.toHex());
    ParameterImage edited;
    QVERIFY(ConfigFile::Open(At("unit.quelt"), edited).ok);
    QVERIFY(edited == image);  // the saved image carries the marker too
  }
  void refusedSaves_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kept");  // a file that keeps its bytes
    QTest::addColumn<int>("room");      // bytes the disk takes; -1: no limit
    const auto row = [](const char* tag, const char* name, const char* kept, int room) {
      QTest::newRow(tag) << QString(name) << QString(kept) << room;
    };
    row("full disk", "full.quelt", "full.quelt", 0);
    row("one byte short", "full.quelt", "full.quelt", 10239);
    row("new file, half the room", "new.quelt", "full.quelt", 5120);
    row("under a plain file", "plain/a.quelt", "plain", -1);
    row("over a folder", "folder.quelt", "folder.quelt/inside", -1);
  }
  void refusedSaves() {
    QFETCH(QString, name);
    QFETCH(QString, kept);
    QFETCH(int, room);
    const QByteArray before = ReadFile(At(kept));
    const auto save = [&] {
      std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
      const rlimit limit{rlim_t(room), rlim_t(room)};
      if (room >= 0) setrlimit(RLIMIT_FSIZE, &limit);
      ParameterImage image;
      const ConfigFile::Result r = ConfigFile::Save(At(name), image);
      return !r.ok && r.english.contains(name) && r.chinese.startsWith("无法保存配置文件");
    };
    QCOMPARE(InChild(save), 0);
    QCOMPARE(ReadFile(At(kept)), before);
    // No temporary file left behind, no partial new file.
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"full.quelt", "plain", "unit.quelt"}));
  }
  void opens_data() {
    QTest::addColumn<QString>("name");  // made from `content` unless it is null
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("megabytes");  // the content repeated to this size; 0: once
    QTest::addColumn<bool>("loaded");    // as a configuration file; as firmware always refused
    const auto row = [](const char* tag, const char* name, const QByteArray& content, int mb,
                        bool loaded) {
      QTest::newRow(tag) << QString(name) << content << mb << loaded;
    };
    row("empty", "empty.quelt", "", 0, false);
    row("one byte short", "short.quelt", Pattern(10239), 0, false);
    row("exact", "exact.quelt", Pattern(10240), 0, true);
    row("folder", "folder.quelt", QByteArray(), 0, false);
    row("missing", "missing.quelt", QByteArray(), 0, false);
    row("unreadable", "/proc/self/mem", QByteArray(), 0, false);
    row("32 MB of blank lines", "blank.hex", "\r\n\n\r\n", 32, true);
    row("32 MB of records without end", "records.hex",
        ":020000040801F1\n:10000000000102030405060708090A0B0C0D0E0F78\n", 32, true);
    row("32 MB of garbage", "garbage.hex", Pattern(1 << 20), 32, true);
  }
  void opens() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(int, megabytes);
    QFETCH(bool, loaded);
    const QString path = name.startsWith('/') ? name : At(name);
    QFile file(path);
    if (!content.isNull()) QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray chunk = megabytes ? content.repeated((1 << 20) / content.size()) : content;
    for (int mb = 0; mb < qMax(megabytes, 1) && file.isOpen(); ++mb) file.write(chunk);
    file.close();
    ParameterImage image;
    image.SetWord(0, 1);
    const ParameterImage before = image;
    const ConfigFile::Result r = ConfigFile::Open(path, image);
    QCOMPARE(r.ok, loaded);
    QVERIFY(loaded ? image.Bytes(0, 10240) == chunk.left(10240) : image == before);
    QVERIFY(loaded || r.chinese.contains(path));
    // Refused as firmware, in the memory of a tiny file whatever the size.
    long idleKb = 0, usedKb = 0;
    InChild([] { return true; }, &idleKb);
    const auto refused = [&] {
      FirmwareImage firmware;
      IntelHexReader reader(firmware);
      return !reader.ReadFile(path) && !reader.ErrorText().isEmpty();
    };
    QCOMPARE(InChild(refused, &usedKb), 0);
    QVERIFY2(usedKb - idleKb < 16 * 1024, qPrintable(QString::number(usedKb - idleKb)));
    if (!content.isNull()) QFile::remove(path);
  }
};

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
