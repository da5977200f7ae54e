// The MQTT settings window, driven by key events against a shared image.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "TextInput.h"
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
  void captions_data() {
    QTest::addColumn<QString>("name");  // empty: the window
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");
    const char* const table[][3] = {
        {"", "MQTT参数设置", "MQTT Setting"},
        {"FrameBaseConfig", "基本配置", "Base Config"},
        {"LabelServiceAddr", "服务器地址：", "Service Addr"},
        {"LabelPort", "服务器端口号：", "Port"},
        {"LabelReportType", "报文KEY类型：", "Report Type"},
        {"LabelUserName", "用户名", "User Name"},
        {"LabelPassword", "密码：", "Password"},
        {"LabelAPN", "APN：", "APN"},
        {"FrameAdvanceConfig", "高级设置", "Advance Config"},
        {"LabelClientID", "客户端ID：", "Client ID"},
        {"LabelPubTopic", "上行主题：", "Pub Topic"},
        {"LabelSubTopic", "下行主题：", "Sub Topic"},
        {"LabelKeepAlive", "保持时间：", "Keep Alive Time"},
        {"LabelPingInterval", "MQTT心跳时间：", "Ping Interval"},
        {"LabelVersion", "MQTT版本：", "MQTT Version"},
        {"LabelReportPeriod", "上报周期：", "Report Period"},
        {"LabelHeartPeriod", "心跳周期：", "Heart Period"},
        {"LabelQosLevel", "QOS等级：", "QOS LEVEL"},
    };
    for (const auto& row : table)
      QTest::newRow(row[0][0] ? row[0] : "window") << row[0] << row[1] << row[2];
  }
  void captions() {
    QFETCH(QString, name);
    QFETCH(QString, chinese);
    QFETCH(QString, english);
    for (const bool inEnglish : {false, true}) {
      ParameterImage image;
      FormMqttSetting window(image, inEnglish);
      QString shown = window.windowTitle();
      if (name.isEmpty()) {
      } else if (auto* group = window.findChild<QGroupBox*>(name)) {
        shown = group->title();
      } else if (auto* label = window.findChild<QLabel*>(name)) {
        shown = label->text();
      }
      QCOMPARE(shown, inEnglish ? english : chinese);
    }
  }

  void numberBoxesAreBroughtIntoRange_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("stored");
    const auto row = [](const char* tag, const char* box, int offset, const char* typed,
                        const char* shown, int stored) {
      QTest::newRow(tag) << QString(box) << offset << QString(typed) << QString(shown) << stored;
    };
    row("keep-alive empty", "TextKeepAliveTime", 350, "", "120", 120);
    row("keep-alive above", "TextKeepAliveTime", 350, "3601", "3600", 3600);
    row("keep-alive low", "TextKeepAliveTime", 350, "30", "30", 30);
    row("keep-alive fifth digit", "TextKeepAliveTime", 350, "12345", "1234", 1234);
    row("report empty", "TextReportPeriod", 344, "", "60", 60);
    row("report zero", "TextReportPeriod", 344, "0", "0", 0);
    row("report above", "TextReportPeriod", 344, "4000", "3600", 3600);
    row("report zeros", "TextReportPeriod", 344, "007", "7", 7);
    row("ping empty", "TextPingInterval", 352, "", "5", 5);
    row("ping low", "TextPingInterval", 352, "3", "5", 5);
    row("ping high", "TextPingInterval", 352, "99", "60", 60);
    row("ping in range", "TextPingInterval", 352, "60", "60", 60);
    row("ping letters", "TextPingInterval", 352, "a1b2c", "12", 12);
    row("heart empty", "TextHeartPeriod", 346, "", "5", 5);
    row("heart low", "TextHeartPeriod", 346, "3", "5", 5);
    row("heart high", "TextHeartPeriod", 346, "99", "60", 60);
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

  void pastedAndDroppedTextIsHeldToTheKeyRules_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");  // a drop lands on a box without the focus
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");  // stored after leaving the box
    QTest::newRow("port pasted") << "TextServicePort"
                                 << "paste:1234567" << 222 << QByteArray("12345", 6);
    QTest::newRow("port dropped") << "TextServicePort"
                                  << "drop:98a7654" << 222 << QByteArray("98765", 6);
    QTest::newRow("number pasted") << "TextKeepAliveTime"
                                   << "paste:12345" << 350 << QByteArray("\xd2\x04", 2);
  }

  void pastedAndDroppedTextIsHeldToTheKeyRules() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    ParameterImage image;
    FormMqttSetting window(image, false);
    Show(window);
    auto* edit = Find<QLineEdit>(window, qPrintable(box));
    if (text.startsWith("paste:")) {
      edit->setFocus();
      QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    }
    PutText(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
    QCOMPARE(image.Bytes(4096 + offset, bytes.size()), bytes);
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

  void listsShowValuesOutsideThemWithoutWriting() {
    ParameterImage image;
    image.SetExtWord(348, 7);  // QoS out of the list
    image.SetExtWord(342, 0);  // no version
    image.SetExtWord(260, 9);  // report type out of the list
    const ParameterImage before = image;
    FormMqttSetting window(image, false);
    auto* qos = Find<QComboBox>(window, "ComboQosLevel");
    QCOMPARE(qos->currentText(), QString("0"));
    QCOMPARE(Find<QComboBox>(window, "ComboVersion")->currentText(), QString("3"));
    QCOMPARE(Find<QComboBox>(window, "ComboReportType")->currentIndex(), 0);
    QVERIFY(image == before);

    Show(window);
    const auto press = [&](const char* list, Qt::Key key, int offset, int stored) {
      auto* combo = Find<QComboBox>(window, list);
      combo->setFocus();
      QTest::keyClick(combo, key);
      QCOMPARE(int(image.GetExtWord(offset)), stored);
    };
    press("ComboQosLevel", Qt::Key_Down, 348, 1);
    press("ComboQosLevel", Qt::Key_Up, 348, 0);
    press("ComboVersion", Qt::Key_Down, 342, 4);
    press("ComboVersion", Qt::Key_Up, 342, 3);
    press("ComboReportType", Qt::Key_Down, 260, 1);
    press("ComboReportType", Qt::Key_Up, 260, 0);

    // Choosing the entry a stored 7 shows stores it.
    image.SetExtWord(348, 7);
    Q_EMIT qos->activated(qos->currentIndex());
    QCOMPARE(image.GetExtWord(348), 0);
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
