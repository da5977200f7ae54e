#include "update/FormProcess.h"

#include "link/Prompts.h"
#include "update/FirmwareImage.h"
#include "update/FirmwareTransfer.h"
#include "update/IntelHexReader.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kProgressSteps = 1000;  // the bar's range stands for 0 to 1
}

FormProcess::FormProcess(FirmwareTransfer& transfer, QWidget* parent)
    : QDialog(parent), transfer_(transfer) {
  setObjectName(QStringLiteral("FormProcess"));
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setMinimumWidth(360);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("ProgressBarProcess"));
  progress_->setRange(0, kProgressSteps);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  label_ = new QLabel(QStringLiteral("完成进度:0%"), this);
  label_->setObjectName(QStringLiteral("LabelProcess"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(progress_);
  layout->addWidget(label_);

  transfer_.SetProgressHandler([this](double fraction, const QString& text) {
    progress_->setValue(static_cast<int>(fraction * kProgressSteps + 0.5));
    label_->setText(text);
  });
  transfer_.SetCaptionHandler([this](const QString& caption) { setWindowTitle(caption); });
  transfer_.SetFinishedHandler([this](bool ok) { done(ok ? Accepted : Rejected); });
}

FormProcess::~FormProcess() {
  transfer_.Cancel();
  transfer_.SetProgressHandler(nullptr);
  transfer_.SetCaptionHandler(nullptr);
  transfer_.SetFinishedHandler(nullptr);
}

bool FormProcess::OperationSucceeded() const { return transfer_.OperationSucceeded(); }

void FormProcess::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  // Once the window is up, so that a message box has it as its background.
  QTimer::singleShot(0, this, [this] { Start(); });
}

void FormProcess::Start() {
  if (!transfer_.Start()) done(Rejected);
}

void FormProcess::closeEvent(QCloseEvent* event) {
  if (transfer_.Running()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void FormProcess::reject() {
  if (transfer_.Running()) return;  // Esc does not break off a flash write
  QDialog::reject();
}

bool RunFirmwareUpdate(QWidget* parent, Prompts& prompts, SerialLink& link, Clock& clock,
                       MessageSink& sink, int port, const QString& linkSettings, bool english) {
  const QString path =
      prompts.ChooseFile(Prompts::FileMode::Open, QStringLiteral("Open"), QString(), true);
  if (path.isEmpty()) return false;

  FirmwareImage image;
  IntelHexReader reader(image);
  if (!reader.ReadFile(path)) {
    // The line and the reason, as the command line gives them.
    prompts.CriticalDetails(QStringLiteral("文档有误"),
                            QStringLiteral("%1: %2").arg(path, reader.ErrorText()));
    return false;
  }

  FirmwareTransfer transfer(link, clock, prompts, sink, image);
  transfer.SetPortNumber(port);
  transfer.SetLinkSettings(linkSettings);
  transfer.SetLanguageEnglish(english);
  bool succeeded = false;
  {
    FormProcess form(transfer, parent);
    form.exec();
    succeeded = form.OperationSucceeded();
  }
  if (succeeded) prompts.Information(QStringLiteral("升级成功"));
  return succeeded;
}
