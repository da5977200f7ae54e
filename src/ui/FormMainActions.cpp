// The main window's buttons. Transactions run on the engine without a nested
// event loop: a button starts one and disables the transaction controls, and
// the engine's finished handler carries on.
#include "ui/FormMain.h"

#include "image/ConfigFile.h"
#include "link/Prompts.h"
#include "link/SerialLink.h"
#include "settings/FormFactory.h"
#include "settings/FormMqttSetting.h"
#include "settings/FormVarSetting.h"
#include "text/ConfigTextFile.h"
#include "ui/Captions.h"
#include "ui/CompareAction.h"
#include "ui/ListMsgSink.h"
#include "ui/OptionEditors.h"
#include "ui/PortFollower.h"
#include "ui/PresetFilePrompts.h"
#include "ui/UnsavedEdits.h"
#include "ui/WriteReadBack.h"
#include "update/FormProcess.h"

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>

namespace {

// Controls that start a transaction or touch the port or the whole image.
const char* const kTransactionControls[] = {
    "CommandRead",   "CommandWrite",    "CommandResetConfig",  "CommandGetErrorLog",
    "CommandUpdate", "CommandComFresh", "ComboComPort",        "CommandSetForComm",
    "CommandSave",   "CommandLoad",     "CommandAutoBaudrate", "CommandCompare"};

}  // namespace

void FormMain::ConnectButtons() {
  // Every button's command starts by committing the editor being typed in.
  const auto on = [this](const char* name, void (FormMain::*handler)()) {
    if (auto* button = findChild<QPushButton*>(QLatin1String(name))) {
      connect(button, &QPushButton::clicked, this, [this, button, handler] {
        CommitEditing(button);
        (this->*handler)();
      });
    }
  };
  on("CommandRead", &FormMain::CommandRead_Click);
  on("CommandWrite", &FormMain::CommandWrite_Click);
  on("CommandResetConfig", &FormMain::CommandResetConfig_Click);
  on("CommandGetErrorLog", &FormMain::CommandGetErrorLog_Click);
  on("CommandAutoBaudrate", &FormMain::CommandAutoBaudrate_Click);
  on("CommandSetForComm", &FormMain::CommandSetForComm_Click);
  on("CommandComFresh", &FormMain::CommandComFresh_Click);
  on("CommandSave", &FormMain::CommandSave_Click);
  on("CommandLoad", &FormMain::CommandLoad_Click);
  on("CommandUpdate", &FormMain::CommandUpdate_Click);
  on("CommandMqttSetting", &FormMain::CommandMqttSetting_Click);
  on("CommandVarSetting", &FormMain::CommandVarSetting_Click);
  on("CommandFactory", &FormMain::CommandFactory_Click);
  on("CommandCompare", &FormMain::CommandCompare_Click);
  on("CommandClear", &FormMain::ClearMessages);
  on("CommandClr", &FormMain::ClearMessages);
  if (auto* close = findChild<QPushButton*>(QStringLiteral("CommandClose"))) {
    connect(close, &QPushButton::clicked, this, &QWidget::close);
  }
  connect(tabStrip1_, &QTabBar::currentChanged, this, &FormMain::TabStrip1_Click);
  connect(comboComPort_, qOverload<int>(&QComboBox::activated), this, [this](int index) {
    ComboComPort_Click(index);
    portFollower_->Chosen(index);
  });
}

void FormMain::CommitEditing(QWidget* control) {
  // A mouse click gives the button the focus, and the box or grid editor that
  // loses it runs its leave step (replacement rules and store). An access key
  // clicks without moving the focus, so the button takes it here.
  if (QApplication::focusWidget() != control) control->setFocus(Qt::ShortcutFocusReason);
}

void FormMain::CommandRead_Click() {
  readImage_ = image_;  // what the read does not reach stays the form's
  TransactionStarted(engine_->StartRead());
}

void FormMain::CommandWrite_Click() {
  engine_->SetServiceTransfer(service_, service_ && WriteSerialNumber());
  TransactionStarted(engine_->StartWrite());
}

void FormMain::CommandResetConfig_Click() { TransactionStarted(engine_->StartReset()); }

void FormMain::CommandGetErrorLog_Click() { TransactionStarted(engine_->StartLog()); }

void FormMain::CommandAutoBaudrate_Click() {
  // While detecting, the button stops the detection.
  if (engine_->Running() == TransactionEngine::Kind::Detect) {
    engine_->Cancel();
    return;
  }
  const bool started = engine_->StartDetect();
  TransactionStarted(started);
  if (started) {
    commandAutoBaudrate_->setEnabled(true);
    commandAutoBaudrate_->setText(Pick(english_, "Stop detecting", "停止自动获取"));
  }
}

void FormMain::CommandSetForComm_Click() { engine_->SameAsDevice(deviceFormatText_); }

void FormMain::CommandComFresh_Click() { RefreshPortList(); }

