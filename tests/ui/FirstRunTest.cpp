// What a newcomer meets: where the library comes from, imported packets' times, an import that
// finds nothing, small screens, the dialogs' folders and a machine without a display.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "TGraph.h"
#include "TGridView.h"
#include "TStringGrid.h"
#include "TVorlentApplication.h"
#include "TestFiles.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
QString Q(const fs::path& Path) {
  return QString::fromStdString(Path.string());
}

// Replaces Rig's window with one whose library is searched in Folders.
void Reopen(TWindowRig& Rig, std::vector<std::string> Folders) {
  Rig.Gui.reset();
  auto dialogs = std::make_unique<TFakeDialogs>();
  auto sound = std::make_unique<TScriptedSoundSystem>();
  std::tie(Rig.Dialogs, Rig.Sound) = std::tuple(dialogs.get(), sound.get());
  Rig.Gui = std::make_unique<TMainWindow>(std::move(dialogs), std::move(sound), std::move(Folders));
}
}  // namespace

TEST(FirstRun, TheFirstLibraryFoundIsUsedShownOrReportedByName) {
  TWindowRig rig(nullptr);
  const fs::path a = rig.Dir / "a", b = rig.Dir / "b";
  fs::create_directories(a), fs::create_directories(b);
  Reopen(rig, {a, b});
  const QString looked = "protocols.xml was not found. Looked in:\n  " + Q(a) + "\n  " + Q(b);
  EXPECT_EQ(rig.Dialogs->Messages, std::vector<QString>{looked});
  EXPECT_EQ(rig.Gui->LibraryPanel->text(), "No protocol library loaded");
  rig.RecordNec({{1, 2}});
  EXPECT_EQ(rig.Gui->Mdescription->toPlainText().left(64 + looked.size()),
            "No protocol library is loaded, so no packet can be recognised.\n\n" + looked);

  std::ofstream(b / "protocols.xml") << ProtocolsXml;
  Reopen(rig, {a, b});
  EXPECT_TRUE(rig.Dialogs->Messages.empty());
  EXPECT_EQ(rig.Gui->LibraryPanel->text(), "Library: " + Q(b / "protocols.xml"));
  std::ofstream(a / "protocols.xml") << "<protocols><protocol name=\"x\">";
  Reopen(rig, {a, b});  // a broken one earlier in the order is reported, not skipped
  EXPECT_TRUE(rig.Dialogs->Messages.at(0).startsWith(Q(a / "protocols.xml") + ":\rError loading"));
}

TEST(FirstRun, ImportedPacketsShowTheirOffsetAndFileAndNothingFoundIsSaid) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  std::vector<uint8_t> pcm(BufferSize * 2, Quiet);
  Put(pcm, 24012, NecRuns(1, 2));  // 0.50025 s
  Put(pcm, 48048, NecRuns(3, 4));  // 1.001 s
  const std::string file = (rig.Dir / "two.wav").string();
  auto import = [&] {
    testfiles::WriteU8Wav(file, pcm);
    rig.Dialogs->Answers = {QString::fromStdString(file)};
    gui.ImportRecording->trigger();
    return rig.WaitForImport();
  };
  ASSERT_TRUE(import());
  EXPECT_EQ(gui.SamplesGrid->Cell(0, 1), "0:00:00.500");
  EXPECT_EQ(gui.SamplesGrid->Cell(0, 2), "0:00:01.001");
  EXPECT_EQ(gui.SamplesGrid->model()->index(1, 2).data(Qt::ToolTipRole).toString(),
            QString::fromStdString(file));
  EXPECT_TRUE(gui.Mdescription->toPlainText().startsWith(
      "Imported from " + QString::fromStdString(file) + " at 0:00:01.001.\n\nPulse distance"));

  for (uint8_t& value : pcm) value = static_cast<uint8_t>(255 - value);  // below the rest
  ASSERT_TRUE(import());
  EXPECT_TRUE(rig.Dialogs->Messages.at(0).startsWith("No infrared packets found in two.wav. If"));
  EXPECT_TRUE(rig.Dialogs->Messages.at(0).endsWith("idles high), try Invert input."));
}

TEST(FirstRun, TheWindowFitsSmallScreensTheGraphGivingUpHeightFirst) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  const QSize usual(1146, gui.menuBar()->sizeHint().height() + 699 + 21);
  EXPECT_EQ(gui.geometry(), QRect(QPoint(262, 152), usual));  // the test screen has room
  // 1280 x 720 at scale 1, 1920 x 1080 at scale 2, and a screen with a panel on top.
  for (QRect screen : {QRect(0, 0, 1280, 720), QRect(0, 0, 960, 540), QRect(0, 30, 960, 510)}) {
    gui.setGeometry(QRect(QPoint(262, 152), usual));
    gui.FitInto(screen);
    gui.show();
    TWindowRig::Pump();
    EXPECT_TRUE(screen.contains(QRect(gui.pos(), gui.size() + QSize(0, 32)))) << screen.height();
    for (QWidget* w : std::vector<QWidget*>{gui.SGprotocolData, gui.SamplesGrid, gui.statusBar()})
      EXPECT_TRUE(gui.rect().contains(QRect(w->mapTo(&gui, QPoint()), w->size())));
    EXPECT_GE(gui.Mdescription->height(), 40);
  }
  gui.resize(usual - QSize(0, 100));
  TWindowRig::Pump();
  EXPECT_EQ(gui.GroupBox2->height(), 205);
  EXPECT_EQ(gui.GB_details->geometry(), QRect(8, 276, 345, 323));
}

TEST(FirstRun, ImportOpensWhereTheLastFileWasPicked) {
  TWindowRig rig;
  rig.Dialogs->Answers = {Q(rig.Dir / "none.wav")};
  rig.Gui->ImportRecording->trigger();
  rig.WaitForImport();
  TWindowRig later;  // a later run
  later.Gui->ImportRecording->trigger();
  EXPECT_EQ(later.Dialogs->Asked.at(0).Title, "Import a recording or a code file");
  EXPECT_EQ(later.Dialogs->Asked.at(0).Folder, Q(rig.Dir));
}

// The built program, for real: one sentence and status 1, not Qt's abort.
TEST(FirstRun, WithoutADisplayTheWindowSaysSoInsteadOfAborting) {
  FILE* pipe = popen(
      "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" VORLENT_WINDOW_BINARY "' 2>&1", "r");
  char said[512] = {};
  const size_t length = fread(said, 1, sizeof said - 1, pipe);
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), TVorlentApplication::NoDisplayStatus);
  EXPECT_EQ(std::string(said, length).substr(0, 59),
            "vorlent: there is no display to open the window on (neither");
}
