// The main window: start-up, pages, adjust mode and the display of the
// image. Captions and lists: tst_formmain_screens.
#include "FormMainRig.h"
#include "ui/WidgetPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QtTest>

namespace {

template <typename T>
T* Child(QWidget* form, const QString& name) {
  T* child = form->findChild<T*>(name);
  if (!child) qFatal("no control %s", qPrintable(name));
  return child;
}

/// What a control shows: a box's text, a list's shown entry, a check box as
/// "on"/"off" (and "-" when disabled), a grid cell as "grid:row:column".
QString Shown(QWidget* form, const QString& name) {
  const QStringList parts = name.split(':');
  QObject* o = Child<QObject>(form, parts[0]);
  if (auto* grid = qobject_cast<QTableWidget*>(o))
    return grid->item(parts[1].toInt(), parts[2].toInt())->text();
  if (auto* check = qobject_cast<QCheckBox*>(o)) return check->isChecked() ? "on" : "off";
  if (auto* edit = qobject_cast<QLineEdit*>(o)) return edit->isEnabled() ? edit->text() : "-";
  if (auto* combo = qobject_cast<QComboBox*>(o)) return FormMain::ShownText(combo);
  return {};
}

// Which of the page frames are on screen.
QString Pages(QWidget* form) {
  QString shown;
  for (const char* name : {"FrameComParam_0", "FrameComParam_1", "FrameDevice", "FrameAdcParam",
                           "FramedigitalSetting", "FrameService"})
    if (!Child<QWidget>(form, name)->isHidden()) shown += QLatin1String(name) + ' ';
  return shown.trimmed();
}

}  // namespace

class TestFormMain : public QObject {
  Q_OBJECT

 private:
  FormMainRig rig_;
  std::unique_ptr<FormMain> form_;
  ParameterImage startImage_;

 private Q_SLOTS:
  void initTestCase() {
    form_ = rig_.Make(false, true);
    startImage_ = form_->Image();
  }

  void startup_data() {
    QTest::addColumn<QList<int>>("mapped");  // 9 does not open
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("stored");
    QTest::newRow("remembered present")
        << QList<int>{3, 7, 9} << "7" << QStringList{"COM3", "COM7"} << 7 << "7";
    QTest::newRow("remembered absent")
        << QList<int>{3, 7} << "5" << QStringList{"COM3", "COM7"} << 3 << "3";
    QTest::newRow("nothing remembered") << QList<int>{4} << "" << QStringList{"COM4"} << 4 << "4";
    QTest::newRow("no port") << QList<int>{} << "12" << QStringList{} << 12 << "12";
    QTest::newRow("nothing at all") << QList<int>{} << "" << QStringList{} << 1 << "";
  }
  void startup() {
    QFETCH(QList<int>, mapped);
    QFETCH(QString, remembered);
    QFETCH(QStringList, listed);
    QFETCH(int, port);
    QFETCH(QString, stored);
    FormMainRig rig(mapped);
    rig.inUse = {9};
    if (!remembered.isEmpty()) rig.store.SetValue("ComPort", remembered);
    auto form = rig.Make();
    auto* list = Child<QComboBox>(form.get(), "ComboComPort");
    QStringList shown;
    for (int i = 0; i < list->count(); ++i) shown << list->itemText(i).left(4);
    QCOMPARE(shown, listed);
    QCOMPARE(list->currentIndex(), listed.indexOf("COM" + QString::number(port)));
    QCOMPARE(form->PortNumber(), port);
    QCOMPARE(rig.store.Value("ComPort"), stored);
  }

  void startupState() {
    FormMainRig rig({1});
    auto form = rig.Make();
    QWidget* f = form.get();
    QCOMPARE(Pages(f), QString("FrameComParam_0 FrameComParam_1"));
    QVERIFY(!form->AdjustMode());
    for (const char* hidden : {"TextAdjustVol", "LabelAdjustVol", "Check1", "CommandFactory"})
      QVERIFY2(Child<QWidget>(f, hidden)->isHidden(), hidden);
    QVERIFY(!Child<QWidget>(f, "Picture1")->isHidden());
    QCOMPARE(form->LinkSettings(), QString("9600,N,8,1"));
    QCOMPARE(form->Engine().FormatIndex(), 0);
    QCOMPARE(Child<QListWidget>(f, "ListMsg")->count(), 0);
  }

