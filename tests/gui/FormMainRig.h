#pragma once
// A main window on fakes: a temporary settings store, ports mapped to files
// of a temporary folder, a fake serial link to the in-process terminal on a
// virtual clock and scripted prompts; and the look-ups its tests share.
#include "FakeSerialLink.h"
#include "ManualClock.h"
#include "ScriptedPrompts.h"
#include "TerminalModel.h"
#include "link/PortCatalog.h"
#include "link/QtSettingsStore.h"
#include "ui/FormMain.h"
#include "ui/QtTranslations.h"
#include "ui/WidgetPrompts.h"

#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

/// With TR5906_SCREENSHOT_DIR set (scripts/screenshot), keeps `widget` there as `name`.png.
inline void Keep(QWidget* widget, const QString& name) {
  const QString dir = qEnvironmentVariable("TR5906_SCREENSHOT_DIR");
  if (!dir.isEmpty() && !name.isEmpty()) QVERIFY(widget->grab().save(dir + '/' + name + ".png"));
}

/// Scripted prompts that also answer the question about unsaved edits. With `realBoxes` a
/// box with details is a real message box: read ("text|details|buttons"), kept as
/// `boxName` and closed with OK as a user does.
struct RigPrompts : ScriptedPrompts {
  SaveAnswer saveAnswer = SaveAnswer::Discard;
  int saveAsked = 0;
  bool realBoxes = false;
  QString boxName;
  QStringList boxes;
  SaveAnswer AskSave(const QString&) override { return ++saveAsked, saveAnswer; }
  void CriticalDetails(const QString& text, const QString& details) override {
    Critical(text);
    if (!realBoxes) return;
    QTimer::singleShot(0, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      QStringList buttons;
      for (QAbstractButton* button : box->buttons()) buttons << button->text();
      boxes << box->text() + '|' + box->detailedText() + '|' + buttons.join(',');
      Keep(box, boxName);
      box->button(QMessageBox::Ok)->click();
    });
    WidgetPrompts(nullptr).CriticalDetails(text, details);
  }
};

/// One row of a data table: its tag, then a value for each column.
template <typename... T>
void Row(const char* tag, const T&... values) {
  (QTest::newRow(tag) << ... << values);
}

template <typename T = QWidget>
T* Child(QWidget* form, const QString& name) {
  T* child = form->findChild<T*>(name);
  if (!child) qFatal("no control %s", qPrintable(name));
  return child;
}

inline QStringList Lines(QWidget* form) {
  QStringList lines;
  for (auto* list = Child<QListWidget>(form, "ListMsg"); lines.size() < list->count();)
    lines << list->item(lines.size())->text();
  return lines;
}

inline void Click(QWidget* form, const QString& button) {
  QTest::mouseClick(Child<QPushButton>(form, button), Qt::LeftButton);
}

struct FormMainRig {
  QTemporaryDir dir;
  QtSettingsStore store{dir.filePath("settings.ini")};
  PortCatalog ports{store};
  ManualClock clock;
  FakeSerialLink link{clock};
  FakeSerialLink updateLink{clock};
  RigPrompts prompts;
  TerminalModel terminal;
  QStringList plugged;  ///< the devices the system lists

  /// Maps each number to a device file of its own.
  explicit FormMainRig(const QList<int>& mapped = {}) {
    for (int n : mapped) ports.Map(n, WriteFile(QStringLiteral("tty%1").arg(n), {}));
    link.AttachDevice(&terminal);
    ports.SetDeviceLister([this] { return plugged; });
    ports.SetProber([](const QString&) { return true; });
  }
  ~FormMainRig() { qDeleteAll(qApp->findChildren<QTranslator*>()); }
  /// The window as the program makes it, Qt's own texts in its language.
  std::unique_ptr<FormMain> Make(bool english = false, bool service = false) {
    QtTranslations::Install(*qApp, english);
    return std::make_unique<FormMain>(FormMainServices{link, updateLink, clock, ports, &prompts},
                                      FormMainOptions{english, service});
  }
  /// Runs the virtual clock until the transaction has ended and the window has handled its end.
  bool RunToEnd(FormMain& form) {
    return clock.RunUntil(
        [&] { return !form.Engine().Busy() && Child(&form, "CommandRead")->isEnabled(); });
  }
  QString WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return file.fileName();
  }
};
