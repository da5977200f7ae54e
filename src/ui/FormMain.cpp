// The main window's start-up, pages, port bar and adjust mode.
#include "ui/FormMain.h"

#include "image/Defaults.h"
#include "image/FieldLabels.h"
#include "link/PortCatalog.h"
#include "link/SerialLink.h"
#include "ui/AdcGrid.h"
#include "ui/Artwork.h"
#include "ui/Captions.h"
#include "ui/CloseGuard.h"
#include "ui/ColumnFitter.h"
#include "ui/CompareAction.h"
#include "ui/DioGrid.h"
#include "ui/FileDrops.h"
#include "ui/ListMsgSink.h"
#include "ui/MessageListMenu.h"
#include "ui/OptionEditors.h"
#include "ui/PortFollower.h"
#include "ui/UnsavedEdits.h"
#include "ui/WidgetPrompts.h"
#include "ui/WriteReadBack.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QVBoxLayout>

FormMain::FormMain(const FormMainServices& services, const FormMainOptions& options,
                   QWidget* parent)
    : QWidget(parent),
      link_(services.link),
      updateLink_(services.updateLink),
      clock_(services.clock),
      ports_(services.ports),
      prompts_(services.prompts),
      english_(options.english),
      service_(options.service) {
  if (!prompts_) {
    ownPrompts_ = std::make_unique<WidgetPrompts>(this);
    prompts_ = ownPrompts_.get();
  }
  BuildControls();
  sink_ = std::make_unique<ListMsgSink>(listMsg_, english_);
  engine_ = std::make_unique<TransactionEngine>(link_, clock_, *prompts_, *sink_, image_);
  engine_->SetLanguageEnglish(english_);
  engine_->SetReadTarget(&readImage_);
  engine_->SetFinishedHandler(
      [this](TransactionEngine::Kind kind, bool ok) { TransactionFinished(kind, ok); });
  setWindowIcon(ApplicationIcon());
  resize(1000, 820);
  TransactionHost& host = *this;
  portFollower_ = std::make_unique<PortFollower>(*comboComPort_, ports_, clock_, host, english_,
                                                 [this](int index) { ComboComPort_Click(index); });
  Load();
  ConnectButtons();
  BuildFeatures();
}

FormMain::~FormMain() {
  // The features and then the engine: they may still hold the port and a timer.
  drops_.reset();
  closeGuard_.reset();
  compare_.reset();
  readBack_.reset();
  portFollower_.reset();
  engine_.reset();
  if (link_.IsOpen()) link_.Close();
}

void FormMain::BuildFeatures() {
  // The views the features are handed.
  TransactionHost& host = *this;
  FormView& form = *this;
  edits_ = new UnsavedEdits(this, image_, english_);
  const Parts parts{link_, clock_, *prompts_, *sink_};
  readBack_ = std::make_unique<WriteReadBack>(
      *findChild<QCheckBox*>(QStringLiteral("CheckVerifyWrite")), ports_.Store(), host, parts);
  readBack_->SetFinishedHandler([this](bool passed, const ParameterImage& written) {
    // Kept only when the terminal was seen to hold it.
    if (passed)
      edits_->MarkKept(written);
    else
      edits_->Check();
  });
  compare_ = std::make_unique<CompareAction>(*this, form, host, parts, english_);
  closeGuard_ = std::make_unique<CloseGuard>(*this, *edits_, *prompts_, image_, english_);
  drops_ = std::make_unique<FileDrops>(
      *this, host, *prompts_, [this](Prompts& prompts) { OpenConfigFile(prompts); },
      [this](Prompts& prompts) { UpdateFirmware(prompts); });
  new ColumnFitter({adcGrid_, dioGrid_}, this);
  new MessageListMenu(listMsg_, english_);
}

void FormMain::Load() {
  // 1. Adjust mode off.
  adjustMode_ = false;
  engine_->SetAdjustMode(false);
  textAdjustVol_->setVisible(false);
  labelAdjustVol_->setVisible(false);

  // 2. The cloud-service switch.
  picture1_->setVisible(!service_);
  check1_->setVisible(service_);
  commandFactory_->setVisible(service_);
  tabStrip1_->setTabEnabled(4, service_);  // the tab stays, but names no page
  engine_->SetServiceTransfer(service_, false);

  // 3. The remembered port.
  portNumber_ = ports_.RecallPort();
  engine_->SetPortNumber(portNumber_);

  // 4, 5. The grids and the editors of every control.
  BuildGrids();

  // 7, 8. The port list and its selection.
  RefreshPortList();

  // 9. The banner.
  ResizeBanner();

  // 10 to 13. Captions and lists, the defaults, the image in the controls.
  ApplyCaptions();
  LoadDefaults(image_);
  ShowImage();

  // 14. Page 1.
  ShowPage(1);

  // 15. The link greets the terminal at its RS-485 format.
  engine_->SetLinkSettings(deviceFormatText_);
}

