// Configuration files and the files that fail under the tool: the round
// trip; saves on a full disk, into a folder that cannot be written, over a
// folder; configuration and firmware files that are empty, short, long,
// unreadable or folders; 32 MB firmware files of garbage. Every failure is
// reported, the image is left as it was, and the earlier file survives byte
// for byte.
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

constexpr uid_t kNobody = 65534;

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

/// Reads a firmware file in a child process; returns the child's peak
/// resident memory in KB, or -1. `refused` tells whether the file was refused
/// with a reason.
long ReadInChild(const QString& path, bool* refused) {
  const pid_t pid = fork();
  if (pid == 0) {
    FirmwareImage image;
    IntelHexReader reader(image);
    _exit(!reader.ReadFile(path) && !reader.ErrorText().isEmpty() ? 0 : 1);
  }
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status)) return -1;
  *refused = WEXITSTATUS(status) == 0;
  return usage.ru_maxrss;
}

/// Runs `action` in a child process as an unprivileged user (permission bits
/// do not stop the superuser). Returns the child's exit code, or -1 when the
/// child could not drop its privileges.
int AsNobody(const std::function<int()>& action) {
  const pid_t pid = fork();
  if (pid == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(100);
    _exit(action());
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status) == 100 ? -1 : WEXITSTATUS(status);
}

/// Lowers the file size limit while it lives; a write past it fails with
/// EFBIG instead of raising SIGXFSZ, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
  bool ok_ = false;
};

}  // namespace

