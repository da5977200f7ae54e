// The Intel HEX reader: what it takes, where the bytes land (scrambled with
// the low seven address bits), and every refusal with its line and reason.
#include "HexRecord.h"
#include "update/FirmwareImage.h"
#include "update/IntelHexReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kEnd = ":00000001FF";

QByteArray Linear(int upper) {
  return HexRecord(4, 0, QByteArray::fromHex(QByteArray::number(upper, 16).rightJustified(4, '0')));
}

/// The byte the file holds for an address: stored XOR the address's low seven bits.
uint8_t Plain(const FirmwareImage& image, uint32_t address) {
  return image.StoredByte(address) ^ (address & 0x7F);
}

}  // namespace

class TestIntelHexReader : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void accepted_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<uint>("start");
    QTest::addColumn<uint>("end");
    QTest::addColumn<QString>("bytes");  // address=plain byte, ...
    QTest::newRow("scrambled")
        << QByteArray(":020000040801F1\n:0400000001020304F2\n:02008000AA557F\n" + kEnd)
        << 0x08010000u << 0x08010081u << "8010000=1,8010001=2,8010003=4,8010080=aa,8010081=55";
    QTest::newRow("lower-case digits")
        << QByteArray(":020000040801f1\n:04001000a1b2c3d402\n" + kEnd) << 0x08010010u << 0x08010013u
        << "8010010=a1,8010013=d4";
    QTest::newRow("blanks, comments, CR LF, empty records, DOS end")
        << "\n  \r\nfirmware 1.2\n" + Linear(0x0801) + "  \r\n:0000000000\r\n:00000000FF\r\n\t" +
               HexRecord(0, 0x20, "xy") + "\r\n\r\n" + kEnd + "\r\n\x1a"
        << 0x08010020u << 0x08010021u << "8010020=78,8010021=79";
    QTest::newRow("05 is the entry point, not a base")
        << Linear(0x0801) + "\n" + HexRecord(5, 0, QByteArray::fromHex("08020000")) + "\n" +
               HexRecord(0, 0x10, "AB") + "\n" + kEnd
        << 0x08010010u << 0x08010011u << "8010010=41";
    QTest::newRow("out of order") << Linear(0x0801) + "\n" +
                                         HexRecord(0, 0x100, QByteArray(16, 'b')) + "\n" +
                                         HexRecord(0, 0, QByteArray(16, 'a')) + "\n" + kEnd
                                  << 0x08010000u << 0x0801010Fu << "8010000=61,801010f=62";
    QTest::newRow("overlapping: the later wins, the end grows")
        << Linear(0x0801) + "\n" + HexRecord(0, 0, QByteArray(16, 'a')) + "\n" +
               HexRecord(0, 8, QByteArray(16, 'c')) + "\n" + kEnd
        << 0x08010000u << 0x08010017u << "8010007=61,8010008=63,8010017=63";
    QByteArray all;
    for (int i = 0; i < 255; ++i) all.append(static_cast<char>(i));
    QTest::newRow("255 bytes up to the last byte of the flash")
        << Linear(0x0804) + "\n" + HexRecord(0, 0x2000 - 255, all) + "\n" + kEnd << 0x08041F01u
        << 0x08041FFFu << "8041f01=0,8041f80=7f,8041fff=fe";
  }
  void accepted() {
    QFETCH(QByteArray, file);
    QFETCH(uint, start);
    QFETCH(uint, end);
    QFETCH(QString, bytes);
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY2(reader.ReadData(file), qPrintable(reader.ErrorText()));
    QCOMPARE(image.ImageStartAddress(), start);
    QCOMPARE(image.ImageEndAddress(), end);
    for (const QString& probe : bytes.split(',')) {
      const uint32_t address = probe.section('=', 0, 0).toUInt(nullptr, 16);
      QCOMPARE(Plain(image, address), uint8_t(probe.section('=', 1).toUInt(nullptr, 16)));
    }
    QCOMPARE(image.StoredByte(start - 1), uint8_t{0});  // not filled, not scrambled
  }

  // The same data in two layouts: 16-byte records with an address record per
  // 64 KB, LF; 32-byte records each behind its own address record, an entry
  // point, CR LF and a DOS end mark. Both cross 0x08020000.
  void twoFilesOfOneImage() {
    FirmwareImage a, b;
    IntelHexReader readerA(a), readerB(b);
    QVERIFY2(readerA.ReadFile(TR5906_TEST_DATA "/firmware_linear.hex"),
             qPrintable(readerA.ErrorText()));
    QVERIFY2(readerB.ReadFile(TR5906_TEST_DATA "/firmware_crlf.hex"),
             qPrintable(readerB.ErrorText()));
    QCOMPARE(a.ImageStartAddress(), 0x0801FFC0u);
    QCOMPARE(a.ImageEndAddress(), 0x080204FFu);
    QVERIFY(a.Bytes() == b.Bytes());
    for (uint32_t address = 0x0801FFC0; address <= 0x080204FF; ++address)
      QCOMPARE(Plain(a, address), uint8_t(((address - 0x0801FFC0) * 7 + 3) & 0xFF));
    QVERIFY(!readerA.HasEntryPoint());
    QCOMPARE(readerB.EntryPoint(), 0x08010141u);
  }

  void everyFileStartsAtBaseZero() {
    FirmwareImage image;
    IntelHexReader reader(image);
    QVERIFY(reader.ReadData(Linear(0x0801) + "\n" + HexRecord(0, 0, "A") + "\n" + kEnd));
    QVERIFY(!reader.ReadData(HexRecord(0, 0, "A") + "\n" + kEnd));
    QVERIFY(reader.ErrorReason().contains("outside the flash"));
    QVERIFY(!image.HasData());
  }

  void malformed_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");
    const QByteArray head = ":020000040801F1\n";
    const QByteArray good = ":0400000041424344F2";
    QTest::newRow("empty file") << QByteArray() << 0 << "no data record";
    QTest::newRow("only an end record") << kEnd << 0 << "no data record";
    QTest::newRow("lone colon") << QByteArray(":") << 1 << "too short";
    QTest::newRow("no end record") << head + good << 0 << "no end-of-file record";
    QTest::newRow("odd digit count") << head + good + "0\n" + kEnd << 2 << "longer than";
    QTest::newRow("digit missing") << head + good.chopped(1) + "\n" + kEnd << 2 << "shorter than";
    QTest::newRow("non-hex digit") << head + ":04000000414G4344F2\n" + kEnd << 2 << "column 13";
    QTest::newRow("non-hex count") << head + ":0X00000041424344F2\n" + kEnd << 2 << "byte count";
    QTest::newRow("count larger") << head + ":0500000041424344F2\n" + kEnd << 2 << "shorter than";
    QTest::newRow("count smaller") << head + ":0300000041424344F2\n" + kEnd << 2 << "longer than";
    QTest::newRow("bad checksum") << head + ":0400000041424344F3\n" + kEnd << 2 << "bad checksum";
    QTest::newRow("checksum 0x80 off")
        << head + ":040000004142434472\n" + kEnd << 2 << "bad checksum";
    QTest::newRow("unknown type") << head + ":0100000600F9\n" + kEnd << 2
                                  << "unknown record type 06";
    QTest::newRow("02 too long") << ":0400000200000000FA\n" + kEnd << 1 << "wrong length";
    QTest::newRow("04 too short") << ":0100000408F3\n" + kEnd << 1 << "wrong length";
    QTest::newRow("05 too short") << ":020000050808E9\n" + kEnd << 1 << "wrong length";
    QTest::newRow("end record with data") << head + good + "\n:010000017886\n"
                                          << 3 << "end-of-file record with data";
    QTest::newRow("02 never reaches the flash")
        << ":0200000280007C\n:0100100041AE\n" + kEnd << 2 << "outside the flash";
    QTest::newRow("past its segment")
        << ":020000021000EC\n:03FFFE004142433A\n" + kEnd << 2 << "segment";
    QTest::newRow("runs past the flash")
        << ":020000040804EE\n:021FFF0041425D\n" + kEnd << 2 << "outside the flash";
    QTest::newRow("boot loader's first byte")
        << ":020000040800F2\n:0100000041BE\n" + kEnd << 2 << "0x08000000, below";
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
    QTemporaryDir dir;  // the same from disk
    QFile out(dir.filePath("f.hex"));
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    QVERIFY(!reader.ReadFile(out.fileName()));
    QCOMPARE(reader.ErrorLine(), line);
  }

  void stopsAtTheFirstWrongLine() {
    FirmwareImage image;
    IntelHexReader reader(image);
    // Line 3 is wrong; line 4 would be outside the flash but is never read.
    QVERIFY(
        !reader.ReadData(":020000040801F1\n:0100000041BE\n:0100100041AF\n:00000000FF\n" + kEnd));
    QCOMPARE(reader.ErrorLine(), 3);
    QCOMPARE(reader.LinesRead(), 3);
    QVERIFY(!reader.ReadFile("/nonexistent/firmware.hex"));
    QVERIFY(reader.ErrorText().contains("cannot open"));
  }
};

QTEST_GUILESS_MAIN(TestIntelHexReader)
#include "tst_intelhexreader.moc"
