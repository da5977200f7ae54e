// The replacement rules of the editors, on texts the boxes rarely see.
#include <QtTest>

#include <cmath>

#include "ui/EditorRules.h"

using namespace EditorRules;

class TestEditorRules : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void leadingNumber() {
    QCOMPARE(LeadingNumber("12abc"), 12.0);
    QCOMPARE(LeadingNumber("1-2"), 1.0);
    QCOMPARE(LeadingNumber("-"), 0.0);
    QCOMPARE(LeadingNumber("."), 0.0);
    QCOMPARE(LeadingNumber(""), 0.0);
    QCOMPARE(LeadingNumber("-.5"), -0.5);
    QCOMPARE(LeadingNumber("5."), 5.0);
    QCOMPARE(LeadingNumber("1.2.3"), 1.2);
    // Too large for any conversion: above every limit, with its sign.
    QVERIFY(std::isinf(LeadingNumber(QString(400, '9'))));
    QVERIFY(LeadingNumber(QString(400, '9')) > 0);
    QVERIFY(LeadingNumber("-" + QString(400, '9')) < 0);
  }

  void scaledRoundHalvesToEven() {
    QCOMPARE(ScaledRound("-1.2345", 3), int64_t(-1234));  // exact half, 4 is even
    QCOMPARE(ScaledRound("1.2355", 3), int64_t(1236));    // exact half, 6 is even
    QCOMPARE(ScaledRound("1.23451", 3), int64_t(1235));   // above half
    QCOMPARE(ScaledRound("0.0025", 3), int64_t(2));       // binary 0.0025 is above half
    QCOMPARE(ScaledRound("0.0035", 3), int64_t(4));
    QCOMPARE(ScaledRound("2.5", 0), int64_t(2));
    QCOMPARE(ScaledRound("3.5", 0), int64_t(4));
    QCOMPARE(ScaledRound("2.5", 2), int64_t(250));
    QCOMPARE(ScaledRound("0007", 0), int64_t(7));
    QCOMPARE(ScaledRound("-", 3), int64_t(0));
  }

  void scaledText() {
    QCOMPARE(ScaledText(1500, 3), QString("1.5"));
    QCOMPARE(ScaledText(100, 2), QString("1"));
    QCOMPARE(ScaledText(-250, 3), QString("-0.25"));
    QCOMPARE(ScaledText(0, 3), QString("0"));
    QCOMPARE(ScaledText(30000, 3), QString("30"));
    QCOMPARE(ScaledText(1, 3), QString("0.001"));
    QCOMPARE(OffsetText(1500), QString("1.5"));
    QCOMPARE(OffsetText(32768 + 1500), QString("-1.5"));
    QCOMPARE(OffsetText(0), QString("0"));
  }

  void numberBoxes_data() {
    // The usual replacements are checked through the boxes themselves
    // (tst_optioneditors); these are the texts a box rarely sees.
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");
    const auto row = [](const char* tag, int box, const QString& typed, const char* shown,
                        int value) {
      QTest::newRow(tag) << box << typed << QString(shown) << value;
    };
    const QString huge(40, '9');
    row("address empty", 0, "", "1", 1);
    row("address 00", 0, "00", "1", 1);
    row("timeout empty", 1, "", "10", 10);
    row("frame empty", 2, "", "200", 200);
    row("cycle empty", 3, "", "6", 6);
    row("filter empty", 5, "", "5", 5);
    row("adjust huge", 6, "256", "255", 255);
    row("address huge", 0, huge, "255", 255);
    row("address 007", 0, "007", "007", 7);
    row("cycle 0", 3, "0", "0", 0);
    row("cycle huge", 3, huge, "8640", 8640);
    row("save 65535", 4, "65535", "65535", 65535);
    row("save huge", 4, huge, "65535", 65535);
    row("filter 0", 5, "0", "0", 0);
    row("filter huge", 5, huge, "5", 5);
  }

  void numberBoxes() {
    QFETCH(int, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, value);
    const NumberRule* rules[] = {&kDeviceAddr, &kUartLostTime, &kUartPackageSize, &kCycle,
                                 &kSavePeriod, &kDinFilter,    &kAdjustVol};
    const Replaced result = ApplyNumberRule(*rules[box], typed);
    QCOMPARE(result.text, shown);
    QCOMPARE(int(result.value), value);
  }

  void gridCells_data() {
    // The cases of the grid's own test (tst_adcgrid) are not repeated here.
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");
    const auto row = [](const char* tag, int column, const QString& typed, const char* shown,
                        int value) {
      QTest::newRow(tag) << column << typed << QString(shown) << value;
    };
    row("full 007 kept", 1, "007", "007", 7);
    row("full huge", 1, QString(30, '9'), "65535", 65535);
    row("full pasted", 1, "12.6", "13", 13);
    row("offset -31", 2, "-31", "-30", 32768 + 30000);
    row("offset 1.50", 2, "1.50", "1.5", 1500);
    row("offset lone .", 2, ".", "0", 0);
    row("offset 1-2", 2, "1-2", "1", 1000);
    row("offset -0.0001", 2, "-0.0001", "0", 0);
    row("offset -.25", 2, "-.25", "-0.25", 32768 + 250);
    row("offset huge", 2, QString(30, '9'), "30", 30000);
    row("offset huge negative", 2, "-" + QString(30, '9'), "-30", 62768);
    row("mul 0.125", 3, "0.125", "0.12", 12);
    row("mul 0.135", 3, "0.135", "0.14", 14);
    row("mul lone -", 3, "-", "0", 0);
  }

  void gridCells() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, value);
    const Replaced result = column == 1   ? CloseFullScale(typed)
                            : column == 2 ? CloseOffset(typed)
                                          : CloseMultiplier(typed);
    QCOMPARE(result.text, shown);
    QCOMPARE(int(result.value), value);
  }

  void bitsAndLists() {
    QCOMPARE(WithDirection(0, 2, true), uint16_t(128));
    QCOMPARE(WithDirection(0xFFFF, 4, false), uint16_t(0xFFFF & ~512));
    QCOMPARE(WithDirection(0x801F, 0, true), uint16_t(0x803F));
    QCOMPARE(WithDinFilter(0xF005, 4095), uint16_t(0xFFFF));
    QCOMPARE(WithDinFilter(0x5123, 7), uint16_t(0x5007));
    QCOMPARE(RepeatFromIndex(0).enable, uint16_t(0));
    QCOMPARE(RepeatFromIndex(0).target, uint16_t(1));
    QCOMPARE(RepeatFromIndex(1).enable, uint16_t(1));
    QCOMPARE(RepeatFromIndex(1).target, uint16_t(0));
    QCOMPARE(RepeatFromIndex(2).target, uint16_t(1));
    QCOMPARE(BaudWord("128000"), uint16_t(1280));
    QCOMPARE(BaudWord("9600"), uint16_t(96));
    QCOMPARE(BaudWord(QString(20, '9')), uint16_t(65535));
    QCOMPARE(ParityWord("E"), uint16_t(1));
    QCOMPARE(ParityWord("O"), uint16_t(2));
    QCOMPARE(ParityWord("N"), uint16_t(0));
    QCOMPARE(DataBitsWord("8"), uint16_t(8));
    QCOMPARE(DataBitsWord("7"), uint16_t(7));
    QCOMPARE(StopBitsWord("2"), uint16_t(2));
    QCOMPARE(StopBitsWord("1.5"), uint16_t(3));
    QCOMPARE(StopBitsWord("1"), uint16_t(1));
  }
};

QTEST_GUILESS_MAIN(TestEditorRules)
#include "tst_editorrules.moc"
