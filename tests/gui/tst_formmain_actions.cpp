// The main window's buttons against the in-process terminal: read, write,
// detection and its stop, the transaction controls, save and open.
#include "FormMainRig.h"
#include "TerminalModel.h"
#include "image/ConfigFile.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QtTest>

namespace {

using namespace std::chrono_literals;

template <typename T>
T* Child(QWidget* form, const QString& name) {
  T* child = form->findChild<T*>(name);
  if (!child) qFatal("no control %s", qPrintable(name));
  return child;
}

QStringList Lines(QWidget* form) {
  auto* list = Child<QListWidget>(form, "ListMsg");
  QStringList lines;
  for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
  return lines;
}

void Click(QWidget* form, const char* name) {
  QTest::mouseClick(Child<QPushButton>(form, QLatin1String(name)), Qt::LeftButton);
}

bool Enabled(QWidget* form, const char* name) {
  return Child<QWidget>(form, QLatin1String(name))->isEnabled();
}

// Runs the virtual clock until the transaction has ended and the window has
// handled its end.
bool RunToEnd(FormMainRig& rig, FormMain& form) {
  return rig.clock.RunUntil([&] { return !form.Engine().Busy() && Enabled(&form, "CommandRead"); },
                            std::chrono::minutes(5));
}

}  // namespace

class TestFormMainActions : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void readFillsTheWindow();
  void failedReadShowsNothing();
  void portThatDoesNotOpen();
  void writeSendsTheImage();
  void accessKeyCommitsTheEditor_data();
  void accessKeyCommitsTheEditor();
  void detectionFindsTheFormat();
  void detectionCanBeStopped();
  void closingDuringARead();
  void saveThenOpen();
  void openRefusals();
  void messageListButtons();
  void updateButton();
};

void TestFormMainActions::readFillsTheWindow() {
  FormMainRig rig({1});
  TerminalModel terminal;
  terminal.Memory().SetWord(0, 42);
  terminal.Memory().SetWord(15, 12);
  terminal.Memory().SetWord(18, 5);
  terminal.Memory().SetWord(14, 3);
  terminal.SetIdentity({0x23, 0x41, 0x00, 0x02});
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make();
  QWidget* f = form.get();

  Click(f, "CommandRead");
  // While the read runs, no second transaction can be started.
  for (const char* name :
       {"CommandRead", "CommandWrite", "CommandResetConfig", "CommandGetErrorLog",
        "CommandAutoBaudrate", "CommandUpdate", "CommandComFresh", "ComboComPort", "CommandLoad"}) {
    QVERIFY2(!Enabled(f, name), name);
  }
  QVERIFY(Enabled(f, "CommandClose"));
  QVERIFY(RunToEnd(rig, *form));
  QVERIFY(!rig.link.IsOpen());

  const QStringList lines = Lines(f);
  QCOMPARE(lines.first(), QString("读取数据"));
  QCOMPARE(lines.mid(lines.size() - 4),
           QStringList({"读取成功!", "REZUZODO", "固件版本:41.23.Kestrel", "生产日期:2019-1-1"}));
  QCOMPARE(Child<QListWidget>(f, "ListMsg")->currentRow(), lines.size() - 1);
  QCOMPARE(Child<QLineEdit>(f, "TextDeviceAddr")->text(), QString("42"));
  QCOMPARE(Child<QComboBox>(f, "ComboAirRate")->currentText(), QString("0.48Kbps"));
  QCOMPARE(Child<QComboBox>(f, "ComboTxPower")->currentText(), QString("5dBm"));
  auto* channels = Child<QComboBox>(f, "ComboChannel");
  QCOMPARE(channels->count(), 6);
  QCOMPARE(channels->currentText(), QString("4-442.125MHz"));
  QCOMPARE(form->Image().Bytes(0, 272), terminal.Memory().Bytes(0, 272));
  QCOMPARE(form->Image().Bytes(1024, 4), QByteArray("\x23\x41\x00\x02", 4));
  QVERIFY(Enabled(f, "CommandWrite"));
}

