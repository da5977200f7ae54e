#include "ui/CompareAction.h"

#include "image/ConfigFile.h"
#include "image/FieldLabels.h"
#include "image/FieldTable.h"
#include "link/Prompts.h"
#include "link/TransactionEngine.h"
#include "ui/Captions.h"
#include "ui/FormCompare.h"
#include "ui/FormView.h"

#include <QFileInfo>
#include <QWidget>

CompareAction::CompareAction(QWidget& window, FormView& form, TransactionHost& host,
                             const TransactionHost::Parts& parts, bool english)
    : window_(window),
      form_(form),
      host_(host),
      prompts_(parts.prompts),
      english_(english),
      engine_(std::make_unique<TransactionEngine>(parts.link, parts.clock, parts.prompts,
                                                  parts.sink, terminal_)) {
  engine_->SetFinishedHandler([this](TransactionEngine::Kind, bool ok) { ReadFinished(ok); });
}

CompareAction::~CompareAction() {
  engine_->SetFinishedHandler(nullptr);
  if (engine_->Busy()) engine_->Cancel();
}

void CompareAction::Open() {
  if (compare_) {
    compare_->raise();
    compare_->activateWindow();
    return;
  }
  // Beside the main window, not modal: a row's page and box are edited there.
  compare_ = new FormCompare(form_.Image(), english_, &window_);
  compare_->setAttribute(Qt::WA_DeleteOnClose);
  compare_->SetLinkBusy(linkBusy_);
  connect(compare_, &FormCompare::fileRequested, this, &CompareAction::CompareWithFile);
  connect(compare_, &FormCompare::terminalRequested, this, &CompareAction::CompareWithTerminal);
  connect(compare_, &FormCompare::fieldActivated, this, [this](const QString& name) {
    if (const Field* field = FieldTable::Find(name)) form_.RevealField(FieldLabels::Of(*field));
  });
  connect(compare_, &FormCompare::taken, this, [this] { form_.ImageChanged(); });
  compare_->show();
}

void CompareAction::Close() {
  if (engine_->Busy()) engine_->Cancel();
  if (compare_) compare_->close();
}

void CompareAction::LinkBusy(bool busy) {
  if (reading_) return;  // its own read
  linkBusy_ = busy;
  if (compare_) compare_->SetLinkBusy(busy);
}

void CompareAction::CompareWithFile() {
  const QString path = prompts_.ChooseFile(Prompts::FileMode::Open, Pick(english_, "Open", "打开"),
                                           QString(), false);
  if (path.isEmpty() || !compare_) return;
  ParameterImage file;
  const ConfigFile::Result result = ConfigFile::Open(path, file);
  if (!result) {
    compare_->ShowFailure(result.Message(english_));
    return;
  }
  compare_->ShowDifferences(file, QFileInfo(path).fileName());
}

void CompareAction::CompareWithTerminal() {
  if (reading_ || !host_.Idle()) return;
  const TransactionHost::Setup setup = host_.LinkSetup();
  terminal_ = form_.Image();  // what the read does not reach stays the form's
  engine_->SetPortNumber(setup.port);
  engine_->SetLinkSettings(setup.linkSettings);
  engine_->SetLanguageEnglish(setup.english);
  engine_->SetServiceTransfer(setup.service, setup.service && setup.serialNumber);
  if (!engine_->StartRead()) return;
  reading_ = true;
  if (compare_) compare_->SetReading(true);
  host_.SetTransactionControlsEnabled(false);
}

void CompareAction::ReadFinished(bool succeeded) {
  reading_ = false;
  if (compare_) {
    compare_->SetReading(false);
    if (succeeded)
      compare_->ShowDifferences(terminal_, Pick(english_, "Terminal", "终端"));
    else
      compare_->ShowFailure(Pick(english_, "The terminal could not be read.", "读取终端失败。"));
  }
  host_.SetTransactionControlsEnabled(true);
}
