// Generic matches in the window, and learning a remote from its packets: the dialog's preview,
// its refusals, and Add to my library writing the user's library on disk, after which the
// window decodes the packets by the learned name.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <cmath>
#include <cstdlib>

#include "TLearnDialog.h"
#include "TMatchStyle.h"
#include "TProtocolRecognition.h"
#include "TGridView.h"
#include "TStringGrid.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
// A pulse-distance remote the test library does not know: a 3 ms lead-in, a fixed byte, then a
// command byte.
std::vector<uint16_t> Packet(unsigned Command) {
  std::vector<double> us = {3000, 3000};
  const unsigned value = 0xA5u | (Command & 0xFF) << 8;
  for (int i = 0; i < 16; ++i) us.insert(us.end(), {500, (value >> i) & 1 ? 1500.0 : 500});
  us.push_back(500);
  std::vector<uint16_t> runs = {100};
  for (double d : us) runs.push_back(static_cast<uint16_t>(std::lround(d * 0.048)));
  runs.push_back(240);
  return runs;
}

// The window's packets replaced by those of the unknown remote, decoded again.
void ShowUnknownRemote(TWindowRig& Rig, const std::vector<unsigned>& Commands) {
  Rig.RecordNec(std::vector<std::pair<uint8_t, uint8_t>>(Commands.size(), {1, 2}));
  auto& samples = Rig.Gui->Processor->Samples;
  ASSERT_EQ(samples.size(), Commands.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i]->Pulses = Packet(Commands[i]);
    samples[i]->Protocol.reset();
    Rig.Gui->Recognition->Decode(*samples[i]);
  }
  Rig.Gui->UpdateSamplesGrid();
}

struct TDataHome {
  TDataHome() : Dir(fs::temp_directory_path() / ("vorlent-data-" + std::to_string(getpid()))) {
    fs::create_directories(Dir);
    setenv("XDG_DATA_HOME", Dir.c_str(), 1);
  }
  ~TDataHome() {
    unsetenv("XDG_DATA_HOME");
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }
  fs::path Dir;
};
}  // namespace

TEST(LearnWindow, AGenericMatchIsMarkedExplainedAndShowsItsData) {
  TWindowRig rig;
  ShowUnknownRemote(rig, {0x10, 0x20});
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(1, 1), "Pulse distance~");
  EXPECT_EQ(rig.Gui->SamplesGrid->CellColour(1, 1),
            TMatchStyle::For(TProtocol::TMatch::Generic).Colour);
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(2, 1), "bits=16; data=A510; ");
  rig.Gui->SamplesGrid->SetCurrentRow(1);
  EXPECT_TRUE(rig.Gui->Mdescription->toPlainText().startsWith(
      "Generic decoding: Pulse distance, 16 bits, LSB first in each byte; marks 500 µs"));
  EXPECT_EQ(rig.Gui->SGprotocolData->Cell(0, 2), "data");
  EXPECT_EQ(rig.Gui->SGprotocolData->Cell(1, 2), "A510");
}

TEST(LearnWindow, TheDialogPreviewsRefusesAndAddsToTheUserLibrary) {
  TDataHome home;
  const std::string user = (home.Dir / "vorlent" / "protocols.xml").string();
  TLearnDialog::TPackets remote = {Packet(1), Packet(2), Packet(3)};
  TLearnDialog dialog(nullptr, {Packet(1)}, remote, 50, "", user);
  EXPECT_FALSE(dialog.AddButton->isEnabled());  // no name yet
  dialog.NameEdit->setText("Heater");
  EXPECT_TRUE(dialog.Preview->toPlainText().contains("<protocol name=\"Heater\""));
  EXPECT_TRUE(dialog.Problem->text().startsWith("Learned from 3 packets"));
  ASSERT_TRUE(dialog.AddButton->isEnabled());
  dialog.AddButton->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.ChangedFile(), user);
  ASSERT_TRUE(fs::exists(user));

  TLearnDialog again(nullptr, {}, remote, 50, "", user);
  EXPECT_FALSE(again.SelectedOnly->isEnabled());
  again.NameEdit->setText("Heater");
  again.AddButton->click();
  EXPECT_NE(again.result(), QDialog::Accepted);
  EXPECT_TRUE(again.Problem->text().contains("already there"))
      << again.Problem->text().toStdString();
  EXPECT_EQ(again.ChangedFile(), "");

  TLearnDialog noise(nullptr, {}, {{100, 30, 240}}, 50, "", user);
  noise.NameEdit->setText("Noise");
  EXPECT_FALSE(noise.AddButton->isEnabled());
  EXPECT_TRUE(noise.Problem->text().contains("could be read"));
}

TEST(LearnWindow, LearningFromTheWindowDecodesItsPacketsByTheNewName) {
  TDataHome home;
  TWindowRig rig;
  ShowUnknownRemote(rig, {0x10, 0x20, 0x30});
  QTimer::singleShot(0, [] {
    auto* dialog = dynamic_cast<TLearnDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    dialog->NameEdit->setText("Fireplace");
    dialog->AddButton->click();
  });
  rig.Gui->LearnProtocol->trigger();
  const std::string user = (home.Dir / "vorlent" / "protocols.xml").string();
  ASSERT_TRUE(fs::exists(user));
  EXPECT_TRUE(rig.Gui->statusBar()->currentMessage().contains(QString::fromStdString(user)));
  for (int row = 1; row <= 3; ++row) EXPECT_EQ(rig.Gui->SamplesGrid->Cell(1, row), "Fireplace");
  EXPECT_NE(rig.Gui->SamplesGrid->Cell(2, 1), rig.Gui->SamplesGrid->Cell(2, 2));
  EXPECT_TRUE(rig.Gui->LibraryPanel->text().contains(QString::fromStdString(user)));
}