void TestFormMainActions::failedReadShowsNothing() {
  FormMainRig rig({1});
  TerminalModel terminal;
  terminal.MutableFaults().silent = true;
  terminal.Memory().SetWord(0, 42);
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make();
  Click(form.get(), "CommandRead");
  QVERIFY(RunToEnd(rig, *form));
  QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::AskRetry), 1);
  QCOMPARE(rig.prompts.Asked().last().text, QString("检测连接！重试或取消？"));
  QCOMPARE(Lines(form.get()).last(), QString("读取失败!"));
  QCOMPARE(Child<QLineEdit>(form.get(), "TextDeviceAddr")->text(), QString("1"));
  QVERIFY(!rig.link.IsOpen());
}

void TestFormMainActions::portThatDoesNotOpen() {
  FormMainRig rig({1});
  rig.link.SetPresentPorts({});
  auto form = rig.Make(true);
  Click(form.get(), "CommandRead");
  QVERIFY(RunToEnd(rig, *form));
  QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::Critical), 1);
  QCOMPARE(rig.prompts.Asked().first().text.section('\n', 0, 0),
           QString("Please reselect COM port!"));
  QCOMPARE(Lines(form.get()).last(), QString("读取失败!"));
  QVERIFY(Enabled(form.get(), "CommandWrite"));
}

void TestFormMainActions::writeSendsTheImage() {
  FormMainRig rig({1});
  TerminalModel terminal;
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make();
  form->Image().SetWord(0, 77);
  form->Image().SetByte(1008, 9);
  Click(form.get(), "CommandWrite");
  QVERIFY(!Enabled(form.get(), "CommandRead"));
  QVERIFY(RunToEnd(rig, *form));
  QCOMPARE(Lines(form.get()).last(), QString("设置成功"));
  QCOMPARE(terminal.Memory().GetUWord(0), uint16_t(77));
  QCOMPARE(terminal.Memory().Bytes(0, 256), form->Image().Bytes(0, 256));
  QVERIFY(form->Image().HasValidMarker());
  QCOMPARE(terminal.AdjustWrites(), 0);

  // In adjust mode the adjust byte goes too.
  QTest::mouseDClick(Child<QWidget>(form.get(), "LabelVersion"), Qt::LeftButton);
  Click(form.get(), "CommandWrite");
  QVERIFY(RunToEnd(rig, *form));
  QCOMPARE(terminal.AdjustWrites(), 1);
  QCOMPARE(terminal.LastAdjust(), 9);
}

void TestFormMainActions::accessKeyCommitsTheEditor_data() {
  QTest::addColumn<int>("tab");         // 5: with the service page
  QTest::addColumn<QString>("editor");  // a box, or the analog grid's "row,column"
  QTest::addColumn<QString>("typed");
  QTest::addColumn<int>("offset");
  QTest::addColumn<QByteArray>("bytes");  // what the terminal holds there after the write
  QTest::newRow("box") << 2 << "TextDeviceAddr"
                       << "77" << 0 << QByteArray("\x4d\x00", 2);
  QTest::newRow("box replaced") << 2 << "TextDeviceAddr"
                                << "300" << 0 << QByteArray("\xff\x00", 2);
  QTest::newRow("grid cell") << 3 << "1,2"
                             << "-1.5" << 44 << QByteArray("\xdc\x85");
  QTest::newRow("cloud box") << 5 << "TextDeviceName"
                             << "Pump" << 4116 << QByteArray("Pump", 5);
}