void FormMain::BuildGrids() {
  adcGrid_ = new AdcGrid(image_, fillingControls_, adcGridHost_);
  adcGridHost_->layout()->addWidget(adcGrid_);
  dioGrid_ = new DioGrid(image_, fillingControls_, dioGridHost_);
  dioGridHost_->layout()->addWidget(dioGrid_);
  editors_ = new OptionEditors(this, image_, fillingControls_, adcGrid_);
  connect(editors_, &OptionEditors::deviceFormatChanged, this,
          [this] { RebuildDeviceFormatText(); });
}

void FormMain::ApplyCaptions() {
  const bool wasFilling = fillingControls_;
  fillingControls_ = true;  // refilling the lists must not reach the image
  ::ApplyCaptions(this, english_);
  if (adcGrid_) adcGrid_->ApplyCaptions(english_);
  if (dioGrid_) dioGrid_->ApplyCaptions(english_);
  fillingControls_ = wasFilling;
}

void FormMain::AddMessage(const QString& text) { sink_->AddMessage(text); }

QString FormMain::LinkSettings() const { return engine_->LinkSettings(); }

QString FormMain::ShownText(const QComboBox* combo) {
  return combo->currentIndex() >= 0 ? combo->currentText() : combo->placeholderText();
}

void FormMain::RefreshPortList() {
  if (link_.IsOpen()) return;
  const PortCatalog::Selection selection = ports_.Refresh(portNumber_);
  portNumber_ = selection.portNumber;
  engine_->SetPortNumber(portNumber_);
  // The ports another program holds are listed too, marked, never chosen here.
  const int index = portFollower_->ShowRefreshed(selection);
  if (index >= 0) ComboComPort_Click(index);  // selecting has the effect of a choice
}

void FormMain::ComboComPort_Click(int index) {
  if (index < 0 || index >= comboComPort_->count()) return;
  if (link_.IsOpen()) link_.Close();
  const int number = PortCatalog::NumberOfEntry(comboComPort_->itemText(index));
  if (number < PortCatalog::kFirstPort || number > PortCatalog::kLastPort) return;
  portNumber_ = number;
  engine_->SetPortNumber(number);
  ports_.RememberPort(number);  // a failed write still leaves the choice for this run
}

void FormMain::TabStrip1_Click(int index) {
  // Tested in this order; tab 5 without the service page changes nothing.
  const int tab = index + 1;
  if (tab == 1) {
    ShowPage(1);
  } else if (tab == 3) {
    ShowPage(3);
  } else if (tab == 2) {
    ShowPage(2);
  } else if (service_ && tab == 5) {
    ShowPage(5);
  } else if (tab == 4) {
    ShowPage(4);
  }
}

void FormMain::ShowPage(int page) {
  page_ = page;
  frameComParam_[0]->setVisible(page == 1);
  frameComParam_[1]->setVisible(page == 1);
  frameDevice_->setVisible(page == 2);
  frameAdcParam_->setVisible(page == 3);
  framedigitalSetting_->setVisible(page == 4);
  frameService_->setVisible(page == 5);
}

void FormMain::RevealField(const FieldLabel& label) {
  const int tab = FieldLabels::TabIndex(label.group);
  if (tab >= 0 && tabStrip1_->isTabEnabled(tab)) {
    tabStrip1_->setCurrentIndex(tab);
    TabStrip1_Click(tab);
  }
  auto* control = label.control.isEmpty() ? nullptr : findChild<QWidget*>(label.control);
  if (!control || !control->isVisibleTo(this)) return;
  if (auto* grid = qobject_cast<QTableWidget*>(control); grid && label.row >= 0)
    grid->setCurrentCell(label.row, label.column);
  raise();
  activateWindow();
  control->setFocus(Qt::OtherFocusReason);
}

void FormMain::LabelVersion_DblClick() {
  adjustMode_ = !adjustMode_;
  engine_->SetAdjustMode(adjustMode_);
  labelAdjustVol_->setVisible(adjustMode_);
  textAdjustVol_->setVisible(adjustMode_);
}

void FormMain::ResizeBanner() {
  // The banner spans the window's inner width and a quarter of its height.
  const int height = qMax(1, this->height() / 4);
  imageTop_->setFixedHeight(height);
  imageTop_->setPixmap(DrawBanner(QSize(qMax(1, width()), height), english_));
}

void FormMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ResizeBanner();
}

bool FormMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == labelVersion_ && event->type() == QEvent::MouseButtonDblClick) {
    LabelVersion_DblClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void FormMain::closeEvent(QCloseEvent* event) {
  // Every way of closing ends here: the title bar, Alt+F4, "关闭(&C)".
  if (closeGuard_ && !closeGuard_->MayClose()) {
    event->ignore();
    return;
  }
  // A transaction still running ends here; the port is not left open.
  if (engine_->Busy()) engine_->Cancel();
  if (readBack_->Busy()) readBack_->Cancel();
  compare_->Close();
  if (link_.IsOpen()) link_.Close();
  event->accept();
}
