// The main window's additions. They reach into FormMain (a friend) only for
// what the window already owns: its image, engine, prompts, port list and
// the handlers of its buttons.
#include "ui/FormMainExtras.h"

#include "image/ConfigFile.h"
#include "link/PortCatalog.h"
#include "link/PortWatcher.h"
#include "link/ReadBackCheck.h"
#include "link/SerialLink.h"
#include "link/SettingsStore.h"
#include "ui/AdcGrid.h"
#include "ui/Captions.h"
#include "ui/DioGrid.h"
#include "ui/FormCompare.h"
#include "ui/FormMain.h"
#include "ui/ListMsgSink.h"
#include "ui/MessageListMenu.h"
#include "ui/PresetFilePrompts.h"
#include "ui/UnsavedEdits.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QFileInfo>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>

#include <algorithm>

namespace {

// Room around a grid cell's text: the cell's margins and the grid line.
constexpr int kCellPadding = 16;
constexpr int kRowPadding = 6;

}  // namespace

FormMainExtras::FormMainExtras(FormMain& window) : QObject(&window), w_(window) {
  setObjectName(QStringLiteral("FormMainExtras"));
  edits_ = new UnsavedEdits(&w_, w_.image_, w_.english_);
  menu_ = new MessageListMenu(w_.listMsg_, w_.english_);

  // Ports that follow the adapters.
  watcher_ = std::make_unique<PortWatcher>(w_.ports_, w_.clock_);
  watcher_->SetIdleTest([this] { return Idle(); });
  watcher_->SetChangedHandler([this] { FollowPorts(); });
  watcher_->Start();
  connect(w_.comboComPort_, qOverload<int>(&QComboBox::activated), this,
          &FormMainExtras::ComboComPort_Activated);
  connect(w_.findChild<QPushButton*>(QStringLiteral("CommandComFresh")), &QPushButton::clicked,
          this, [this] { watcher_->Rebase(); });

  // The read-back check and the compare window read into an image of their own.
  scratchEngine_ =
      std::make_unique<TransactionEngine>(w_.link_, w_.clock_, *w_.prompts_, *w_.sink_, scratch_);
  scratchEngine_->SetFinishedHandler(
      [this](TransactionEngine::Kind, bool ok) { ScratchFinished(ok); });
  readBack_ = std::make_unique<ReadBackCheck>(w_.link_, w_.clock_, *w_.prompts_, *w_.sink_);
  readBack_->SetFinishedHandler(
      [this](bool readOk, const std::vector<FieldDifference>&) { ReadBackFinished(readOk); });
  checkVerify_ = w_.findChild<QCheckBox*>(QStringLiteral("CheckVerifyWrite"));
  if (checkVerify_) {
    const QString stored = w_.ports_.Store().Value(QLatin1String(kVerifyKey));
    checkVerify_->setChecked(stored != QLatin1String("0"));
    connect(checkVerify_, &QCheckBox::toggled, this, &FormMainExtras::CheckVerify_Toggled);
  }
  if (auto* compare = w_.findChild<QPushButton*>(QStringLiteral("CommandCompare")))
    connect(compare, &QPushButton::clicked, this, &FormMainExtras::CommandCompare_Click);
  ApplyCaptions();

  // Tabs keep their whole captions (larger fonts widen the window instead).
  w_.tabStrip1_->setUsesScrollButtons(false);

  // Files dropped anywhere on the window, and grids that follow the font.
  w_.setAcceptDrops(true);
  qApp->installEventFilter(this);
  for (QTableWidget* grid :
       {static_cast<QTableWidget*>(w_.adcGrid_), static_cast<QTableWidget*>(w_.dioGrid_)}) {
    if (!grid) continue;
    FitColumns(grid);
    grid->installEventFilter(this);
  }
}

FormMainExtras::~FormMainExtras() {
  qApp->removeEventFilter(this);
  if (scratchEngine_->Busy()) scratchEngine_->Cancel();
  if (readBack_->Engine().Busy()) readBack_->Cancel();
}

void FormMainExtras::ApplyCaptions() {
  const bool english = w_.english_;
  if (checkVerify_) checkVerify_->setText(Pick(english, "Verify after write", "写入后校验"));
  if (auto* compare = w_.findChild<QPushButton*>(QStringLiteral("CommandCompare")))
    compare->setText(Pick(english, "Compare", "对比配置"));
}

bool FormMainExtras::Idle() const {
  const auto* read = w_.findChild<QWidget*>(QStringLiteral("CommandRead"));
  return !w_.engine_->Busy() && !scratchEngine_->Busy() && !readBack_->Engine().Busy() &&
         !w_.link_.IsOpen() && !w_.updateLink_.IsOpen() && (!read || read->isEnabled());
}

// ---- Ports that follow the adapters -------------------------------------

