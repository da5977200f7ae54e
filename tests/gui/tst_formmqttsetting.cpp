// The MQTT settings window, driven by key events against a shared image.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "image/ParameterImage.h"
#include "settings/FormMqttSetting.h"

namespace {

// Replaces the box's text the way a user does: focus, select all, type, leave
// with Tab (or Enter when `enter`).
void TypeInto(QLineEdit* box, const QString& text, bool enter = false) {
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClicks(box, text);
  QTest::keyClick(box, enter ? Qt::Key_Return : Qt::Key_Tab);
}

// Typed characters outside ASCII go through the text of the key event.
void TypeChars(QLineEdit* box, const QString& text) {
  for (const QChar ch : text) QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, ch, {});
}

}  // namespace

class TestFormMqttSetting : public QObject {
  Q_OBJECT

  template <typename T>
  T* Find(QWidget& window, const char* name) {
    auto* widget = window.findChild<T*>(name);
    if (!widget) qFatal("no control %s", name);
    return widget;
  }

  void Show(QWidget& window) {
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
  }

 private Q_SLOTS:
  void numberBoxesAreBroughtIntoRange_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("stored");
    QTest::newRow("keep-alive empty") << "TextKeepAliveTime" << 350 << ""
                                      << "120" << 120;
    QTest::newRow("keep-alive above") << "TextKeepAliveTime" << 350 << "3601"
                                      << "3600" << 3600;
    QTest::newRow("keep-alive low") << "TextKeepAliveTime" << 350 << "30"
                                    << "30" << 30;
    QTest::newRow("keep-alive fifth digit") << "TextKeepAliveTime" << 350 << "12345"
                                            << "1234" << 1234;
    QTest::newRow("report empty") << "TextReportPeriod" << 344 << ""
                                  << "60" << 60;
    QTest::newRow("report zero") << "TextReportPeriod" << 344 << "0"
                                 << "0" << 0;
    QTest::newRow("report above") << "TextReportPeriod" << 344 << "4000"
                                  << "3600" << 3600;
    QTest::newRow("report zeros") << "TextReportPeriod" << 344 << "007"
                                  << "7" << 7;
    QTest::newRow("ping empty") << "TextPingInterval" << 352 << ""
                                << "5" << 5;
    QTest::newRow("ping low") << "TextPingInterval" << 352 << "3"
                              << "5" << 5;
    QTest::newRow("ping high") << "TextPingInterval" << 352 << "99"
                               << "60" << 60;
    QTest::newRow("ping in range") << "TextPingInterval" << 352 << "60"
                                   << "60" << 60;
    QTest::newRow("ping letters") << "TextPingInterval" << 352 << "a1b2c"
                                  << "12" << 12;
    QTest::newRow("heart empty") << "TextHeartPeriod" << 346 << ""
                                 << "5" << 5;
    QTest::newRow("heart low") << "TextHeartPeriod" << 346 << "3"
                               << "5" << 5;
    QTest::newRow("heart high") << "TextHeartPeriod" << 346 << "99"
                                << "60" << 60;
  }

  void numberBoxesAreBroughtIntoRange() {
    QFETCH(QString, box);
    QFETCH(int, offset);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, stored);
    for (const bool enter : {false, true}) {
      ParameterImage image;
      image.SetExtWord(offset, 77);
      FormMqttSetting window(image, false);
      Show(window);
      auto* edit = Find<QLineEdit>(window, box.toLatin1().constData());
      TypeInto(edit, typed, enter);
      QCOMPARE(edit->text(), shown);
      QCOMPARE(int(image.GetExtWord(offset)), stored);
      if (enter) {  // Enter keeps the focus in the box with the whole text selected
        QVERIFY(edit->hasFocus());
        QCOMPARE(edit->selectedText(), shown);
        QVERIFY(window.isVisible());
      } else {
        QVERIFY(!edit->hasFocus());
      }
    }
  }

  void storedNumbersAreShownWhole() {
    // A stored value longer than the digits that may be typed is shown as it is,
    // not cut to a misleading in-range number.
    ParameterImage image;
    image.SetExtWord(346, 100);
    image.SetExtWord(350, 65535);
    FormMqttSetting window(image, false);
    QCOMPARE(Find<QLineEdit>(window, "TextHeartPeriod")->text(), QString("100"));
    QCOMPARE(Find<QLineEdit>(window, "TextKeepAliveTime")->text(), QString("65535"));
    // Typing is still held to the box's maximum.
    Show(window);
    auto* heart = Find<QLineEdit>(window, "TextHeartPeriod");
    heart->setFocus();
    heart->end(false);
    QTest::keyClick(heart, Qt::Key_1);
    QCOMPARE(heart->text(), QString("100"));
    QTest::keyClick(heart, Qt::Key_Tab);
    QCOMPARE(image.GetExtWord(346), 60);
  }

  void textBoxesStoreTheirFields() {
    ParameterImage image;
    FormMqttSetting window(image, false);
    Show(window);
    const struct {
      const char* box;
      int offset;
      int length;
    } fields[] = {{"TextAPN", 4, 16},        {"TextServiceAddr", 190, 32},
                  {"TextUserName", 228, 16}, {"TextPassword", 244, 16},
                  {"TextClientID", 262, 16}, {"TextPubTopic", 278, 32},
                  {"TextSubTopic", 310, 32}};
    for (const auto& field : fields) {
      const ParameterImage before = image;
      TypeInto(Find<QLineEdit>(window, field.box), "v-" + QString(field.box));
      QCOMPARE(image.ReadImageText(field.offset, field.length), "v-" + QString(field.box));
      // Nothing outside the field changes.
      for (int i = 0; i < ParameterImage::kSize; ++i) {
        const int ext = i - ParameterImage::kExtendedBase;
        if (ext < field.offset || ext >= field.offset + field.length)
          QCOMPARE(image.Byte(i), before.Byte(i));
      }
    }
  }

  void portTakesFiveDigits() {
    ParameterImage image;
    FormMqttSetting window(image, false);
    Show(window);
    auto* port = Find<QLineEdit>(window, "TextServicePort");
    port->setFocus();
    QTest::keyClicks(port, "1a8b83x39");
    QCOMPARE(port->text(), QString("18833"));
    QTest::keyClick(port, Qt::Key_Tab);
    QCOMPARE(image.ReadImageText(222, 6), QString("18833"));
    QCOMPARE(image.Byte(4096 + 222 + 5), 0);
  }

  void chineseTextIsCutAtAWholeCharacter() {
    ParameterImage image;
    FormMqttSetting window(image, false);
    Show(window);
    auto* apn = Find<QLineEdit>(window, "TextAPN");
    apn->setFocus();
    const QString sixteen = QString::fromUtf8("中国移动物联网卡专用接入点名称甲");
    TypeChars(apn, sixteen + QString::fromUtf8("乙"));
    QCOMPARE(apn->text(), sixteen);  // the seventeenth character is dropped
    // The hint says the text is 16 bytes too long for its field.
    const QString hint = Find<QLabel>(window, "LabelByteHint")->text();
    QVERIFY2(hint.contains("16"), qPrintable(hint));
    QTest::keyClick(apn, Qt::Key_Return);
    QCOMPARE(image.ReadImageText(4, 16), sixteen.left(8));
    QCOMPARE(image.Byte(4096 + 20), 0);  // the next field is untouched

    // Fifteen ASCII bytes and a two-byte character: the character is dropped whole.
    auto* user = Find<QLineEdit>(window, "TextUserName");
    user->setFocus();
    QTest::keyClicks(user, "abcdefghijklmno");
    TypeChars(user, QString::fromUtf8("中"));
    QTest::keyClick(user, Qt::Key_Tab);
    QCOMPARE(image.ReadImageText(228, 16), QString("abcdefghijklmno"));
  }

  void listsShowStoredValuesWithoutWriting() {
    ParameterImage image;
    image.SetExtWord(348, 7);  // QoS out of the list
    image.SetExtWord(342, 0);  // no version
    image.SetExtWord(260, 9);  // report type out of the list
    const ParameterImage before = image;
    FormMqttSetting window(image, false);
    auto* qos = Find<QComboBox>(window, "ComboQosLevel");
    auto* version = Find<QComboBox>(window, "ComboVersion");
    auto* reportType = Find<QComboBox>(window, "ComboReportType");
    QCOMPARE(qos->currentText(), QString("0"));
    QCOMPARE(version->currentText(), QString("3"));
    QCOMPARE(reportType->currentIndex(), 0);
    QVERIFY(image == before);

    Show(window);
    qos->setFocus();
    QTest::keyClick(qos, Qt::Key_Down);
    QTest::keyClick(qos, Qt::Key_Down);
    QCOMPARE(image.GetExtWord(348), 2);
    QTest::keyClick(qos, Qt::Key_Up);
    QCOMPARE(image.GetExtWord(348), 1);
    version->setFocus();
    QTest::keyClick(version, Qt::Key_Down);
    QCOMPARE(image.GetExtWord(342), 4);
    QTest::keyClick(version, Qt::Key_Up);
    QCOMPARE(image.GetExtWord(342), 3);
    reportType->setFocus();
    QTest::keyClick(reportType, Qt::Key_Down);
    QCOMPARE(image.GetExtWord(260), 1);
    QTest::keyClick(reportType, Qt::Key_Up);
    QCOMPARE(image.GetExtWord(260), 0);
  }

  void choosingTheShownEntryStoresIt() {
    // QoS 7 shows "0"; choosing "0" itself must store 0.
    ParameterImage image;
    image.SetExtWord(348, 7);
    FormMqttSetting window(image, false);
    auto* qos = Find<QComboBox>(window, "ComboQosLevel");
    Q_EMIT qos->activated(0);
    QCOMPARE(image.GetExtWord(348), 0);
  }

  void storedValuesAreShown() {
    ParameterImage image;
    image.WriteImageText(190, 32, "broker.example.net");
    image.WriteImageText(222, 6, "1883");
    image.WriteImageText(262, 16, QString::fromUtf8("终端01"));
    image.SetExtWord(342, 4);
    image.SetExtWord(348, 2);
    image.SetExtWord(260, 1);
    image.SetExtWord(344, 300);
    FormMqttSetting window(image, true);
    QCOMPARE(Find<QLineEdit>(window, "TextServiceAddr")->text(), QString("broker.example.net"));
    QCOMPARE(Find<QLineEdit>(window, "TextServicePort")->text(), QString("1883"));
    QCOMPARE(Find<QLineEdit>(window, "TextClientID")->text(), QString::fromUtf8("终端01"));
    QCOMPARE(Find<QLineEdit>(window, "TextReportPeriod")->text(), QString("300"));
    QCOMPARE(Find<QComboBox>(window, "ComboVersion")->currentText(), QString("4"));
    QCOMPARE(Find<QComboBox>(window, "ComboQosLevel")->currentText(), QString("2"));
    QCOMPARE(Find<QComboBox>(window, "ComboReportType")->currentText(), QString("Var Name"));
  }

  void fillingAndVisitingWriteNothing() {
    // Erased memory, junk after terminators and in-range numbers: opening the
    // window and tabbing through every box leaves every byte as it was.
    ParameterImage image;
    for (int i = 4096; i < 6144; ++i) image.SetByte(i, uint8_t(0xFF));
    image.WriteImageText(190, 32, "host");
    image.WriteImageText(4, 16, "cmnet");
    for (const int offset : {344, 346, 350, 352}) image.SetExtWord(offset, 30);
    const ParameterImage before = image;
    FormMqttSetting window(image, false);
    QVERIFY(image == before);
    Show(window);
    for (int i = 0; i < 40; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    window.close();
    QVERIFY(image == before);
  }

  void closingStoresTheBoxBeingEdited() {
    ParameterImage image;
    FormMqttSetting window(image, false);
    Show(window);
    auto* topic = Find<QLineEdit>(window, "TextPubTopic");
    topic->setFocus();
    QTest::keyClicks(topic, "up/7");
    QTest::keyClick(topic, Qt::Key_Escape);
    QVERIFY(!window.isVisible());
    QCOMPARE(image.ReadImageText(278, 32), QString("up/7"));
  }

  void captionsFollowTheLanguage() {
    ParameterImage image;
    QCOMPARE(FormMqttSetting(image, false).windowTitle(), QString::fromUtf8("MQTT参数设置"));
    FormMqttSetting english(image, true);
    QCOMPARE(english.windowTitle(), QString("MQTT Setting"));
    QCOMPARE(Find<QComboBox>(english, "ComboReportType")->itemText(0), QString("Func Name"));
  }
};

QTEST_MAIN(TestFormMqttSetting)
#include "tst_formmqttsetting.moc"
