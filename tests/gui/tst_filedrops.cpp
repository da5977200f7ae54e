// Files dropped on the main window: a configuration file is opened as by
// "打开配置", a HEX file starts the firmware update, anything else is refused.
#include "FormMainRig.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QtTest>

class TestFileDrops : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void drop_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("ok");  // the answer to "覆盖当前数据？"
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("address");
    const QString cover = QString::fromUtf8("覆盖当前数据？");
    QTest::newRow("config on the list") << "site.quelt"
                                        << "ListMsg" << true << true << QStringList{cover} << "9";
    QTest::newRow("config on a text box")
        << "SITE.QUELT"
        << "TextDeviceAddr" << true << true << QStringList{cover} << "9";
    QTest::newRow("config, cancelled") << "site.quelt"
                                       << "ListMsg" << false << true << QStringList{cover} << "1";
    QTest::newRow("broken firmware")
        << "fw.hex"
        << "ListMsg" << true << true << QStringList{QString::fromUtf8("文档有误")} << "1";
    QTest::newRow("other file") << "notes.txt"
                                << "ListMsg" << true << false << QStringList{} << "1";
  }
  void drop() {
    QFETCH(QString, name);
    QFETCH(QString, target);
    QFETCH(bool, ok);
    QFETCH(bool, accepted);
    QFETCH(QStringList, asked);
    QFETCH(QString, address);
    FormMainRig rig({1});
    rig.prompts.QueueOkCancel(ok);
    auto form = rig.Make();
    form->show();
    QFile file(rig.dir.filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (name.endsWith("hex")) {
      file.write(":10000000XYZ\n");
    } else {
      QByteArray image(10240, '\0');
      image[0] = 9;
      file.write(image);
    }
    file.close();

    QWidget* widget = form->findChild<QWidget*>(target);
    if (auto* list = qobject_cast<QListWidget*>(widget)) widget = list->viewport();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file.fileName())});
    const QPoint at = widget->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QCOMPARE(enter.isAccepted(), accepted);
    QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    QCoreApplication::processEvents();

    QCOMPARE(rig.prompts.Texts(), asked);
    QCOMPARE(form->findChild<QLineEdit*>("TextDeviceAddr")->text(), address);
    QCOMPARE(int(form->Image().Byte(0)), address.toInt());
  }
};

QTEST_MAIN(TestFileDrops)
#include "tst_filedrops.moc"
