#include "TFileCommands.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QSaveFile>
#include <QStatusBar>
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "TCodeExport.h"
#include "TCodeLibrary.h"
#include "TDecodeFlow.h"
#include "TExportMemory.h"
#include "TGraph.h"
#include "TIrFormats.h"
#include "TLearnDialog.h"
#include "TLibraryLocator.h"
#include "TMainWindow.h"
#include "TNoPacketsText.h"
#include "TPacketListControls.h"
#include "TPacketSync.h"
#include "TUnsavedSamples.h"
#include "TProtocolRecognition.h"
#include "TSignalProcessor.h"
#include "TRecordingDecoder.h"
#include "TSilenceJoiner.h"

namespace {
const char* SamplesFilter = "Sample MAP files (*.map);;All files (*)";
const char* SaveTitle = "Save samples (a .map and a .dat file)";
const char* MapSuffix = ".map";
const char* LoadTitle = "Load samples (pick the .map file)";
const char* ImportTitle = "Import a recording or a code file";
const char* InvertName = "Invert input";
const char* BitmapTitle = "Export graph image";
const char* BitmapFilter = "Bitmap image (*.BMP) (*.bmp)";
const char* UnableToOpen = "Unable to open samples, file ";
const char* NotFound = " not found";
const char* RecordingsFilter =
    "Recordings and code files (*.wav *.flac *.aiff *.aif *.ogg *.au *.caf *.ir *.txt *.conf "
    "*.mode2);;All files (*)";
const char* NothingToExport = "There are no packets to export.";
const char* CannotWrite = "Cannot write %1: %2";
const char* LeftOut = "These signals were left out:\n%1";
constexpr size_t MaxProblemsShown = 10;
const char* ImportingText = "Importing %1...";
const char* ImportedOne = "%1 packet imported";
const char* ImportedMany = "%1 packets imported";
const char* ImportedSummaryTip = "%1 imported from %2";
const char* LearnedInto = "Learned protocol added to %1";
constexpr int SummaryPanel = 2;
}  // namespace

TFileCommands::TFileCommands(TMainWindow& WindowIn, TGuard Guard)
    : Window(WindowIn), Importer(std::make_unique<TImportWorker>()) {
  Importer->OnProgress = [this](double Fraction) {
    if (ImportProgress) ImportProgress->SetFraction(Fraction);
  };
  Importer->OnDone = [this, Guard](TImportWorker::TOutcome& Outcome) {
    Guard([&] { FinishImport(Outcome); });
  };
}

TFileCommands::~TFileCommands() {
  // The import's worker posts to the window: stop it at its next buffer and wait for it.
  Importer.reset();
}

void TFileCommands::Save() {
  QString name = Window.Dialogs->GetSaveFileName(SaveTitle, SamplesFilter, false);
  if (name.isEmpty()) return;
  // The name is the pair's base: a chosen "x.map" writes x.map and x.dat, not x.map.map.
  if (name.endsWith(MapSuffix, Qt::CaseInsensitive) && name.size() > 4) name.chop(4);
  if (!Window.Unsaved->MayReplace(name.toStdString())) return;
  Window.Processor->SaveSamples(name.toStdString());
  Window.Unsaved->Saved();
}

void TFileCommands::Load() {
  const QString name =
      Window.Dialogs->GetOpenFileName(SamplesFilter, LoadTitle, SamplesFolder.Get());
  if (name.isEmpty()) return;
  SamplesFolder.Remember(name);
  const QString dataFile =
      QString::fromStdString(TSignalProcessor::DataFileName(name.toStdString()));
  if (!QFileInfo(dataFile).isFile()) {
    Window.Dialogs->ShowMessage(UnableToOpen + QFileInfo(dataFile).absoluteFilePath() + NotFound);
    return;
  }
  // Read the whole pair first: a failed load throws here and loses nothing.
  std::string note;
  TSignalProcessor& processor = *Window.Processor;
  std::vector<std::unique_ptr<TSample>> loaded = processor.ReadSamples(name.toStdString(), &note);
  if (!Window.Unsaved->MayDiscard(Window.loadSamples->text().remove('&'))) return;
  Window.Sync->Clear();
  for (auto& sample : loaded) processor.AddSample(std::move(sample));
  Window.Unsaved->Saved();
  for (auto& sample : processor.Samples) {
    if (!sample->Protocol) Window.Recognition->Decode(*sample);
  }
  Window.Sync->Relist();
  if (!note.empty()) Window.Dialogs->ShowMessage(QString::fromStdString(note + "."));
}

