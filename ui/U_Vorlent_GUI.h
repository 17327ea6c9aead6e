#pragma once
// The main window: the record toggle, the samples grid, the packet details, the graph, the
// File menu and the About box; it owns the signal processor and the recognition engine and
// receives the sound system's buffer-full notifications.

#include <QMainWindow>
#include <QString>
#include <atomic>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TDecodeSettings.h"
#include "TDialogs.h"
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
class TInputMenu;
class TLinkLabel;
class TProtocolRecognition;
class TRecordButton;
class TSignalProcessor;
class TStringGrid;
class TaboutForm;
class TfrmGraph;

class Tgui : public QMainWindow, public TWaveNotifyTarget {
 public:
  static constexpr uint16_t SampleRate = TDecodeSettings::SampleRate;
  static constexpr const char* ProtocolFile = TDecodeSettings::LibraryFileName;

  // Builds the window and runs FormCreate. Dialogs answers in place of the user (null: real
  // Qt dialogs); Sound records in place of the sound card (null: PortAudio's default input).
  explicit Tgui(std::unique_ptr<TDialogs> Dialogs = nullptr,
                std::unique_ptr<TSoundSystem> Sound = nullptr);
  // Stops a running recording and releases the device, and ends a running import, while the
  // window still exists.
  ~Tgui() override;

  // Called by the sound system on any thread: hands Message to Bufferfull on this window's
  // thread, one buffer at a time, in order.
  void Post(const TMessage& Message) override;

  // Handlers, named after their control and event. Each may throw; the caller shows it.
  void FormCreate();
  void RecordButtonClick();
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
  void exportGraphClick();
  void CopytimingtoClipboard1Click();
  void ExitClick();
  // Another input was chosen: a running recording goes on from that input.
  void InputChanged();

  // The application's general error report: the exception's text in an error box (a file
  // error's text with a full stop appended).
  void ApplicationShowException(const std::exception& Error);

  // A duration as "12.5ms" or "1.3s" in the user's locale. Never fails.
  static QString niceTimePeriod(float Seconds);
  // Value in binary, most significant digit first, "0" for 0. Never fails.
  static QString ConvertToBin(uint32_t Value);
  // A capture time (days since 1899-12-30) as the locale's long time of day, no time zone.
  static QString TimeOfDayText(double CaptureTime);
  // Status panel Index's text (0..2).
  QString PanelText(int Index) const;
  // True from the start of an import until its packets are appended (or it failed or was
  // cancelled).
  bool ImportRunning() const { return ImportWorker.joinable(); }

  std::unique_ptr<TDialogs> Dialogs;
  std::unique_ptr<TSignalProcessor> Processor;
  std::unique_ptr<TProtocolRecognition> Recognition;

  QGroupBox* GroupBox2;
  TfrmGraph* graph;
  QSlider* tbHScale;
  QLabel* Label1;
  TRecordButton* RecordButton;
  QPushButton* ClearSamples;
  QCheckBox* ChB_invertInput;
  QGroupBox* GB_details;
  QLabel* LProtocolName;
  TLinkLabel* URLlabel;
  QPlainTextEdit* Mdescription;
  TStringGrid* SGprotocolData;
  QGroupBox* GB_Samples;
  TStringGrid* SamplesGrid;
  QLabel* StatusPanels[3];
  QMenu* File1;
  QAction* SaveSamples;
  QAction* loadSamples;
  QAction* ImportRecording;
  QAction* exportGraph;
  QAction* CopytimingtoClipboard1;
  QAction* Exit;
  QAction* About1;
  TaboutForm* aboutForm;
  TInputMenu* InputMenu = nullptr;  // made with the processor, by FormCreate

 protected:
  void closeEvent(QCloseEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;

 private:
  void CreateControls();
  void CreateDetails();
  void CreateSamples();
  void CreateMenu();
  void CreateStatusBar();
  void BindEvents();
  void WriteGridHeaders();
  void WriteSampleRow(int Row, int Index);
  void ListNewSamples(int First);
  void AppendSamples(std::vector<std::unique_ptr<TSample>> Samples);
  struct TImportOutcome {
    std::vector<std::unique_ptr<TSample>> Samples;
    std::exception_ptr Error;
    bool Cancelled = false;
  };
  void RunImport(const std::string& FileName, bool InvertInput);
  void ShowImportProgress(double Fraction);
  void FinishImport(TImportOutcome& Outcome);
  void DeliverBuffer(const TMessage& Message);
  template <typename Handler>
  void Guarded(Handler&& Run);

  std::unique_ptr<TSoundSystem> PendingSound;  // handed to the processor by FormCreate
  TAnchors* Anchors;
  bool InBufferfull = false;            // a buffer is being handled (maybe in a nested loop)
  std::deque<TMessage> WaitingBuffers;  // arrived meanwhile; handled after it, in order
  std::thread ImportWorker;             // decodes the file; joined by FinishImport or ~Tgui
  std::atomic<bool> ImportCancelled = false;
  std::unique_ptr<TProgress> ImportProgress;  // the running import's box
};
