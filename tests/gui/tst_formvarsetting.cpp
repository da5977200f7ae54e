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

  void flagAndNameOfAnEntry() {
    ParameterImage image;
    image.SetExtWord(FormVarSetting::FlagOffset(10), 2);  // any non-zero word is ticked
    FormVarSetting window(image, false);
    Show(window);
    QCOMPARE(FormVarSetting::FlagOffset(10), 674);
    QCOMPARE(FormVarSetting::NameOffset(10), 676);
    auto* check = Find<QCheckBox>(window, "CheckFunction_10");
    QVERIFY(check->isChecked());
    QVERIFY(!Find<QCheckBox>(window, "CheckFunction_11")->isChecked());
    QCOMPARE(image.GetExtWord(674), 2);  // showing it changes nothing
    const ParameterImage before = image;
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(image.GetExtWord(674), 0);
    check->setFocus();
    QTest::keyClick(check, Qt::Key_Space);
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

  void emptyNameClearsAllItsBytes() {
    // The field reads "pump" and holds junk after its first 0; another reads
    // empty but holds bytes after its first 0. Visiting changes nothing; an
    // empty box after an edit clears all 30 bytes.
    ParameterImage image;
    const int pump = FormVarSetting::NameOffset(3);
    const int junk = FormVarSetting::NameOffset(7);
    image.WriteImageText(pump, 30, "pump");
    image.SetByte(4096 + pump + 20, 0x77);
    for (int i = 1; i < 30; ++i) image.SetByte(4096 + junk + i, 0x41);
    FormVarSetting window(image, false);
    Show(window);
    const ParameterImage before = image;
    auto* box = Find<QLineEdit>(window, "TextVarName_3");
    QCOMPARE(box->text(), QString("pump"));
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(image.Bytes(4096 + pump, 30), QByteArray(30, '\0'));
    CompareOutside(image, before, pump, pump + 30);

    box = Find<QLineEdit>(window, "TextVarName_7");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(image.Byte(4096 + junk + 1), 0x41);  // only visited
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A);
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(image.Bytes(4096 + junk, 30), QByteArray(30, '\0'));
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
