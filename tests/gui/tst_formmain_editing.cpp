// Editing through the real main window: every kind of editor on its page,
// then a write to the in-process terminal carries exactly the edits.
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
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

void ShowTab(QWidget* form, int tab) {
  auto* tabs = Child<QTabBar>(form, "TabStrip1");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab - 1).center());
}

void Type(QWidget* form, const char* box, const QString& keys, Qt::Key leaveWith) {
  auto* edit = Child<QLineEdit>(form, QLatin1String(box));
  QTest::mouseClick(edit, Qt::LeftButton);
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(edit, keys);
  QTest::keyClick(edit, leaveWith);
}

// Picks an entry the way a user does: open the list, click the entry.
void Choose(QWidget* form, const char* list, int index) {
  auto* combo = Child<QComboBox>(form, QLatin1String(list));
  QTest::mouseClick(combo, Qt::LeftButton);
  QAbstractItemView* view = combo->view();
  QTRY_VERIFY(view->isVisible());
  // A release right after the opening click is taken as part of that click.
  QTest::qWait(QApplication::doubleClickInterval() + 50);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(index, 0)).center());
  QTRY_VERIFY(!view->isVisible());
  QCOMPARE(combo->currentIndex(), index);
}

void ClickCell(QWidget* form, const char* grid, int row, int column) {
  auto* table = Child<QTableWidget>(form, QLatin1String(grid));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                    table->visualRect(table->model()->index(row, column)).center());
}

}  // namespace

class TestFormMainEditing : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void writeSendsExactlyTheEdits();
};

void TestFormMainEditing::writeSendsExactlyTheEdits() {
  FormMainRig rig({1});
  TerminalModel terminal;
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make();
  QWidget* f = form.get();
  f->show();
  QApplication::setActiveWindow(f);
  QVERIFY(QTest::qWaitForWindowActive(f));

  // The terminal starts with the window's image, so only edits can differ.
  terminal.Memory().Store(0, form->Image().Data(), 256);
  ParameterImage expected = form->Image();

  // Page 1: the RS-485 port's parity.
  ShowTab(f, 1);
  Choose(f, "ComboParity_1", 1);  // "E"
  expected.SetWord(10, 1);
  QCOMPARE(form->DeviceFormatText(), QString("9600,E,8,1"));

  // Page 2: number boxes (replaced on leaving), the repeat and power lists.
  ShowTab(f, 2);
  Type(f, "TextDeviceAddr", "300", Qt::Key_Return);
  QCOMPARE(Child<QLineEdit>(f, "TextDeviceAddr")->text(), QString("255"));
  QCOMPARE(Child<QLineEdit>(f, "TextDeviceAddr")->selectedText(), QString("255"));
  expected.SetWord(0, 255);
  Type(f, "TextUartLostTime", "0", Qt::Key_Tab);
  QCOMPARE(Child<QLineEdit>(f, "TextUartLostTime")->text(), QString("1"));
  expected.SetWord(58, 1);
  Choose(f, "ComboLoraRepeat", 2);  // from "To 485" to "To Gateway"
  expected.SetWord(20, 1);
  Choose(f, "ComboTxPower", 21);
  expected.SetWord(18, 21);

  // Page 3: an offset, the all-channels type and one channel's kind.
  ShowTab(f, 3);
  ClickCell(f, "MSHFlexGridAdcParam", 1, 2);
  QTest::keyClicks(QApplication::focusWidget(), "-1.2345");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  expected.SetWord(22, 32768 + 1234);
  ClickCell(f, "MSHFlexGridAdcParam", 2, 4);  // locked while the type is voltage
  QVERIFY(!Child<QComboBox>(f, "ComboSingleAdcType")->isVisible());
  Choose(f, "ComboAdcType", 2);  // user defined: the full scales stay
  expected.SetWord(21, 2);
  ClickCell(f, "MSHFlexGridAdcParam", 2, 4);
  auto* kind = Child<QComboBox>(f, "ComboSingleAdcType");
  QVERIFY(kind->isVisible());
  QTest::keyClick(kind, Qt::Key_Down);    // current: full scale 20
  QTest::keyClick(kind, Qt::Key_Return);  // stores the kind
  expected.SetWord(32, 20);
  expected.SetWord(50, 1);  // as it was: the kind cell showed the all-channels type

  // Page 4: a pin direction, an edge and the input filter.
  ShowTab(f, 4);
  ClickCell(f, "MSHFlexGriddigitalSetting", 3, 1);
  QTest::keyClick(Child<QComboBox>(f, "ComboDIOConfig"), Qt::Key_Down);  // pin 12: DI
  auto* edge = Child<QCheckBox>(f, "CheckCaptureEdge_2");
  QTest::mouseClick(edge, Qt::LeftButton, {}, QPoint(6, edge->height() / 2));
  Type(f, "TextDinFilter", "100", Qt::Key_Tab);
  expected.SetWord(60, 128);
  expected.SetWord(67, 0xB064);  // edges 1, 2 and 4 kept, filter 100

  const QByteArray before = terminal.Memory().Bytes(0, 256);
  QCOMPARE(form->Image().Bytes(0, 256), expected.Bytes(0, 256));

  QTest::mouseClick(Child<QPushButton>(f, "CommandWrite"), Qt::LeftButton);
  QVERIFY(rig.clock.RunUntil(
      [&] { return !form->Engine().Busy() && Child<QWidget>(f, "CommandRead")->isEnabled(); },
      std::chrono::minutes(5)));
  QCOMPARE(terminal.Memory().Bytes(0, 256), expected.Bytes(0, 256));
  int changed = 0;
  for (int i = 0; i < 256; ++i) changed += before.at(i) != terminal.Memory().Bytes(i, 1).at(0);
  QCOMPARE(changed, 12);  // the bytes of the edited words that really differ
}

QTEST_MAIN(TestFormMainEditing)
#include "tst_formmain_editing.moc"
