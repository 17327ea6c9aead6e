#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>

#include "TGraph.h"
#include "TGridView.h"
#include "TPacketList.h"
#include "TProtocolRecognition.h"
#include "TStringGrid.h"
#include "TestFiles.h"
#include "UiTestSupport.h"

using namespace ui_test;
using Texts = std::vector<QString>;

namespace {
using Packets = std::vector<std::pair<uint8_t, uint8_t>>;
const char* const Filter =
    "Recordings and code files (*.wav *.flac *.aiff *.aif *.ogg *.au *.caf *.ir *.txt *.conf "
    "*.mode2);;All files (*)";

// PCM of two and a half capture buffers holding an NEC packet per (address, command), the
// first at value 1000 and each next one a buffer later.
std::vector<uint8_t> NecTrain(const Packets& List, bool Inverted = false) {
  std::vector<uint8_t> pcm(BufferSize * 5 / 2, Quiet);
  size_t at = 1000;
  for (auto [address, command] : List) {
    Put(pcm, at, NecRuns(address, command));
    at += BufferSize;
  }
  if (Inverted)
    for (uint8_t& value : pcm) value = static_cast<uint8_t>(255 - value);
  return pcm;
}

QString WriteWav(const TWindowRig& Rig, const char* Name, const std::vector<uint8_t>& Pcm) {
  const std::string path = (Rig.Dir / Name).string();
  testfiles::WriteU8Wav(path, Pcm);
  return QString::fromStdString(path);
}

QStringList Row(const TGridView* Grid, int Row) {
  QStringList cells;
  for (int c = 0; c < Grid->model()->columnCount(); ++c) cells << Grid->Cell(c, Row);
  return cells;
}

// Each row shows its first packet (Time to Gap, then Name and Source), every packet is listed
// once and in capture order (held keys fold into one row), and one blank row follows.
void ExpectRowsMirrorSamples(const TMainWindow& Gui) {
  const auto& samples = Gui.Processor->Samples;
  const auto& rows = Gui.PacketList->Rows();
  ASSERT_EQ(Gui.SamplesGrid->RowCount(), static_cast<int>(rows.size()) + 2);
  size_t next = 0;
  for (size_t r = 0; r < rows.size(); ++r) {
    for (int packet : Gui.PacketList->PacketsAt(static_cast<int>(r) + 1))
      EXPECT_EQ(packet, static_cast<int>(next++)) << r;
    const TSample& s = *samples[static_cast<size_t>(rows[r].First)];
    ASSERT_TRUE(s.Protocol) << r;
    QStringList cells = Row(Gui.SamplesGrid, static_cast<int>(r) + 1);
    cells.removeAt(static_cast<int>(TPacketList::TColumn::Repeats));
    EXPECT_EQ(cells,
              QStringList({TMainWindow::SampleTimeText(s),
                           QString::fromStdString(s.Protocol->ProtocolName),
                           QString::fromStdString(s.Protocol->GetDataText()),
                           TMainWindow::niceTimePeriod(s.Duration),
                           TMainWindow::niceTimePeriod(s.Gap), QString::fromStdString(s.Name),
                           QFileInfo(QString::fromStdString(s.Source)).fileName()}))
        << r;
  }
  EXPECT_EQ(next, samples.size());
  EXPECT_EQ(Row(Gui.SamplesGrid, Gui.SamplesGrid->RowCount() - 1).join(""), "");
}

QStringList DataColumn(const TMainWindow& Gui) {
  QStringList data;
  for (int r = 1; r < Gui.SamplesGrid->RowCount() - 1; ++r) data << Gui.SamplesGrid->Cell(2, r);
  return data;
}
}  // namespace

