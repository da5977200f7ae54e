#include "ui/UnsavedEdits.h"

#include "ui/Captions.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

UnsavedEdits::UnsavedEdits(QWidget* window, const ParameterImage& image, bool english)
    : QObject(window),
      window_(window),
      image_(image),
      english_(english),
      baseTitle_(window->windowTitle()),
      kept_(image) {
  qApp->installEventFilter(this);
}

void UnsavedEdits::MarkClean() { MarkKept(image_); }

void UnsavedEdits::MarkKept(const ParameterImage& kept) {
  kept_ = kept;
  Check();
}

void UnsavedEdits::MarkFile(const QString& path) {
  path_ = path;
  source_ = QFileInfo(path).fileName();
  MarkClean();
}

void UnsavedEdits::MarkApplied(const QString& path) {
  source_ = QFileInfo(path).fileName();
  Check();
}

void UnsavedEdits::MarkRead(const QString& source) {
  path_.clear();
  source_ = source;
  MarkClean();
}

void UnsavedEdits::Check() {
  modified_ = image_ != kept_;
  UpdateTitle();
}

void UnsavedEdits::UpdateTitle() {
  QString title = baseTitle_;
  if (!source_.isEmpty()) title += QStringLiteral(" - ") + source_;
  if (modified_) title += QLatin1Char('*');
  if (window_->windowTitle() != title) window_->setWindowTitle(title);
}

bool UnsavedEdits::MayClose(Prompts& prompts, const std::function<bool()>& save) {
  Check();
  if (!modified_) return true;
  const QString text =
      Pick(english_, "The configuration has edits that were not saved or written. Save them?",
           "配置已修改，尚未保存或写入。是否保存？");
  switch (prompts.AskSave(text)) {
    case Prompts::SaveAnswer::Save:
      return save();
    case Prompts::SaveAnswer::Discard:
      return true;
    case Prompts::SaveAnswer::Cancel:
      break;
  }
  return false;
}

bool UnsavedEdits::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
    case QEvent::FocusOut:
    case QEvent::Hide:
    case QEvent::Wheel:
      // The editors store after the event; look once it has been handled.
      if (!checkQueued_) {
        checkQueued_ = true;
        QTimer::singleShot(0, this, [this] {
          checkQueued_ = false;
          Check();
        });
      }
      break;
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}
