#include "TDecodeFlow.h"

#include <QLabel>

#include "TDialogs.h"
#include "TLibraryLoad.h"
#include "TLibraryLocator.h"
#include "TPacketSync.h"
#include "TSettingsStore.h"
#include "TProtocolRecognition.h"
#include "TSignalProcessor.h"

namespace {
const char* SettingsText = "Settings: %1";
const char* LibraryPrefix = "Library: ";
const char* NoLibrary = "No protocol library loaded";
}  // namespace

TDecodeFlow::TDecodeFlow(TDecodeSettings& SettingsIn, TDialogs& DialogsIn,
                         TSignalProcessor& ProcessorIn, TProtocolRecognition& RecognitionIn,
                         QLabel& SettingsPanelIn, QLabel& LibraryPanelIn)
    : Settings(SettingsIn),
      Dialogs(DialogsIn),
      Processor(ProcessorIn),
      Recognition(RecognitionIn),
      SettingsPanel(SettingsPanelIn),
      LibraryPanel(LibraryPanelIn) {}

void TDecodeFlow::LoadSettings() {
  std::vector<QString> problems;
  Settings = TSettingsStore().Load(problems);
  for (const QString& problem : problems) Dialogs.ShowMessage(problem);
  Apply();
}

void TDecodeFlow::Apply() {
  Processor.Configure(Settings);
  Recognition.SetTolerance(Settings.ToleranceSeconds());
  Recognition.SecondPass = Settings.SecondPass;
  Recognition.GenericPass = Settings.Generic;
  const std::string differences = Settings.DifferencesText();
  SettingsPanel.setText(differences.empty()
                            ? QString()
                            : QString(SettingsText).arg(QString::fromStdString(differences)));
  SettingsPanel.setVisible(!differences.empty());
}

void TDecodeFlow::EditSettings() {
  TDecodeSettings settings = Settings;
  if (!Dialogs.EditDecodeSettings(settings) || settings == Settings) return;
  const bool levelChanged = settings.AutomaticLevel != Settings.AutomaticLevel ||
                            settings.TriggerLevel != Settings.TriggerLevel;
  Settings = settings;
  Apply();
  const QString failure = TSettingsStore().Save(Settings);
  DecodeAgain(levelChanged);
  if (!failure.isEmpty()) Dialogs.ShowMessage(failure);
}

void TDecodeFlow::LoadLibrary(const std::vector<std::string>& Folders) {
  const TLibraryLocator locator(Folders);
  const std::string file = locator.Find();
  std::string report = locator.NotFoundText();
  if (!file.empty()) {
    report = TLibraryLoad::Into(Recognition, file);
    if (!report.empty()) report = file + ":\r" + report;
  }
  LibraryFile = report.empty() ? file : std::string();
  LibraryProblem = report;
  LibraryPanel.setText(LibraryFile.empty() ? NoLibrary
                                           : LibraryPrefix + QString::fromStdString(file));
  LibraryPanel.setToolTip(QString::fromStdString(report.empty() ? file : report));
  if (!report.empty()) Dialogs.ShowMessage(QString::fromStdString(report));
}

void TDecodeFlow::DecodeAgain(bool LevelChanged) {
  if (Processor.Samples.empty()) return;
  for (auto& sample : Processor.Samples) {
    if (LevelChanged && sample->SignalLength() > 0) Processor.ExtractPulses(*sample);
    sample->Protocol.reset();
    for (auto& row : sample->Marks) row.clear();
    Recognition.Decode(*sample);
  }
  if (!Sync) return;
  const int shown = Sync->CurrentPacket();
  Sync->Relist();
  if (shown >= 0) Sync->ShowListed(shown);
}
