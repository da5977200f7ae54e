// The message list's menu: copying the selected lines and saving the list.
#include "FormMainRig.h"
#include "ui/MessageListMenu.h"

#include <QClipboard>
#include <QListWidget>
#include <QMenu>
#include <QtTest>

namespace {

struct Desk {
  FormMainRig rig;
  std::unique_ptr<FormMain> form = rig.Make();
  QListWidget* list = form->findChild<QListWidget*>("ListMsg");

  Desk() {
    form->show();
    for (const char* line : {"读取数据", "Try(1):9600,N,8,1", "读取成功!"})
      form->AddMessage(QString::fromUtf8(line));
  }
  void ClickLine(int row) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row)).center());
  }
};

}  // namespace

class TestMessageListMenu : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void copy_data() {
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("shiftUps");  // Shift+Up presses after the click
    QTest::addColumn<QString>("copied");
    QTest::newRow("one line") << 1 << 0 << "Try(1):9600,N,8,1";
    QTest::newRow("upwards, in list order")
        << 2 << 2 << QString::fromUtf8("读取数据\nTry(1):9600,N,8,1\n读取成功!");
  }
  void copy() {
    QFETCH(int, clicked);
    QFETCH(int, shiftUps);
    QFETCH(QString, copied);
    Desk desk;
    desk.ClickLine(clicked);
    for (int i = 0; i < shiftUps; ++i) QTest::keyClick(desk.list, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(desk.list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
  }

  void saveFromTheMenu() {
    Desk desk;
    const QString path = desk.rig.dir.filePath("log.txt");
    desk.form->findChild<MessageListMenu*>("MessageListMenu")->SetFileChooser([&] { return path; });
    // Second entry of the context menu.
    QTimer::singleShot(0, [] {
      QWidget* menu = QApplication::activePopupWidget();
      QTest::keyClick(menu, Qt::Key_Down);
      QTest::keyClick(menu, Qt::Key_Down);
      QTest::keyClick(menu, Qt::Key_Return);
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            desk.list->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(desk.list->viewport(), &event);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xE8\xAF\xBB\xE5\x8F\x96\xE6\x95\xB0\xE6\x8D\xAE\n"
                                        "Try(1):9600,N,8,1\n"
                                        "\xE8\xAF\xBB\xE5\x8F\x96\xE6\x88\x90\xE5\x8A\x9F!\n"));
  }
};

QTEST_MAIN(TestMessageListMenu)
#include "tst_messagelistmenu.moc"