class TestFileFaults : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() { QVERIFY(dir_.isValid()); }

  void saveAndOpen() {
    const QString path = dir_.filePath(QStringLiteral("unit.quelt"));
    QVERIFY(WriteFile(path, Pattern(12000)));  // a longer file is replaced whole
    ParameterImage image;
    image.SetWord(0, 7);
    image.WriteImageText(20, 50, QStringLiteral("泵"));
    QVERIFY(ConfigFile::Save(path, image).ok);
    QByteArray expected(10240, '\0');
    expected[0] = 7;
    expected[4096 + 20] = char(0xB1);
    expected[4096 + 21] = char(0xC3);
    expected[6142] = char(0x55);
    expected[6143] = char(0xAA);
    QCOMPARE(ReadFile(path).toHex(), expected.toHex());
    QVERIFY(image.HasValidMarker());  // the image itself carries the marker now

    ParameterImage edited;
    edited.SetWord(0, 9);
    QVERIFY(ConfigFile::Open(path, edited).ok);
    QVERIFY(edited == image);
  }

  void saveOnAFullDisk_data() {
    QTest::addColumn<int>("room");
    QTest::addColumn<bool>("earlier");
    QTest::newRow("no room, earlier file") << 0 << true;
    QTest::newRow("one byte of room, earlier file") << 1 << true;
    QTest::newRow("one byte short, earlier file") << 10239 << true;
    QTest::newRow("no room, no earlier file") << 0 << false;
    QTest::newRow("half the room, no earlier file") << 5120 << false;
  }
  void saveOnAFullDisk() {
    QFETCH(int, room);
    QFETCH(bool, earlier);
    const QString path = dir_.filePath(QStringLiteral("full.quelt"));
    QFile::remove(path);
    const QByteArray before = Pattern(ConfigFile::kFileSize);
    if (earlier) QVERIFY(WriteFile(path, before));
    ParameterImage image;
    image.SetWord(0, 1);

    ConfigFile::Result r;
    {
      FileSizeLimit limit(static_cast<rlim_t>(room));
      QVERIFY(limit.ok());
      r = ConfigFile::Save(path, image);
    }
    QVERIFY(!r.ok);
    QVERIFY2(!r.reason.isEmpty() && r.english.contains(QStringLiteral("full.quelt")),
             qPrintable(r.english));
    QVERIFY(r.chinese.startsWith(QStringLiteral("无法保存配置文件")));
    if (earlier)
      QCOMPARE(ReadFile(path), before);
    else
      QVERIFY(!QFileInfo::exists(path));
    // No temporary is left behind.
    const QStringList left = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, earlier ? QStringList{QStringLiteral("full.quelt")} : QStringList{});
  }

  void saveWhereNothingCanBeWritten() {
    ParameterImage image;

    // A folder that is a file: nothing can be created under it, whoever we are.
    const QString notAFolder = dir_.filePath(QStringLiteral("plain"));
    QVERIFY(WriteFile(notAFolder, Pattern(77)));
    ConfigFile::Result r = ConfigFile::Save(notAFolder + QStringLiteral("/a.quelt"), image);
    QVERIFY(!r.ok);
    QVERIFY(!r.reason.isEmpty());
    QCOMPARE(ReadFile(notAFolder), Pattern(77));

    // Over a folder: refused, the folder and what it holds stay.
    const QString folder = dir_.filePath(QStringLiteral("folder.quelt"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(WriteFile(folder + QStringLiteral("/inside"), Pattern(10)));
    r = ConfigFile::Save(folder, image);
    QVERIFY(!r.ok);
    QVERIFY(r.english.contains(QStringLiteral("directory")));
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(ReadFile(folder + QStringLiteral("/inside")), Pattern(10));
  }

  void saveIntoAReadOnlyFolder() {
    // The tests usually run as the superuser, whom permission bits do not
    // stop; the save then runs in a child process as an unprivileged user.
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                           QFileDevice::ExeOther);
    const QString folder = dir_.filePath(QStringLiteral("readonly"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/kept.quelt");
    const QByteArray before = Pattern(ConfigFile::kFileSize, 9);
    QVERIFY(WriteFile(path, before));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadOther | QFileDevice::WriteOther);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadOther | QFileDevice::ExeOther);

    const auto save = [&] {
      ParameterImage image;
      const ConfigFile::Result r = ConfigFile::Save(path, image);
      return r.ok ? 1 : r.reason.isEmpty() ? 2 : 0;
    };
    const int outcome = geteuid() == 0 ? AsNobody(save) : save();
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (outcome < 0) QSKIP("cannot run as an unprivileged user here");
    QCOMPARE(outcome, 0);  // refused, with a reason
    QCOMPARE(ReadFile(path), before);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("kept.quelt")});
  }

  void openFilesThatAreNoConfiguration_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("ok");
    QTest::newRow("empty") << "empty.quelt" << 0 << false;
    QTest::newRow("short") << "short.quelt" << 100 << false;
    QTest::newRow("one byte short") << "short.quelt" << 10239 << false;
    QTest::newRow("exact") << "exact.quelt" << 10240 << true;
    QTest::newRow("long") << "long.quelt" << 1 << true;  // 1: 10 MB
    QTest::newRow("folder") << "folder" << -1 << false;
    QTest::newRow("missing") << "missing.quelt" << -2 << false;
    QTest::newRow("unreadable") << "/proc/self/mem" << -3 << false;
  }
  void openFilesThatAreNoConfiguration() {
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(bool, ok);
    const QString path = name.startsWith('/') ? name : dir_.filePath(name);
    const QByteArray content = size == 1 ? Pattern(10 << 20, 5) : Pattern(qMax(size, 0), 5);
    if (size == -1) QVERIFY(QDir().mkpath(path));
    if (size >= 0) QVERIFY(WriteFile(path, content));

    ParameterImage image;
    image.SetWord(0, 1);
    const ParameterImage before = image;
    const ConfigFile::Result r = ConfigFile::Open(path, image);
    QCOMPARE(r.ok, ok);
    if (ok) {
      QCOMPARE(QByteArray(reinterpret_cast<const char*>(image.Data()), ParameterImage::kSize),
               content.left(ParameterImage::kSize));
    } else {
      QVERIFY(image == before);
      QVERIFY2(!r.reason.isEmpty() && !r.english.isEmpty() && !r.chinese.isEmpty(),
               qPrintable(r.english));
    }
  }

  void openAFileOnlyItsOwnerMayRead() {
    const QString path = dir_.filePath(QStringLiteral("private.quelt"));
    QVERIFY(WriteFile(path, Pattern(ConfigFile::kFileSize)));
    QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                           QFileDevice::ExeOwner | QFileDevice::ExeOther);
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    const auto open = [&] {
      ParameterImage image;
      image.SetWord(0, 1);
      const ParameterImage before = image;
      const ConfigFile::Result r = ConfigFile::Open(path, image);
      FirmwareImage firmware;
      IntelHexReader reader(firmware);
      const bool hexRefused = !reader.ReadFile(path) && !reader.ErrorText().isEmpty();
      return !r.ok && !r.reason.isEmpty() && image == before && hexRefused ? 0 : 1;
    };
    const int outcome = geteuid() == 0 ? AsNobody(open) : open();
    if (outcome < 0) QSKIP("cannot run as an unprivileged user here");
    QCOMPARE(outcome, 0);
  }

  void firmwareFilesThatAreNoFirmware_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty") << "empty";
    QTest::newRow("folder") << "folder";
    QTest::newRow("unreadable") << "unreadable";
    QTest::newRow("binary") << "binary";
    QTest::newRow("cut short") << "cut";
  }
  void firmwareFilesThatAreNoFirmware() {
    QFETCH(QString, kind);
    QString path = dir_.filePath(kind + QStringLiteral(".hex"));
    if (kind == "empty") QVERIFY(WriteFile(path, {}));
    if (kind == "folder") QVERIFY(QDir().mkpath(path));
    if (kind == "unreadable") path = QStringLiteral("/proc/self/mem");
    if (kind == "binary") QVERIFY(WriteFile(path, Pattern(4096)));
    if (kind == "cut") QVERIFY(WriteFile(path, ":020000040800F2\n:0400000001020304F2\n:04000"));
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY(!reader.ReadFile(path));
    QVERIFY2(!reader.ErrorText().isEmpty(), qPrintable(kind));
  }

  void garbageFirmware_data() {
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<bool>("wholeFileRead");
    // Blank lines are skipped: every byte of the file is looked at.
    QTest::newRow("blank lines") << QByteArray("\r\n\n\r\n") << true;
    // Good records, over and over, and never an end record.
    QTest::newRow("records without end")
        << QByteArray(":020000040800F2\n:10000000000102030405060708090A0B0C0D0E0F78\n") << true;
    QTest::newRow("random bytes") << QByteArray() << false;
  }
  void garbageFirmware() {
    QFETCH(QByteArray, unit);
    QFETCH(bool, wholeFileRead);
    constexpr qint64 kSize = 32LL << 20;
    const QString path = dir_.filePath(QStringLiteral("huge.hex"));
    {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
      QByteArray chunk;
      if (unit.isEmpty()) {
        quint32 x = 77;
        chunk.resize(1 << 20);
        for (char& c : chunk) {
          x = x * 1664525u + 1013904223u;
          c = static_cast<char>(x >> 24);
        }
      } else {
        while (chunk.size() < (1 << 20)) chunk += unit;
      }
      for (qint64 written = 0; written < kSize; written += chunk.size())
        QCOMPARE(f.write(chunk), qint64(chunk.size()));
    }

    FirmwareImage image;
    IntelHexReader reader(image);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!reader.ReadFile(path));
    const qint64 ms = timer.elapsed();
    QVERIFY(!reader.ErrorText().isEmpty());
    if (wholeFileRead) QVERIFY(reader.LinesRead() > 300000);

    // Memory stays that of reading a tiny file, whatever the file's size.
    const QString tiny = dir_.filePath(QStringLiteral("tiny.hex"));
    QVERIFY(WriteFile(tiny, unit.isEmpty() ? Pattern(100) : unit));
    bool refused = false, tinyRefused = false;
    const long hugeKb = ReadInChild(path, &refused);
    const long tinyKb = ReadInChild(tiny, &tinyRefused);
    qInfo(
        "%s: refused in %lld ms (%s), %d lines; peak memory %ld KB against %ld KB for a "
        "tiny file",
        QTest::currentDataTag(), ms, qPrintable(reader.ErrorText()), reader.LinesRead(), hugeKb,
        tinyKb);
    QVERIFY(hugeKb > 0 && tinyKb > 0);
    QVERIFY(refused);
    QVERIFY2(hugeKb - tinyKb < 16 * 1024, "memory grew with the file");
    QVERIFY2(ms < 60000, "took too long");
    QFile::remove(path);
  }

 private:
  QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(TestFileFaults)
#include "tst_filefaults.moc"