  void show_data() {
    // From the start-up image, one word changed, the control shows:
    QTest::addColumn<int>("word");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("shown");
    const auto row = [](const char* tag, int word, int value, const char* control,
                        const char* shown) {
      QTest::newRow(tag) << word << value << QString(control) << QString::fromUtf8(shown);
    };
    row("defaults: address", 0, 1, "TextDeviceAddr", "1");
    row("defaults: baud", 9, 96, "ComboBaudRate_1", "9600");
    row("defaults: channel", 14, 1, "ComboChannel", "2");
    row("defaults: air rate", 15, 10, "ComboAirRate", "1.92Kbps");
    row("defaults: power", 18, 22, "ComboTxPower", "22dBm");
    row("defaults: repeat", 19, 1, "ComboLoraRepeat", "转发到实串口");
    row("defaults: time-out", 58, 20, "TextUartLostTime", "20");
    row("defaults: frame", 59, 200, "TextUartPackageSize", "200");
    row("defaults: watchdog", 61, 366, "TextResetCycle", "366");
    row("defaults: idle", 62, 6, "TextIdleCycle", "6");
    row("defaults: filter", 67, 0xF005, "TextDinFilter", "5");
    row("defaults: edge", 67, 0xF005, "CheckCaptureEdge_3", "on");
    row("defaults: save", 68, 10, "TextSavePeriod", "10");
    row("address without limit", 0, 999, "TextDeviceAddr", "999");
    row("baud outside the list", 9, 3, "ComboBaudRate_1", "300");
    row("parity 3 blank", 10, 3, "ComboParity_1", "");
    row("parity above 3", 10, 9, "ComboParity_1", "N");
    row("stop bits 0", 11, 0, "ComboStopbits_1", "1");
    row("data bits 7", 12, 7, "ComboDatabits_1", "7");
    row("data bits 0", 12, 0, "ComboDatabits_1", "8");
    row("channel beyond the list", 14, 9, "ComboChannel", "1");
    row("air rate 4", 15, 4, "ComboAirRate", "15.6Kbps");
    row("air rate 13", 15, 13, "ComboAirRate", "15.6Kbps");
    row("air rate 12", 15, 12, "ComboAirRate", "0.48Kbps");
    row("air rate 5", 15, 5, "ComboAirRate", "62.5Kbps");
    row("power 40", 18, 40, "ComboTxPower", "22dBm");
    row("repeat off", 19, 0, "ComboLoraRepeat", "不转发");
    row("adc type 9", 21, 9, "ComboAdcType", "自由");
    row("negative offset", 22, 32768 + 1500, "MSHFlexGridAdcParam:1:2", "-1.5");
    row("offset", 23, 1500, "MSHFlexGridAdcParam:2:2", "1.5");
    row("time-out 300", 58, 300, "TextUartLostTime", "255");
    row("pin 1 input", 60, 32, "MSHFlexGriddigitalSetting:1:1", "DI");
    row("pin 2 output", 60, 32, "MSHFlexGriddigitalSetting:2:1", "DO");
    row("watchdog off", 61, 0, "TextResetCycle", "-");
    row("watchdog off, idle", 61, 0, "TextIdleCycle", "-");
    row("watchdog 9000", 61, 9000, "TextResetCycle", "6");
    row("idle 9000", 62, 9000, "TextIdleCycle", "6");
    row("log level 5", 63, 5, "ComboLogLevel", "关");
    row("log port 3", 64, 3, "ComboLogPort", "调试串口");
    row("filter 4095", 67, 0x4FFF, "TextDinFilter", "4095");
    row("third edge only", 67, 0x4FFF, "CheckCaptureEdge_2", "on");
    row("first edge off", 67, 0x4FFF, "CheckCaptureEdge_0", "off");
  }
  void show() {
    QFETCH(int, word);
    QFETCH(int, value);
    QFETCH(QString, control);
    QFETCH(QString, shown);
    form_->Image() = startImage_;
    form_->Image().SetWord(word, static_cast<uint16_t>(value));
    const ParameterImage before = form_->Image();
    form_->ShowImage();
    QCOMPARE(Shown(form_.get(), control), shown);
    QVERIFY(form_->Image() == before);  // showing writes nothing back
  }

