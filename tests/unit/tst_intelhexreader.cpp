// The Intel HEX reader: where the bytes land (scrambled with the low seven
// address bits), the start and end it records, and every refusal with its line.
#include <QtTest>

#include "FileBytes.h"
#include "HexRecord.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

namespace {

const QByteArray kEnd = ":00000001FF", kBase = ":020000040801F1\n";

}  // namespace

class TestIntelHexReader : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void accepted_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<QString>("stored");  // address=byte as stored, ...
    QByteArray all;
    for (int i = 0; i < 255; ++i) all.append(char(i));
    const auto row = [](const char* name, const QByteArray& records, uint start, uint end,
                        const char* stored) {
      QTest::newRow(name) << records + kEnd << start << end << QString(stored);
    };
    row("scrambled", kBase + ":0400000001020304F2\n:02008000AA557F\n", 0x08010000, 0x08010081,
        "8010000=1,8010001=3,8010003=7,8010080=aa,8010081=54");
    row("lower-case digits", ":020000040801f1\n:04001000a1b2c3d402\n", 0x08010010, 0x08010013,
        "8010010=b1,8010013=c7");
    row("blanks, comments, CR LF, empty records",
        "\n  \r\nfirmware 1.2\n" + kBase +
            "  \r\n:0000000000\r\n:00000000FF\r\n\t:020020007879ED \r\n\r\n",
        0x08010020, 0x08010021, "8010020=58,8010021=58");
    row("05 is the entry point, not a base", kBase + ":0400000508020000ED\n:0200100041426B\n",
        0x08010010, 0x08010011, "8010010=51");
    row("out of order", kBase + HexRecord(0, 0x100, "bb") + "\n" + HexRecord(0, 0, "aa") + "\n",
        0x08010000, 0x08010101, "8010000=61,8010101=63");
    row("overlapping: the later wins, the end grows",
        kBase + HexRecord(0, 0, QByteArray(16, 'a')) + "\n" + HexRecord(0, 8, QByteArray(16, 'c')) +
            "\n",
        0x08010000, 0x08010017, "8010007=66,8010008=6b,8010017=74");
    row("255 bytes up to the last byte of the flash",
        ":020000040804EE\n" + HexRecord(0, 0x2000 - 255, all) + "\n", 0x08041F01, 0x08041FFF,
        "8041f01=1,8041f80=7f,8041fff=81");
  }
  void accepted() {
    QFETCH(QByteArray, file);
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(QString, stored);
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY2(reader.ReadData(file + "\r\n\x1a"), qPrintable(reader.ErrorText()));  // DOS end mark
    QCOMPARE(image.ImageStartAddress(), start);
    QCOMPARE(image.ImageEndAddress(), end);
    for (const QString& probe : stored.split(','))
      QCOMPARE(image.StoredByte(probe.section('=', 0, 0).toUInt(nullptr, 16)),
               uint8_t(probe.section('=', 1).toUInt(nullptr, 16)));
    QCOMPARE(image.StoredByte(start - 1), uint8_t{0});  // not filled, not scrambled
  }

  void malformed_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, const QByteArray& file, int line, const char* reason) {
      QTest::newRow(name) << file << line << QString(reason);
    };
    const QByteArray good = ":0400000041424344F2\n", end = "\n" + kEnd;
    row("empty file", "", 0, "no data record");
    row("no end record", kBase + good, 0, "no end-of-file record");
    row("odd digit count", kBase + ":0400000041424344F20" + end, 2, "longer than");
    row("non-hex digit", kBase + ":04000000414G4344F2" + end, 2, "column 13");
    row("bad checksum", kBase + ":0400000041424344F3" + end, 2, "bad checksum");
    row("checksum 0x80 off", kBase + ":040000004142434472" + end, 2, "bad checksum");
    row("unknown type", kBase + ":0100000600F9" + end, 2, "unknown record type 06");
    row("end record with data", kBase + good + ":010000017886", 3, "end-of-file record with");
    row("runs past the flash", ":020000040804EE\n:021FFF0041425D" + end, 2, "outside the flash");
    row("boot loader's first byte", ":020000040800F2\n:0100000041BE" + end, 2, "0x08000000, below");
    row("record after the end", kBase + kEnd + "\n" + good, 3, "after the end");
    row("1 MB line", kBase + ':' + QByteArray(1 << 20, '0') + end, 2, "longer than 1024");
  }
  void malformed() {
    QFETCH(QByteArray, file);
    QFETCH(int, line);
    QFETCH(QString, reason);
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY(!reader.ReadData(file));
    QCOMPARE(reader.ErrorLine(), line);
    QVERIFY2(reader.ErrorText().contains(reason), qPrintable(reader.ErrorText()));
    if (line > 0) QVERIFY(reader.ErrorText().startsWith(QString("line %1: ").arg(line)));
  }

  // One image in two layouts across 0x08020000: 16-byte records, LF; 32-byte records each
  // behind its own address record, an entry point, CR LF and a DOS end mark. The bytes
  // they hold (firmware_linear.bin) were taken out of the file with objcopy -O binary.
  void filesOnDisk() {
    FirmwareImage a, b;
    IntelHexReader readerA(a), readerB(b);
    QVERIFY(readerA.ReadFile(TR5906_TEST_DATA "/firmware_linear.hex"));
    QVERIFY(readerB.ReadFile(TR5906_TEST_DATA "/firmware_crlf.hex"));
    QCOMPARE(a.ImageStartAddress(), 0x0801FFC0u);
    QCOMPARE(a.ImageEndAddress(), 0x080204FFu);
    const QByteArray flash = ReadFile(TR5906_TEST_DATA "/firmware_linear.bin");
    FirmwareImage expected;  // stored as the "scrambled" row of accepted() pins it
    QVERIFY(expected.StoreData(0x0801FFC0, reinterpret_cast<const uint8_t*>(flash.constData()),
                               int(flash.size())));
    QVERIFY(a.Bytes() == expected.Bytes() && b.Bytes() == expected.Bytes());
    QCOMPARE(readerB.EntryPoint(), 0x08010141u);
    // Every file starts at base zero, whatever the one before it set.
    QVERIFY(!readerA.ReadData(":0100000041BE\n" + kEnd));
    QVERIFY(readerA.ErrorReason().contains("outside the flash"));
    QVERIFY(!readerA.ReadFile("/nonexistent/firmware.hex"));
    QVERIFY(readerA.ErrorText().contains("cannot open"));
  }
};

QTEST_GUILESS_MAIN(TestIntelHexReader)
#include "tst_intelhexreader.moc"
