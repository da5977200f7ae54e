// At a scale factor of 2, with the default and with a larger font, every
// page of the main window shows its captions whole (tabs included) and the
// grids' columns hold their texts.
#include "FormMainRig.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QTabBar>
#include <QTableWidget>
#include <QtTest>

namespace {

// The controls on screen narrower than their captions (grid cells as "grid(row,column)").
QStringList Clipped(QWidget* form) {
  QStringList clipped;
  for (QWidget* w : form->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(form)) continue;
    const int text = w->fontMetrics().horizontalAdvance(
        QString(qobject_cast<QLabel*>(w)      ? qobject_cast<QLabel*>(w)->text()
                : qobject_cast<QGroupBox*>(w) ? qobject_cast<QGroupBox*>(w)->title()
                                              : QString())
            .remove('&'));
    const auto* button = qobject_cast<QAbstractButton*>(w);
    if (w->width() < (button ? button->sizeHint().width() : text)) clipped << w->objectName();
    if (auto* grid = qobject_cast<QTableWidget*>(w))
      for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < grid->columnCount(); ++c)
          if (grid->columnWidth(c) <
              grid->fontMetrics().horizontalAdvance(grid->item(r, c)->text()))
            clipped << QStringLiteral("%1(%2,%3)").arg(w->objectName()).arg(r).arg(c);
  }
  return clipped;
}

}  // namespace

class TestHighDpi : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void pages_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("english");
    QTest::addColumn<int>("points");  // 0: the default font
    for (int points : {0, 14})
      for (bool english : {false, true})
        for (int page = 1; page <= 5; ++page)
          QTest::addRow("page %d, %s, %d pt", page, english ? "English" : "Chinese", points)
              << page << english << points;
  }
  void pages() {
    QFETCH(int, page);
    QFETCH(bool, english);
    QFETCH(int, points);
    QCOMPARE(qApp->devicePixelRatio(), 2.0);
    const QFont normal = QApplication::font();
    QFont font = normal;
    if (points) font.setPointSize(points);
    QApplication::setFont(font);
    FormMainRig rig({1});
    auto form = rig.Make(english, true);
    form->show();
    auto* tabs = form->findChild<QTabBar*>("TabStrip1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page - 1).center());
    QCOMPARE(form->CurrentPage(), page);
    QCoreApplication::processEvents();
    const QStringList clipped = Clipped(form.get());
    QApplication::setFont(normal);
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(", ")));
  }
};

int main(int argc, char** argv) {
  qputenv("QT_SCALE_FACTOR", "2");
  QApplication app(argc, argv);
  TestHighDpi test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_highdpi.moc"