  void repeatTargetCountsOnlyWhenRepeating() {
    ParameterImage& image = form_->Image();
    image = startImage_;
    image.SetWord(20, 1);
    form_->ShowImage();
    QCOMPARE(Shown(form_.get(), "ComboLoraRepeat"), QString("转发到TTL口"));
    image.SetWord(19, 0);
    form_->ShowImage();
    QCOMPARE(Shown(form_.get(), "ComboLoraRepeat"), QString("不转发"));
  }

  void deviceFormatText() {
    ParameterImage& image = form_->Image();
    image = startImage_;
    image.SetWord(9, 1152);
    image.SetWord(10, 2);
    image.SetWord(11, 2);
    image.SetWord(12, 7);
    form_->ShowImage();
    QCOMPARE(form_->DeviceFormatText(), QString("115200,O,7,2"));
  }

  void pages_data() {
    QTest::addColumn<bool>("service");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("pages");
    QTest::addColumn<int>("page");
    QTest::newRow("ports") << false << 0 << "FrameComParam_0 FrameComParam_1" << 1;
    QTest::newRow("options") << false << 1 << "FrameDevice" << 2;
    QTest::newRow("analog") << false << 2 << "FrameAdcParam" << 3;
    QTest::newRow("digital") << false << 3 << "FramedigitalSetting" << 4;
    QTest::newRow("service hidden") << false << 4 << "FrameAdcParam" << 3;
    QTest::newRow("service shown") << true << 4 << "FrameService" << 5;
  }
  void pages() {
    QFETCH(bool, service);
    QFETCH(int, tab);
    QFETCH(QString, pages);
    QFETCH(int, page);
    FormMainRig rig;
    auto form = rig.Make(false, service);
    Child<QTabBar>(form.get(), "TabStrip1")->setCurrentIndex(2);
    Child<QTabBar>(form.get(), "TabStrip1")->setCurrentIndex(tab);
    QCOMPARE(Pages(form.get()), pages);
    QCOMPARE(form->CurrentPage(), page);
    QCOMPARE(Child<QWidget>(form.get(), "CommandFactory")->isHidden(), !service);
    QCOMPARE(Child<QWidget>(form.get(), "Picture1")->isHidden(), service);
  }

  void adjustToggle() {
    auto* version = Child<QLabel>(form_.get(), "LabelVersion");
    for (const bool on : {true, false}) {
      QTest::mouseDClick(version, Qt::LeftButton);
      QCOMPARE(form_->AdjustMode(), on);
      QCOMPARE(form_->Engine().AdjustMode(), on);
      QCOMPARE(Child<QWidget>(form_.get(), "TextAdjustVol")->isHidden(), !on);
      QCOMPARE(Child<QWidget>(form_.get(), "LabelAdjustVol")->isHidden(), !on);
    }
  }