void FormMain::CommandSave_Click() {
  const QString path = prompts_->ChooseFile(Prompts::FileMode::Save, QStringLiteral("保存"),
                                            QString::fromLatin1(ConfigFile::kDefaultName), false);
  if (path.isEmpty()) return;
  const ConfigFile::Result result = ConfigTextFile::Save(path, image_, edits_->Source());
  if (!result) {
    prompts_->Critical(result.Message(english_));
    return;
  }
  edits_->MarkFile(path);
}

void FormMain::CommandLoad_Click() { OpenConfigFile(*prompts_); }

void FormMain::OpenConfigFile(Prompts& prompts) {
  const QString path =
      prompts.ChooseFile(Prompts::FileMode::Open, Pick(english_, "Open", "打开"), QString(), false);
  if (path.isEmpty()) return;
  if (!prompts.AskOkCancel(
          Pick(english_, "Do you want to cover current data?", "覆盖当前数据？"))) {
    return;
  }
  if (ConfigTextFile::IsText(path)) {
    // A text is applied onto the form: its fields change, the rest stays.
    const QStringList refused = ConfigTextFile::Open(path, image_, english_);
    if (!refused.isEmpty()) {
      prompts.CriticalDetails(Pick(english_, "The configuration text was refused; nothing changed:",
                                   "配置文本有误，未做任何更改：") +
                                  QLatin1Char('\n') + refused.mid(0, 10).join(QLatin1Char('\n')),
                              refused.join(QLatin1Char('\n')));
      return;
    }
    ShowImage();
    edits_->MarkApplied(path);
    return;
  }
  const ConfigFile::Result result = ConfigFile::Open(path, image_);
  if (!result) {
    prompts.Critical(result.Message(english_));
    return;
  }
  ShowImage();
  edits_->MarkFile(path);
}

void FormMain::CommandUpdate_Click() { UpdateFirmware(*prompts_); }

void FormMain::UpdateFirmware(Prompts& prompts) {
  if (!Idle()) return;
  // The update opens the same port number on its own link.
  if (link_.IsOpen()) link_.Close();
  // The file dialog in the window's language.
  const QString path =
      prompts.ChooseFile(Prompts::FileMode::Open, Pick(english_, "Open", "打开"), QString(), true);
  if (path.isEmpty()) return;
  PresetFilePrompts chosen(prompts, path);
  SetTransactionControlsEnabled(false);
  RunFirmwareUpdate(this, chosen, updateLink_, clock_, *sink_, portNumber_, engine_->LinkSettings(),
                    english_);
  SetTransactionControlsEnabled(true);
}

void FormMain::CommandCompare_Click() { compare_->Open(); }

void FormMain::CommandMqttSetting_Click() {
  FormMqttSetting dialog(image_, english_, this);
  dialog.exec();
}

void FormMain::CommandVarSetting_Click() {
  FormVarSetting dialog(image_, english_, this);
  dialog.exec();
}

void FormMain::CommandFactory_Click() {
  FormFactory dialog(image_, english_, this);
  dialog.exec();
}

void FormMain::ClearMessages() { listMsg_->clear(); }

void FormMain::TransactionStarted(bool started) {
  if (started) SetTransactionControlsEnabled(false);
}

void FormMain::TransactionFinished(TransactionEngine::Kind kind, bool succeeded) {
  SetTransactionControlsEnabled(true);
  commandAutoBaudrate_->setText(Pick(english_, "Auto Baudrate", "自动获取波特率"));
  if (kind == TransactionEngine::Kind::Read && succeeded) {
    image_ = readImage_;  // the terminal's values, taken only from a whole read
    ShowImage();
    ShowIdentity();
    edits_->MarkRead(Pick(english_, "Terminal (COM%1)", "终端(COM%1)").arg(portNumber_));
  } else if (kind == TransactionEngine::Kind::Write && succeeded) {
    // Kept at once without the check, else once the check has passed.
    if (!readBack_->Start(image_)) edits_->MarkClean();
  } else {
    edits_->Check();
  }
}

void FormMain::SetTransactionControlsEnabled(bool enabled) {
  for (const char* name : kTransactionControls) {
    if (auto* control = findChild<QWidget*>(QLatin1String(name))) control->setEnabled(enabled);
  }
  if (compare_) compare_->LinkBusy(!enabled);
}

bool FormMain::Idle() const {
  const auto* read = findChild<QWidget*>(QStringLiteral("CommandRead"));
  return !engine_->Busy() && !(readBack_ && readBack_->Busy()) && !(compare_ && compare_->Busy()) &&
         !link_.IsOpen() && !updateLink_.IsOpen() && (!read || read->isEnabled());
}

TransactionHost::Setup FormMain::LinkSetup() const {
  Setup setup;
  setup.port = portNumber_;
  setup.linkSettings = engine_->LinkSettings();
  setup.english = english_;
  setup.adjust = adjustMode_;
  setup.service = service_;
  setup.serialNumber = service_ && WriteSerialNumber();
  return setup;
}

void FormMain::ImageChanged() {
  ShowImage();
  edits_->Check();
}

bool FormMain::WriteSerialNumber() const { return editors_ && editors_->WriteSerialNumber(); }