QString FormMainExtras::MissingMark() const {
  return Pick(w_.english_, "(not connected)", "(未连接)");
}

void FormMainExtras::FollowPorts() {
  QComboBox* combo = w_.comboComPort_;
  const QString mark = QLatin1Char(' ') + MissingMark();
  int chosen = 0;
  QString chosenText;
  if (combo->currentIndex() >= 0) {
    chosenText = combo->currentText();
    if (chosenText.endsWith(mark)) chosenText.chop(mark.size());
    chosen = PortCatalog::NumberOfEntry(chosenText);
  }
  w_.ports_.AssignSystemDevices();
  const PortWatcher::Followed followed =
      PortWatcher::Follow(w_.ports_.Scan(), chosen, chosenText, MissingMark());
  watcher_->Rebase();  // numbers given to new devices are no change
  {
    const QSignalBlocker block(combo);
    combo->clear();
    for (const PortCatalog::Entry& entry : followed.entries)
      combo->addItem(entry.text, entry.number);
    combo->setCurrentIndex(followed.selectedIndex);
  }
  // Only a new choice is stored; a kept or vanished one leaves "ComPort" alone.
  if (followed.choiceChanged) w_.ComboComPort_Click(followed.selectedIndex);
}

void FormMainExtras::ComboComPort_Activated(int index) {
  // Another port chosen: the entry of a vanished one leaves the list.
  QComboBox* combo = w_.comboComPort_;
  const QString mark = QLatin1Char(' ') + MissingMark();
  const QSignalBlocker block(combo);
  for (int i = combo->count() - 1; i >= 0; --i) {
    if (i != index && combo->itemText(i).endsWith(mark)) combo->removeItem(i);
  }
}

// ---- Verified writes -------------------------------------------------------

void FormMainExtras::CheckVerify_Toggled(bool on) {
  w_.ports_.Store().SetValue(QLatin1String(kVerifyKey),
                             on ? QStringLiteral("1") : QStringLiteral("0"));
}

void FormMainExtras::TransactionFinished(TransactionEngine::Kind kind, bool succeeded) {
  if (succeeded &&
      (kind == TransactionEngine::Kind::Read || kind == TransactionEngine::Kind::Write))
    edits_->MarkClean();
  else
    edits_->Check();
  if (kind != TransactionEngine::Kind::Write || !succeeded || !checkVerify_ ||
      !checkVerify_->isChecked())
    return;
  // Read back what was just written, with the write's port, format and scope.
  TransactionEngine& engine = readBack_->Engine();
  engine.SetPortNumber(w_.portNumber_);
  engine.SetLinkSettings(w_.engine_->LinkSettings());
  engine.SetLanguageEnglish(w_.english_);
  ReadBackCheck::Scope scope;
  scope.adjust = w_.adjustMode_;
  scope.service = w_.service_;
  scope.serialNumber = w_.service_ && w_.WriteSerialNumber();
  if (readBack_->Start(w_.image_, scope)) w_.SetTransactionControlsEnabled(false);
}

void FormMainExtras::ReadBackFinished(bool readOk) {
  w_.SetTransactionControlsEnabled(true);
  if (readBack_->Passed()) {
    w_.AddMessage(QStringLiteral("校验成功"));
    return;
  }
  if (!readOk) {
    w_.AddMessage(QStringLiteral("校验失败:") + Pick(w_.english_, "no read-back", "回读失败"));
    return;
  }
  QStringList names;
  for (const FieldDifference& difference : readBack_->Differences()) names << difference.field;
  w_.AddMessage(QStringLiteral("校验失败:") + names.join(QStringLiteral(", ")));
  for (const FieldDifference& difference : readBack_->Differences())
    w_.AddMessage(ReadBackCheck::Line(difference));
}

void FormMainExtras::StartScratchRead() {
  scratch_ = w_.image_;  // what the read does not reach stays the form's
  scratchEngine_->SetPortNumber(w_.portNumber_);
  scratchEngine_->SetLinkSettings(w_.engine_->LinkSettings());
  scratchEngine_->SetLanguageEnglish(w_.english_);
  scratchEngine_->SetServiceTransfer(w_.service_, w_.service_ && w_.WriteSerialNumber());
  if (!scratchEngine_->StartRead()) {
    ScratchFinished(false);
    return;
  }
  w_.SetTransactionControlsEnabled(false);
  if (compare_) compare_->SetBusy(true);
}

void FormMainExtras::ScratchFinished(bool succeeded) {
  const ScratchUse use = std::exchange(scratchUse_, ScratchUse::None);
  w_.SetTransactionControlsEnabled(true);
  if (use == ScratchUse::Compare && compare_) {
    compare_->SetBusy(false);
    if (succeeded)
      compare_->ShowDifferences(scratch_, Pick(w_.english_, "Terminal", "终端"));
    else
      compare_->ShowFailure(Pick(w_.english_, "The terminal could not be read.", "读取终端失败。"));
  }
}