void TestFormMainActions::accessKeyCommitsTheEditor() {
  QFETCH(int, tab);
  QFETCH(QString, editor);
  QFETCH(QString, typed);
  QFETCH(int, offset);
  QFETCH(QByteArray, bytes);
  FormMainRig rig({1});
  TerminalModel terminal;
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make(false, tab == 5);
  QWidget* f = form.get();
  f->show();
  QApplication::setActiveWindow(f);
  QVERIFY(QTest::qWaitForWindowActive(f));
  auto* tabs = Child<QTabBar>(f, "TabStrip1");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(tab - 1).center());
  auto* grid = Child<QTableWidget>(f, "MSHFlexGridAdcParam");
  const QModelIndex cell = grid->model()->index(editor.left(1).toInt(), editor.right(1).toInt());
  if (editor.contains(','))
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
  else
    QTest::mouseClick(Child<QLineEdit>(f, editor), Qt::LeftButton);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(QApplication::focusWidget(), typed);
  // Alt+W clicks Write without taking the focus from the editor.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::AltModifier);
  QTRY_VERIFY(!Enabled(f, "CommandRead"));
  QVERIFY(RunToEnd(rig, *form));
  QCOMPARE(Lines(f).last(), QString("设置成功"));
  QCOMPARE(terminal.Memory().Bytes(offset, bytes.size()), bytes);
}

void TestFormMainActions::detectionFindsTheFormat() {
  FormMainRig rig({1});
  TerminalModel terminal;
  terminal.SetFormat("19200,E,8,1");
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make();
  Click(form.get(), "CommandAutoBaudrate");
  QVERIFY(RunToEnd(rig, *form));
  QCOMPARE(Lines(form.get()).last(), QString("自动匹配成功,匹配格式为:19200,E,8,1"));
  QCOMPARE(form->LinkSettings(), QString("19200,E,8,1"));
  // The 485 controls keep the image's format.
  QCOMPARE(form->DeviceFormatText(), QString("9600,N,8,1"));

  // The next read greets at the detected format.
  Click(form.get(), "CommandRead");
  QVERIFY(RunToEnd(rig, *form));
  QVERIFY(Lines(form.get()).contains("读取成功!"));
}

void TestFormMainActions::detectionCanBeStopped() {
  FormMainRig rig({1});
  TerminalModel terminal;
  terminal.MutableFaults().silent = true;
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make();
  auto* button = Child<QPushButton>(form.get(), "CommandAutoBaudrate");
  const QString caption = button->text();
  Click(form.get(), "CommandAutoBaudrate");
  QVERIFY(button->isEnabled());
  QVERIFY(button->text() != caption);
  QVERIFY(!Enabled(form.get(), "CommandRead"));
  rig.clock.RunFor(3500ms);
  QVERIFY(form->Engine().Busy());
  Click(form.get(), "CommandAutoBaudrate");
  QVERIFY(RunToEnd(rig, *form));
  QCOMPARE(button->text(), caption);
  QCOMPARE(Lines(form.get()).last(), QString("自动匹配失败,请重新自动匹配或手动匹配!"));
  QCOMPARE(form->LinkSettings(), QString("9600,N,8,1"));
  QVERIFY(!rig.link.IsOpen());
}

void TestFormMainActions::closingDuringARead() {
  FormMainRig rig({1});
  TerminalModel terminal;
  terminal.MutableFaults().silent = true;
  rig.link.AttachDevice(&terminal);
  auto form = rig.Make();
  Click(form.get(), "CommandRead");
  QVERIFY(rig.link.IsOpen());
  Click(form.get(), "CommandClose");
  rig.clock.RunFor(5s);
  QVERIFY(!form->Engine().Busy());
  QVERIFY(!rig.link.IsOpen());
  form.reset();
  rig.clock.RunAll(1min);
}

