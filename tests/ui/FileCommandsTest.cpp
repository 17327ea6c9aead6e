#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QUrl>
#include <iterator>

#include "TAboutBox.h"
#include "TGraph.h"
#include "TGridView.h"
#include "TStringGrid.h"
#include "UiTestSupport.h"

using namespace ui_test;
using Texts = std::vector<QString>;

namespace {
QString InDir(const TWindowRig& Rig, const char* Name) {
  return QString::fromStdString((Rig.Dir / Name).string());
}
}  // namespace

TEST(FileCommands, SaveThenLoadGivesTheSamePacketsDecodedAnew) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.RecordNec({{1, 2}, {3, 4}, {5, 6}});
  std::vector<TSample> saved;
  for (auto& s : gui.Processor->Samples) {
    TSample copy;
    copy.Signal = ValuesOf(*s);
    copy.Duration = s->Duration;
    copy.Gap = s->Gap;
    copy.CaptureTime = s->CaptureTime;
    saved.push_back(std::move(copy));
  }
  rig.Dialogs->Answers = {InDir(rig, "set.map")};
  gui.SaveSamples->trigger();
  EXPECT_EQ(rig.Dialogs->Asked.back().Title, "Save samples (a .map and a .dat file)");
  EXPECT_EQ(rig.Dialogs->Asked.back().Filter, "Sample MAP files (*.map);;All files (*)");
  EXPECT_FALSE(rig.Dialogs->Asked.back().ConfirmOverwrite);
  EXPECT_TRUE(QFile::exists(InDir(rig, "set.map")));  // the chosen .map is the pair's base
  EXPECT_TRUE(QFile::exists(InDir(rig, "set.dat")));

  gui.ClearSamples->click();
  rig.RecordNec({{9, 9}});  // replaced by the load
  rig.Dialogs->Answers = {InDir(rig, "set.map")};
  gui.loadSamples->trigger();
  EXPECT_EQ(rig.Dialogs->Asked.back().Kind, "open");
  EXPECT_EQ(rig.Dialogs->Asked.back().Filter, "Sample MAP files (*.map);;All files (*)");
  ASSERT_EQ(gui.Processor->Samples.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    const TSample& s = rig.Sample(i);
    EXPECT_EQ(ValuesOf(s), saved[i].Signal);
    EXPECT_EQ(s.Duration, saved[i].Duration);
    EXPECT_EQ(s.Gap, saved[i].Gap);
    EXPECT_EQ(s.CaptureTime, saved[i].CaptureTime);
    ASSERT_TRUE(s.Protocol);
    EXPECT_EQ(s.Protocol->ProtocolName, "NEC");
  }
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 5);
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 1), "address=1; command=2; ");
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 3), "address=5; command=6; ");
  EXPECT_EQ(gui.SamplesGrid->Cell(0, 3), TMainWindow::TimeOfDayText(saved[2].CaptureTime));
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 4), "");
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 3);
  EXPECT_EQ(gui.SGprotocolData->Cell(1, 2), "6");
  EXPECT_EQ(gui.graph->ShownSample(), &rig.Sample(2));
  EXPECT_TRUE(rig.Dialogs->Errors.empty());
}

// The window keeps its packets' signals packed and saves them as the files always were: a pair
// written before signals were packed (two noisy phototransistor packets, a one-value packet and
// a packet of random values that no compression makes smaller) loads, is saved again byte for
// byte, and loads again with the same values.
TEST(FileCommands, APairWrittenBeforeIsSavedAgainByteForByte) {
  const std::string before = std::string(VORLENT_SOURCE_DIR) + "/tests/files/data/noisy-packets";
  const auto contents = [](const std::string& Name) {
    std::ifstream in(Name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  TSignalProcessor reader;
  const auto expected = reader.ReadSamples(before + ".map");
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.Dialogs->Answers = {QString::fromStdString(before + ".map")};
  gui.loadSamples->trigger();
  ASSERT_EQ(gui.Processor->Samples.size(), expected.size());
  for (const auto& sample : gui.Processor->Samples)
    EXPECT_EQ(sample->Signal.capacity(), 0u);  // packed, its room given back
  rig.Dialogs->Answers = {InDir(rig, "again.map")};
  gui.SaveSamples->trigger();
  for (const std::string extension : {".map", ".dat"}) {
    const std::string again = contents(InDir(rig, "again").toStdString() + extension);
    EXPECT_FALSE(again.empty());
    EXPECT_TRUE(again == contents(before + extension)) << extension;
  }
  rig.Dialogs->Answers = {InDir(rig, "again.map")};
  gui.loadSamples->trigger();
  ASSERT_EQ(gui.Processor->Samples.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(ValuesOf(rig.Sample(i)), expected[i]->Signal) << "packet " << i;
  EXPECT_EQ(gui.graph->Picture().width(), static_cast<int>(expected.back()->Signal.size()));
  EXPECT_TRUE(rig.Dialogs->Errors.empty());
  EXPECT_TRUE(rig.Dialogs->Messages.empty());
}

TEST(FileCommands, CancelledDialogsDoNothing) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}});
  rig.Gui->SaveSamples->trigger();
  rig.Gui->loadSamples->trigger();
  rig.Gui->exportGraph->trigger();
  EXPECT_EQ(rig.Dialogs->Asked.size(), 3u);
  EXPECT_EQ(rig.Gui->Processor->Samples.size(), 1u);
  EXPECT_TRUE(rig.Dialogs->Messages.empty());
  EXPECT_TRUE(rig.Dialogs->Errors.empty());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(rig.Dir), {}), 1);  // the xml
}

