// The title's file name and unsaved-edits mark, and the question when the
// window closes with edits pending.
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

using namespace std::chrono_literals;

// Scripted prompts that also answer the question about unsaved edits.
struct AskingPrompts : ScriptedPrompts {
  SaveAnswer answer = SaveAnswer::Cancel;
  QStringList asked;
  SaveAnswer AskSave(const QString& text) override {
    asked << text;
    return answer;
  }
};

struct Desk {
  FormMainRig rig{{1}};
  TerminalModel terminal;
  AskingPrompts prompts;
  std::unique_ptr<FormMain> form;

  Desk() {
    rig.link.AttachDevice(&terminal);
    form = std::make_unique<FormMain>(
        FormMainServices{rig.link, rig.updateLink, rig.clock, rig.ports, &prompts},
        FormMainOptions{});
    form->show();
  }
  // Types a device address and Enter, as the user does.
  void TypeAddress(const QString& text) {
    auto* box = form->findChild<QLineEdit*>("TextDeviceAddr");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
  }
  void Click(const char* name) {
    QTest::mouseClick(form->findChild<QPushButton*>(name), Qt::LeftButton);
    QVERIFY(rig.clock.RunUntil([this] { return !form->Engine().Busy(); }, 1min));
  }
};

}  // namespace

class TestUnsavedEdits : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void markClearedBy_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("title");
    QTest::newRow("read") << "CommandRead" << QString::fromUtf8("TR5906配置工具");
    QTest::newRow("write") << "CommandWrite" << QString::fromUtf8("TR5906配置工具");
    QTest::newRow("save") << "CommandSave" << QString::fromUtf8("TR5906配置工具 - site.quelt");
    QTest::newRow("open") << "CommandLoad" << QString::fromUtf8("TR5906配置工具 - site.quelt");
  }
  void markClearedBy() {
    QFETCH(QString, button);
    QFETCH(QString, title);
    Desk desk;
    QFile file(desk.rig.dir.filePath("site.quelt"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(10240, '\0')) == 10240);
    file.close();
    desk.prompts.QueueFile(file.fileName());
    desk.prompts.QueueOkCancel(true);

    QCOMPARE(desk.form->windowTitle(), QString::fromUtf8("TR5906配置工具"));
    desk.TypeAddress("7");
    QTRY_COMPARE(desk.form->windowTitle(), QString::fromUtf8("TR5906配置工具*"));
    desk.TypeAddress("1");  // back to what was kept: nothing unsaved
    QTRY_COMPARE(desk.form->windowTitle(), QString::fromUtf8("TR5906配置工具"));
    desk.TypeAddress("9");
    desk.Click(button.toLatin1().constData());
    QTRY_COMPARE(desk.form->windowTitle(), title);
    desk.TypeAddress("12");
    QTRY_COMPARE(desk.form->windowTitle(), title + '*');
  }

  void closing_data() {
    QTest::addColumn<bool>("edit");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("saveAs");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("savedAddress");  // -1: no file
    using A = Prompts::SaveAnswer;
    QTest::newRow("no edits") << false << int(A::Cancel) << "" << true << -1;
    QTest::newRow("cancel") << true << int(A::Cancel) << "" << false << -1;
    QTest::newRow("discard") << true << int(A::Discard) << "" << true << -1;
    QTest::newRow("save") << true << int(A::Save) << "kept.quelt" << true << 7;
    QTest::newRow("save, no file") << true << int(A::Save) << "" << false << -1;
  }
  void closing() {
    QFETCH(bool, edit);
    QFETCH(int, answer);
    QFETCH(QString, saveAs);
    QFETCH(bool, closed);
    QFETCH(int, savedAddress);
    Desk desk;
    desk.prompts.answer = Prompts::SaveAnswer(answer);
    const QString path = saveAs.isEmpty() ? QString() : desk.rig.dir.filePath(saveAs);
    desk.prompts.QueueFile(path);
    if (edit) desk.TypeAddress("7");

    QCOMPARE(desk.form->close(), closed);
    QCOMPARE(desk.prompts.asked.size(), edit ? 1 : 0);
    QCOMPARE(desk.form->isVisible(), !closed);
    QFile file(path);
    QCOMPARE(file.exists(), savedAddress >= 0);
    if (savedAddress >= 0) {
      QVERIFY(file.open(QIODevice::ReadOnly));
      QCOMPARE(int(file.read(1)[0]), savedAddress);
    }
  }
};

QTEST_MAIN(TestUnsavedEdits)
#include "tst_unsavededits.moc"
