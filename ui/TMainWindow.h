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
#include "TImportWorker.h"
#include "TLastFolder.h"
#include "TLibraryLocator.h"
#include "TSoundSystem.h"
#include "U_sample.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QSlider;
class QPushButton;
class TAnchors;
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
  void NewSample();
  void SelectSample(int Index);
  void UpdateSamplesGrid();
  void ClearSamplesClick();
  void SamplesGridSelectCell(int Column, int Row, bool& CanSelect);
  void tbHScaleChange();
  void ChB_invertInputClick();
  void ChB_invertInputKeyPress();
  void URLlabelClick();
  void ReportError(const std::string& Text);
  void About1Click();
  void SaveSamplesClick();
  void loadSamplesClick();
  // Asks for an audio file and starts decoding it on a worker; returns at once. When it is
  // done its packets are decoded and appended to the list; a cancelled import adds nothing,
  // and a file that cannot be read is reported (TRecordingError's text) and adds nothing.
  void ImportRecordingClick();
  // Asks for the packets (the selected one or all), a name, the carrier and the file, and
  // writes them as codes of the format of the chosen file type, atomically. Throws (shown by
  // the error report) when the file cannot be written; an earlier file then stays as it was.
  void ExportCodesClick();
  // The same for Packets (indices into the samples): one is exported as the selected packet,
  // several as all packets; none: the selected row's packet or all, as ExportCodesClick.
  void ExportPackets(const std::vector<int>& Packets);
  // Removes Packets (indices into the samples, ascending) from the list. Never fails.
  void DeletePackets(const std::vector<int>& Packets);
  // View > Fold repeats: one row per held key, or one per packet.
  void FoldRepeatsClick();
  // The first packet of every selected row (of the current row when none is selected).
  std::vector<const TSample*> SelectedSamples() const;
  // File > Learn protocol...: the selected packets or every unknown and generic one.
  void LearnProtocolClick();
  void exportGraphClick();
  void CopytimingtoClipboard1Click();
  void ExitClick();
  // Asks for the decoding settings; confirmed ones are remembered, applied to capture,
  // loading and importing, and the listed packets are decoded again with them.
  void DecodeSettingsClick();
  // Another input was chosen: a running recording goes on from that input.
  void InputChanged();

  // The application's general error report: the exception's text in an error box (a file
  // error's text with a full stop appended).
  void ApplicationShowException(const std::exception& Error);

  // A duration as "12.5ms" or "1.3s" in the user's locale. Never fails.
  static QString niceTimePeriod(float Seconds);
  // Value in binary, most significant digit first, "0" for 0. Never fails.
  static QString ConvertToBin(uint64_t Value);
  // A capture time (days since 1899-12-30) as the locale's long time of day, no time zone.
  static QString TimeOfDayText(double CaptureTime);
  // A packet's Time column: an imported one's offset from the start of its file with
  // milliseconds, any other's time of day. Never fails.
  static QString SampleTimeText(const TSample& Sample);
  // Status panel Index's text (0..2).
  QString PanelText(int Index) const;
  // The protocol library in use, "" when none loaded.
  const std::string& LibraryFile() const { return LoadedLibrary; }
  // Shrinks and moves the window so that it lies inside Available (a screen's free area, in
  // device-independent pixels), keeping its position and size where they fit. Never fails.
  void FitInto(const QRect& Available);
  // The smallest the window may become; it fits a 1280 x 720 screen and, at a scale factor of
  // 2, a 1920 x 1080 one.
  static QSize SmallestSize(int MenuHeight);
  // True from the start of an import until its packets are appended (or it failed or was
  // cancelled).
  bool ImportRunning() const;

  std::unique_ptr<TDialogs> Dialogs;
  std::unique_ptr<TSignalProcessor> Processor;
  std::unique_ptr<TUnsavedSamples> Unsaved;  // asks before packets are lost
  std::unique_ptr<TProtocolRecognition> Recognition;

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
  TStringGrid* SamplesGrid;
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
  void CreateDetails();
  void CreateSamples();
  void CreateMenu();
  void CreateStatusBar();
  void LoadLibrary(const std::vector<std::string>& Folders);
  void ClearDetails();
  void SayWhenNothingFound(const TImportWorker::TOutcome& Outcome);
  void BindEvents();
  void WriteGridHeaders();
  void ListNewSamples(int First);
  void ShowListedPacket(int Index);
  void WatchLevel(const TMessage& Message);
  void ShowLevelHint();
  void CreateListControls();
  void ShowCurrentAgain();
  int IndexOf(const TSample* Sample) const;
  void ShowImportSummary(const std::string& FileName, size_t Packets);
  void AppendSamples(std::vector<std::unique_ptr<TSample>> Samples);
  void FinishImport(TImportWorker::TOutcome& Outcome);
  void ReportLeftOut(const std::vector<std::string>& Problems);
  void DeliverBuffer(const TMessage& Message);
  void LoadDecodeSettings();
  void ApplyDecodeSettings();
  void DecodeAgain(bool LevelChanged);
  template <typename Handler>
  void Guarded(Handler&& Run);

  std::unique_ptr<TSoundSystem> PendingSound;  // handed to the processor by FormCreate
  TAnchors* Anchors;
  bool InBufferfull = false;                   // a buffer is being handled (maybe in a nested loop)
  std::deque<TMessage> WaitingBuffers;         // arrived meanwhile; handled after it, in order
  std::unique_ptr<TImportWorker> Importer;     // decodes a recording on its own thread
  std::unique_ptr<TProgress> ImportProgress;   // the running import's box
  std::vector<std::string> LibraryFolders;     // where FormCreate looks for the library
  std::string LoadedLibrary;                   // the library file in use, "" when none
  std::string LibraryProblem;                  // why none is in use
  TLastFolder SamplesFolder{"samples"};        // where Load samples opens
  TLastFolder RecordingsFolder{"recordings"};  // where Import recording opens
};