TEST(FileCommands, AMissingDataFileIsNamedAndNothingChanges) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}});
  rig.Dialogs->Answers = {"gone.map"};
  rig.Gui->loadSamples->trigger();
  EXPECT_EQ(rig.Dialogs->Messages,
            Texts{"Unable to open samples, file " + InDir(rig, "gone.dat") + " not found"});
  EXPECT_EQ(rig.Gui->Processor->Samples.size(), 1u);
  EXPECT_EQ(rig.Gui->SamplesGrid->RowCount(), 3);
}

// A load that fails loses nothing: list, grid, details and graph stay as they were.
TEST(FileCommands, AFailedLoadKeepsWhatWasShown) {
  struct Case {
    const char* Name;
    std::vector<char> Map, Dat;  // no .map file when Map is {'-'}
    const char* Error;           // %1 stands for the scratch folder
  };
  std::vector<char> record(24, 0);
  record[16] = 100;  // one signal of 100 bytes
  const std::vector<Case> cases = {
      {"no index file", {'-'}, {1, 2, 3}, "%1/bad.map: File not found."},
      {"data ends early", record, std::vector<char>(40, char(128)),
       "%1/bad.dat: Read beyond end of file (record 1 of %1/bad.map needs 100 bytes, 40 are "
       "left)"},
  };
  for (const Case& c : cases) {
    TWindowRig rig;
    TMainWindow& gui = *rig.Gui;
    rig.RecordNec({{1, 2}, {3, 4}});
    gui.SamplesGrid->SetCurrentRow(1);
    const TSample* shown = gui.graph->ShownSample();
    if (c.Map != std::vector<char>{'-'})
      std::ofstream(rig.Dir / "bad.map", std::ios::binary).write(c.Map.data(), c.Map.size());
    std::ofstream(rig.Dir / "bad.dat", std::ios::binary).write(c.Dat.data(), c.Dat.size());
    rig.Dialogs->Answers = {InDir(rig, "bad.map")};
    gui.loadSamples->trigger();
    EXPECT_EQ(rig.Dialogs->Errors, Texts{QString(c.Error).arg(QString::fromStdString(rig.Dir))})
        << c.Name;
    EXPECT_EQ(gui.Processor->Samples.size(), 2u) << c.Name;
    EXPECT_EQ(gui.SamplesGrid->RowCount(), 4) << c.Name;
    EXPECT_EQ(gui.SamplesGrid->Cell(2, 2), "address=3; command=4; ") << c.Name;
    EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 1) << c.Name;
    EXPECT_EQ(gui.SGprotocolData->Cell(1, 2), "2") << c.Name;
    EXPECT_EQ(gui.graph->ShownSample(), shown) << c.Name;
  }
}

// A partial last record is left out, and the user is told once the whole ones are listed.
TEST(FileCommands, APartialLastRecordIsReportedAfterLoadingTheWholeOnes) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}, {3, 4}});
  rig.Gui->Processor->SaveSamples((rig.Dir / "two").string());
  std::ofstream(rig.Dir / "two.map", std::ios::binary | std::ios::app).write("partial", 7);
  rig.Dialogs->Answers = {InDir(rig, "two.map")};
  rig.Dialogs->DuringMessage = [&] { EXPECT_EQ(rig.Gui->SamplesGrid->RowCount(), 4); };
  rig.Gui->loadSamples->trigger();
  EXPECT_EQ(rig.Dialogs->Messages,
            Texts{InDir(rig, "two.map") +
                  ": the last 7 bytes are not a whole 24-byte record and were left out; the 2 "
                  "whole records before them were loaded."});
}

