#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>

#include "TMatchStyle.h"
#include "TSettingsDialog.h"
#include "TGridView.h"
#include "TestFiles.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
// The window's settings file (in the tests' scratch folder), emptied before and after.
QSettings File() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                   QCoreApplication::applicationName());
}
struct TStoredSettings {
  TStoredSettings() {
    UseScratchSettings();
    File().clear();
  }
  ~TStoredSettings() { File().clear(); }
};

// The user's answer in the settings dialog: Change applied, then OK (or Cancel).
void Choose(TWindowRig& Rig, std::function<void(TDecodeSettings&)> Change, bool Ok = true) {
  Rig.Dialogs->EditSettings = [=](TDecodeSettings& Settings) { return Change(Settings), Ok; };
  Rig.Gui->DecodeSettingsAction->trigger();
}

std::vector<std::string> Names(const TMainWindow& Gui) {
  std::vector<std::string> names;
  for (const auto& sample : Gui.Processor->Samples) names.push_back(sample->Protocol->ListName());
  return names;
}
}  // namespace

// Two NEC packets 10 ms apart are one packet with a 20 ms ending silence: live, imported, and
// in the next window, which remembers the settings.
TEST(DecodeSettingsWindow, SettingsAreAppliedShownAndRemembered) {
  TStoredSettings stored;
  TWindowRig rig;
  EXPECT_TRUE(rig.Gui->SettingsPanel->isHidden());
  Choose(rig, [](TDecodeSettings& s) {
    s.EndSilenceMillis = 20;
    s.AutomaticLevel = true;
  });
  EXPECT_EQ(rig.Gui->SettingsPanel->text(), "Settings: level auto, ending silence 20 ms");
  rig.RecordNec({{1, 2}, {3, 4}});
  EXPECT_EQ(Names(*rig.Gui), std::vector<std::string>{"NEC"});  // one packet, not two

  auto buffer = QuietBuffer();
  Put(buffer, Put(buffer, 1000, NecRuns(1, 2)) + 480, NecRuns(3, 4));
  testfiles::WriteU8Wav((rig.Dir / "two.wav").string(), buffer);
  rig.Dialogs->Answers = {QString::fromStdString((rig.Dir / "two.wav").string())};
  rig.Gui->ImportRecording->trigger();
  ASSERT_TRUE(rig.WaitForImport());
  EXPECT_EQ(Names(*rig.Gui), (std::vector<std::string>{"NEC", "NEC"}));

  rig.Gui = std::make_unique<TMainWindow>(std::make_unique<TFakeDialogs>(),
                                          std::make_unique<TScriptedSoundSystem>());
  EXPECT_EQ(rig.Gui->SettingsPanel->text(), "Settings: level auto, ending silence 20 ms");
}

TEST(DecodeSettingsWindow, AStoredValueThatCannotBeUsedIsReported) {
  TStoredSettings stored;
  File().setValue("decoding/level", "loud");
  File().setValue("decoding/tolerance", "80");
  TWindowRig rig;
  EXPECT_EQ(rig.Dialogs->Messages,
            std::vector<QString>{File().fileName() +
                                 ": level: \"loud\" is neither a whole number nor auto; the "
                                 "default 143 is used."});
  EXPECT_EQ(rig.Gui->DecodeSettings.DifferencesText(), "tolerance 80 µs");
}

// A level above the marks leaves nothing to decode: the list is decoded again at once, and a
// saved pair loads with the level too; a cancelled dialog changes nothing.
TEST(DecodeSettingsWindow, TheListAndLoadsDecodeWithTheCurrentLevel) {
  TStoredSettings stored;
  TWindowRig rig;
  rig.RecordNec({{1, 2}});
  rig.Dialogs->Answers = {QString::fromStdString((rig.Dir / "one").string())};
  rig.Gui->SaveSamples->trigger();
  Choose(
      rig, [](TDecodeSettings& s) { s.TriggerLevel = 250; }, false);
  EXPECT_EQ(Names(*rig.Gui), std::vector<std::string>{"NEC"});
  Choose(rig, [](TDecodeSettings& s) { s.TriggerLevel = 250; });
  EXPECT_EQ(Names(*rig.Gui), std::vector<std::string>{"unknown"});
  rig.Dialogs->Answers = {QString::fromStdString((rig.Dir / "one.map").string())};
  rig.Gui->loadSamples->trigger();
  EXPECT_EQ(Names(*rig.Gui), std::vector<std::string>{"unknown"});
  Choose(rig, [](TDecodeSettings& s) { s = TDecodeSettings(); });
  EXPECT_EQ(Names(*rig.Gui), std::vector<std::string>{"NEC"});
  EXPECT_TRUE(rig.Gui->SettingsPanel->isHidden());
}

TEST(DecodeSettingsWindow, ALikelyMatchIsMarkedAndExplained) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}, {3, 4}});
  TProtocol& likely = *rig.Gui->Processor->Samples[0]->Protocol;
  likely.Match = TProtocol::TMatch::Likely;
  likely.MatchNote = "likely: marks 60 µs longer";
  rig.Gui->UpdateSamplesGrid();
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(1, 1), "NEC?");
  const QColor shown = rig.Gui->SamplesGrid->CellColour(1, 1);
  ASSERT_TRUE(shown.isValid());
  EXPECT_GE(TMatchStyle::Contrast(shown, rig.Gui->SamplesGrid->palette().color(QPalette::Base)),
            TMatchStyle::MinimumContrast);
  EXPECT_FALSE(rig.Gui->SamplesGrid->CellColour(1, 2).isValid());
  rig.Gui->SamplesGrid->SetCurrentRow(1);
  EXPECT_EQ(rig.Gui->LProtocolName->text(), "NEC?");
  EXPECT_TRUE(rig.Gui->Mdescription->toPlainText().startsWith(
      "Likely match: marks 60 µs longer\n\nPulse distance code."));
}

TEST(DecodeSettingsWindow, TheDialogShowsEditsAndRestoresTheDefaults) {
  TDecodeSettings settings{.AutomaticLevel = true, .SecondPass = false};
  TSettingsDialog dialog(nullptr, settings);
  dialog.EndSilence->setValue(12.5);
  dialog.Tolerance->setValue(2000);  // beyond the range: kept as typed, and refused
  dialog.Generic->setChecked(false);
  settings.EndSilenceMillis = 12.5;
  settings.Generic = false;
  settings.ToleranceMicros = 2000;
  EXPECT_EQ(dialog.Settings(), settings);
  EXPECT_EQ(dialog.Problem(), "Not accepted: tolerance 2000 µs is not within 1..1000 µs.");
  dialog.findChild<QPushButton*>("RestoreDefaults")->click();
  EXPECT_EQ(dialog.Settings(), TDecodeSettings());
}