// The file is read by the import worker so that a long recording never stalls the window:
// live buffers, the grid and the graph keep working, and the progress box is not modal. Its
// packets come back to the window's thread, where they are decoded and appended at once, so
// grid rows and list positions match throughout, whatever live recording appends meanwhile.
void TFileCommands::Import() {
  if (ImportRunning()) return;  // one import at a time (the menu item is disabled meanwhile)
  const QString name =
      Window.Dialogs->GetOpenFileName(RecordingsFilter, ImportTitle, RecordingsFolder.Get());
  if (name.isEmpty()) return;
  RecordingsFolder.Remember(name);
  TRecordingDecoder::TOptions options;
  static_cast<TDecodeSettings&>(options) = Window.DecodeSettings;
  options.InvertInput = Window.ChB_invertInput->isChecked();
  Importer->Start(name.toStdString(), options,
                  std::make_shared<const TCodeLibrary>(*Window.Recognition));
  Window.ImportRecording->setEnabled(false);
  ImportProgress = Window.Dialogs->OpenProgress(
      QString(ImportingText).arg(QFileInfo(name).fileName()), [this] { Importer->Cancel(); });
}

bool TFileCommands::ImportRunning() const {
  return Importer->Running();
}

void TFileCommands::CancelImport() {
  Importer->Cancel();
  ImportProgress.reset();
}

void TFileCommands::FinishImport(TImportWorker::TOutcome& Outcome) {
  ImportProgress.reset();
  Window.ImportRecording->setEnabled(true);
  if (Outcome.Cancelled) return;
  if (Outcome.Error) std::rethrow_exception(Outcome.Error);  // shown by the error report
  Outcome.Samples = TSilenceJoiner::JoinAll(*Window.Recognition, TRecordingDecoder::SampleRate,
                                            std::move(Outcome.Samples));
  if (Outcome.Samples.empty())
    SayWhenNothingFound(Outcome);
  else
    ShowImportSummary(Outcome.FileName, Outcome.Samples.size());
  if (!Outcome.Samples.empty()) Window.Sync->Append(std::move(Outcome.Samples));
  if (!Outcome.Problems.empty()) ReportLeftOut(Outcome.Problems);
  if (!Outcome.EndsEarly.empty())
    Window.Dialogs->ShowError(QString::fromStdString(Outcome.EndsEarly));
}

void TFileCommands::ShowImportSummary(const std::string& FileName, size_t Packets) {
  const QString name = QFileInfo(QString::fromStdString(FileName)).fileName();
  QLabel* panel = Window.StatusPanels[SummaryPanel];
  panel->setText(QString(Packets == 1 ? ImportedOne : ImportedMany).arg(Packets));
  panel->setToolTip(QString(ImportedSummaryTip).arg(Packets).arg(name));
}

void TFileCommands::SayWhenNothingFound(const TImportWorker::TOutcome& Outcome) {
  const std::string name =
      QFileInfo(QString::fromStdString(Outcome.FileName)).fileName().toStdString();
  Window.Dialogs->ShowMessage(
      QString::fromStdString(TNoPacketsText::For(name, Outcome.Options.InvertInput, InvertName)));
}

// Names the signals of a code file that were not imported, the first few of them.
void TFileCommands::ReportLeftOut(const std::vector<std::string>& Problems) {
  QStringList lines;
  for (size_t i = 0; i < Problems.size() && i < MaxProblemsShown; ++i)
    lines << QString::fromStdString(Problems[i]);
  if (Problems.size() > MaxProblemsShown)
    lines << QString("(%1 more)").arg(Problems.size() - MaxProblemsShown);
  Window.Dialogs->ShowMessage(QString(LeftOut).arg(lines.join('\n')));
}

