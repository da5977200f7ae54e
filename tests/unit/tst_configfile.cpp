// Configuration files: the round trip, the refusals, and a save that fails
// half-way leaving the earlier file intact.
#include <QtTest>

#include "image/ConfigFile.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"

#include <sys/resource.h>
#include <csignal>

namespace {

QByteArray Pattern(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

QByteArray ReadFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray ImageBytes(const ParameterImage& image) {
  return QByteArray(reinterpret_cast<const char*>(image.Data()), ParameterImage::kSize);
}

/// Lowers the file size limit of this process while it lives; a write past it
/// fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit lowered = previous_;
    lowered.rlim_cur = bytes;
    ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
  bool ok_ = false;
};

}  // namespace

class TestConfigFile : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void init() {
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("unit.quelt"));
    QFile::remove(path_);
  }

  void saveWritesTheImageWithItsMarkerAndOpenRestoresIt() {
    ParameterImage image;
    LoadDefaults(image);
    image.WriteImageText(20, 50, QStringLiteral("一号泵站"));
    const ConfigFile::Result r = ConfigFile::Save(path_, image);
    QVERIFY2(r.ok, qPrintable(r.english));
    QVERIFY(image.HasValidMarker());  // the image itself carries the marker now

    ParameterImage expected;
    LoadDefaults(expected);
    expected.WriteImageText(20, 50, QStringLiteral("一号泵站"));
    QByteArray bytes = ImageBytes(expected);
    bytes[6142] = char(0x55);
    bytes[6143] = char(0xAA);
    QCOMPARE(ReadFile(path_), bytes);

    ParameterImage edited = image;
    edited.SetWord(0, 7);
    edited.WriteImageText(20, 50, QStringLiteral("other"));
    QVERIFY(ConfigFile::Open(path_, edited).ok);
    QVERIFY(edited == image);
  }

  void savingOverALongerFileLeavesExactlyTheImage() {
    // Opening long files: tst_filefaults.
    WriteFile(path_, Pattern(12000));
    ParameterImage image;
    QVERIFY(ConfigFile::Save(path_, image).ok);
    QCOMPARE(QFileInfo(path_).size(), qint64(10240));
  }

  void refusalsLeaveTheImageUnchanged_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("englishPart");
    QTest::newRow("empty") << 0 << "holds 0 bytes";
    QTest::newRow("one byte short") << 10239 << "holds 10239 bytes";
    QTest::newRow("half") << 5000 << "holds 5000 bytes";
  }
  void refusalsLeaveTheImageUnchanged() {
    QFETCH(int, size);
    QFETCH(QString, englishPart);
    WriteFile(path_, Pattern(size));
    ParameterImage image;
    LoadDefaults(image);
    const ParameterImage before = image;
    const ConfigFile::Result r = ConfigFile::Open(path_, image);
    QVERIFY(!r.ok);
    QVERIFY(!r);
    QVERIFY(image == before);
    QVERIFY2(r.english.contains(englishPart), qPrintable(r.english));
    QVERIFY(r.english.contains(QStringLiteral("unit.quelt")));
    QVERIFY(r.chinese.contains(QString::number(size)));
    QVERIFY(r.chinese.contains(QStringLiteral("不是配置文件")));
    QCOMPARE(r.Message(true), r.english);
    QCOMPARE(r.Message(false), r.chinese);
  }

  void missingFileIsReported() {
    // Folders, unreadable files and failed saves: tst_filefaults.
    ParameterImage image;
    const ConfigFile::Result r =
        ConfigFile::Open(dir_.filePath(QStringLiteral("missing.quelt")), image);
    QVERIFY(!r.ok);
    QVERIFY(!r.reason.isEmpty());
    QVERIFY(r.english.startsWith(QStringLiteral("Cannot open the configuration file")));
    QVERIFY(r.chinese.startsWith(QStringLiteral("无法打开配置文件")));
  }

  void failedWriteKeepsTheEarlierFile() {
    const QByteArray earlier = Pattern(10240);
    WriteFile(path_, earlier);
    ParameterImage image;
    LoadDefaults(image);

    ConfigFile::Result r;
    {
      FileSizeLimit limit(4096);
      QVERIFY(limit.ok());
      r = ConfigFile::Save(path_, image);
    }
    QVERIFY(!r.ok);
    QVERIFY2(!r.reason.isEmpty(), qPrintable(r.english));
    QCOMPARE(ReadFile(path_), earlier);
    // No half-written temporary is left beside it.
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("unit.quelt")});

    // With room again the same save goes through.
    QVERIFY(ConfigFile::Save(path_, image).ok);
    QCOMPARE(ReadFile(path_), ImageBytes(image));
  }

 private:
  QTemporaryDir dir_;
  QString path_;
};

QTEST_GUILESS_MAIN(TestConfigFile)
#include "tst_configfile.moc"
