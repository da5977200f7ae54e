// The replacement rules of the editors on texts the boxes rarely see (the usual
// ones go through the boxes in the window tests), and the words they store.
#include <QtTest>

#include <functional>

#include "ui/EditorRules.h"

using namespace EditorRules;

class TestEditorRules : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void replacements_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");
    const QString huge(40, '9');
    const auto row = [](const char* box, const QString& typed, const char* shown, int value) {
      QTest::addRow("%s %s", box, qPrintable(typed.left(8))) << box << typed << shown << value;
    };
    row("address", huge, "255", 255);
    row("address", "007", "007", 7);
    row("timeout", "", "10", 10);
    row("filter", "0", "0", 0);
    row("filter", huge, "5", 5);
    row("full", huge, "65535", 65535);
    row("full", "12.6", "13", 13);
    row("offset", "31", "30", 30000);
    row("offset", ".", "0", 0);
    row("offset", "-0.0001", "0", 0);
    row("offset", "-.25", "-0.25", 32768 + 250);
    row("offset", "-" + huge, "-30", 62768);
    row("offset", "-1.2345", "-1.234", 32768 + 1234);  // half to even
    row("offset", "1.2355", "1.236", 1236);
    row("offset", "1.23451", "1.235", 1235);
    row("offset", "1.2.3", "1.2", 1200);
    row("mul", "0.125", "0.12", 12);
    row("mul", "-", "0", 0);
  }
  void replacements() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, value);
    const auto rule = [](const NumberRule& r) {
      return [&r](const QString& text) { return ApplyNumberRule(r, text); };
    };
    const QMap<QString, std::function<Replaced(const QString&)>> editors{
        {"address", rule(kDeviceAddr)}, {"timeout", rule(kUartLostTime)}, {"cycle", rule(kCycle)},
        {"filter", rule(kDinFilter)},   {"full", CloseFullScale},         {"offset", CloseOffset},
        {"mul", CloseMultiplier}};
    const Replaced result = editors[box](typed);
    QCOMPARE(result.text, shown);
    QCOMPARE(int(result.value), value);
  }
  void words() {
    QCOMPARE(WithDirection(0, 2, true), uint16_t(128));
    QCOMPARE(WithDirection(0xFFFF, 4, false), uint16_t(0xFDFF));
    QCOMPARE(WithDinFilter(0x5123, 7), uint16_t(0x5007));
    QCOMPARE(RepeatFromIndex(0).enable, uint16_t(0));  // no repeat, to the gateway
    QCOMPARE(RepeatFromIndex(0).target, uint16_t(1));
    QCOMPARE(RepeatFromIndex(1).enable, uint16_t(1));  // repeat to 485
    QCOMPARE(RepeatFromIndex(1).target, uint16_t(0));
    QCOMPARE(BaudWord(QString(20, '9')), uint16_t(65535));
  }
};

QTEST_GUILESS_MAIN(TestEditorRules)
#include "tst_editorrules.moc"
