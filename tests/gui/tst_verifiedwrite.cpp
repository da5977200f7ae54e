// "写入后校验": after "设置成功" the terminal is read back into an image of its
// own and compared; the form is never changed by the read-back.
#include "FormMainRig.h"
#include "TerminalModel.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

// A terminal whose memory cell at byte 36 (transmit power) is stuck at 9:
// it acknowledges every write but never keeps that byte.
struct StuckByteTerminal : SimDevice {
  TerminalModel model;
  bool stuck = false;
  DeviceReply Receive(const QByteArray& bytes, const QString& settings) override {
    DeviceReply reply = model.Receive(bytes, settings);
    if (stuck) model.Memory().SetByte(36, 9);
    return reply;
  }
};

}  // namespace

class TestVerifiedWrite : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void verify_data() {
    QTest::addColumn<bool>("stored");  // the box's setting in the store
    QTest::addColumn<bool>("stuck");
    QTest::addColumn<QStringList>("lines");  // the check's lines after "设置成功"
    QTest::newRow("kept") << true << false << QStringList{QString::fromUtf8("校验成功")};
    QTest::newRow("stuck byte") << true << true
                                << QStringList{QString::fromUtf8("校验失败:lora_tx_power"),
                                               "lora_tx_power: wrote 22, read 9"};
    QTest::newRow("box off") << false << true << QStringList{};
  }
  void verify() {
    QFETCH(bool, stored);
    QFETCH(bool, stuck);
    QFETCH(QStringList, lines);
    FormMainRig rig({1});
    if (!stored) rig.store.SetValue("VerifyWrite", "0");
    StuckByteTerminal terminal;
    terminal.stuck = stuck;
    rig.link.AttachDevice(&terminal);
    auto form = rig.Make();
    auto* box = form->findChild<QCheckBox*>("CheckVerifyWrite");
    QCOMPARE(box->text(), QString::fromUtf8("写入后校验"));
    QCOMPARE(box->isChecked(), stored);
    const ParameterImage before = form->Image();

    QTest::mouseClick(form->findChild<QPushButton*>("CommandWrite"), Qt::LeftButton);
    auto* read = form->findChild<QPushButton*>("CommandRead");
    QVERIFY(rig.clock.RunUntil([&] { return read->isEnabled(); }, std::chrono::minutes(1)));

    auto* list = form->findChild<QListWidget*>("ListMsg");
    QStringList all;
    for (int i = 0; i < list->count(); ++i) all << list->item(i)->text();
    const int done = all.indexOf(QString::fromUtf8("设置成功"));
    QVERIFY(done >= 0);
    const QStringList after = all.mid(done + 1);
    QStringList check;
    for (const QString& line : after)
      if (line.startsWith(QString::fromUtf8("校验")) || line.contains(": wrote ")) check << line;
    QCOMPARE(check, lines);
    // The read-back went to the terminal, not into the form.
    QCOMPARE(after.contains(QString::fromUtf8("读取成功!")), stored);
    ParameterImage stamped = before;
    stamped.StampValidMarker();  // the write itself stamps the marker
    QVERIFY(form->Image() == stamped);
  }

  void boxIsRemembered() {
    FormMainRig rig;
    auto form = rig.Make();
    form->show();
    auto* box = form->findChild<QCheckBox*>("CheckVerifyWrite");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(rig.store.Value("VerifyWrite"), QString("0"));
    QTest::keyClick(box, Qt::Key_Space);
    QCOMPARE(rig.store.Value("VerifyWrite"), QString("1"));
  }
};

QTEST_MAIN(TestVerifiedWrite)
#include "tst_verifiedwrite.moc"