TEST(FileCommands, LoadingAnEmptyPairLeavesAHeaderAndOneBlankRow) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.RecordNec({{1, 2}});
  std::ofstream(rig.Dir / "empty.map");
  std::ofstream(rig.Dir / "empty.dat");
  rig.Dialogs->Answers = {InDir(rig, "empty.map")};
  gui.loadSamples->trigger();
  EXPECT_TRUE(rig.Dialogs->Errors.empty());
  EXPECT_TRUE(gui.Processor->Samples.empty());
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 2);
  EXPECT_EQ(gui.SamplesGrid->Cell(1, 1), "");
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), -1);
  EXPECT_EQ(gui.LProtocolName->text(), "Please select a packet.");
  EXPECT_EQ(gui.graph->ShownSample(), nullptr);
}

TEST(FileCommands, AFailedSaveIsReportedWithAFullStop) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}});
  rig.Dialogs->Answers = {InDir(rig, "no-such-folder/x")};
  rig.Gui->SaveSamples->trigger();
  ASSERT_EQ(rig.Dialogs->Errors.size(), 1u);
  EXPECT_TRUE(rig.Dialogs->Errors[0].endsWith('.'));
  EXPECT_EQ(rig.Gui->Processor->Samples.size(), 1u);
}

TEST(FileCommands, ExportAsksBeforeReplacingAndWritesTheBmpName) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}});
  rig.Dialogs->Answers = {InDir(rig, "graph.png")};
  rig.Gui->exportGraph->trigger();
  const TFakeDialogs::TAsked& asked = rig.Dialogs->Asked.back();
  EXPECT_EQ(asked.Title, "Export graph image");
  EXPECT_EQ(asked.Filter, "Bitmap image (*.BMP) (*.bmp)");
  EXPECT_TRUE(asked.ConfirmOverwrite);
  QImage written(InDir(rig, "graph.bmp"));
  EXPECT_EQ(written.size(), QSize(static_cast<int>(rig.Sample(0).SignalLength()), 256));
  EXPECT_FALSE(QFile::exists(InDir(rig, "graph.png")));
  rig.Dialogs->Answers = {"/no-such-folder/graph.bmp"};
  rig.Gui->exportGraph->trigger();
  ASSERT_EQ(rig.Dialogs->Errors.size(), 1u);
  EXPECT_TRUE(
      rig.Dialogs->Errors[0].startsWith("Cannot create file \"/no-such-folder/graph.bmp\""));
}

TEST(FileCommands, CopyTimingFromTheMenu) {
  TWindowRig rig;
  rig.Gui->CopytimingtoClipboard1->trigger();
  EXPECT_EQ(rig.Dialogs->Messages,
            Texts{"There is nothing to copy to clipboard. Please open a sample first."});
  rig.RecordNec({{0, 0}});
  rig.Gui->CopytimingtoClipboard1->trigger();
  const QString text = QGuiApplication::clipboard()->text();
  EXPECT_TRUE(text.startsWith("2500\t9000\t4500\t562\t562\t562\t")) << text.toStdString();
  EXPECT_TRUE(text.endsWith("\t4979\t"));
}

TEST(AboutBox, OneInstanceNotModalOnTopWithItsTexts) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  gui.show();
  gui.About1->trigger();
  gui.About1->trigger();
  auto boxes = gui.findChildren<TAboutBox*>();
  ASSERT_EQ(boxes.size(), 1);
  TAboutBox* box = boxes[0];
  EXPECT_EQ(box, gui.aboutForm);
  EXPECT_TRUE(box->isVisible());
  EXPECT_FALSE(box->isModal());
  EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(box->windowTitle(), "About");
  EXPECT_EQ(box->size(), QSize(311, 231));
  EXPECT_EQ(box->StaticText1->text(), "Vorlent v1.1");
  EXPECT_EQ(box->StaticText2->text(), "\u00A9 2026 the Vorlent project");
  EXPECT_TRUE(
      box->aboutText->text().startsWith("Vorlent is a universal application for "
                                        "automatically decoding dozens of types"));
  EXPECT_TRUE(box->aboutText->text().endsWith("See the user's manual for more information."));
  EXPECT_FALSE(box->aboutText->text().contains("form a"));
  box->close();
  EXPECT_FALSE(box->isVisible());
  gui.About1->trigger();
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(gui.findChildren<TAboutBox*>().size(), 1);
  rig.RecordNec({{1, 2}});  // the main window goes on working
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 3);
  box->StaticText3Click();
  ASSERT_EQ(rig.Dialogs->Urls.size(), 1u);
  EXPECT_TRUE(rig.Dialogs->Urls[0].startsWith("file:///"));
  EXPECT_TRUE(rig.Dialogs->Urls[0].endsWith("/README.md"));
  EXPECT_TRUE(QFileInfo::exists(QUrl(rig.Dialogs->Urls[0]).toLocalFile()));
}