// ---- Compare ---------------------------------------------------------------

void FormMainExtras::CommandCompare_Click() {
  if (compare_) {
    compare_->raise();
    compare_->activateWindow();
    return;
  }
  compare_ = new FormCompare(w_.image_, w_.english_, &w_);
  compare_->setAttribute(Qt::WA_DeleteOnClose);
  connect(compare_, &FormCompare::fileRequested, this, &FormMainExtras::CompareWithFile);
  connect(compare_, &FormCompare::terminalRequested, this, &FormMainExtras::CompareWithTerminal);
  compare_->open();
}

void FormMainExtras::CompareWithFile() {
  Prompts& prompts = *w_.prompts_;
  const QString path = prompts.ChooseFile(Prompts::FileMode::Open,
                                          Pick(w_.english_, "Open", "打开"), QString(), false);
  if (path.isEmpty() || !compare_) return;
  ParameterImage file;
  const ConfigFile::Result result = ConfigFile::Open(path, file);
  if (!result) {
    compare_->ShowFailure(result.Message(w_.english_));
    return;
  }
  compare_->ShowDifferences(file, QFileInfo(path).fileName());
}

void FormMainExtras::CompareWithTerminal() {
  if (!Idle()) return;
  scratchUse_ = ScratchUse::Compare;
  StartScratchRead();
}

// ---- Unsaved edits ------------------------------------------------------

void FormMainExtras::FileKept(const QString& path) { edits_->MarkFile(path); }

bool FormMainExtras::MayClose() {
  return edits_->MayClose(*w_.prompts_, [this] { return SaveForClose(); });
}

bool FormMainExtras::SaveForClose() {
  const QString current = edits_->FilePath();
  const QString path = w_.prompts_->ChooseFile(
      Prompts::FileMode::Save, QStringLiteral("保存"),
      current.isEmpty() ? QString::fromLatin1(ConfigFile::kDefaultName) : current, false);
  if (path.isEmpty()) return false;
  const ConfigFile::Result result = ConfigFile::Save(path, w_.image_);
  if (!result) {
    w_.prompts_->Critical(result.Message(w_.english_));
    return false;
  }
  edits_->MarkFile(path);
  return true;
}

// ---- Dropped files --------------------------------------------------------

QString FormMainExtras::DroppedFile(const QEvent* event) {
  const QMimeData* mime = static_cast<const QDropEvent*>(event)->mimeData();
  if (!mime || !mime->hasUrls() || mime->urls().size() != 1) return {};
  const QUrl url = mime->urls().first();
  if (!url.isLocalFile()) return {};
  const QString path = url.toLocalFile();
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == QLatin1String("quelt") || suffix == QLatin1String("hex") ? path : QString();
}

void FormMainExtras::OpenDropped(const QString& path) {
  if (!Idle()) return;
  // The same commands as the buttons, with the dropped file as the choice.
  PresetFilePrompts preset(*w_.prompts_, path);
  Prompts* own = std::exchange(w_.prompts_, &preset);
  if (QFileInfo(path).suffix().toLower() == QLatin1String("hex"))
    w_.CommandUpdate_Click();
  else
    w_.CommandLoad_Click();
  w_.prompts_ = own;
}

bool FormMainExtras::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::FontChange) {
    if (auto* grid = qobject_cast<QTableWidget*>(watched);
        grid && (grid == static_cast<QTableWidget*>(w_.adcGrid_) ||
                 grid == static_cast<QTableWidget*>(w_.dioGrid_)))
      FitColumns(grid);
    return false;
  }
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != &w_) return false;
  const QString path = DroppedFile(event);
  if (path.isEmpty() || !Idle()) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  if (type == QEvent::Drop) {
    // After the drop has ended: the commands ask questions and open windows.
    QTimer::singleShot(0, this, [this, path] { OpenDropped(path); });
  }
  return true;
}

// ---- Grids that follow the font ------------------------------------------

void FormMainExtras::FitColumns(QTableWidget* grid) {
  const QFontMetrics metrics(grid->font());
  for (int column = 0; column < grid->columnCount(); ++column) {
    int width = grid->columnWidth(column);
    for (int row = 0; row < grid->rowCount(); ++row) {
      if (const QTableWidgetItem* item = grid->item(row, column))
        width = std::max(width, metrics.horizontalAdvance(item->text()) + kCellPadding);
    }
    grid->setColumnWidth(column, width);
  }
  for (int row = 0; row < grid->rowCount(); ++row)
    grid->setRowHeight(row, std::max(grid->rowHeight(row), metrics.height() + kRowPadding));
  grid->updateGeometry();
}
