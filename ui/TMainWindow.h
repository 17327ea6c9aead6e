#pragma once
// The main window: the record toggle, the samples grid, the packet details, the graph, the
// File menu and the About box; it owns the signal processor and the recognition engine and
// receives the sound system's buffer-full notifications.

#include <QMainWindow>
#include <QString>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "TDecodeSettings.h"
#include "TDialogs.h"
#include "TFileCommands.h"
#include "TLibraryLocator.h"
#include "TPacketSync.h"
#include "TPacketTexts.h"
#include "TSample.h"
#include "TSoundSystem.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSlider;
class QPushButton;
class TAnchors;
class TDecodeFlow;
class TDetailsPane;
class TCodeLibrary;
class TInputMenu;
class TLevelMeter;
class TSendMenu;
class TLinkLabel;
class TPacketList;
class TPacketListControls;
class QLineEdit;
class TProtocolRecognition;
class TRecordButton;
class TSignalProcessor;
class TUnsavedSamples;
class TGridView;
class TStringGrid;
class TAboutBox;
class TGraph;

class TMainWindow : public QMainWindow, public TWaveNotifyTarget {
 public:
  static constexpr uint16_t SampleRate = TDecodeSettings::SampleRate;
  static constexpr const char* ProtocolFile = TDecodeSettings::LibraryFileName;

  // Builds the window and runs FormCreate. Dialogs answers in place of the user (null: real
  // Qt dialogs); Sound records in place of the sound card (null: PortAudio's default input);
  // the protocol library is the first found in LibraryFolders.
  explicit TMainWindow(std::unique_ptr<TDialogs> Dialogs = nullptr,
                       std::unique_ptr<TSoundSystem> Sound = nullptr,
                       std::vector<std::string> LibraryFolders = TLibraryLocator::DefaultFolders());
  // Stops a running recording and releases the device, and ends a running import, while the
  // window still exists.
  ~TMainWindow() override;

  // Called by the sound system on any thread: hands Message to Bufferfull on this window's
  // thread, one buffer at a time, in order.
  void Post(const TMessage& Message) override;

  // Handlers, named after their control and event. Each may throw; the caller shows it.
  void FormCreate();
  void RecordButtonClick();
  void ShowRecordingState();
  void Bufferfull(const TMessage& Message);
  void UpdateSamplesGrid() { Sync->Relist(); }
  void ClearSamplesClick() { Sync->Clear(); }
  void SamplesGridSelectCell(int Column, int Row, bool& CanSelect);
  // File > Import recording (TFileCommands::Import); returns at once.
  void ImportRecordingClick() { Files->Import(); }
  // True from the start of an import until its packets are appended (or it failed or was
  // cancelled).
  bool ImportRunning() const { return Files->ImportRunning(); }
  // Another input was chosen: a running recording goes on from that input.
  void InputChanged();
  // The Invert input check box changed: the processor reads the input the new way.
  void InvertChanged();

  // The application's general error report: the exception's text in an error box (a file
  // error's text with a full stop appended).
  void ApplicationShowException(const std::exception& Error);

  // The packet texts of the grid (TPacketTexts). Never fail.
  static QString niceTimePeriod(float Seconds) { return TPacketTexts::TimePeriod(Seconds); }
  static QString ConvertToBin(uint64_t Value) { return TPacketTexts::Binary(Value); }
  static QString TimeOfDayText(double CaptureTime) { return TPacketTexts::TimeOfDay(CaptureTime); }
  static QString SampleTimeText(const TSample& Sample) { return TPacketTexts::SampleTime(Sample); }
  // Status panel Index's text (0..2).
  QString PanelText(int Index) const;
  // The protocol library in use, "" when none loaded.
  const std::string& LibraryFile() const;
  // Shrinks and moves the window so that it lies inside Available (a screen's free area, in
  // device-independent pixels), keeping its position and size where they fit. Never fails.
  void FitInto(const QRect& Available);
  // The smallest the window may become; it fits a 1280 x 720 screen and, at a scale factor of
  // 2, a 1920 x 1080 one.
  static QSize SmallestSize(int MenuHeight);

  std::unique_ptr<TDialogs> Dialogs;
  std::unique_ptr<TSignalProcessor> Processor;
  std::unique_ptr<TUnsavedSamples> Unsaved;  // asks before packets are lost
  std::unique_ptr<TProtocolRecognition> Recognition;
  std::unique_ptr<TDecodeFlow> Flow;      // settings, library, decoding again
  std::unique_ptr<TPacketSync> Sync;      // grid, details and graph on one packet
  std::unique_ptr<TFileCommands> Files;   // the File menu's commands
  std::unique_ptr<TDetailsPane> Details;  // the packet details box

  QGroupBox* GroupBox2;
  TGraph* graph;
  QSlider* tbHScale;
  QLabel* Label1;
  TRecordButton* RecordButton;
  QPushButton* ClearSamples;
  QCheckBox* ChB_invertInput;
  TLevelMeter* LevelMeter;  // the input's level while recording
  QLabel* LevelHint;        // in the status bar: why no packet arrives; hidden when none
  QGroupBox* GB_details;
  QLabel* LProtocolName;
  TLinkLabel* URLlabel;
  QPlainTextEdit* Mdescription;
  TStringGrid* SGprotocolData;
  QGroupBox* GB_Samples;
  TGridView* SamplesGrid;
  std::unique_ptr<TPacketList> PacketList;  // which packets the grid's rows show
  QLabel* StatusPanels[3];
  QLabel* LibraryPanel;  // the library in use; a TElidedLabel: a long path loses its middle
  QMenu* File1;
  QAction* SaveSamples;
  QAction* loadSamples;
  QAction* ImportRecording;
  QAction* ExportCodes;
  QAction* LearnProtocol;
  QAction* exportGraph;
  QAction* CopytimingtoClipboard1;
  QAction* Exit;
  QAction* About1;
  TAboutBox* aboutForm;
  QMenu* SettingsMenu;
  QAction* DecodeSettingsAction;
  QMenu* ViewMenu;
  QAction* FoldRepeats;                         // on: a held key's packets share a row
  QLineEdit* FilterBox;                         // lists only the rows containing its text
  TPacketListControls* ListControls = nullptr;  // sorting, filter, context menu; by FormCreate
  QLabel* SettingsPanel;            // the settings that differ from their defaults; "" when none
  TDecodeSettings DecodeSettings;   // the current ones (InvertInput is the check box's)
  uint32_t ExportCarrierHz = 0;     // the carrier of exported codes; 0: each protocol's own
  TInputMenu* InputMenu = nullptr;  // made with the processor, by FormCreate
  TSendMenu* SendMenu = nullptr;    // beside the Input menu, by FormCreate

 protected:
  void closeEvent(QCloseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void CreateControls();
  void CreateSamples();
  void CreateMenu();
  void CreateStatusBar();
  void BindEvents();
  void BindFileMenu();
  void WriteGridHeaders();
  void WatchLevel(const TMessage& Message);
  void ShowLevelHint();
  void CreateListControls();
  void DeliverBuffer(const TMessage& Message);
  template <typename Handler>
  void Guarded(Handler&& Run);

  std::unique_ptr<TSoundSystem> PendingSound;  // handed to the processor by FormCreate
  TAnchors* Anchors;
  bool InBufferfull = false;                // a buffer is being handled (maybe in a nested loop)
  std::deque<TMessage> WaitingBuffers;      // arrived meanwhile; handled after it, in order
  std::vector<std::string> LibraryFolders;  // where FormCreate looks for the library
};
