// Configuration files and the files that fail under the tool: the round
// trip; saves on a full disk, into a folder that cannot be written, over a
// folder; configuration and firmware files that are empty, short, long,
// unreadable, folders or 32 MB of garbage. Every failure is reported, the
// image is left as it was, and the earlier file survives byte for byte.
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
#include <memory>

namespace {

QByteArray Pattern(int size, int salt = 3) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 11 + salt) & 0xFF);
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
int InChild(const std::function<int()>& action, bool nobody, long* maxRssKb = nullptr) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (nobody && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(100);
    _exit(action());
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
  if (maxRssKb) *maxRssKb = usage.ru_maxrss;
  return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
}

/// A failed open leaves the image alone and says why.
bool RefusedCleanly(const QString& path) {
  ParameterImage image;
  image.SetWord(0, 1);
  const ParameterImage before = image;
  const ConfigFile::Result r = ConfigFile::Open(path, image);
  return !r.ok && image == before && !r.reason.isEmpty() && !r.english.isEmpty() &&
         !r.chinese.isEmpty();
}

bool HexRefused(const QString& path) {
  FirmwareImage image;
  IntelHexReader reader(image);
  return !reader.ReadFile(path) && !reader.ErrorText().isEmpty();
}

}  // namespace

class TestFileFaults : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    scratch_ = std::make_unique<QTemporaryDir>();
    QVERIFY(scratch_->isValid());
  }

  void saveAndOpen() {
    const QString path = scratch_->filePath("unit.quelt");
    QVERIFY(WriteFile(path, Pattern(12000)));  // a longer file is replaced whole
    ParameterImage image;
    image.SetWord(0, 7);
    image.WriteImageText(20, 50, QStringLiteral("泵"));
    QVERIFY(ConfigFile::Save(path, image).ok);
    QByteArray expected(10240, '\0');
    expected.replace(0, 1, "\x07");
    expected.replace(4116, 2, "\xb1\xc3");
    expected.replace(6142, 2, "\x55\xaa");
    QCOMPARE(ReadFile(path).toHex(), expected.toHex());
    ParameterImage edited;
    QVERIFY(ConfigFile::Open(path, edited).ok);
    QVERIFY(edited == image);  // the saved image carries the marker too
  }

  void saveOnAFullDisk_data() {
    QTest::addColumn<int>("room");
    QTest::addColumn<bool>("earlier");
    QTest::newRow("no room, earlier file") << 0 << true;
    QTest::newRow("one byte short, earlier file") << 10239 << true;
    QTest::newRow("half the room, no earlier file") << 5120 << false;
  }
  void saveOnAFullDisk() {
    QFETCH(int, room);
    QFETCH(bool, earlier);
    const QString path = scratch_->filePath("full.quelt");
    QFile::remove(path);
    if (earlier) QVERIFY(WriteFile(path, Pattern(10240)));
    const int outcome = InChild(
        [&] {
          std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG
          rlimit limit{static_cast<rlim_t>(room), static_cast<rlim_t>(room)};
          setrlimit(RLIMIT_FSIZE, &limit);
          ParameterImage image;
          const ConfigFile::Result r = ConfigFile::Save(path, image);
          return !r.ok && r.english.contains("full.quelt") &&
                         r.chinese.startsWith(QStringLiteral("无法保存配置文件"))
                     ? 0
                     : 1;
        },
        false);
    QCOMPARE(outcome, 0);
    QCOMPARE(ReadFile(path), earlier ? Pattern(10240) : QByteArray());
    QCOMPARE(QDir(scratch_->path()).entryList(QDir::Files | QDir::Hidden),
             earlier ? QStringList{"full.quelt"} : QStringList{});  // no temporary left
  }

  void saveWhereNothingCanBeWritten() {
    ParameterImage image;
    QVERIFY(WriteFile(scratch_->filePath("plain"), Pattern(77)));
    QVERIFY(!ConfigFile::Save(scratch_->filePath("plain/a.quelt"), image).ok);
    QCOMPARE(ReadFile(scratch_->filePath("plain")), Pattern(77));
    const QString folder = scratch_->filePath("folder.quelt");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteFile(folder + "/inside", Pattern(10)));
    QVERIFY(ConfigFile::Save(folder, image).english.contains("directory"));
    QCOMPARE(ReadFile(folder + "/inside"), Pattern(10));

    // A read-only folder, for a user whom permission bits stop.
    QFile::setPermissions(scratch_->path(), QFileDevice::Permissions(0x7755));
    const QString locked = scratch_->filePath("readonly");
    QVERIFY(QDir().mkpath(locked));
    QVERIFY(WriteFile(locked + "/kept.quelt", Pattern(10240, 9)));
    QFile::setPermissions(locked + "/kept.quelt", QFileDevice::Permissions(0x6666));
    QFile::setPermissions(locked, QFileDevice::Permissions(0x5555));
    const int outcome =
        InChild([&] { return ConfigFile::Save(locked + "/kept.quelt", image).reason.isEmpty(); },
                geteuid() == 0);
    QFile::setPermissions(locked, QFileDevice::Permissions(0x7700));
    if (outcome < 0) QSKIP("cannot run as an unprivileged user here");
    QCOMPARE(outcome, 0);  // refused, with a reason
    QCOMPARE(ReadFile(locked + "/kept.quelt"), Pattern(10240, 9));
    QCOMPARE(QDir(locked).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.quelt"});
  }

  void openFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");  // -1 a folder, -2 missing, -3 /proc/self/mem
    QTest::addColumn<bool>("ok");
    QTest::newRow("empty") << "empty.quelt" << 0 << false;
    QTest::newRow("one byte short") << "short.quelt" << 10239 << false;
    QTest::newRow("exact") << "exact.quelt" << 10240 << true;
    QTest::newRow("10 MB") << "long.quelt" << (10 << 20) << true;
    QTest::newRow("folder") << "folder" << -1 << false;
    QTest::newRow("missing") << "missing.quelt" << -2 << false;
    QTest::newRow("unreadable") << "/proc/self/mem" << -3 << false;
  }
  void openFiles() {
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(bool, ok);
    const QString path = name.startsWith('/') ? name : scratch_->filePath(name);
    if (size == -1) QVERIFY(QDir().mkpath(path));
    if (size >= 0) QVERIFY(WriteFile(path, Pattern(size, 5)));
    if (!ok) {
      QVERIFY(RefusedCleanly(path));
      return;
    }
    ParameterImage image;
    QVERIFY(ConfigFile::Open(path, image).ok);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.Data()), 10240), Pattern(10240, 5));
  }

  void openAFileOnlyItsOwnerMayRead() {
    const QString path = scratch_->filePath("private.quelt");
    QVERIFY(WriteFile(path, Pattern(10240)));
    QFile::setPermissions(scratch_->path(), QFileDevice::Permissions(0x7711));
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    const int outcome =
        InChild([&] { return RefusedCleanly(path) && HexRefused(path) ? 0 : 1; }, geteuid() == 0);
    if (outcome < 0) QSKIP("cannot run as an unprivileged user here");
    QCOMPARE(outcome, 0);
  }

  void firmwareFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("unit");  // repeated to 32 MB
    QTest::newRow("empty") << "empty" << QByteArray();
    QTest::newRow("folder") << "folder" << QByteArray();
    QTest::newRow("cut short") << "cut" << QByteArray();
    QTest::newRow("blank lines") << "huge" << QByteArray("\r\n\n\r\n");
    QTest::newRow("records without end")
        << "huge" << QByteArray(":020000040801F1\n:10000000000102030405060708090A0B0C0D0E0F78\n");
    QTest::newRow("random bytes") << "huge" << QByteArray("random");
  }
  void firmwareFiles() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, unit);
    const QString path = scratch_->filePath(kind + ".hex");
    if (kind == "empty") QVERIFY(WriteFile(path, {}));
    if (kind == "folder") QVERIFY(QDir().mkpath(path));
    if (kind == "cut") QVERIFY(WriteFile(path, ":020000040801F1\n:0400000001020304F2\n:04000"));
    if (kind != "huge") {
      QVERIFY(HexRefused(path));
      return;
    }

    QByteArray chunk;
    quint32 x = 77;
    while (chunk.size() < (1 << 20)) {
      x = x * 1664525u + 1013904223u;
      if (unit == "random")
        chunk += static_cast<char>(x >> 24);
      else
        chunk += unit;
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (int mb = 0; mb < 32; ++mb) QCOMPARE(f.write(chunk), qint64(chunk.size()));
    f.close();
    QVERIFY(WriteFile(scratch_->filePath("tiny.hex"), unit));
    // Refused, and in the memory of reading a tiny file, whatever the size.
    long hugeKb = 0, tinyKb = 0;
    QCOMPARE(InChild([&] { return HexRefused(path) ? 0 : 1; }, false, &hugeKb), 0);
    QCOMPARE(
        InChild([&] { return HexRefused(scratch_->filePath("tiny.hex")) ? 0 : 1; }, false, &tinyKb),
        0);
    QVERIFY2(hugeKb - tinyKb < 16 * 1024, qPrintable(QString::number(hugeKb - tinyKb)));
    QFile::remove(path);
  }

 private:
  std::unique_ptr<QTemporaryDir> scratch_;
};

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
