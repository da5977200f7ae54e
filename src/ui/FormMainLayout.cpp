// The controls of the main window and their arrangement. Captions and list
// entries are set by ApplyCaptions; only the objectNames are given here.
#include "ui/FormMain.h"

#include "ui/Artwork.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

template <typename T>
T* Make(const QString& name, QWidget* parent = nullptr) {
  auto* w = new T(parent);
  w->setObjectName(name);
  return w;
}

QString Indexed(const char* name, int index) {
  return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
}

QLineEdit* NumberBox(const QString& name) {
  auto* box = Make<QLineEdit>(name);
  box->setAlignment(Qt::AlignRight);
  box->setMaximumWidth(110);
  return box;
}

QComboBox* List(const QString& name) {
  auto* combo = Make<QComboBox>(name);
  // As wide as its longest entry at any font, never squeezed below it by the
  // layout, and never narrower than 8 characters.
  combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  combo->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
  combo->setMinimumContentsLength(8);
  return combo;
}

}  // namespace

void FormMain::BuildControls() {
  setObjectName("FormMain");
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  imageTop_ = Make<QLabel>("ImageTop");
  imageTop_->setAlignment(Qt::AlignCenter);
  imageTop_->setMinimumSize(1, 1);
  imageTop_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  outer->addWidget(imageTop_);

  auto* body = new QWidget;
  outer->addWidget(body, 1);
  auto* bodyLayout = new QVBoxLayout(body);
  bodyLayout->setContentsMargins(10, 8, 10, 10);

  auto* upper = new QHBoxLayout;
  bodyLayout->addLayout(upper);

  // Left: the tab strip over the pages.
  auto* left = new QVBoxLayout;
  upper->addLayout(left, 1);
  tabStrip1_ = Make<QTabBar>("TabStrip1");
  tabStrip1_->setExpanding(false);
  tabStrip1_->setDrawBase(true);
  tabStrip1_->setUsesScrollButtons(false);  // whole captions; larger fonts widen the window
  for (int i = 0; i < 5; ++i) tabStrip1_->addTab(QString());
  left->addWidget(tabStrip1_);

  auto* pages = new QWidget;
  pages->setObjectName("PageArea");
  auto* pageLayout = new QVBoxLayout(pages);
  pageLayout->setContentsMargins(0, 4, 0, 0);
  auto* comRow = new QHBoxLayout;
  comRow->addWidget(BuildComPage());
  pageLayout->addLayout(comRow);
  pageLayout->addWidget(BuildDevicePage());
  pageLayout->addWidget(BuildAdcPage());
  pageLayout->addWidget(BuildDigitalPage());
  pageLayout->addWidget(BuildServicePage());
  pageLayout->addStretch(1);
  pages->setMinimumHeight(290);
  left->addWidget(pages, 1);

  // Right: version, port bar, buttons, picture.
  auto* rightColumn = new QWidget;
  // 390 pixels, or wider when larger fonts need it.
  rightColumn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  auto* right = new QVBoxLayout(rightColumn);
  right->addStrut(390);
  right->setContentsMargins(0, 0, 0, 0);
  upper->addWidget(rightColumn);
  labelVersion_ = Make<QLabel>("LabelVersion");
  labelVersion_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  labelVersion_->installEventFilter(this);
  right->addWidget(labelVersion_);
  right->addWidget(BuildPortBar());
  right->addWidget(BuildButtons());

  picture1_ = Make<QLabel>("Picture1");
  picture1_->setAlignment(Qt::AlignCenter);
  picture1_->setPixmap(DrawTerminalPicture(QSize(170, 120)));
  right->addWidget(picture1_);
  check1_ = Make<QCheckBox>("Check1");
  right->addWidget(check1_);
  commandFactory_ = Make<QPushButton>("CommandFactory");
  right->addWidget(commandFactory_);
  right->addStretch(1);

  // Bottom: the message list.
  auto* lower = new QHBoxLayout;
  bodyLayout->addLayout(lower, 1);
  listMsg_ = Make<QListWidget>("ListMsg");
  listMsg_->setSelectionMode(QAbstractItemView::SingleSelection);
  listMsg_->setMinimumHeight(110);
  lower->addWidget(listMsg_, 1);
  auto* clr = Make<QPushButton>("CommandClr");
  auto* clrColumn = new QVBoxLayout;
  clrColumn->addWidget(clr);
  clrColumn->addStretch(1);
  lower->addLayout(clrColumn);
}