TEST(ImportRecording, PacketsAreDecodedListedAndTheLastShown) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.Dialogs->Answers = {WriteWav(rig, "train.wav", NecTrain({{1, 2}, {3, 4}, {5, 6}}))};
  gui.ImportRecording->trigger();
  EXPECT_TRUE(gui.ImportRunning());
  EXPECT_FALSE(gui.ImportRecording->isEnabled());
  ASSERT_TRUE(rig.WaitForImport());

  EXPECT_EQ(rig.Dialogs->Asked.back().Kind, "open");
  EXPECT_EQ(rig.Dialogs->Asked.back().Filter, Filter);
  ASSERT_EQ(gui.Processor->Samples.size(), 3u);
  ExpectRowsMirrorSamples(gui);
  EXPECT_EQ(DataColumn(gui), QStringList({"address=1; command=2; ", "address=3; command=4; ",
                                          "address=5; command=6; "}));
  // Times are offsets into the file.
  EXPECT_EQ(rig.Sample(1).StreamIndex, static_cast<int64_t>(1000 + BufferSize));
  EXPECT_EQ(gui.SamplesGrid->Cell(0, 2), "0:00:01.386");  // (1000 + 65534) / 48000 s
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 3);
  EXPECT_EQ(gui.LProtocolName->text(), "NEC");
  EXPECT_EQ(gui.SGprotocolData->Cell(1, 2), "6");
  EXPECT_EQ(gui.graph->ShownSample(), &rig.Sample(2));

  ASSERT_EQ(rig.Dialogs->Boxes.size(), 1u);
  const TFakeBox& box = *rig.Dialogs->Boxes[0];
  EXPECT_EQ(box.Text, "Importing train.wav...");
  EXPECT_FALSE(box.Open);
  ASSERT_EQ(box.Fractions.size(), 3u);  // one per buffer
  EXPECT_LT(box.Fractions[0], box.Fractions[1]);
  EXPECT_EQ(box.Fractions.back(), 1.0);
  EXPECT_TRUE(gui.ImportRecording->isEnabled());
  EXPECT_TRUE(rig.Dialogs->Errors.empty());
  EXPECT_TRUE(rig.Dialogs->Messages.empty());
}

TEST(ImportRecording, FollowsTheInvertInputBox) {
  struct Case {
    bool FileInverted, Checked;
    size_t Packets;
  };
  for (Case c : {Case{false, false, 2}, Case{true, true, 2}, Case{true, false, 0}}) {
    TWindowRig rig;
    rig.Gui->ChB_invertInput->setChecked(c.Checked);
    rig.Dialogs->Answers = {WriteWav(rig, "x.wav", NecTrain({{1, 2}, {3, 4}}, c.FileInverted))};
    rig.Gui->ImportRecording->trigger();
    ASSERT_TRUE(rig.WaitForImport());
    EXPECT_EQ(rig.Gui->Processor->Samples.size(), c.Packets) << c.FileInverted << c.Checked;
    ExpectRowsMirrorSamples(*rig.Gui);
  }
}

TEST(ImportRecording, AppendsAfterTheSamplesAlreadyListed) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.RecordNec({{9, 9}, {8, 8}});
  rig.Dialogs->Answers = {WriteWav(rig, "more.wav", NecTrain({{1, 2}, {3, 4}}))};
  gui.ImportRecording->trigger();
  ASSERT_TRUE(rig.WaitForImport());
  ASSERT_EQ(gui.Processor->Samples.size(), 4u);
  ExpectRowsMirrorSamples(gui);
  EXPECT_EQ(DataColumn(gui), QStringList({"address=9; command=9; ", "address=8; command=8; ",
                                          "address=1; command=2; ", "address=3; command=4; "}));
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 4);
  EXPECT_EQ(gui.graph->ShownSample(), &rig.Sample(3));
  // Live packets keep coming after the imported ones.
  rig.RecordNec({{7, 7}});
  ASSERT_EQ(gui.Processor->Samples.size(), 5u);
  ExpectRowsMirrorSamples(gui);
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 5);
}

// Live packets that close while the file is read and those of the file both keep the rows
// matching the list, whichever comes first.
TEST(ImportRecording, LiveRecordingGoesOnMeanwhile) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.Record();
  std::vector<uint8_t> pcm;
  for (int i = 0; i < 8; ++i) {
    auto part = NecTrain({{static_cast<uint8_t>(i), 1}});
    pcm.insert(pcm.end(), part.begin(), part.begin() + BufferSize);
  }
  rig.Dialogs->Answers = {WriteWav(rig, "long.wav", pcm)};
  gui.ImportRecording->trigger();
  rig.RecordNec({{100, 100}});
  rig.RecordNec({{101, 101}});
  ASSERT_TRUE(rig.WaitForImport());
  ASSERT_EQ(gui.Processor->Samples.size(), 10u);
  ExpectRowsMirrorSamples(gui);
  QStringList data = DataColumn(gui);
  EXPECT_LT(data.indexOf("address=100; command=100; "), data.indexOf("address=101; command=101; "));
  const int first = data.indexOf("address=0; command=1; ");  // the file's packets stay together
  for (int i = 1; i < 8; ++i)
    EXPECT_EQ(data.indexOf(QString("address=%1; command=1; ").arg(i)), first + i);
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 10);
  EXPECT_EQ(gui.graph->ShownSample(), &rig.Sample(9));
}

