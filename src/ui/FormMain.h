#pragma once

#include "image/ParameterImage.h"
#include "link/TransactionEngine.h"
#include "ui/FormView.h"
#include "ui/TransactionHost.h"

#include <QString>
#include <QWidget>

#include <memory>

struct FieldLabel;
class AdcGrid;
class Clock;
class CloseGuard;
class CompareAction;
class DioGrid;
class FileDrops;
class ListMsgSink;
class OptionEditors;
class PortCatalog;
class PortFollower;
class Prompts;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabBar;
class SerialLink;
class UnsavedEdits;
class WriteReadBack;

/// What the main window works with; the composition root hands in the real
/// objects, the tests hand in fakes.
struct FormMainServices {
  SerialLink& link;        ///< the port of the configuration transactions
  SerialLink& updateLink;  ///< the firmware update's own port (same port number)
  Clock& clock;
  PortCatalog& ports;  ///< port numbers, the scan and the remembered "ComPort"
  /// Message boxes and file dialogs; nullptr: the window's own (WidgetPrompts).
  Prompts* prompts = nullptr;
};

/// The program-wide switches chosen at start.
struct FormMainOptions {
  bool english = false;  ///< LanguageEnglish
  bool service = false;  ///< ServiceEnabled: page 5, Check1 and CommandFactory
};

/// The tool's main window: the port bar, the five pages of the terminal's
/// settings, the buttons of every transaction and the message list ListMsg.
///
/// Every control carries the objectName of its role (CommandRead,
/// ComboChannel, ...). Control arrays are named `<Name>_<index>`, indexed
/// from 0: FrameComParam_0 is the TTL port's group, ComboBaudRate_1 the
/// RS-485 port's baud list, CheckCaptureEdge_0 to _3 the four inputs.
///
/// Constructing the window runs the start-up (flags, remembered port, grids,
/// port scan, banner, captions, defaults, ShowImage, page 1, link format).
///
/// The technician's features are classes of their own, each handed the
/// narrow view of the window it needs (TransactionHost, FormView):
/// PortFollower (ports that follow the cable), WriteReadBack (what happens
/// after a write), CompareAction (compare), CloseGuard (closing), FileDrops
/// (dropped files), ColumnFitter and MessageListMenu.
class FormMain : public QWidget, private TransactionHost, private FormView {
  Q_OBJECT

 public:
  FormMain(const FormMainServices& services, const FormMainOptions& options,
           QWidget* parent = nullptr);
  ~FormMain() override;

  /// Sets every caption and fixed list in the current language.
  void ApplyCaptions();
  /// Shows the whole image in the controls (FillingControls set meanwhile).
  void ShowImage();
  /// Brings the page and the control that show a field forward.
  void RevealField(const FieldLabel& label) override;
  /// Writes the firmware, "REZUZODO" and production lines and rebuilds the
  /// LoRa channel list for the terminal's radio band.
  void ShowIdentity();
  /// Appends a line to ListMsg and selects it.
  void AddMessage(const QString& text);

  /// The parameter image every control shows and every editor writes.
  ParameterImage& Image() override { return image_; }
  /// The transactions of the buttons (read, write, reset, log, detection).
  TransactionEngine& Engine() { return *engine_; }
  /// The message boxes and file dialogs in use (the injected ones or the window's).
  Prompts& WindowPrompts() { return *prompts_; }

  /// LanguageEnglish: every caption in English.
  bool LanguageEnglish() const { return english_; }
  /// ServiceEnabled: page 5, Check1 and CommandFactory are available.
  bool ServiceEnabled() const { return service_; }
  /// AdjustMode: the adjust box is shown and a write sends the adjust byte.
  bool AdjustMode() const { return adjustMode_; }
  /// True while ShowImage or ShowIdentity fills the controls.
  bool FillingControls() const { return fillingControls_; }
  /// The PC port number of the transactions (1 to 99).
  int PortNumber() const { return portNumber_; }
  /// The link format the transactions greet the terminal with.
  QString LinkSettings() const;
  /// The RS-485 format as the "485 COM" lists show it ("9600,N,8,1").
  QString DeviceFormatText() const { return deviceFormatText_; }
  /// The page on screen, 1 to 5.
  int CurrentPage() const { return page_; }

  /// The text a format list shows, also when the stored value has no entry.
  static QString ShownText(const QComboBox* combo);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // TransactionHost and FormView: what the features see of the window.
  Setup LinkSetup() const override;
  bool Idle() const override;
  void SetTransactionControlsEnabled(bool enabled) override;
  void ImageChanged() override;
  void BuildFeatures();

  // FormMainLayout.cpp: the controls.
  void BuildControls();
  QWidget* BuildPortBar();
  QWidget* BuildButtons();
  QWidget* BuildComPage();
  QWidget* BuildDevicePage();
  QWidget* BuildAdcPage();
  QWidget* BuildDigitalPage();
  QWidget* BuildServicePage();
  void BuildGrids();

  // FormMain.cpp: start-up, pages, port bar, adjust mode.
  void Load();
  void RefreshPortList();
  void ComboComPort_Click(int index);
  void TabStrip1_Click(int index);
  void ShowPage(int page);
  void LabelVersion_DblClick();
  void ResizeBanner();