QWidget* FormMain::BuildPortBar() {
  auto* frame = Make<QGroupBox>("FrameComSetting");
  auto* grid = new QGridLayout(frame);
  grid->addWidget(Make<QLabel>("LabelComPort"), 0, 0);
  comboComPort_ = Make<QComboBox>("ComboComPort");
  // Entries name the device and its state too ("COM7 (pts/0) (not connected)"):
  // the list is as wide as its longest entry.
  comboComPort_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  comboComPort_->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::Fixed);
  grid->addWidget(comboComPort_, 0, 1);
  grid->addWidget(Make<QPushButton>("CommandComFresh"), 0, 2);
  grid->addWidget(Make<QLabel>("LabelComSetting"), 1, 0, 1, 2);
  grid->addWidget(Make<QPushButton>("CommandSetForComm"), 1, 2);
  commandAutoBaudrate_ = Make<QPushButton>("CommandAutoBaudrate");
  grid->addWidget(commandAutoBaudrate_, 2, 0, 1, 3);
  grid->addWidget(Make<QCheckBox>("CheckVerifyWrite"), 3, 0, 1, 3);
  return frame;
}

QWidget* FormMain::BuildButtons() {
  auto* box = new QWidget;
  auto* grid = new QGridLayout(box);
  grid->setContentsMargins(0, 6, 0, 6);
  const char* names[][2] = {{"CommandRead", "CommandWrite"},
                            {"CommandSave", "CommandLoad"},
                            {"CommandResetConfig", "CommandGetErrorLog"},
                            {"CommandUpdate", "CommandClear"},
                            {"CommandCompare", "CommandClose"}};
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 2; ++column) {
      auto* button = Make<QPushButton>(QLatin1String(names[row][column]));
      button->setMinimumHeight(30);
      grid->addWidget(button, row, column);
    }
  }
  return box;
}

QWidget* FormMain::BuildComPage() {
  auto* holder = new QWidget;
  auto* row = new QHBoxLayout(holder);
  row->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 2; ++i) {
    frameComParam_[i] = Make<QGroupBox>(Indexed("FrameComParam", i));
    auto* grid = new QGridLayout(frameComParam_[i]);
    comboBaudRate_[i] = List(Indexed("ComboBaudRate", i));
    comboParity_[i] = List(Indexed("ComboParity", i));
    comboDatabits_[i] = List(Indexed("ComboDatabits", i));
    comboStopbits_[i] = List(Indexed("ComboStopbits", i));
    grid->addWidget(Make<QLabel>(Indexed("LabelBaudRate", i)), 0, 0);
    grid->addWidget(comboBaudRate_[i], 0, 1);
    grid->addWidget(Make<QLabel>(Indexed("LabelParity", i)), 1, 0);
    grid->addWidget(comboParity_[i], 1, 1);
    grid->addWidget(Make<QLabel>(Indexed("LabelDatabits", i)), 2, 0);
    grid->addWidget(comboDatabits_[i], 2, 1);
    grid->addWidget(Make<QLabel>(Indexed("LabelStopbits", i)), 3, 0);
    grid->addWidget(comboStopbits_[i], 3, 1);
    grid->setRowStretch(4, 1);
    row->addWidget(frameComParam_[i]);
  }
  return holder;
}

