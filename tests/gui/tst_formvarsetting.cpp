// The report variable window: report flags and variable names of 26 points.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "image/ParameterImage.h"
#include "settings/FormVarSetting.h"

class TestFormVarSetting : public QObject {
  Q_OBJECT

  template <typename T>
  T* Find(QWidget& window, const QString& name) {
    auto* widget = window.findChild<T*>(name);
    if (!widget) qFatal("no control %s", qPrintable(name));
    return widget;
  }

  void Show(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
  }

  // Every byte outside extended offsets [from, to) is as in `before`.
  void CompareOutside(const ParameterImage& image, const ParameterImage& before, int from, int to) {
    for (int i = 0; i < ParameterImage::kSize; ++i) {
      const int ext = i - ParameterImage::kExtendedBase;
      if (ext < from || ext >= to) QCOMPARE(image.Byte(i), before.Byte(i));
    }
  }

 private Q_SLOTS:
  void pointsAreNamedByGroup() {
    ParameterImage image;
    FormVarSetting window(image, false);
    const QStringList expected = {"DO0", "DO7", "DI0", "DI7", "AI0", "AI7", "AO0", "AO1"};
    const int entries[] = {0, 7, 8, 15, 16, 23, 24, 25};
    for (int k = 0; k < 8; ++k)
      QCOMPARE(Find<QCheckBox>(window, QString("CheckFunction_%1").arg(entries[k]))->text(),
               expected[k]);
    QVERIFY(!window.findChild<QCheckBox*>("CheckFunction_26"));
    // Each point sits in its group's frame.
    QCOMPARE(Find<QCheckBox>(window, "CheckFunction_10")->parent(),
             Find<QGroupBox>(window, "FrameItemConfig_1"));
    QCOMPARE(Find<QLineEdit>(window, "TextVarName_25")->parent(),
             Find<QGroupBox>(window, "FrameItemConfig_3"));
  }

  void reportFlagsFollowTheTicks() {
    ParameterImage image;
    image.SetExtWord(FormVarSetting::FlagOffset(5), 2);
    image.SetExtWord(FormVarSetting::FlagOffset(25), 0xFFFF);
    FormVarSetting window(image, false);
    Show(window);
    auto* check = Find<QCheckBox>(window, "CheckFunction_5");
    QVERIFY(check->isChecked());
    QVERIFY(Find<QCheckBox>(window, "CheckFunction_25")->isChecked());
    QVERIFY(!Find<QCheckBox>(window, "CheckFunction_6")->isChecked());
    QCOMPARE(image.GetExtWord(354 + 32 * 5), 2);  // showing it changes nothing
    const ParameterImage before = image;
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(image.GetExtWord(354 + 32 * 5), 0);
    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
    QCOMPARE(image.GetExtWord(354 + 32 * 5), 1);
    CompareOutside(image, before, 354 + 32 * 5, 354 + 32 * 5 + 2);
  }

  void entryTenIsDi2() {
    ParameterImage image;
    FormVarSetting window(image, false);
    Show(window);
    QCOMPARE(FormVarSetting::FlagOffset(10), 674);
    QCOMPARE(FormVarSetting::NameOffset(10), 676);
    QCOMPARE(Find<QCheckBox>(window, "CheckFunction_10")->text(), QString("DI2"));
    const ParameterImage before = image;
    QTest::mouseClick(Find<QCheckBox>(window, "CheckFunction_10"), Qt::LeftButton);
    QCOMPARE(image.GetExtWord(674), 1);
    auto* name = Find<QLineEdit>(window, "TextVarName_10");
    name->setFocus();
    QTest::keyClicks(name, "door_contact");
    QTest::keyClick(name, Qt::Key_Tab);
    QCOMPARE(image.ReadImageText(676, 30), QString("door_contact"));
    QCOMPARE(image.Byte(4096 + 676 + 12), 0);
    CompareOutside(image, before, 674, 706);
  }

  void namesAreCutToTheirField() {
    ParameterImage image;
    image.SetExtWord(FormVarSetting::FlagOffset(1), 0x1234);  // next entry's flag
    FormVarSetting window(image, true);
    Show(window);
    auto* name = Find<QLineEdit>(window, "TextVarName_0");
    name->setFocus();
    // Thirty characters fit the box; the thirty-first is dropped.
    const QString thirty = QString(15, QChar(0x6E29)) + QString(15, QChar(0x5EA6));  // 温..度..
    for (const QChar ch : thirty + QChar(0x8BA1))
      QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, ch, {});
    QCOMPARE(name->text(), thirty);
    QVERIFY(Find<QLabel>(window, "LabelByteHint")->text().contains("30 bytes too long"));
    // Enter stores, keeps the focus and selects the text.
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(name->hasFocus());
    QCOMPARE(name->selectedText(), thirty);
    QCOMPARE(image.ReadImageText(356, 30), thirty.left(15));  // 30 bytes, whole characters
    QCOMPARE(image.GetExtWord(354 + 32), 0x1234);
  }

  void emptyNameClearsItsField() {
    ParameterImage image;
    image.WriteImageText(FormVarSetting::NameOffset(3), 30, "pump");
    image.SetByte(4096 + FormVarSetting::NameOffset(3) + 20, 0x77);  // junk after the name
    image.SetExtWord(FormVarSetting::FlagOffset(4), 1);
    const ParameterImage before = image;
    FormVarSetting window(image, false);
    Show(window);
    auto* name = Find<QLineEdit>(window, "TextVarName_3");
    QCOMPARE(name->text(), QString("pump"));
    name->setFocus();
    name->selectAll();
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClick(name, Qt::Key_Tab);
    for (int i = 0; i < 30; ++i) QCOMPARE(image.Byte(4096 + FormVarSetting::NameOffset(3) + i), 0);
    QCOMPARE(image.GetExtWord(FormVarSetting::FlagOffset(4)), 1);
    CompareOutside(image, before, FormVarSetting::NameOffset(3),
                   FormVarSetting::NameOffset(3) + 30);
  }

  void typedEmptyNameClearsJunk() {
    // The field reads empty but holds bytes after its first 0: typing and
    // deleting a character is an edit, and the empty box clears all 30 bytes.
    ParameterImage image;
    const int name = FormVarSetting::NameOffset(7);
    for (int i = 1; i < 30; ++i) image.SetByte(4096 + name + i, 0x41);
    FormVarSetting window(image, false);
    Show(window);
    auto* box = Find<QLineEdit>(window, "TextVarName_7");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(image.Byte(4096 + name + 1), 0x41);  // only visited
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(image.Bytes(4096 + name, 30), QByteArray(30, '\0'));
  }

  void fillingAndVisitingWriteNothing() {
    ParameterImage image;
    for (int i = 4096; i < 6144; ++i) image.SetByte(i, uint8_t(i * 37 % 251));
    for (int entry = 0; entry < 26; entry += 3)
      image.SetExtWord(FormVarSetting::FlagOffset(entry), 0);
    const ParameterImage before = image;
    FormVarSetting window(image, false);
    QVERIFY(image == before);
    Show(window);
    for (int i = 0; i < 60; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    window.close();
    QVERIFY(image == before);
  }

  void captionsFollowTheLanguage() {
    ParameterImage image;
    FormVarSetting english(image, true);
    QCOMPARE(english.windowTitle(), QString::fromUtf8("报文变量设置"));  // in both languages
    QCOMPARE(Find<QGroupBox>(english, "FrameItemConfig_3")->title(), QString("Analge Output"));
  }
};

QTEST_MAIN(TestFormVarSetting)
#include "tst_formvarsetting.moc"
