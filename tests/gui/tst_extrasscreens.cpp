// Renders a verified write and the compare window into TR5906_SCREENSHOT_DIR
// (scripts/screenshot); without it, only that they render.
#include "FormMainRig.h"

#include <QDir>

class TestExtrasScreens : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void render() {
    FormMainRig rig({1});
    const QDir dir(qEnvironmentVariable("TR5906_SCREENSHOT_DIR", rig.dir.path()));
    auto form = rig.Make();
    form->show();
    Click(form.get(), "CommandWrite");
    QVERIFY(rig.RunToEnd(*form));
    QVERIFY(form->grab().save(dir.filePath("verified-write.png")));
    for (auto [word, value] : {std::pair{0, 12}, {18, 17}, {61, 0}})
      rig.terminal.Memory().SetWord(word, uint16_t(value));
    Click(form.get(), "CommandCompare");
    auto* window = Child<QDialog>(form.get(), "FormCompare");
    Click(window, "CommandCompareTerminal");
    QVERIFY(rig.RunToEnd(*form));
    QCoreApplication::processEvents();
    QVERIFY(window->grab().save(dir.filePath("compare.png")));
  }
};

QTEST_MAIN(TestExtrasScreens)
#include "tst_extrasscreens.moc"
