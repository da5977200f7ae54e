#include "HexRecord.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// One record with its checksum.
QByteArray Record(int type, int address, const QByteArray& data) {
  return HexRecord(type, address, data);
}

QByteArray Linear(int upper) {
  return Record(4, 0, QByteArray::fromHex(QByteArray::number(upper, 16).rightJustified(4, '0')));
}

const QByteArray kEnd = ":00000001FF";

// The plain bytes a file holds for an address of the image.
uint8_t Plain(const FirmwareImage& image, uint32_t address) {
  return image.StoredByte(address) ^ FirmwareImage::Key(address);
}

QByteArray Lines(const QByteArrayList& lines) { return lines.join('\n'); }

}  // namespace

class TestIntelHexReader : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void storesScrambledBytes() {
    FirmwareImage image;
    IntelHexReader reader(image);
    const QByteArray file = Lines({":020000040801F1", ":0400000001020304F2",
                                   Record(0, 0x80, QByteArray::fromHex("AA55")), kEnd});
    QVERIFY2(reader.ReadData(file), qPrintable(reader.ErrorText()));
    QCOMPARE(image.Bytes().mid(0x10000, 4), QByteArray::fromHex("01030107"));
    // The key repeats every 128 bytes: 0x08010080 is XOR 0 again.
    QCOMPARE(image.StoredByte(0x08010080), uint8_t{0xAA});
    QCOMPARE(image.StoredByte(0x08010081), uint8_t{0x55 ^ 0x01});
    QCOMPARE(image.StoredByte(0x08010004), uint8_t{0});  // not filled, not scrambled
    QCOMPARE(image.ImageStartAddress(), 0x08010000u);
    QCOMPARE(image.ImageEndAddress(), 0x08010081u);
  }

  // The same data in two layouts: 16-byte records with an address record per
  // 64 KB, LF; 32-byte records each behind its own address record, an entry
  // point, CR LF and a DOS end mark. Both cross 0x08020000.
  void twoFilesOfOneImage() {
    FirmwareImage a;
    FirmwareImage b;
    IntelHexReader readerA(a);
    IntelHexReader readerB(b);
    QVERIFY2(readerA.ReadFile(TR5906_TEST_DATA "/firmware_linear.hex"),
             qPrintable(readerA.ErrorText()));
    QVERIFY2(readerB.ReadFile(TR5906_TEST_DATA "/firmware_crlf.hex"),
             qPrintable(readerB.ErrorText()));
    QCOMPARE(a.ImageStartAddress(), 0x0801FFC0u);
    QCOMPARE(a.ImageEndAddress(), 0x080204FFu);
    QCOMPARE(b.ImageStartAddress(), a.ImageStartAddress());
    QCOMPARE(b.ImageEndAddress(), a.ImageEndAddress());
    QVERIFY(a.Bytes() == b.Bytes());
    for (uint32_t address = 0x0801FFC0; address <= 0x080204FF; ++address) {
      QCOMPARE(Plain(a, address), uint8_t(((address - 0x0801FFC0) * 7 + 3) & 0xFF));
    }
    QVERIFY(!readerA.HasEntryPoint());
    QVERIFY(readerB.HasEntryPoint());
    QCOMPARE(readerB.EntryPoint(), 0x08010141u);
  }

  void addressRecords() {
    FirmwareImage image;
    IntelHexReader reader(image);
    // A start linear address is the entry point, not a base: the data stays at
    // the base of the 04 record.
    QVERIFY2(reader.ReadData(Lines({Linear(0x0801), Record(5, 0, QByteArray::fromHex("08020000")),
                                    Record(0, 0x0010, "AB"), kEnd})),
             qPrintable(reader.ErrorText()));
    QCOMPARE(image.ImageStartAddress(), 0x08010010u);
    QCOMPARE(reader.EntryPoint(), 0x08020000u);

    // 02 sets the base to its value times 16 (a 20-bit address, never the
    // flash), replacing the 04 base; 03 is ignored.
    QVERIFY(!reader.ReadData(
        Lines({Linear(0x0801), Record(3, 0, QByteArray::fromHex("08000000")),
               Record(2, 0, QByteArray::fromHex("8000")), Record(0, 0x0010, "AB"), kEnd})));
    QCOMPARE(reader.ErrorLine(), 4);
    QVERIFY(reader.ErrorReason().contains("outside the flash"));

    // In segment addressing a record may not run past its 64 KB segment.
    QVERIFY(!reader.ReadData(
        Lines({Record(2, 0, QByteArray::fromHex("1000")), Record(0, 0xFFFE, "ABCD"), kEnd})));
    QVERIFY(reader.ErrorReason().contains("segment"));
  }

  void everyFileStartsAtBaseZero() {
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY(reader.ReadData(Lines({Linear(0x0801), Record(0, 0, "A"), kEnd})));
    // The second file has no address record: its data sits at 0x00000000.
    QVERIFY(!reader.ReadData(Lines({Record(0, 0, "A"), kEnd})));
    QVERIFY(reader.ErrorReason().contains("outside the flash"));
    QVERIFY(!image.HasData());
    QCOMPARE(image.Bytes().count('\0'), FirmwareImage::kSize);  // the first file's byte is gone
  }

  void outOfOrderAndOverlapping() {
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY(reader.ReadData(Lines({Linear(0x0801), Record(0, 0x0100, QByteArray(16, 'b')),
                                   Record(0, 0x0000, QByteArray(16, 'a')), kEnd})));
    QCOMPARE(image.ImageStartAddress(), 0x08010000u);
    QCOMPARE(image.ImageEndAddress(), 0x0801010Fu);
    QCOMPARE(Plain(image, 0x08010000), uint8_t('a'));
    QCOMPARE(Plain(image, 0x0801010F), uint8_t('b'));

    // A record that starts inside the range but reaches beyond it extends the
    // end; a later record overwrites what it overlaps.
    QVERIFY(reader.ReadData(Lines({Linear(0x0801), Record(0, 0x0000, QByteArray(16, 'a')),
                                   Record(0, 0x0008, QByteArray(16, 'c')), kEnd})));
    QCOMPARE(image.ImageStartAddress(), 0x08010000u);
    QCOMPARE(image.ImageEndAddress(), 0x08010017u);
    QCOMPARE(Plain(image, 0x08010007), uint8_t('a'));
    QCOMPARE(Plain(image, 0x08010008), uint8_t('c'));
    QCOMPARE(Plain(image, 0x08010017), uint8_t('c'));
  }

  void longestRecord() {
    FirmwareImage image;
    IntelHexReader reader(image);
    QByteArray data;
    for (int i = 0; i < 255; ++i) data.append(static_cast<char>(i));
    // Runs up to the very last byte of the flash.
    QVERIFY2(reader.ReadData(Lines({Linear(0x0804), Record(0, 0x2000 - 255, data), kEnd})),
             qPrintable(reader.ErrorText()));
    QCOMPARE(image.ImageStartAddress(), 0x08041F01u);
    QCOMPARE(image.ImageEndAddress(), FirmwareImage::kFlashLast);
    for (int i = 0; i < 255; ++i) QCOMPARE(Plain(image, 0x08041F01 + i), uint8_t(i));
  }

  void emptyRecordsAndBlankLines() {
    FirmwareImage image;
    IntelHexReader reader(image);
    // Lines that are no record are passed over; records without data are taken
    // whatever their checksum.
    QVERIFY2(reader.ReadData("\n  \r\nfirmware 1.2\n" + Linear(0x0801) +
                             "  \r\n:0000000000\r\n"
                             ":00000000FF\r\n\t" +
                             Record(0, 0x20, "xy") + "\r\n\r\n" + kEnd + "\r\n\x1a"),
             qPrintable(reader.ErrorText()));
    QCOMPARE(image.ImageStartAddress(), 0x08010020u);
    QCOMPARE(image.ImageEndAddress(), 0x08010021u);
  }

  void malformed_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const QByteArray head = Linear(0x0801) + '\n';
    const QByteArray good = Record(0, 0, "ABCD");  // :04000000414243440A
    QTest::newRow("empty file") << QByteArray() << 0 << "no data record";
    QTest::newRow("only an end record") << kEnd << 0 << "no data record";
    QTest::newRow("lone colon") << QByteArray(":") << 1 << "too short";
    QTest::newRow("no end record") << head + good << 0 << "no end-of-file record";
    QTest::newRow("odd digit count") << head + good + "0\n" + kEnd << 2 << "longer than";
    QTest::newRow("digit missing")
        << head + good.left(good.size() - 1) + "\n" + kEnd << 2 << "shorter than";
    QTest::newRow("non-hex digit") << head + ":04000000414G43440A\n" + kEnd << 2 << "column 13";
    QTest::newRow("non-hex count") << head + ":0X000000414243440A\n" + kEnd << 2 << "byte count";
    QTest::newRow("count larger than data")
        << head + ":05000000414243440A\n" + kEnd << 2 << "shorter than";
    QTest::newRow("count smaller than data")
        << head + ":03000000414243440A\n" + kEnd << 2 << "longer than";
    QTest::newRow("bad checksum") << head + ":04000000414243440B\n" + kEnd << 2 << "bad checksum";
    QTest::newRow("unknown type") << head + Record(6, 0, "x") + "\n" + good + "\n" + kEnd << 2
                                  << "unknown record type 06";
    QTest::newRow("02 too long") << Record(2, 0, QByteArray(4, 0)) + "\n" + kEnd << 1
                                 << "wrong length";
    QTest::newRow("04 too short") << Record(4, 0, QByteArray(1, 8)) + "\n" + kEnd << 1
                                  << "wrong length";
    QTest::newRow("05 too short") << Record(5, 0, QByteArray(2, 8)) + "\n" + kEnd << 1
                                  << "wrong length";
    QTest::newRow("end record with data")
        << head + good + "\n" + Record(1, 0, "x") << 3 << "end-of-file record with data";
    QTest::newRow("below the flash")
        << Linear(0x07FF) + "\n" + Record(0, 0xFFFF, "A") + "\n" + kEnd << 2 << "outside the flash";
    QTest::newRow("runs past the flash")
        << Linear(0x0804) + "\n" + Record(0, 0x1FFF, "AB") + "\n" + kEnd << 2
        << "outside the flash";
    QTest::newRow("far above the flash")
        << Linear(0xFFFF) + "\n" + Record(0, 0xFFFF, "A") + "\n" + kEnd << 2 << "outside the flash";
    // The pages below the application hold the boot loader.
    QTest::newRow("boot loader's first byte")
        << Linear(0x0800) + "\n" + Record(0, 0, "A") + "\n" + kEnd << 2 << "0x08000000, below";
    QTest::newRow("last byte below the application")
        << head + Record(0, 0x20, "A") + "\n" + Linear(0x0800) + "\n" + Record(0, 0xFFFF, "AB") +
               "\n" + kEnd
        << 4 << "0x0800FFFF, below the application at 0x08010000";
    QTest::newRow("record after the end") << head + kEnd + "\n" + good << 3 << "after the end";
    QTest::newRow("1 MB line") << head + ':' + QByteArray(1 << 20, '0') + "\n" + kEnd << 2
                               << "longer than 1024";
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
    if (line > 0) QVERIFY(reader.ErrorText().startsWith(QStringLiteral("line %1: ").arg(line)));

    // The same from disk.
    QTemporaryDir dir;
    QFile out(dir.filePath("f.hex"));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();
    QVERIFY(!reader.ReadFile(out.fileName()));
    QCOMPARE(reader.ErrorLine(), line);
  }

  void stopsAtTheFirstWrongLine() {
    FirmwareImage image;
    IntelHexReader reader(image);
    // Line 3 is wrong; line 4 would be outside the flash but is never read.
    QVERIFY(!reader.ReadData(
        Lines({Linear(0x0801), Record(0, 0, "A"), ":0100100041AF", Record(0xFF, 0, ""), kEnd})));
    QCOMPARE(reader.ErrorLine(), 3);
    QVERIFY(reader.ErrorReason().contains("checksum"));
    QCOMPARE(reader.LinesRead(), 3);
  }

  void endlessLineIsRefusedQuickly() {
    // 64 MB without a line end: refused after the first chunk. Garbage, folders
    // and unreadable files: tst_filefaults.
    QTemporaryDir dir;
    FirmwareImage image;
    IntelHexReader reader(image);
    QFile flat(dir.filePath("flat.hex"));
    QVERIFY(flat.open(QIODevice::WriteOnly));
    QVERIFY(flat.resize(64 << 20));  // sparse, all zero bytes
    flat.close();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!reader.ReadFile(flat.fileName()));
    QVERIFY(reader.ErrorReason().contains("longer than"));
    QVERIFY(timer.elapsed() < 1000);
  }

  void missingFile() {
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY(!reader.ReadFile("/nonexistent/firmware.hex"));
    QVERIFY(reader.ErrorText().contains("cannot open"));
  }
};

QTEST_GUILESS_MAIN(TestIntelHexReader)
#include "tst_intelhexreader.moc"
