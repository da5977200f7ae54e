// Renders every page of the main window after a read, in both languages.
// With TR5906_SCREENSHOT_DIR set the pictures are kept there as PNG files
// (scripts/screenshot); otherwise they go to a temporary folder.
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

class TestFormMainScreens : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void everyPage_data();
  void everyPage();

 private:
  QTemporaryDir scratch_;
  QString dir_;
};

void TestFormMainScreens::initTestCase() {
  dir_ = qEnvironmentVariable("TR5906_SCREENSHOT_DIR");
  if (dir_.isEmpty()) dir_ = scratch_.path();
  QVERIFY(QDir().mkpath(dir_));
}

void TestFormMainScreens::everyPage_data() {
  QTest::addColumn<int>("tab");
  QTest::addColumn<bool>("english");
  QTest::addColumn<QString>("file");
  QTest::newRow("ports") << 0 << false << "page1-ports.png";
  QTest::newRow("options") << 1 << false << "page2-options.png";
  QTest::newRow("analog") << 2 << false << "page3-analog.png";
  QTest::newRow("digital") << 3 << false << "page4-digital.png";
  QTest::newRow("service") << 4 << false << "page5-service.png";
  QTest::newRow("english") << 0 << true << "english-ports.png";
}

void TestFormMainScreens::everyPage() {
  QFETCH(int, tab);
  QFETCH(bool, english);
  QFETCH(QString, file);

  FormMainRig rig({1, 2});
  TerminalModel terminal;
  terminal.SetIdentity({0x23, 0x41, 0x00, 0x02});
  terminal.Memory().SetWord(22, 32768 + 25);
  terminal.Memory().SetWord(60, 0x0060);
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make(english, tab == 4);
  form->Image().WriteImageText(20, 50, english ? "Pump station 1" : "一号泵站");
  form->Image().WriteImageText(120, 50, english ? "North gate" : "北门");
  form->Image().StampValidMarker();
  form->show();
  QVERIFY(QTest::qWaitForWindowExposed(form.get()));

  QTest::mouseClick(form->findChild<QPushButton*>("CommandRead"), Qt::LeftButton);
  QVERIFY(rig.clock.RunUntil([&] { return !form->Engine().Busy(); }, std::chrono::minutes(1)));
  form->findChild<QTabBar*>("TabStrip1")->setCurrentIndex(tab);
  // The ports are files of a temporary folder here; show them as a PC lists
  // its adapters.
  auto* ports = form->findChild<QComboBox*>("ComboComPort");
  QCOMPARE(ports->count(), 2);
  ports->setItemText(0, "COM1 (ttyUSB0)");
  ports->setItemText(1, "COM2 (ttyUSB1)");
  QApplication::processEvents();

  const QImage picture = form->grab().toImage();
  QVERIFY(!picture.isNull());
  QCOMPARE(picture.size(), form->size());
  // Every control fits: the window is not smaller than its layout wants.
  const QSize wanted = form->minimumSizeHint();
  QVERIFY2(form->width() >= wanted.width() && form->height() >= wanted.height(),
           qPrintable(QStringLiteral("window %1x%2, layout wants %3x%4")
                          .arg(form->width())
                          .arg(form->height())
                          .arg(wanted.width())
                          .arg(wanted.height())));
  QVERIFY(picture.save(QDir(dir_).filePath(file), "PNG", 0));
}

QTEST_MAIN(TestFormMainScreens)
#include "tst_formmain_screens.moc"
