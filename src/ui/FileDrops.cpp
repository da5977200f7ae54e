#include "ui/FileDrops.h"

#include "text/ConfigTextFile.h"
#include "ui/PresetFilePrompts.h"
#include "ui/TransactionHost.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QWidget>

FileDrops::FileDrops(QWidget& window, TransactionHost& host, Prompts& prompts, Command openConfig,
                     Command updateFirmware)
    : window_(window),
      host_(host),
      prompts_(prompts),
      openConfig_(std::move(openConfig)),
      updateFirmware_(std::move(updateFirmware)) {
  window_.setAcceptDrops(true);
  qApp->installEventFilter(this);
}

FileDrops::~FileDrops() { qApp->removeEventFilter(this); }

QString FileDrops::DroppedFile(const QEvent* event) {
  const QMimeData* mime = static_cast<const QDropEvent*>(event)->mimeData();
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
  const QUrl url = mime->urls().first();
  if (!url.isLocalFile()) return {};
  const QString path = url.toLocalFile();
  const QString suffix = QFileInfo(path).suffix().toLower();
  const bool taken = suffix == QLatin1String("quelt") || suffix == QLatin1String("hex") ||
                     ConfigTextFile::IsText(path);
  return taken ? path : QString();
}

void FileDrops::Open(const QString& path) {
  if (!host_.Idle()) return;
  // The same commands as the buttons, with the dropped file as the choice.
  PresetFilePrompts preset(prompts_, path);
  if (QFileInfo(path).suffix().toLower() == QLatin1String("hex"))
    updateFirmware_(preset);
  else
    openConfig_(preset);
}

bool FileDrops::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != &window_) return false;
  const QString path = DroppedFile(event);
  if (path.isEmpty() || !host_.Idle()) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (type == QEvent::Drop) {
    // After the drop has ended: the commands ask questions and open windows.
    QTimer::singleShot(0, this, [this, path] { Open(path); });
  }
  return true;
}
