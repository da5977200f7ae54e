#include "ui/WidgetPrompts.h"

#include "ui/Captions.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

void WidgetPrompts::Critical(const QString& text) {
  QMessageBox::critical(parent_, kApplicationTitle, text, QMessageBox::Ok);
}

void WidgetPrompts::CriticalDetails(const QString& text, const QString& details) {
  QMessageBox box(QMessageBox::Critical, kApplicationTitle, text, QMessageBox::Ok, parent_);
  box.setDetailedText(details);
  box.exec();
}

void WidgetPrompts::Information(const QString& text) {
  QMessageBox box(QMessageBox::Warning, kApplicationTitle, text, QMessageBox::Ok, parent_);
  box.exec();
}

bool WidgetPrompts::AskRetry(const QString& text) {
  return QMessageBox::critical(parent_, kApplicationTitle, text,
                               QMessageBox::Retry | QMessageBox::Cancel,
                               QMessageBox::Retry) == QMessageBox::Retry;
}

bool WidgetPrompts::AskOkCancel(const QString& text) {
  QMessageBox box(QMessageBox::Warning, kApplicationTitle, text,
                  QMessageBox::Ok | QMessageBox::Cancel, parent_);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok;
}

Prompts::SaveAnswer WidgetPrompts::AskSave(const QString& text) {
  QMessageBox box(QMessageBox::Warning, kApplicationTitle, text,
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
  box.setDefaultButton(QMessageBox::Save);
  switch (box.exec()) {
    case QMessageBox::Save:
      return SaveAnswer::Save;
    case QMessageBox::Discard:
      return SaveAnswer::Discard;
    default:
      return SaveAnswer::Cancel;
  }
}

QStringList WidgetPrompts::Filters(bool hex) {
  if (hex) return {QStringLiteral("烧录文件(*.hex)"), QStringLiteral("所有文件(*.*)")};
  return {QStringLiteral("烧录文件(*.quelt)"), QStringLiteral("配置文本(*.yaml *.yml)"),
          QStringLiteral("所有文件(*.*)")};
}

QString WidgetPrompts::SuffixOf(const QString& filter, bool hex) {
  if (hex) return QStringLiteral("hex");
  return filter.contains(QLatin1String("*.yaml")) ? QStringLiteral("yaml")
                                                  : QStringLiteral("quelt");
}

QString WidgetPrompts::WithDefaultSuffix(const QString& path, const QString& suffix) {
  if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) return path;
  return path + '.' + suffix;
}

QString WidgetPrompts::ChooseFile(FileMode mode, const QString& title, const QString& defaultName,
                                  bool hex) {
  QFileDialog dialog(parent_, title, QString(), QString());
  dialog.setNameFilters(Filters(hex));
  // A name typed without an extension gets the chosen filter's.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&dialog, hex](const QString& filter) {
                     if (dialog.acceptMode() == QFileDialog::AcceptSave)
                       dialog.setDefaultSuffix(SuffixOf(filter, hex));
                   });
  if (mode == FileMode::Open) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog appends it and then asks about overwriting.
    dialog.setDefaultSuffix(SuffixOf(dialog.selectedNameFilter(), hex));
  }
  if (!defaultName.isEmpty()) dialog.selectFile(defaultName);
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  if (files.isEmpty()) return {};
  if (mode == FileMode::Open) return files.first();

  // A platform dialog that ignored the default suffix: append it here, and
  // ask before an existing file of that name is replaced.
  const QString chosen = files.first();
  const QString path = WithDefaultSuffix(chosen, SuffixOf(dialog.selectedNameFilter(), hex));
  if (path != chosen && QFileInfo::exists(path)) {
    const QString question =
        QFileDialog::tr("%1 already exists.\nDo you want to replace it?").arg(path);
    if (!AskOkCancel(question)) return {};
  }
  return path;
}