  void extendedFieldsOnlyWithTheMarker() {
    ParameterImage& image = form_->Image();
    image = startImage_;
    image.WriteImageText(20, 50, QStringLiteral("泵站一号"));
    image.WriteImageText(70, 50, "SN-0001");
    image.WriteImageText(120, 50, "North gate");
    image.WriteImageText(170, 10, "RTU");
    image.WriteImageText(180, 10, "2024-05-01");
    image.SetExtWord(0, 1);
    image.SetExtWord(2, 7);
    image.StampValidMarker();
    form_->ShowImage();
    const auto check = [this] {
      QCOMPARE(Child<QLineEdit>(form_.get(), "TextDeviceName")->text(), QStringLiteral("泵站一号"));
      QCOMPARE(Child<QLineEdit>(form_.get(), "TextDeviceSN")->text(), QString("SN-0001"));
      QCOMPARE(Child<QLineEdit>(form_.get(), "TextInstallAddr")->text(), QString("North gate"));
      QCOMPARE(Child<QLineEdit>(form_.get(), "TextDeviceSort")->text(), QString("RTU"));
      QCOMPARE(Shown(form_.get(), "CheckLteEnable"), QString("on"));
      QCOMPARE(Child<QComboBox>(form_.get(), "ComboTimeSource")->currentIndex(), 1);
      QCOMPARE(Child<QDateEdit>(form_.get(), "DTPickerInstallTime")->date(), QDate(2024, 5, 1));
    };
    check();
    // Another image without the marker: the service controls keep their texts.
    image = startImage_;
    image.WriteImageText(20, 50, "Other");
    image.WriteImageText(180, 10, "2020-01-01");
    form_->ShowImage();
    check();
  }

  void showIdentity() {
    FormMainRig rig;
    auto form = rig.Make();
    ParameterImage& image = form->Image();
    auto* list = Child<QListWidget>(form.get(), "ListMsg");
    auto* channels = Child<QComboBox>(form.get(), "ComboChannel");
    image.SetByte(1025, 0x41);
    image.SetByte(1024, 0x23);
    image.SetByte(1027, 2);
    image.SetWord(14, 10);
    form->ShowIdentity();
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->item(1)->text(), QString("固件版本:41.23.Kestrel"));
    QCOMPARE(list->item(2)->text(), QString("生产日期:2019-1-1"));
    QCOMPARE(list->currentRow(), 2);
    QCOMPARE(channels->count(), 6);
    QCOMPARE(channels->currentIndex(), 0);  // 10 is beyond the six
    image.SetByte(1025, 0x91);
    image.SetWord(14, 20);
    form->ShowIdentity();
    QCOMPARE(channels->currentText(), QString("21-902MHz"));
    image.SetWord(14, 40);  // a file loaded later: its place in the band's list
    form->ShowImage();
    QCOMPARE(channels->currentIndex(), 40);
  }

  void sameAsDevice() {
    FormMainRig rig;
    auto form = rig.Make();
    auto* list = Child<QListWidget>(form.get(), "ListMsg");
    form->Image().SetWord(10, 1);
    form->ShowImage();
    QCOMPARE(form->LinkSettings(), QString("9600,N,8,1"));  // not before "Same as device"
    QTest::mouseClick(Child<QPushButton>(form.get(), "CommandSetForComm"), Qt::LeftButton);
    QCOMPARE(form->LinkSettings(), QString("9600,E,8,1"));
    QCOMPARE(form->Engine().FormatIndex(), 1);
    QCOMPARE(list->item(list->count() - 1)->text(), QString("软件串口格式为:9600,E,8,1(1 0 1)"));
    form->Image().SetWord(11, 2);  // outside the table: the line, and no position
    form->ShowImage();
    QTest::mouseClick(Child<QPushButton>(form.get(), "CommandSetForComm"), Qt::LeftButton);
    QCOMPARE(form->LinkSettings(), QString("9600,E,8,2"));
    QCOMPARE(form->Engine().FormatIndex(), -1);
  }

  void fileDialogHelpers() {
    QCOMPARE(WidgetPrompts::WithDefaultSuffix("/tmp/site", "quelt"), QString("/tmp/site.quelt"));
    QCOMPARE(WidgetPrompts::WithDefaultSuffix("/tmp/site.quelt", "quelt"),
             QString("/tmp/site.quelt"));
    QCOMPARE(WidgetPrompts::WithDefaultSuffix("/tmp/v1.2/fw", "hex"), QString("/tmp/v1.2/fw.hex"));
    QCOMPARE(WidgetPrompts::Filters(false), QStringList({"烧录文件(*.quelt)", "所有文件(*.*)"}));
    QCOMPARE(WidgetPrompts::Filters(true), QStringList({"烧录文件(*.hex)", "所有文件(*.*)"}));
  }
};

QTEST_MAIN(TestFormMain)
#include "tst_formmain.moc"
