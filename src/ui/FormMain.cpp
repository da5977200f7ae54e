// The main window's start-up, pages, port bar and adjust mode.
#include "ui/FormMain.h"

#include "image/Defaults.h"
#include "link/PortCatalog.h"
#include "link/SerialLink.h"
#include "ui/AdcGrid.h"
#include "ui/Artwork.h"
#include "ui/Captions.h"
#include "ui/DioGrid.h"
#include "ui/FormMainExtras.h"
#include "ui/ListMsgSink.h"
#include "ui/OptionEditors.h"
#include "ui/WidgetPrompts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
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
  sink_ = std::make_unique<ListMsgSink>(listMsg_);
  engine_ = std::make_unique<TransactionEngine>(link_, clock_, *prompts_, *sink_, image_);
  engine_->SetLanguageEnglish(english_);
  engine_->SetFinishedHandler(
      [this](TransactionEngine::Kind kind, bool ok) { TransactionFinished(kind, ok); });
  setWindowIcon(ApplicationIcon());
  resize(1000, 820);
  Load();
  ConnectButtons();
  extras_ = std::make_unique<FormMainExtras>(*this);
}

FormMain::~FormMain() {
  extras_.reset();
  // The engine goes first: it may still hold the port and a timer.
  engine_.reset();
  if (link_.IsOpen()) link_.Close();
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
  const QSignalBlocker block(comboComPort_);
  comboComPort_->clear();
  for (const PortCatalog::Entry& entry : selection.entries) {
    comboComPort_->addItem(entry.text, entry.number);
  }
  portNumber_ = selection.portNumber;
  engine_->SetPortNumber(portNumber_);
  if (selection.selectedIndex >= 0) {
    comboComPort_->setCurrentIndex(selection.selectedIndex);
    ComboComPort_Click(selection.selectedIndex);  // selecting has the effect of a choice
  }
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
  if (extras_ && !extras_->MayClose()) {
    event->ignore();
    return;
  }
  // A transaction still running ends here; the port is not left open.
  if (engine_->Busy()) engine_->Cancel();
  if (link_.IsOpen()) link_.Close();
  event->accept();
}