// A file that cannot be read is named with the reason and changes nothing.
TEST(ImportRecording, AnUnreadableFileIsReportedAndChangesNothing) {
  struct Case {
    const char* Name;
    std::string Content;  // no file when empty
    const char* Reason;
  };
  const std::vector<Case> cases = {
      {"garbage.wav", "this is not a recording at all, just some text",
       "neither an audio recording nor a Flipper .ir, Pronto Hex, lircd.conf or mode2 file."},
      {"missing.wav", "", "No such file or directory."},
  };
  for (const Case& c : cases) {
    TWindowRig rig;
    TMainWindow& gui = *rig.Gui;
    rig.RecordNec({{1, 2}, {3, 4}});
    gui.SamplesGrid->SetCurrentRow(1);
    const TSample* shown = gui.graph->ShownSample();
    const std::string path = (rig.Dir / c.Name).string();
    if (!c.Content.empty()) testfiles::WriteText(path, c.Content);
    rig.Dialogs->Answers = {QString::fromStdString(path)};
    gui.ImportRecording->trigger();
    ASSERT_TRUE(rig.WaitForImport());
    EXPECT_EQ(rig.Dialogs->Errors, Texts{QString::fromStdString(path + ": " + c.Reason)});
    EXPECT_EQ(gui.Processor->Samples.size(), 2u) << c.Name;
    ExpectRowsMirrorSamples(gui);
    EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 1) << c.Name;
    EXPECT_EQ(gui.SGprotocolData->Cell(1, 2), "2") << c.Name;
    EXPECT_EQ(gui.graph->ShownSample(), shown) << c.Name;
    EXPECT_FALSE(rig.Dialogs->Boxes.at(0)->Open);
    EXPECT_TRUE(gui.ImportRecording->isEnabled());
  }
}

// A recording cut short adds the packets before the cut, then says where the file ended.
TEST(ImportRecording, ACutRecordingAddsWhatIsThereThenSaysSo) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  const QString file = WriteWav(rig, "cut.wav", NecTrain({{5, 6}, {7, 8}}));
  std::filesystem::resize_file(file.toStdString(), 44 + BufferSize * 3 / 2);
  rig.Dialogs->Answers = {file};
  gui.ImportRecording->trigger();
  ASSERT_TRUE(rig.WaitForImport());
  EXPECT_EQ(DataColumn(gui), QStringList({"address=5; command=6; ", "address=7; command=8; "}));
  EXPECT_EQ(rig.Dialogs->Errors,
            Texts{file + ": the file ends early at 0:00:02.048 (of 0:00:03.413)"});
}

// Cancelling at the first progress, or at the last one (the file is read by then, the packets
// are on their way), adds nothing; the next import works.
TEST(ImportRecording, ACancelledImportAddsNothingAndTheNextOneWorks) {
  for (auto [cancelAt, updates] : {std::pair{0.0, 1u}, std::pair{1.0, 3u}}) {
    TWindowRig rig;
    TMainWindow& gui = *rig.Gui;
    rig.RecordNec({{1, 2}});
    const QString file = WriteWav(rig, "train.wav", NecTrain({{5, 6}, {7, 8}}));
    rig.Dialogs->Answers = {file};
    rig.Dialogs->CancelAt = cancelAt;
    gui.ImportRecording->trigger();
    ASSERT_TRUE(rig.WaitForImport());
    EXPECT_EQ(gui.Processor->Samples.size(), 1u) << cancelAt;
    ExpectRowsMirrorSamples(gui);
    EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 1);
    EXPECT_FALSE(rig.Dialogs->Boxes.at(0)->Open);
    EXPECT_EQ(rig.Dialogs->Boxes.at(0)->Fractions.size(), updates);  // none once cancelled
    EXPECT_TRUE(rig.Dialogs->Errors.empty());

    rig.Dialogs->CancelAt = 2;
    rig.Dialogs->Answers = {file};
    gui.ImportRecording->trigger();
    ASSERT_TRUE(rig.WaitForImport());
    EXPECT_EQ(DataColumn(gui), QStringList({"address=1; command=2; ", "address=5; command=6; ",
                                            "address=7; command=8; "}));
  }
}