  // FormMainShow.cpp: the image in the controls.
  void ShowOptionWords();
  void ShowExtendedFields();
  void RebuildDeviceFormatText();

  // FormMainActions.cpp: the buttons.
  void ConnectButtons();
  /// Commits the editor being typed in, exactly as leaving it for `control`
  /// with the mouse does, before `control`'s command runs.
  void CommitEditing(QWidget* control);
  void CommandRead_Click();
  void CommandWrite_Click();
  void CommandResetConfig_Click();
  void CommandGetErrorLog_Click();
  void CommandAutoBaudrate_Click();
  void CommandSetForComm_Click();
  void CommandComFresh_Click();
  void CommandSave_Click();
  void CommandLoad_Click();
  void CommandUpdate_Click();
  /// The open and update commands with `prompts` (a dropped file's).
  void OpenConfigFile(Prompts& prompts);
  void UpdateFirmware(Prompts& prompts);
  void CommandMqttSetting_Click();
  void CommandVarSetting_Click();
  void CommandFactory_Click();
  void CommandCompare_Click();
  void ClearMessages();
  void TransactionStarted(bool started);
  void TransactionFinished(TransactionEngine::Kind kind, bool succeeded);
  bool WriteSerialNumber() const;

  SerialLink& link_;
  SerialLink& updateLink_;
  Clock& clock_;
  PortCatalog& ports_;
  std::unique_ptr<Prompts> ownPrompts_;
  Prompts* prompts_ = nullptr;

  ParameterImage image_;
  ParameterImage readImage_;  ///< where a read stores until it has succeeded
  std::unique_ptr<ListMsgSink> sink_;
  std::unique_ptr<TransactionEngine> engine_;

  bool english_ = false;
  bool service_ = false;
  bool adjustMode_ = false;
  bool fillingControls_ = false;
  int portNumber_ = 1;
  int page_ = 1;
  QString deviceFormatText_;

  // Controls used by the code (the others are reached by objectName).
  QLabel* imageTop_ = nullptr;
  QLabel* labelVersion_ = nullptr;
  QLabel* picture1_ = nullptr;
  QTabBar* tabStrip1_ = nullptr;
  QGroupBox* frameComParam_[2] = {};
  QGroupBox* frameDevice_ = nullptr;
  QGroupBox* frameAdcParam_ = nullptr;
  QGroupBox* framedigitalSetting_ = nullptr;
  QGroupBox* frameService_ = nullptr;
  QComboBox* comboComPort_ = nullptr;
  QComboBox* comboBaudRate_[2] = {};
  QComboBox* comboParity_[2] = {};
  QComboBox* comboDatabits_[2] = {};
  QComboBox* comboStopbits_[2] = {};
  QLineEdit* textDeviceAddr_ = nullptr;
  QComboBox* comboChannel_ = nullptr;
  QComboBox* comboLoraRepeat_ = nullptr;
  QComboBox* comboAirRate_ = nullptr;
  QComboBox* comboTxPower_ = nullptr;
  QLineEdit* textUartLostTime_ = nullptr;
  QLineEdit* textUartPackageSize_ = nullptr;
  QLabel* labelAdjustVol_ = nullptr;
  QLineEdit* textAdjustVol_ = nullptr;
  QComboBox* comboLogLevel_ = nullptr;
  QComboBox* comboLogPort_ = nullptr;
  QCheckBox* checkResetEnable_ = nullptr;
  QLineEdit* textResetCycle_ = nullptr;
  QLineEdit* textIdleCycle_ = nullptr;
  QComboBox* comboAdcType_ = nullptr;
  QLineEdit* textDinFilter_ = nullptr;
  QLineEdit* textSavePeriod_ = nullptr;
  QCheckBox* checkCaptureEdge_[4] = {};
  QLineEdit* textDeviceName_ = nullptr;
  QLineEdit* textDeviceSN_ = nullptr;
  QLineEdit* textDeviceSort_ = nullptr;
  QLineEdit* textInstallAddr_ = nullptr;
  QDateEdit* dtPickerInstallTime_ = nullptr;
  QCheckBox* checkLteEnable_ = nullptr;
  QComboBox* comboTimeSource_ = nullptr;
  QCheckBox* check1_ = nullptr;
  QPushButton* commandFactory_ = nullptr;
  QPushButton* commandAutoBaudrate_ = nullptr;
  QListWidget* listMsg_ = nullptr;
  QWidget* adcGridHost_ = nullptr;
  QWidget* dioGridHost_ = nullptr;
  AdcGrid* adcGrid_ = nullptr;
  DioGrid* dioGrid_ = nullptr;
  OptionEditors* editors_ = nullptr;

  // The features; they go before the engine and the message list they use.
  UnsavedEdits* edits_ = nullptr;  ///< a child of the window
  std::unique_ptr<PortFollower> portFollower_;
  std::unique_ptr<WriteReadBack> readBack_;
  std::unique_ptr<CompareAction> compare_;
  std::unique_ptr<CloseGuard> closeGuard_;
  std::unique_ptr<FileDrops> drops_;
};
