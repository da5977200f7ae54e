#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QLineEdit>

#include "TextInput.h"
#include "image/ParameterImage.h"
#include "ui/AdcGrid.h"
#include "ui/OptionEditors.h"

/// The scalar editors on a small form carrying the main window's objectNames,
/// driven by real key and mouse events.
class TestOptionEditors : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    image_.Clear();
    filling_ = false;
    form_ = new QWidget;
    layout_ = new QFormLayout(form_);
    for (const char* name :
         {"TextDeviceAddr", "TextUartLostTime", "TextUartPackageSize", "TextResetCycle",
          "TextIdleCycle", "TextSavePeriod", "TextDinFilter", "TextAdjustVol", "TextDeviceName",
          "TextDeviceSN", "TextInstallAddr", "TextDeviceSort"})
      Add<QLineEdit>(name);
    QStringList numbers;
    for (int n = 0; n <= 22; ++n) numbers << QString::number(n) + "dBm";
    Add<QComboBox>("ComboChannel", {"1", "2", "3", "4", "5", "6", "7"});
    Add<QComboBox>("ComboAirRate", {"0.48Kbps", "0.96Kbps", "1.92Kbps", "3.92Kbps", "7.84Kbps",
                                    "15.6Kbps", "31.3Kbps", "62.5Kbps"});
    Add<QComboBox>("ComboTxPower", numbers);
    Add<QComboBox>("ComboLoraRepeat", {"不转发", "转发到实串口", "转发到TTL口"});
    Add<QComboBox>("ComboAdcType", {"电压", "电流", "自由"});
    Add<QComboBox>("ComboLogLevel", {"关", "ERROR", "WARNING", "INFO", "DEBUG"});
    Add<QComboBox>("ComboLogPort", {"无", "TTL串口", "实串口", "调试串口"});
    Add<QComboBox>("ComboTimeSource", {"LTE模块", "MQTT服务器"});
    for (int group = 0; group < 2; ++group) {
      Add<QComboBox>(
          QString("ComboBaudRate_%1").arg(group),
          {"1200", "2400", "4800", "9600", "19200", "28800", "38400", "57600", "115200", "128000"});
      Add<QComboBox>(QString("ComboParity_%1").arg(group), {"N", "E", "O"});
      Add<QComboBox>(QString("ComboDatabits_%1").arg(group), {"7", "8"});
      Add<QComboBox>(QString("ComboStopbits_%1").arg(group), {"1", "2"});
    }
    for (const char* name :
         {"CheckResetEnable", "CheckCaptureEdge_0", "CheckCaptureEdge_1", "CheckCaptureEdge_2",
          "CheckCaptureEdge_3", "CheckLteEnable", "Check1"})
      Add<QCheckBox>(name);
    Add<QDateEdit>("DTPickerInstallTime");
    grid_ = new AdcGrid(image_, filling_, form_);
    layout_->addRow(grid_);
    editors_ = new OptionEditors(form_, image_, filling_, grid_);
    form_->show();
    QApplication::setActiveWindow(form_);
    QVERIFY(QTest::qWaitForWindowActive(form_));
  }

  void cleanup() {
    delete form_;
    form_ = nullptr;
  }

  void numberBoxes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("word");  // -1: the adjust byte
    QTest::addColumn<int>("value");
    const auto row = [](const char* tag, const char* box, const QString& typed, const char* shown,
                        int word, int value) {
      QTest::newRow(tag) << QString(box) << typed << QString(shown) << word << value;
    };
    row("address empty", "TextDeviceAddr", "", "1", 0, 1);
    row("address 0", "TextDeviceAddr", "0", "1", 0, 1);
    row("address 300", "TextDeviceAddr", "300", "255", 0, 255);
    row("address 255", "TextDeviceAddr", "255", "255", 0, 255);
    row("address letters", "TextDeviceAddr", "1a-2.", "12", 0, 12);
    row("address huge", "TextDeviceAddr", QString(25, '9'), "255", 0, 255);
    row("timeout empty", "TextUartLostTime", "", "10", 58, 10);
    row("timeout 0", "TextUartLostTime", "0", "1", 58, 1);
    row("timeout 999", "TextUartLostTime", "999", "255", 58, 255);
    row("frame empty", "TextUartPackageSize", "", "200", 59, 200);
    row("frame 0", "TextUartPackageSize", "0", "1", 59, 1);
    row("frame 256", "TextUartPackageSize", "256", "255", 59, 255);
    row("reset 9000", "TextResetCycle", "9000", "8640", 61, 8640);
    row("reset empty", "TextResetCycle", "", "6", 61, 6);
    row("idle 9000", "TextIdleCycle", "9000", "8640", 62, 8640);
    row("idle empty", "TextIdleCycle", "", "6", 62, 6);
    row("save empty", "TextSavePeriod", "", "10", 68, 10);
    row("save 70000", "TextSavePeriod", "70000", "65535", 68, 65535);
    row("adjust empty", "TextAdjustVol", "", "0", -1, 0);
    row("adjust 300", "TextAdjustVol", "300", "255", -1, 255);
    row("address pasted", "TextDeviceAddr", "paste:1a2", "12", 0, 12);
  }

  void numberBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(int, word);
    QFETCH(int, value);
    image_.SetWord(word < 0 ? 0 : word, 4321);  // something the edit must replace
    image_.SetByte(ParameterImage::kAdjustByte, 99);
    Box(box)->setText("5");
    Edit(box, typed);
    QCOMPARE(Box(box)->text(), shown);
    const int stored = word < 0 ? image_.Byte(ParameterImage::kAdjustByte) : Word(word);
    QCOMPARE(stored, value);
  }

  void inputFilterKeepsTheEdgeBits() {
    image_.SetWord(67, 0xF005);
    Edit("TextDinFilter", "4095");
    QCOMPARE(Word(67), 0xFFFF);
    Edit("TextDinFilter", "5000");
    QCOMPARE(Box("TextDinFilter")->text(), QString("5"));
    QCOMPARE(Word(67), 0xF005);
    image_.SetWord(67, 0x5123);
    Edit("TextDinFilter", "");
    QCOMPARE(Box("TextDinFilter")->text(), QString("5"));
    QCOMPARE(Word(67), 0x5005);
  }

  void enterStoresAndSelects() {
    // Number boxes do the same: tst_formmain_editing.
    QLineEdit* name = Box("TextDeviceName");
    Edit("TextDeviceName", "Pump 7", false);
    QCOMPARE(image_.ReadImageText(20, 50), QString());  // not stored while typing
    QTest::keyClick(name, Qt::Key_Enter);
    QCOMPARE(image_.ReadImageText(20, 50), QString("Pump 7"));
    QVERIFY(name->hasFocus());
    QCOMPARE(name->selectedText(), QString("Pump 7"));
  }

  void lists_data() {
    // Key steps from the first entry, then the words and their values after each.
    QTest::addColumn<QString>("list");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<QList<int>>("words");
    QTest::addColumn<QList<int>>("values");  // per step, one value per word
    using L = QList<int>;
    QTest::newRow("air rate") << "ComboAirRate" << L{1, 6} << L{15} << L{11, 5};
    QTest::newRow("power") << "ComboTxPower" << L{22} << L{18} << L{22};
    QTest::newRow("channel") << "ComboChannel" << L{3} << L{14} << L{3};
    QTest::newRow("log level") << "ComboLogLevel" << L{4} << L{63} << L{4};
    QTest::newRow("log port") << "ComboLogPort" << L{2} << L{64} << L{2};
    QTest::newRow("repeat") << "ComboLoraRepeat" << L{2, -1, -1} << L{19, 20}
                            << L{1, 1, 1, 0, 0, 1};  // TTL, 485, none
    QTest::newRow("485 parity") << "ComboParity_1" << L{1} << L{10} << L{1};
    QTest::newRow("TTL parity") << "ComboParity_0" << L{2} << L{6} << L{2};
    QTest::newRow("485 baud 128000") << "ComboBaudRate_1" << L{9} << L{9} << L{1280};
    QTest::newRow("TTL baud") << "ComboBaudRate_0" << L{3} << L{5} << L{96};
    QTest::newRow("485 data bits") << "ComboDatabits_1" << L{1, -1} << L{12} << L{8, 7};
    QTest::newRow("485 stop bits") << "ComboStopbits_1" << L{1} << L{11} << L{2};
    QTest::newRow("TTL stop bits") << "ComboStopbits_0" << L{1} << L{7} << L{2};
  }

  void lists() {
    QFETCH(QString, list);
    QFETCH(QList<int>, steps);
    QFETCH(QList<int>, words);
    QFETCH(QList<int>, values);
    for (const int word : words) image_.SetWord(word, 7);
    QSignalSpy formatChanged(editors_, &OptionEditors::deviceFormatChanged);
    for (int k = 0; k < steps.size(); ++k) {
      Choose(list, steps[k]);
      for (int w = 0; w < words.size(); ++w) QCOMPARE(Word(words[w]), values[k * words.size() + w]);
    }
    // Only the 485 port's lists announce a new terminal format, once per change.
    int changes = 0;
    for (const int step : steps) changes += std::abs(step);
    QCOMPARE(formatChanged.count(), list.endsWith("_1") ? changes : 0);
  }

  void choosingTheShownEntryStoresIt_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("stored");  // a value the list has no entry for
    QTest::addColumn<int>("shown");   // the entry shown in its place
    QTest::addColumn<int>("value");   // what choosing that entry stores
    QTest::newRow("log level") << "ComboLogLevel" << 63 << 9 << 0 << 0;
    QTest::newRow("channel") << "ComboChannel" << 14 << 150 << 0 << 0;
    QTest::newRow("ADC type") << "ComboAdcType" << 21 << 9 << 2 << 2;
    QTest::newRow("air rate") << "ComboAirRate" << 15 << 13 << 5 << 7;
    QTest::newRow("power") << "ComboTxPower" << 18 << 40 << 22 << 22;
    QTest::newRow("repeat") << "ComboLoraRepeat" << 19 << 5 << 1 << 1;
    QTest::newRow("485 parity") << "ComboParity_1" << 10 << 9 << 0 << 0;
    QTest::newRow("TTL stop bits") << "ComboStopbits_0" << 7 << 0 << 0 << 1;
    QTest::newRow("485 data bits") << "ComboDatabits_1" << 12 << 9 << 1 << 8;
  }

  void choosingTheShownEntryStoresIt() {
    QFETCH(QString, list);
    QFETCH(int, word);
    QFETCH(int, stored);
    QFETCH(int, shown);
    QFETCH(int, value);
    QComboBox* combo = List(list);
    filling_ = true;  // as the window shows the image
    combo->setCurrentIndex(shown);
    filling_ = false;
    image_.SetWord(word, uint16_t(stored));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_F4);  // the list opens on the entry shown
    QTRY_VERIFY(combo->view()->isVisible());
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QCOMPARE(Word(word), value);
  }

  void checksAndDate() {
    Choose("ComboTimeSource", 1);
    QCOMPARE(image_.GetExtWord(2), uint16_t(1));
    ClickCheck(Check("CheckLteEnable"));
    QCOMPARE(image_.GetExtWord(0), uint16_t(1));
    ClickCheck(Check("CheckLteEnable"));
    QCOMPARE(image_.GetExtWord(0), uint16_t(0));

    // Check1 only sets the flag.
    const ParameterImage before = image_;
    QSignalSpy spy(editors_, &OptionEditors::writeSerialNumberChanged);
    QVERIFY(!editors_->WriteSerialNumber());
    ClickCheck(Check("Check1"));
    QVERIFY(editors_->WriteSerialNumber());
    QCOMPARE(spy.count(), 1);
    QVERIFY(image_ == before);

    auto* picker = form_->findChild<QDateEdit*>("DTPickerInstallTime");
    picker->setDate(QDate(2024, 5, 1));
    QCOMPARE(image_.ReadImageText(180, 10), QString("2024-05-01"));
    QCOMPARE(int(image_.Byte(4096 + 189)), int('1'));  // ten bytes, no terminator

    // The edge bits of word 67 are four check boxes on byte 135.
    image_.SetByte(134, 9);
    image_.SetByte(135, 5);
    ClickCheck(Check("CheckCaptureEdge_2"));
    QCOMPARE(int(image_.Byte(135)), 69);
    ClickCheck(Check("CheckCaptureEdge_2"));
    QCOMPARE(int(image_.Byte(135)), 5);
    for (int edge = 0; edge < 4; ++edge)
      ClickCheck(Check(QString("CheckCaptureEdge_%1").arg(edge)));
    QCOMPARE(int(image_.Byte(135)), 245);
    QCOMPARE(int(image_.Byte(134)), 9);
  }

  void resetEnable() {
    QCheckBox* check = Check("CheckResetEnable");
    QLineEdit* cycle = Box("TextResetCycle");
    ClickCheck(check);
    QVERIFY(check->isChecked());
    QVERIFY(cycle->isEnabled());
    QCOMPARE(cycle->text(), QString("6"));
    QCOMPARE(Word(61), 6);
    ClickCheck(check);
    QVERIFY(!cycle->isEnabled());
    QCOMPARE(cycle->text(), QString("0"));
    QCOMPARE(Word(61), 0);
  }

  void adcTypeReachesTheGrid() {
    Choose("ComboAdcType", 1);  // current
    QCOMPARE(Word(21), 1);
    QCOMPARE(Word(31), 20);
    QCOMPARE(grid_->item(1, 4)->text(), QString("电流"));
    Choose("ComboAdcType", -1);
    QCOMPARE(Word(21), 0);
    QCOMPARE(Word(31), 10);
  }

  void textFields() {
    Edit("TextDeviceName", "ABCDEFGHIJ");
    QCOMPARE(image_.Bytes(4096 + 20, 11), QByteArray("ABCDEFGHIJ", 11));  // with its 0 byte

    // Up to 50 characters; at the maximum a further key is refused, Backspace is not.
    QLineEdit* name = Box("TextDeviceName");
    Edit("TextDeviceName", QString(50, 'x'), false);
    QCOMPARE(name->text().size(), 50);
    QTest::keyClick(name, Qt::Key_Y);
    QCOMPARE(name->text(), QString(50, 'x'));
    QTest::keyClick(name, Qt::Key_Backspace);
    QCOMPARE(name->text().size(), 49);
    QTest::keyClick(name, Qt::Key_Tab);
    QCOMPARE(image_.ReadImageText(20, 50), QString(49, 'x'));

    // Chinese counts in characters in the box, in bytes in the image.
    QLineEdit* address = Box("TextInstallAddr");
    Edit("TextInstallAddr", "", false);
    const QString chinese = QString::fromUtf8("安装地址测试");
    for (int k = 0; k < 51; ++k)
      QTest::sendKeyEvent(QTest::Click, address, Qt::Key_unknown, QString(chinese.at(k % 6)),
                          Qt::NoModifier);
    QCOMPARE(address->text().size(), 50);  // the 51st was refused
    QTest::keyClick(address, Qt::Key_Tab);
    QCOMPARE(image_.ReadImageText(120, 50), address->text().left(25));
    QCOMPARE(int(image_.Byte(4096 + 170)), 0);  // the next field is untouched

    Edit("TextDeviceSort", "ABCDEFGHIJKL");  // at most 10
    QCOMPARE(Box("TextDeviceSort")->text(), QString("ABCDEFGHIJ"));
    QCOMPARE(image_.ReadImageText(170, 10), QString("ABCDEFGHIJ"));
    Edit("TextDeviceSN", "");
    QCOMPARE(image_.ReadImageText(70, 50), QString());
  }

  void silentWhileFilling() {
    filling_ = true;
    const ParameterImage before = image_;
    List("ComboAirRate")->setCurrentIndex(3);
    List("ComboParity_1")->setCurrentIndex(2);
    List("ComboLoraRepeat")->setCurrentIndex(2);
    List("ComboAdcType")->setCurrentIndex(1);
    Check("CheckCaptureEdge_1")->setChecked(true);
    Check("CheckResetEnable")->setChecked(true);
    Check("CheckLteEnable")->setChecked(true);
    QVERIFY(image_ == before);
    // The install date is the one rewrite showing may cause.
    form_->findChild<QDateEdit*>("DTPickerInstallTime")->setDate(QDate(2023, 12, 31));
    QCOMPARE(image_.ReadImageText(180, 10), QString("2023-12-31"));
  }

 private:
  template <typename T>
  T* Add(const QString& name, const QStringList& entries = {});
  QLineEdit* Box(const QString& name) { return form_->findChild<QLineEdit*>(name); }
  QComboBox* List(const QString& name) { return form_->findChild<QComboBox*>(name); }
  QCheckBox* Check(const QString& name) { return form_->findChild<QCheckBox*>(name); }
  /// Clicks into the box, selects all, puts the text in (PutText; an empty
  /// text erases) and leaves it with Tab.
  void Edit(const QString& name, const QString& keys, bool leave = true);
  void Choose(const QString& list, int steps);
  /// Clicks on the box's indicator.
  static void ClickCheck(QCheckBox* check) {
    QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(6, check->height() / 2));
  }
  int Word(int word) const { return image_.GetUWord(word); }

  ParameterImage image_;
  bool filling_ = false;
  QWidget* form_ = nullptr;
  QFormLayout* layout_ = nullptr;
  AdcGrid* grid_ = nullptr;
  OptionEditors* editors_ = nullptr;
};

template <typename T>
T* TestOptionEditors::Add(const QString& name, const QStringList& entries) {
  auto* widget = new T(form_);
  widget->setObjectName(name);
  if constexpr (std::is_same_v<T, QComboBox>) widget->addItems(entries);
  layout_->addRow(name, widget);
  return widget;
}

void TestOptionEditors::Edit(const QString& name, const QString& keys, bool leave) {
  QLineEdit* box = Box(name);
  QTest::mouseClick(box, Qt::LeftButton);
  QVERIFY(box->hasFocus());
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  if (keys.isEmpty()) {
    QTest::keyClick(box, Qt::Key_Backspace);
  } else {
    PutText(box, keys);
  }
  if (leave) {
    QTest::keyClick(box, Qt::Key_Tab);
    QVERIFY(!box->hasFocus());
  }
}

void TestOptionEditors::Choose(const QString& name, int steps) {
  QComboBox* list = List(name);
  list->setFocus();
  for (int k = 0; k < std::abs(steps); ++k)
    QTest::keyClick(list, steps > 0 ? Qt::Key_Down : Qt::Key_Up);
}

QTEST_MAIN(TestOptionEditors)
#include "tst_optioneditors.moc"