QWidget* FormMain::BuildDevicePage() {
  frameDevice_ = Make<QGroupBox>("FrameDevice");
  auto* grid = new QGridLayout(frameDevice_);
  textDeviceAddr_ = NumberBox("TextDeviceAddr");
  comboChannel_ = List("ComboChannel");
  comboChannel_->setMinimumWidth(150);  // "100-922MHz", "6-486.125MHz"
  comboLoraRepeat_ = List("ComboLoraRepeat");
  comboAirRate_ = List("ComboAirRate");
  comboTxPower_ = List("ComboTxPower");
  textUartLostTime_ = NumberBox("TextUartLostTime");
  textUartPackageSize_ = NumberBox("TextUartPackageSize");
  labelAdjustVol_ = Make<QLabel>("LabelAdjustVol");
  textAdjustVol_ = NumberBox("TextAdjustVol");

  grid->addWidget(Make<QLabel>("LabelDeviceAddr"), 0, 0);
  grid->addWidget(textDeviceAddr_, 0, 1);
  grid->addWidget(Make<QLabel>("LabelChannel"), 0, 2);
  grid->addWidget(comboChannel_, 0, 3);
  grid->addWidget(Make<QLabel>("LabelLoraRepeat"), 1, 0);
  grid->addWidget(comboLoraRepeat_, 1, 1);
  grid->addWidget(Make<QLabel>("LabelAirRate"), 1, 2);
  grid->addWidget(comboAirRate_, 1, 3);
  grid->addWidget(Make<QLabel>("LabelTxPower"), 2, 0);
  grid->addWidget(comboTxPower_, 2, 1);
  grid->addWidget(Make<QLabel>("LabelUartLostTime"), 2, 2);
  grid->addWidget(textUartLostTime_, 2, 3);
  grid->addWidget(Make<QLabel>("LabelUartPackageSize"), 3, 0);
  grid->addWidget(textUartPackageSize_, 3, 1);
  grid->addWidget(labelAdjustVol_, 3, 2);
  grid->addWidget(textAdjustVol_, 3, 3);

  auto* frameLog = Make<QGroupBox>("FrameLog");
  auto* log = new QGridLayout(frameLog);
  comboLogLevel_ = List("ComboLogLevel");
  comboLogPort_ = List("ComboLogPort");
  checkResetEnable_ = Make<QCheckBox>("CheckResetEnable");
  textResetCycle_ = NumberBox("TextResetCycle");
  textIdleCycle_ = NumberBox("TextIdleCycle");
  log->addWidget(Make<QLabel>("LabelLogLevel"), 0, 0);
  log->addWidget(comboLogLevel_, 0, 1);
  log->addWidget(Make<QLabel>("LabelLogPort"), 0, 2);
  log->addWidget(comboLogPort_, 0, 3, 1, 2);
  log->addWidget(checkResetEnable_, 1, 0, 1, 2);
  log->addWidget(Make<QLabel>("LabelResetCycle"), 2, 0);
  log->addWidget(textResetCycle_, 2, 1);
  log->addWidget(Make<QLabel>("Label2"), 2, 2);
  log->addWidget(Make<QLabel>("LabelIdleCycle"), 3, 0);
  log->addWidget(textIdleCycle_, 3, 1);
  log->addWidget(Make<QLabel>("Label3"), 3, 2);
  log->setColumnStretch(4, 1);
  grid->addWidget(frameLog, 4, 0, 1, 4);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return frameDevice_;
}

QWidget* FormMain::BuildAdcPage() {
  frameAdcParam_ = Make<QGroupBox>("FrameAdcParam");
  auto* column = new QVBoxLayout(frameAdcParam_);
  auto* typeRow = new QHBoxLayout;
  typeRow->addWidget(Make<QLabel>("LabelAdcType"));
  comboAdcType_ = List("ComboAdcType");
  typeRow->addWidget(comboAdcType_);
  typeRow->addStretch(1);
  column->addLayout(typeRow);
  adcGridHost_ = new QWidget;
  auto* host = new QVBoxLayout(adcGridHost_);
  host->setContentsMargins(0, 0, 0, 0);
  column->addWidget(adcGridHost_, 1);
  column->addWidget(Make<QLabel>("Label1"));
  return frameAdcParam_;
}