void TFileCommands::Export(const std::vector<int>& Packets) {
  const auto& samples = Window.Processor->Samples;
  if (samples.empty()) {
    Window.Dialogs->ShowMessage(NothingToExport);
    return;
  }
  const int row = Packets.size() == 1 ? Packets.front() : Window.Sync->CurrentPacket();
  const bool selected = row >= 0 && row < static_cast<int>(samples.size());
  const TSample* current = selected ? samples[static_cast<size_t>(row)].get() : nullptr;
  TExportCodesChoice choice;
  choice.AllPackets = !selected;
  choice.CarrierHz = Window.ExportCarrierHz;
  TExportMemory::Recall(choice);
  if (Packets.size() == 1) choice.AllPackets = false;
  if (Packets.size() > 1) choice.AllPackets = true;
  if (current)
    choice.Name = QString::fromStdString(current->Name.empty() ? TCodeExport::DefaultName(*current)
                                                               : current->Name);
  QStringList formats;
  for (const TIrFormat* format : TIrFormats::All())
    formats << QString("%1 (*.%2)").arg(format->Title(), format->Extension());
  if (!Window.Dialogs->AskExportCodes(formats, choice)) return;
  choice.Format = TExportMemory::FormatOfName(formats, choice.FileName, choice.Format);
  Window.ExportCarrierHz = choice.CarrierHz;
  const TIrFormat* format = TIrFormats::All().at(std::clamp<size_t>(
      static_cast<size_t>(std::max(choice.Format, 0)), 0, TIrFormats::All().size() - 1));
  TCodeExport exporter(*format, std::make_shared<const TCodeLibrary>(*Window.Recognition),
                       choice.CarrierHz);
  if (Packets.size() > 1) {
    for (int i : Packets) {
      const TSample& sample = *samples.at(static_cast<size_t>(i));
      exporter.Add(sample, sample.Name);
    }
  } else if (choice.AllPackets || !current) {
    for (const auto& sample : samples) exporter.Add(*sample, sample->Name);
  } else {
    exporter.Add(*current, choice.Name.toStdString());
  }
  std::ostringstream text;
  exporter.Write(text);
  QSaveFile file(choice.FileName);
  const std::string bytes = text.str();
  const bool written = file.open(QIODevice::WriteOnly) &&
                       file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                           static_cast<qint64>(bytes.size()) &&
                       file.commit();
  if (!written)
    throw std::runtime_error(
        QString(CannotWrite).arg(choice.FileName, file.errorString()).toStdString());
  TExportMemory::Remember(choice);
}

void TFileCommands::Learn() {
  const auto& samples = Window.Processor->Samples;
  TLearnDialog::TPackets selected, unknown;
  for (const int packet : Window.ListControls->SelectedPackets())
    selected.push_back(samples[static_cast<size_t>(packet)]->Pulses);
  for (const auto& item : samples) {
    const TSample& sample = *item;
    if (!sample.Protocol || !sample.Protocol->Known() ||
        sample.Protocol->Match == TProtocol::TMatch::Generic)
      unknown.push_back(sample.Pulses);
  }
  TLearnDialog dialog(&Window, std::move(selected), std::move(unknown),
                      Window.DecodeSettings.ToleranceMicros, Window.Flow->LibraryFile,
                      TLibraryLocator::UserLibraryFile());
  if (dialog.exec() != QDialog::Accepted || dialog.ChangedFile().empty()) return;
  Window.Flow->LoadLibrary({std::filesystem::path(dialog.ChangedFile()).parent_path().string()});
  Window.Flow->DecodeAgain(false);
  Window.statusBar()->showMessage(
      QString(LearnedInto).arg(QString::fromStdString(dialog.ChangedFile())));
}

void TFileCommands::ExportGraph() {
  const QString name = Window.Dialogs->GetSaveFileName(BitmapTitle, BitmapFilter, true);
  if (name.isEmpty()) return;
  Window.graph->ExportBitmap(name);
}