TEST(ImportRecording, ACancelledFileDialogDoesNothing) {
  TWindowRig rig;
  rig.Gui->ImportRecording->trigger();
  EXPECT_FALSE(rig.Gui->ImportRunning());
  EXPECT_EQ(rig.Dialogs->Asked.size(), 1u);
  EXPECT_TRUE(rig.Dialogs->Boxes.empty());
  EXPECT_TRUE(rig.Gui->Processor->Samples.empty());
}

// Closing the window ends a running import: its box goes at once and nothing is added; the
// window can also be destroyed while the file is being read.
TEST(ImportRecording, ClosingTheWindowEndsAnImport) {
  for (bool destroy : {false, true}) {
    TWindowRig rig;
    std::vector<uint8_t> pcm = NecTrain({{1, 2}});
    pcm.resize(BufferSize * 200, Quiet);
    rig.Dialogs->Answers = {WriteWav(rig, "long.wav", pcm)};
    rig.Gui->ImportRecording->trigger();
    EXPECT_TRUE(rig.Gui->ImportRunning());
    const std::shared_ptr<TFakeBox> box = rig.Dialogs->Boxes.at(0);  // the fakes go with Gui
    if (destroy) {
      rig.Gui.reset();
      EXPECT_FALSE(box->Open);
      continue;
    }
    rig.Gui->Exit->trigger();
    EXPECT_FALSE(box->Open);
    ASSERT_TRUE(rig.WaitForImport());
    EXPECT_TRUE(rig.Gui->Processor->Samples.empty());
    EXPECT_EQ(rig.Gui->SamplesGrid->RowCount(), 2);
  }
}

// The shipped example through the shipped protocol library: 16-bit stereo at 44.1 kHz.
TEST(ImportRecording, TheExampleRecordingWithTheShippedProtocols) {
  std::ifstream shipped(std::string(VORLENT_DATA_DIR) + "/protocols.xml");
  const std::string xml((std::istreambuf_iterator<char>(shipped)), {});
  TWindowRig rig(xml.c_str());
  TMainWindow& gui = *rig.Gui;
  rig.Dialogs->Answers = {QString(VORLENT_SOURCE_DIR) + "/examples/remotes-44k1-16bit-stereo.wav"};
  gui.ImportRecording->trigger();
  ASSERT_TRUE(rig.WaitForImport());
  QStringList protocols;
  for (int r = 1; r < gui.SamplesGrid->RowCount() - 1; ++r)
    protocols << gui.SamplesGrid->Cell(1, r);
  // Sony12 sends each press three times: one row, folded.
  EXPECT_EQ(protocols, QStringList({"NEC", "Sony12", "RC5", "RC5", "Samsung32", "NEC"}));
  EXPECT_TRUE(gui.SamplesGrid->Cell(6, 2).startsWith("×3, "));
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 6),
            "address=4; address_inv=251; command=16; command_inv=239; ");
  ExpectRowsMirrorSamples(gui);
}

// The real progress box: its text and bar, a Cancel that reaches the window, gone when closed.
TEST(ImportRecording, QtProgressBox) {
  QWidget owner;
  TQtDialogs dialogs(&owner);
  int cancels = 0;
  auto progress = dialogs.OpenProgress("Importing a.wav...", [&] { ++cancels; });
  auto* box = owner.findChild<QProgressDialog*>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->labelText(), "Importing a.wav...");
  EXPECT_FALSE(box->isModal());
  progress->SetFraction(0.25);
  EXPECT_EQ(box->value(), 250);
  progress->SetFraction(7);
  EXPECT_EQ(box->value(), 1000);
  progress->SetFraction(std::nan(""));
  EXPECT_EQ(box->value(), 0);
  box->show();
  box->findChild<QPushButton*>()->click();
  EXPECT_EQ(cancels, 1);
  EXPECT_FALSE(box->isVisible());
  progress->SetFraction(0.5);
  EXPECT_FALSE(box->isVisible());
  progress.reset();
  EXPECT_EQ(owner.findChild<QProgressDialog*>(), nullptr);
}