QWidget* FormMain::BuildDigitalPage() {
  framedigitalSetting_ = Make<QGroupBox>("FramedigitalSetting");
  auto* row = new QHBoxLayout(framedigitalSetting_);
  dioGridHost_ = new QWidget;
  auto* host = new QVBoxLayout(dioGridHost_);
  host->setContentsMargins(0, 0, 0, 0);
  row->addWidget(dioGridHost_);

  auto* plus = Make<QGroupBox>("FramePlusSetting");
  auto* grid = new QGridLayout(plus);
  textDinFilter_ = NumberBox("TextDinFilter");
  textSavePeriod_ = NumberBox("TextSavePeriod");
  grid->addWidget(Make<QLabel>("LabelDinFilter"), 0, 0);
  grid->addWidget(textDinFilter_, 0, 1);
  grid->addWidget(Make<QLabel>("LabelSavePeriod"), 1, 0);
  grid->addWidget(textSavePeriod_, 1, 1);
  for (int k = 0; k < 4; ++k) {
    checkCaptureEdge_[k] = Make<QCheckBox>(Indexed("CheckCaptureEdge", k));
    grid->addWidget(checkCaptureEdge_[k], 2 + k, 0, 1, 2);
  }
  grid->setRowStretch(6, 1);
  row->addWidget(plus, 1);
  return framedigitalSetting_;
}

QWidget* FormMain::BuildServicePage() {
  frameService_ = Make<QGroupBox>("FrameService");
  auto* grid = new QGridLayout(frameService_);
  textDeviceName_ = Make<QLineEdit>("TextDeviceName");
  textDeviceSN_ = Make<QLineEdit>("TextDeviceSN");
  textDeviceSort_ = Make<QLineEdit>("TextDeviceSort");
  textInstallAddr_ = Make<QLineEdit>("TextInstallAddr");
  dtPickerInstallTime_ = Make<QDateEdit>("DTPickerInstallTime");
  dtPickerInstallTime_->setDisplayFormat("yyyy-MM-dd");
  dtPickerInstallTime_->setCalendarPopup(true);
  dtPickerInstallTime_->setDate(QDate::currentDate());
  checkLteEnable_ = Make<QCheckBox>("CheckLteEnable");
  comboTimeSource_ = List("ComboTimeSource");

  grid->addWidget(Make<QLabel>("LabelDeviceName"), 0, 0);
  grid->addWidget(textDeviceName_, 0, 1, 1, 3);
  grid->addWidget(Make<QLabel>("LabelDeviceSN"), 1, 0);
  grid->addWidget(textDeviceSN_, 1, 1, 1, 3);
  grid->addWidget(Make<QLabel>("LabelInstallAddr"), 2, 0);
  grid->addWidget(textInstallAddr_, 2, 1, 1, 3);
  grid->addWidget(Make<QLabel>("LabelDeviceSort"), 3, 0);
  grid->addWidget(textDeviceSort_, 3, 1);
  grid->addWidget(Make<QLabel>("LabelInstallTime"), 3, 2);
  grid->addWidget(dtPickerInstallTime_, 3, 3);
  grid->addWidget(checkLteEnable_, 4, 0, 1, 2);
  grid->addWidget(Make<QLabel>("LabelTimeSource"), 4, 2);
  grid->addWidget(comboTimeSource_, 4, 3);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Make<QPushButton>("CommandMqttSetting"));
  buttons->addWidget(Make<QPushButton>("CommandVarSetting"));
  buttons->addStretch(1);
  grid->addLayout(buttons, 5, 0, 1, 4);
  grid->setRowStretch(6, 1);
  grid->setColumnStretch(1, 1);
  grid->setColumnStretch(3, 1);
  return frameService_;
}