void TestFormMainActions::saveThenOpen() {
  FormMainRig rig;
  auto form = rig.Make();
  auto* power = Child<QComboBox>(form.get(), "ComboTxPower");
  const QString path = rig.dir.filePath("site.quelt");

  rig.prompts.QueueFile(path);
  Click(form.get(), "CommandSave");
  QCOMPARE(rig.prompts.Asked().last().text, QString("保存"));
  QCOMPARE(rig.prompts.LastDefaultName(), QString("new.quelt"));
  QVERIFY(rig.prompts.LastFileMode() == Prompts::FileMode::Save);
  QVERIFY(!rig.prompts.LastHex());
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray saved = file.readAll();
  QCOMPARE(saved.size(), 10240);
  QCOMPARE(uint8_t(saved[6142]), uint8_t(0x55));
  QCOMPARE(uint8_t(saved[6143]), uint8_t(0xAA));

  form->Image().SetWord(18, 3);
  form->ShowImage();
  QCOMPARE(power->currentText(), QString("3dBm"));

  // Cancel at the overwrite question: nothing changes.
  rig.prompts.QueueFile(path);
  rig.prompts.QueueOkCancel(false);
  const ParameterImage before = form->Image();
  Click(form.get(), "CommandLoad");
  QCOMPARE(rig.prompts.Asked().last().text, QString("覆盖当前数据？"));
  QVERIFY(form->Image() == before);
  QCOMPARE(power->currentText(), QString("3dBm"));

  // OK: the saved value is back, in the image and on screen.
  rig.prompts.QueueFile(path);
  rig.prompts.QueueOkCancel(true);
  Click(form.get(), "CommandLoad");
  QCOMPARE(form->Image().GetUWord(18), uint16_t(22));
  QCOMPARE(power->currentText(), QString("22dBm"));
  QCOMPARE(form->Image().Bytes(0, 10240), saved);

  // A cancelled file dialog asks nothing more.
  const int asked = rig.prompts.Asked().size();
  Click(form.get(), "CommandLoad");
  Click(form.get(), "CommandSave");
  QCOMPARE(rig.prompts.Asked().size(), asked + 2);
}

void TestFormMainActions::openRefusals() {
  FormMainRig rig;
  auto form = rig.Make(true);
  const QString path = rig.dir.filePath("short.quelt");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(100, '\x07'));
  file.close();
  const ParameterImage before = form->Image();
  rig.prompts.QueueFile(path);
  rig.prompts.QueueOkCancel(true);
  Click(form.get(), "CommandLoad");
  QCOMPARE(rig.prompts.Asked().at(0).text, QString("Open"));
  QCOMPARE(rig.prompts.Asked().at(1).text, QString("Do you want to cover current data?"));
  QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::Critical), 1);
  QVERIFY(form->Image() == before);

  // Saving into a folder that does not exist is reported, not silent.
  rig.prompts.QueueFile(rig.dir.filePath("missing/site.quelt"));
  Click(form.get(), "CommandSave");
  QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::Critical), 2);
}

void TestFormMainActions::messageListButtons() {
  FormMainRig rig;
  auto form = rig.Make();
  auto* list = Child<QListWidget>(form.get(), "ListMsg");
  form->AddMessage("a");
  form->AddMessage("b");
  QCOMPARE(list->currentRow(), 1);
  Click(form.get(), "CommandClear");
  QCOMPARE(list->count(), 0);
  form->AddMessage("c");
  Click(form.get(), "CommandClr");
  QCOMPARE(list->count(), 0);
}

void TestFormMainActions::updateButton() {
  FormMainRig rig({1});
  auto form = rig.Make();
  // A cancelled file choice ends the update quietly.
  Click(form.get(), "CommandUpdate");
  QVERIFY(rig.prompts.LastHex());
  QVERIFY(rig.prompts.LastFileMode() == Prompts::FileMode::Open);
  QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::Critical), 0);
  QVERIFY(Enabled(form.get(), "CommandRead"));

  // A file that is no HEX file is refused before any window opens.
  const QString path = rig.dir.filePath("broken.hex");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("this is not a hex file\n");
  file.close();
  rig.prompts.QueueFile(path);
  Click(form.get(), "CommandUpdate");
  QCOMPARE(rig.prompts.Count(ScriptedPrompts::Type::Critical), 1);
  QVERIFY(rig.prompts.Texts().last().startsWith(QStringLiteral("文档有误")));
  QVERIFY(Enabled(form.get(), "CommandRead"));
  QCOMPARE(rig.updateLink.OpenCount(), 0);
}

QTEST_MAIN(TestFormMainActions)
#include "tst_formmain_actions.moc"
