// The factory window: the production serial number at bytes 2048 to 2079.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "image/ParameterImage.h"
#include "settings/FormFactory.h"

class TestFormFactory : public QObject {
  Q_OBJECT

  QLineEdit* Text1(QWidget& window) {
    auto* box = window.findChild<QLineEdit*>("Text1");
    if (!box) qFatal("no Text1");
    return box;
  }

  void Show(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
  }

  // Types the number into a fresh window on `image` and leaves the box.
  void Enter(ParameterImage& image, const QString& typed) {
    FormFactory window(image, false);
    Show(window);
    QLineEdit* box = Text1(window);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    for (const QChar ch : typed) QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, ch, {});
    QTest::keyClick(box, Qt::Key_Tab);
  }

  QString Shown(ParameterImage& image) {
    FormFactory window(image, false);
    return Text1(window)->text();
  }

  static void Fill(ParameterImage& image, uint8_t value) {
    for (int i = 2040; i < 2090; ++i) image.SetByte(i, value);
  }

 private Q_SLOTS:
  // The field between bytes of 'X': what a typed number leaves in bytes 2047
  // to 2080, and what the box shows afterwards.
  void typedNumbers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    const QString full = "TR5906-2026-12-06-000123456789AB";
    QTest::newRow("32 characters, no terminator")
        << full + "Z"
        << "X" + full.toLatin1() + "X" << full;  // the 33rd is dropped
    QTest::newRow("short number") << "SN00000042"
                                  << "XSN00000042" + QByteArray(1, 0) + QByteArray(22, 'X')
                                  << "SN00000042";
    QTest::newRow("empty clears only the first byte")
        << ""
        << "X" + QByteArray(1, 0) + QByteArray(32, 'X') << "";
    QTest::newRow("two-byte character never halved")
        << QString(31, 'a') + QString::fromUtf8("中") << "X" + QByteArray(31, 'a') + '\0' + "X"
        << QString(31, 'a');
  }
  void typedNumbers() {
    QFETCH(QString, typed);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    ParameterImage image;
    Fill(image, 'X');
    Enter(image, typed);
    QCOMPARE(image.Bytes(2047, 34), bytes);
    QCOMPARE(Shown(image), shown);
  }

  void otherBytesEndTheShownNumber() {
    ParameterImage image;
    QCOMPARE(Shown(image), QString());  // fresh image
    image.Store(2048,
                reinterpret_cast<const uint8_t*>("AB\x7F"
                                                 "CD"),
                5);
    QCOMPARE(Shown(image), QString("AB"));
    image.Store(2048,
                reinterpret_cast<const uint8_t*>("AB\xB0\xA1"
                                                 "CD"),
                6);
    QCOMPARE(Shown(image), QString("AB"));
    image.Store(2048,
                reinterpret_cast<const uint8_t*>("A\x1F"
                                                 "B"),
                3);
    QCOMPARE(Shown(image), QString("A"));
    // A Chinese character typed into the box is stored, and ends the number read back.
    Enter(image, QString::fromUtf8("SN中01"));
    QCOMPARE(image.Bytes(2048, 7), QByteArray("SN\xD6\xD0"
                                              "01\0",
                                              7));
    QCOMPARE(Shown(image), QString("SN"));
  }

  void enterStoresAndKeepsTheWindowOpen() {
    ParameterImage image;
    FormFactory window(image, false);
    Show(window);
    QLineEdit* box = Text1(window);
    box->setFocus();
    QTest::keyClicks(box, "A1");
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(window.isVisible());
    QVERIFY(box->hasFocus());
    QCOMPARE(box->selectedText(), QString("A1"));
    QCOMPARE(image.Bytes(2048, 3), QByteArray("A1\0", 3));
    // Typing over the selection and closing with the button stores the new number.
    QTest::keyClicks(box, "B2");
    QTest::mouseClick(window.findChild<QPushButton*>("CommandClose"), Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QCOMPARE(image.Bytes(2048, 3), QByteArray("B2\0", 3));
  }

  void visitingWritesNothing() {
    ParameterImage image;
    image.Store(2048, reinterpret_cast<const uint8_t*>("AB\xFF\xFF"), 4);
    const ParameterImage before = image;
    FormFactory window(image, false);
    Show(window);
    QCOMPARE(window.windowTitle(), QString::fromUtf8("设备信息"));
    Text1(window)->setFocus();
    QTest::keyClick(Text1(window), Qt::Key_Tab);
    window.close();
    QVERIFY(image == before);
  }
};

QTEST_MAIN(TestFormFactory)
#include "tst_formfactory.moc"
