#include <QtTest>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "TextInput.h"
#include "image/ParameterImage.h"
#include "ui/AdcGrid.h"

namespace {

constexpr int kOffsetWord = 21;     // + channel
constexpr int kFullScaleWord = 30;  // + channel
constexpr int kMulWord = 39;        // + channel
constexpr int kKindWord = 48;       // + channel

}  // namespace

/// The analog grid in a window of its own, driven by mouse and keys.
class TestAdcGrid : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void init() {
    image_.Clear();
    filling_ = false;
    for (int channel = 1; channel <= 9; ++channel) {
      image_.SetWord(kFullScaleWord + channel, 10);
      image_.SetWord(kMulWord + channel, 100);
      image_.SetWord(kKindWord + channel, 1);
    }
    window_ = new QWidget;
    auto* layout = new QVBoxLayout(window_);
    grid_ = new AdcGrid(image_, filling_, window_);
    other_ = new QLineEdit(window_);
    layout->addWidget(grid_);
    layout->addWidget(other_);
    window_->resize(grid_->sizeHint() + QSize(40, 80));
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
    // Signed offsets: tst_formmain.
    QCOMPARE(grid_->objectName(), QString("MSHFlexGridAdcParam"));
    QCOMPARE(grid_->rowCount(), 9);
    QCOMPARE(grid_->columnCount(), 5);
    QCOMPARE(Cell(0, 1), QString("满偏电流/电压"));
    QCOMPARE(Cell(3, 0), QString("3"));
    image_.SetWord(kMulWord + 1, 250);
    image_.SetWord(kFullScaleWord + 1, 65535);
    image_.SetWord(21, 7);  // beyond the list: user defined
    image_.SetWord(kKindWord + 1, 0);
    image_.SetWord(kKindWord + 2, 5);
    grid_->ShowImage();
    QCOMPARE(Cell(1, 3), QString("2.5"));
    QCOMPARE(Cell(2, 3), QString("1"));
    QCOMPARE(Cell(1, 1), QString("65535"));
    QCOMPARE(Cell(1, 4), QString("电压"));
    QCOMPARE(Cell(2, 4), QString("电流"));
    image_.SetWord(21, 0);  // voltage: every kind cell follows the type
    grid_->ShowImage();
    QCOMPARE(Cell(2, 4), QString("电压"));
    grid_->ApplyCaptions(true);
    QCOMPARE(Cell(0, 2), QString("Offset Voltage"));
    QCOMPARE(grid_->KindEditor()->itemText(1), QString("Current"));
  }

  void textEditorFollowsTheCell() {
    Click(1, 1);
    QLineEdit* text1 = grid_->TextEditor();
    QCOMPARE(text1->objectName(), QString("Text1"));
    QVERIFY(text1->isVisible());
    QVERIFY(text1->hasFocus());
    QCOMPARE(text1->geometry(), grid_->visualRect(grid_->model()->index(1, 1)));
    QCOMPARE(text1->selectedText(), QString("10"));
    Type("7-0.a000");  // only digits reach column 1
    QCOMPARE(text1->text(), QString("70000"));
    Click(2, 2);  // a click elsewhere on the grid stores and opens there
    QCOMPARE(Cell(1, 1), QString("65535"));
    QVERIFY(text1->isVisible());
    Type("-1-.5.");  // column 2 takes one sign and one point
    QCOMPARE(text1->text(), QString("-1.5"));
    other_->setFocus();  // leaving closes the editor
    QVERIFY(!text1->isVisible());
    QCOMPARE(Word(kOffsetWord + 2), 32768 + 1500);
  }

  void cellsAreBroughtIntoRange_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("before");  // -1: as set up
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");  // else the focus leaves
    QTest::addColumn<QString>("cell");
    QTest::addColumn<int>("value");
    const auto row = [](const char* tag, int column, int before, const char* typed, bool enter,
                        const char* cell, int value) {
      QTest::newRow(tag) << column << before << QString(typed) << enter << QString(cell) << value;
    };
    row("full scale above", 1, -1, "70000", false, "65535", 65535);
    row("full scale empty", 1, -1, "", false, "20", 20);
    row("full scale leading zeros", 1, -1, "0042", true, "0042", 42);  // kept as typed
    row("offset rounded", 2, -1, "-1.2345", true, "-1.234", 32768 + 1234);
    row("offset above", 2, -1, "31", false, "30", 30000);
    row("offset over a negative", 2, 32768 + 1500, "-2", true, "-2", 32768 + 2000);
    row("offset 0", 2, -1, "0", true, "0", 0);
    row("offset lone sign", 2, -1, "-", true, "0", 0);
    row("multiplier", 3, -1, "2.5", true, "2.5", 250);
    row("multiplier above", 3, -1, "600", true, "500", 50000);
    row("multiplier empty", 3, -1, "", true, "1", 100);
    row("multiplier negative", 3, -1, "-3", true, "0", 0);
    row("full scale pasted", 1, -1, "paste:-12a3", true, "123", 123);
    row("offset pasted", 2, -1, "paste:--1..5", true, "-1.5", 32768 + 1500);
    row("multiplier dropped", 3, -1, "drop:.5.5", true, "1.55", 155);
  }

  void cellsAreBroughtIntoRange() {
    QFETCH(int, column);
    QFETCH(int, before);
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(QString, cell);
    QFETCH(int, value);
    const int word = (column == 1 ? kFullScaleWord : column == 2 ? kOffsetWord : kMulWord) + 1;
    if (before >= 0) {
      image_.SetWord(word, uint16_t(before));
      grid_->ShowImage();
    }
    Click(1, column);  // opens with the whole text selected: typing replaces it
    if (typed.isEmpty()) {
      Key(Qt::Key_Backspace);
    } else {
      PutText(QApplication::focusWidget(), typed);
    }
    if (enter)
      Key(Qt::Key_Return);
    else
      other_->setFocus();
    QCOMPARE(Cell(1, column), cell);
    QCOMPARE(Word(word), value);
  }

  void enterMoves() {
    QLineEdit* text1 = grid_->TextEditor();
    Click(1, 1);
    Key(Qt::Key_Return);
    QCOMPARE(grid_->currentRow(), 1);
    QCOMPARE(grid_->currentColumn(), 2);
    QVERIFY(grid_->hasFocus());
    QVERIFY(!text1->isVisible());  // no editor opens by itself
    Click(1, 2);
    Key(Qt::Key_Return);
    QCOMPARE(grid_->currentColumn(), 3);
    Click(1, 3);
    Key(Qt::Key_Return);
    QCOMPARE(grid_->currentRow(), 2);
    QCOMPARE(grid_->currentColumn(), 1);
    Click(8, 3);
    Key(Qt::Key_Return);
    QCOMPARE(grid_->currentRow(), 8);
    QCOMPARE(grid_->currentColumn(), 4);
    QCOMPARE(Cell(8, 3), QString("1"));
    QCOMPARE(Word(kMulWord + 8), 100);  // Enter stored the unchanged value
  }

  void kindColumnOnlyWhenUserDefined() {
    QComboBox* kind = grid_->KindEditor();
    QCOMPARE(kind->objectName(), QString("ComboSingleAdcType"));
    Click(1, 4);  // type voltage: locked
    QVERIFY(!kind->isVisible());
    QVERIFY(!grid_->TextEditor()->isVisible());
    Click(1, 0);  // the channel column opens nothing
    QVERIFY(!grid_->TextEditor()->isVisible());

    grid_->AdcTypeChanged(2);
    QCOMPARE(Word(21), 2);
    Click(1, 4);
    QVERIFY(kind->isVisible());
    QVERIFY(kind->hasFocus());
    QCOMPARE(kind->currentIndex(), 0);  // the cell shows voltage; opening stores nothing
    QCOMPARE(Word(kKindWord + 1), 1);
    QTest::keyClick(kind, Qt::Key_Down);  // choose current
    QCOMPARE(Cell(1, 1), QString("20"));  // its usual full scale follows at once
    QCOMPARE(Word(kFullScaleWord + 1), 20);
    QCOMPARE(Word(kKindWord + 1), 1);
    Click(2, 4);  // closing stores the kind, and the click opens the next
    QCOMPARE(Cell(1, 4), QString("电流"));
    QCOMPARE(Word(kKindWord + 1), 1);
    QVERIFY(kind->isVisible());
    QTest::keyClick(kind, Qt::Key_Down);
    QTest::keyClick(kind, Qt::Key_Up);  // back to voltage: full scale 10
    QCOMPARE(Word(kFullScaleWord + 2), 10);
    QTest::keyClick(kind, Qt::Key_Return);  // Enter stores and moves down
    QVERIFY(!kind->isVisible());
    QCOMPARE(Word(kKindWord + 2), 0);
    QCOMPARE(Cell(2, 4), QString("电压"));
    QCOMPARE(grid_->currentRow(), 3);
    QCOMPARE(grid_->currentColumn(), 1);
  }

  void allChannelsType() {
    image_.SetWord(kKindWord + 3, 0);
    grid_->AdcTypeChanged(1);
    QCOMPARE(Word(21), 1);
    for (int channel = 1; channel <= 8; ++channel) {
      QCOMPARE(Cell(channel, 4), QString("电流"));
      QCOMPARE(Cell(channel, 1), QString("20"));
      QCOMPARE(Word(kFullScaleWord + channel), 20);
    }
    QCOMPARE(Word(kFullScaleWord + 9), 10);  // the ninth slot is never touched
    QCOMPARE(Word(kKindWord + 3), 0);        // the kind words stay

    // The same type again changes nothing.
    image_.SetWord(kFullScaleWord + 1, 77);
    grid_->AdcTypeChanged(1);
    QCOMPARE(Word(kFullScaleWord + 1), 77);

    grid_->AdcTypeChanged(0);
    QCOMPARE(Cell(4, 4), QString("电压"));
    QCOMPARE(Word(kFullScaleWord + 1), 10);

    // User defined keeps every cell that has a full scale.
    grid_->AdcTypeChanged(2);
    QCOMPARE(Word(21), 2);
    QCOMPARE(Cell(4, 4), QString("电压"));

    // A grid never shown has empty full-scale cells: their kind cells empty.
    bool filling = false;
    AdcGrid fresh(image_, filling);
    fresh.item(1, 4)->setText("电压");
    fresh.item(2, 1)->setText("10");
    fresh.item(2, 4)->setText("电压");
    image_.SetWord(21, 0);
    fresh.AdcTypeChanged(2);
    QCOMPARE(fresh.item(1, 4)->text(), QString());
    QCOMPARE(fresh.item(2, 4)->text(), QString("电压"));
  }

  void showImageDropsAnOpenEditor() {
    Click(1, 1);
    Type("555");
    grid_->ShowImage();  // e.g. a read finished meanwhile
    QVERIFY(!grid_->TextEditor()->isVisible());
    other_->setFocus();
    QCOMPARE(Word(kFullScaleWord + 1), 10);
    QCOMPARE(Cell(1, 1), QString("10"));
  }

  void nothingStoredWhileFilling() {
    const ParameterImage before = image_;
    filling_ = true;
    grid_->AdcTypeChanged(1);
    Click(1, 1);
    Type("99");
    Key(Qt::Key_Return);
    QVERIFY(image_ == before);
  }

 private:
  void Click(int row, int column);
  void Type(const QString& keys) { QTest::keyClicks(QApplication::focusWidget(), keys); }
  void Key(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
  QString Cell(int row, int column) const { return grid_->item(row, column)->text(); }
  int Word(int word) const { return image_.GetUWord(word); }

  ParameterImage image_;
  bool filling_ = false;
  QWidget* window_ = nullptr;
  AdcGrid* grid_ = nullptr;
  QLineEdit* other_ = nullptr;  // somewhere else to put the focus
};

void TestAdcGrid::Click(int row, int column) {
  const QRect cell = grid_->visualRect(grid_->model()->index(row, column));
  QTest::mouseClick(grid_->viewport(), Qt::LeftButton, {}, cell.center());
}

QTEST_MAIN(TestAdcGrid)
#include "tst_adcgrid.moc"
