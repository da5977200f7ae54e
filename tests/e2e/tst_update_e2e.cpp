// A firmware update end to end: tr5906ctl update through a pseudo-terminal
// into the simulator's boot loader; its flash afterwards holds the file.
#include "HexRecord.h"
#include "SimProcess.h"
#include "image/Defaults.h"
#include "image/ParameterImage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr uint32_t kFlashBase = 0x08000000;

uint8_t PlainByte(uint32_t address) { return static_cast<uint8_t>((address * 13 + 5) >> 1); }

QByteArray Record(int type, int address, const QByteArray& data) {
  return HexRecord(type, address, data) + "\r\n";
}

// A HEX file of the bytes from `start` to `end`, 16 to a record.
QByteArray HexFile(uint32_t start, uint32_t end) {
  QByteArray text;
  uint32_t upper = 0xFFFFFFFF;
  for (uint32_t a = start; a <= end; a += 16) {
    if (a >> 16 != upper) {
      upper = a >> 16;
      text +=
          Record(4, 0, QByteArray::fromHex(QByteArray::number(upper, 16).rightJustified(4, '0')));
    }
    QByteArray data;
    for (uint32_t i = 0; i < 16 && a + i <= end; ++i) data.append(char(PlainByte(a + i)));
    text += Record(0, a & 0xFFFF, data);
  }
  return text + ":00000001FF\r\n";
}

}  // namespace

class TestUpdateEndToEnd : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;

  QString WriteHex(const QString& name, uint32_t start, uint32_t end) {
    QFile file(dir_.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(HexFile(start, end));
    return file.fileName();
  }

  static QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

 private Q_SLOTS:
  void wholeImageLandsInFlash() {
    // Everything above the boot loader's pages.
    const uint32_t start = 0x08010000;
    const uint32_t end = 0x08041FFF;
    const QString hex = WriteHex(QStringLiteral("app.hex"), start, end);
    const QString dump = dir_.filePath(QStringLiteral("flash.bin"));
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--dump-flash"), dump}));
    const CtlRun run =
        RunCtl({QStringLiteral("update"), hex, QStringLiteral("--port"), sim.Path()}, 120000);
    QVERIFY2(run.exitCode == 0, qPrintable(run.errors));
    QVERIFY(run.lines.contains(QStringLiteral("完成进度:100%")));
    QCOMPARE(run.lines.last(), QStringLiteral("升级成功！"));
    QCOMPARE(sim.Stop(), 0);

    const QByteArray flash = ReadAll(dump);
    QCOMPARE(flash.size(), 0x42000);
    for (uint32_t a = start; a <= end; ++a) {
      if (uint8_t(flash[int(a - kFlashBase)]) != PlainByte(a))
        QFAIL(qPrintable(QStringLiteral("flash differs at %1").arg(a, 8, 16)));
    }
    // Below the image, in the boot loader's pages, the flash stays erased.
    QCOMPARE(uint8_t(flash[int(start - 1 - kFlashBase)]), uint8_t(0xFF));
  }

  // The start frame's bytes inside a configuration write are data: the
  // terminal keeps them and its boot loader does not wake.
  void startFrameInsideAWriteWakesNothing() {
    QByteArray bytes(ParameterImage::kSize, '\0');
    {
      ParameterImage image;
      LoadDefaults(image);
      bytes = QByteArray(reinterpret_cast<const char*>(image.Data()), ParameterImage::kSize);
    }
    bytes.replace(20, 4, QByteArray("UPD\x11", 4));
    const QString config = dir_.filePath(QStringLiteral("upd.quelt"));
    {
      QFile file(config);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(bytes);
    }
    const QString dump = dir_.filePath(QStringLiteral("upd.bin"));
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--dump-image"), dump}));
    const CtlRun run = RunCtl({QStringLiteral("write"), QStringLiteral("-i"), config,
                               QStringLiteral("--port"), sim.Path()});
    QVERIFY2(run.exitCode == 0, qPrintable(run.lines.join('\n') + run.errors));
    QCOMPARE(run.lines.last(), QStringLiteral("设置成功"));
    QCOMPARE(sim.Stop(), 0);
    QCOMPARE(ReadAll(dump).mid(16, 16), bytes.mid(16, 16));
  }

  void refusedVersionLeavesTheFlashAlone() {
    const QString hex = WriteHex(QStringLiteral("small.hex"), 0x08010000, 0x080100FF);
    const QString dump = dir_.filePath(QStringLiteral("untouched.bin"));
    SimProcess sim;
    QVERIFY(sim.Start({QStringLiteral("--boot-version"), QStringLiteral("0x11"),
                       QStringLiteral("--dump-flash"), dump}));
    const CtlRun run =
        RunCtl({QStringLiteral("update"), hex, QStringLiteral("--port"), sim.Path()}, 30000);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.errors.contains(QStringLiteral("升级版本比机器版本低！禁止升级！")) ||
            run.lines.contains(QStringLiteral("升级版本比机器版本低！禁止升级！")));
    QCOMPARE(sim.Stop(), 0);
    QCOMPARE(ReadAll(dump), QByteArray(0x42000, '\xFF'));
  }

  void wrongFileIsRefusedBeforeTheLine_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("bad checksum") << QByteArray(
                                         ":020000040801F1\n:0400000001020304F3\n:00000001FF\n")
                                  << "line 2: bad checksum";
    QTest::newRow("boot loader's pages")
        << QByteArray(":020000040800F2\n:04FFC0000102030433\n:00000001FF\n")
        << "line 2: data at 0x0800FFC0, below the application at 0x08010000";
  }
  void wrongFileIsRefusedBeforeTheLine() {
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    QFile file(dir_.filePath(QStringLiteral("bad.hex")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    for (const QString& check : {QString(), QStringLiteral("--check")}) {
      QStringList args{QStringLiteral("update"), file.fileName(), QStringLiteral("--port"),
                       QStringLiteral("/nonexistent/tty")};
      if (!check.isEmpty()) args << check;
      const CtlRun run = RunCtl(args);
      QCOMPARE(run.exitCode, 1);
      QVERIFY2(run.errors.contains(reason), qPrintable(run.errors));
    }
  }
};

QTEST_GUILESS_MAIN(TestUpdateEndToEnd)
#include "tst_update_e2e.moc"
