// Files that fail under the tool: saves on a full disk, into a folder that
// cannot be written, over a folder; configuration and firmware files that are
// empty, short, unreadable, folders or 32 MB of garbage. Every failure is
// reported, the image is left as it was, and the earlier file survives.
#include <QtTest>

#include "image/ConfigFile.h"
#include "image/ParameterImage.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>

namespace {

QByteArray Pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 11 + 3) & 0xFF);
  return bytes;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

/// Runs `action` in a child process, as an unprivileged user when `nobody`
/// (permission bits do not stop the superuser). Returns its exit code, -1
/// when it could not drop its privileges; `maxRssKb` gets its peak memory.
int InChild(const std::function<bool()>& action, bool nobody, long* maxRssKb = nullptr) {
  const pid_t pid = fork();
  if (pid == 0) _exit(nobody && (setgid(65534) != 0 || setuid(65534) != 0) ? 100 : !action());
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
  if (maxRssKb) *maxRssKb = usage.ru_maxrss;
  return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
}

bool HexRefused(const QString& path) {
  FirmwareImage image;
  IntelHexReader reader(image);
  return !reader.ReadFile(path) && !reader.ErrorText().isEmpty();
}

}  // namespace

class TestFileFaults : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString At(const QString& name) const { return dir_.filePath(name); }

 private Q_SLOTS:
  void initTestCase() {
    // Earlier files, a plain file where a folder is expected, a folder where
    // a file is, a folder only its owner may write, a file only its owner may read.
    QVERIFY(WriteFile(At("full.quelt"), Pattern(10240)) && WriteFile(At("plain"), Pattern(77)));
    QVERIFY(QDir().mkpath(At("folder.quelt")) && WriteFile(At("folder.quelt/inside"), "x"));
    QVERIFY(QDir().mkpath(At("locked")) && WriteFile(At("locked/kept.quelt"), Pattern(10240)));
    QVERIFY(WriteFile(At("private.quelt"), Pattern(10240)));
    QFile::setPermissions(At("locked/kept.quelt"), QFileDevice::Permissions(0x6666));
    QFile::setPermissions(At("locked"), QFileDevice::Permissions(0x5555));
    QFile::setPermissions(At("private.quelt"), QFileDevice::WriteOwner);
    QFile::setPermissions(dir_.path(), QFileDevice::Permissions(0x7755));
  }
  void cleanupTestCase() { QFile::setPermissions(At("locked"), QFileDevice::Permissions(0x7700)); }

  void saveAndOpen() {
    QVERIFY(WriteFile(At("unit.quelt"), Pattern(12000)));  // a longer file is replaced whole
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
    QFile::remove(At("unit.quelt"));
  }

  void refusedSaves_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kept");  // a file that keeps its bytes
    QTest::addColumn<int>("room");      // bytes the disk takes; -1: no limit
    QTest::newRow("full disk") << "full.quelt"
                               << "full.quelt" << 0;
    QTest::newRow("one byte short") << "full.quelt"
                                    << "full.quelt" << 10239;
    QTest::newRow("new file, half the room") << "new.quelt"
                                             << "full.quelt" << 5120;
    QTest::newRow("under a plain file") << "plain/a.quelt"
                                        << "plain" << -1;
    QTest::newRow("over a folder") << "folder.quelt"
                                   << "folder.quelt/inside" << -1;
    QTest::newRow("read-only folder") << "locked/kept.quelt"
                                      << "locked/kept.quelt" << -1;
  }
  void refusedSaves() {
    QFETCH(QString, name);
    QFETCH(QString, kept);
    QFETCH(int, room);
    const QByteArray before = ReadFile(At(kept));
    const int outcome = InChild(
        [&] {
          std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
          const rlimit limit{rlim_t(room), rlim_t(room)};
          if (room >= 0) setrlimit(RLIMIT_FSIZE, &limit);
          ParameterImage image;
          const ConfigFile::Result r = ConfigFile::Save(At(name), image);
          return !r.ok && r.english.contains(name) && r.chinese.startsWith("无法保存配置文件");
        },
        name.startsWith("locked") && geteuid() == 0);
    if (outcome < 0) QSKIP("cannot run as an unprivileged user here");
    QCOMPARE(outcome, 0);
    QCOMPARE(ReadFile(At(kept)), before);
    // No temporary file left behind, no partial new file.
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"full.quelt", "plain", "private.quelt"}));
    QCOMPARE(QDir(At("locked")).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.quelt"});
  }

  void refusedOpens_data() {
    QTest::addColumn<QString>("name");  // made with `content` unless it exists or is missing
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loaded");  // as a configuration file; firmware is always refused
    QTest::newRow("empty") << "empty.quelt" << QByteArray("") << false;
    QTest::newRow("one byte short") << "short.quelt" << Pattern(10239) << false;
    QTest::newRow("exact") << "exact.quelt" << Pattern(10240) << true;
    QTest::newRow("10 MB") << "long.quelt" << Pattern(10 << 20) << true;
    QTest::newRow("hex cut short")
        << "cut.hex" << QByteArray(":020000040801F1\n:0400000001020304F2\n:04000") << false;
    QTest::newRow("folder") << "folder.quelt" << QByteArray() << false;
    QTest::newRow("missing") << "missing.quelt" << QByteArray() << false;
    QTest::newRow("unreadable") << "/proc/self/mem" << QByteArray() << false;
    QTest::newRow("only its owner may read") << "private.quelt" << QByteArray() << false;
  }
  void refusedOpens() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, loaded);
    const QString path = name.startsWith('/') ? name : At(name);
    if (!content.isNull()) QVERIFY(WriteFile(path, content));
    const int outcome = InChild(
        [&] {
          ParameterImage image;
          image.SetWord(0, 1);
          const ParameterImage before = image;
          const ConfigFile::Result r = ConfigFile::Open(path, image);
          const bool asConfig =
              loaded ? r.ok && image.Bytes(0, 10240) == content.left(10240)
                     : !r.ok && image == before && !r.english.isEmpty() && !r.chinese.isEmpty();
          return asConfig && HexRefused(path);
        },
        name == "private.quelt" && geteuid() == 0);
    if (!content.isNull()) QFile::remove(path);
    if (outcome < 0) QSKIP("cannot run as an unprivileged user here");
    QCOMPARE(outcome, 0);
  }

  void hugeFirmwareFiles_data() {
    QTest::addColumn<QByteArray>("unit");  // repeated to 32 MB
    QTest::newRow("blank lines") << QByteArray("\r\n\n\r\n");
    QTest::newRow("records without end")
        << QByteArray(":020000040801F1\n:10000000000102030405060708090A0B0C0D0E0F78\n");
    QTest::newRow("random bytes") << QByteArray();
  }
  void hugeFirmwareFiles() {
    QFETCH(QByteArray, unit);
    QByteArray chunk;
    for (quint32 x = 77; chunk.size() < (1 << 20); x = x * 1664525u + 1013904223u)
      chunk += unit.isEmpty() ? QByteArray(1, char(x >> 24)) : unit;
    QFile f(At("huge.hex"));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int mb = 0; mb < 32; ++mb) QCOMPARE(f.write(chunk), qint64(chunk.size()));
    f.close();
    QVERIFY(WriteFile(At("tiny.hex"), unit.isEmpty() ? chunk.left(100) : unit));
    // Refused, and in the memory of reading a tiny file, whatever the size.
    long hugeKb = 0, tinyKb = 0;
    QCOMPARE(InChild([&] { return HexRefused(At("huge.hex")); }, false, &hugeKb), 0);
    QCOMPARE(InChild([&] { return HexRefused(At("tiny.hex")); }, false, &tinyKb), 0);
    QVERIFY2(hugeKb - tinyKb < 16 * 1024, qPrintable(QString::number(hugeKb - tinyKb)));
    QFile::remove(At("huge.hex"));
    QFile::remove(At("tiny.hex"));
  }
};

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
