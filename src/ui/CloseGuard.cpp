#include "ui/CloseGuard.h"

#include "image/ConfigFile.h"
#include "link/Prompts.h"
#include "text/ConfigTextFile.h"
#include "ui/UnsavedEdits.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

CloseGuard::CloseGuard(QWidget& window, UnsavedEdits& edits, Prompts& prompts,
                       ParameterImage& image, bool english)
    : window_(window), edits_(edits), prompts_(prompts), image_(image), english_(english) {}

bool CloseGuard::MayClose() {
  // Leaving the box typed in runs its rules and stores it, as a click elsewhere does.
  QPointer<QWidget> typing = QApplication::focusWidget();
  if (typing && typing->window() == &window_)
    typing->clearFocus();
  else
    typing = nullptr;
  if (edits_.MayClose(prompts_, [this] { return Save(); })) return true;
  if (typing && typing->isVisible()) typing->setFocus(Qt::OtherFocusReason);
  return false;
}

bool CloseGuard::Save() {
  const QString current = edits_.FilePath();
  const QString path = prompts_.ChooseFile(
      Prompts::FileMode::Save, QStringLiteral("保存"),
      current.isEmpty() ? QString::fromLatin1(ConfigFile::kDefaultName) : current, false);
  if (path.isEmpty()) return false;
  const ConfigFile::Result result = ConfigTextFile::Save(path, image_, edits_.Source());
  if (!result) {
    prompts_.Critical(result.Message(english_));
    return false;
  }
  edits_.MarkFile(path);
  return true;
}
