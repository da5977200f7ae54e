#include <QtTest>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "image/ParameterImage.h"
#include "ui/DioGrid.h"

/// The digital I/O grid in a window of its own, driven by mouse and keys.
class TestDioGrid : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    image_.Clear();
    filling_ = false;
    window_ = new QWidget;
    auto* layout = new QVBoxLayout(window_);
    grid_ = new DioGrid(image_, filling_, window_);
    other_ = new QLineEdit(window_);
    layout->addWidget(grid_);
    layout->addWidget(other_);
    grid_->ShowImage();
    window_->show();
    QApplication::setActiveWindow(window_);
    QVERIFY(QTest::qWaitForWindowActive(window_));
  }

  void cleanup() {
    delete window_;
    window_ = nullptr;
  }

  void showsTheImage() {
    QCOMPARE(grid_->objectName(), QString("MSHFlexGriddigitalSetting"));
    QCOMPARE(grid_->item(0, 0)->text(), QString("管脚"));
    QCOMPARE(grid_->item(0, 1)->text(), QString("配置"));
    QCOMPARE(grid_->item(5, 0)->text(), QString("14"));
    image_.SetWord(60, 32);  // only bit 5: pin 10 is an input
    grid_->ShowImage();
    QCOMPARE(Cell(1), QString("DI"));
    for (int row = 2; row <= 5; ++row) QCOMPARE(Cell(row), QString("DO"));
    grid_->ApplyCaptions(true);
    QCOMPARE(grid_->item(0, 0)->text(), QString("PIN"));
    QCOMPARE(grid_->item(0, 1)->text(), QString("Config"));
    QCOMPARE(grid_->DirectionEditor()->count(), 2);
  }

  void choosingKeepsOtherBits() {
    QComboBox* list = grid_->DirectionEditor();
    QCOMPARE(list->objectName(), QString("ComboDIOConfig"));
    image_.SetWord(60, 0x801F);  // bits outside 5..9 must survive
    grid_->ShowImage();
    Click(3, 1);
    QVERIFY(list->isVisible());
    QVERIFY(list->hasFocus());
    QCOMPARE(list->currentText(), QString("DO"));
    QTest::keyClick(list, Qt::Key_Down);  // choose "DI" for pin 12
    QCOMPARE(image_.GetUWord(60), uint16_t(0x801F | 128));
    QCOMPARE(Cell(3), QString("DI"));
    QVERIFY(!list->isVisible());
    Click(3, 1);
    QCOMPARE(list->currentText(), QString("DI"));
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(image_.GetUWord(60), uint16_t(0x801F));
    QCOMPARE(Cell(3), QString("DO"));
    for (int row = 1; row <= 5; ++row) {
      Click(row, 1);
      QTest::keyClick(list, Qt::Key_Down);
    }
    QCOMPARE(image_.GetUWord(60), uint16_t(0x801F | 0x3E0));
  }

  void choosingWithTheMouse() {
    QComboBox* list = grid_->DirectionEditor();
    Click(5, 1);
    list->showPopup();
    QAbstractItemView* view = list->view();
    QTRY_VERIFY(view->isVisible());
    const QRect entry = view->visualRect(view->model()->index(1, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    QTRY_COMPARE(image_.GetUWord(60), uint16_t(512));
    QCOMPARE(Cell(5), QString("DI"));
    QVERIFY(!list->isVisible());
  }

  void openingAndLeavingStoreNothing() {
    QComboBox* list = grid_->DirectionEditor();
    grid_->item(2, 1)->setText("?");
    Click(2, 1);
    QCOMPARE(list->currentText(), QString("DI"));  // neither text: opens on "DI"
    Click(2, 0);  // a pin number opens nothing (and the list closed)
    QVERIFY(!list->isVisible());
    Click(1, 1);
    QVERIFY(list->isVisible());
    QTest::mouseClick(other_, Qt::LeftButton);
    QVERIFY(!list->isVisible());
    QCOMPARE(Cell(1), QString("DO"));
    QCOMPARE(image_.GetUWord(60), uint16_t(0));
    // While the window fills its controls, a choice stores nothing.
    filling_ = true;
    Click(1, 1);
    QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(image_.GetUWord(60), uint16_t(0));
  }

 private:
  void Click(int row, int column) {
    const QRect cell = grid_->visualRect(grid_->model()->index(row, column));
    QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, cell.center());
  }
  QString Cell(int row) const { return grid_->item(row, 1)->text(); }

  ParameterImage image_;
  bool filling_ = false;
  QWidget* window_ = nullptr;
  DioGrid* grid_ = nullptr;
  QLineEdit* other_ = nullptr;
};

QTEST_MAIN(TestDioGrid)
#include "tst_diogrid.moc"
