// What a newcomer meets: where the library comes from, imported packets' times, an import that
// finds nothing, the window on small screens and the folders the file dialogs open in.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStatusBar>
#include <cstdio>
#include <optional>

#include "TLastFolder.h"
#include "TStringGrid.h"
#include "TVorlentApplication.h"
#include "TestFiles.h"
#include "U_graph.h"
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
  Rig.Dialogs = dialogs.get();
  Rig.Sound = sound.get();
  Rig.Gui = std::make_unique<Tgui>(std::move(dialogs), std::move(sound), std::move(Folders));
}
}  // namespace

TEST(FirstRun, TheFirstLibraryFoundIsUsedAndShown) {
  TWindowRig rig(nullptr);
  const fs::path user = rig.Dir / "user", beside = rig.Dir / "beside";
  fs::create_directories(user);
  fs::create_directories(beside);
  std::ofstream(beside / "protocols.xml") << ProtocolsXml;
  Reopen(rig, {rig.Dir / "none", user, beside});
  EXPECT_TRUE(rig.Dialogs->Messages.empty());
  EXPECT_EQ(rig.Gui->LibraryFile(), (beside / "protocols.xml").string());
  EXPECT_EQ(rig.Gui->LibraryPanel->text(), "Library: " + Q(beside / "protocols.xml"));

  // A broken one earlier in the order is used, and reported by name: never skipped silently.
  std::ofstream(user / "protocols.xml") << "<protocols><protocol name=\"x\">";
  Reopen(rig, {rig.Dir / "none", user, beside});
  ASSERT_EQ(rig.Dialogs->Messages.size(), 1u);
  EXPECT_TRUE(rig.Dialogs->Messages[0].startsWith(
      Q(user / "protocols.xml") + ":\rError loading XML document.\rError number: -14"))
      << rig.Dialogs->Messages[0].toStdString();
  EXPECT_EQ(rig.Gui->LibraryFile(), "");
  EXPECT_EQ(rig.Gui->LibraryPanel->text(), "No protocol library loaded");
}

TEST(FirstRun, WithoutALibraryEveryPlaceTriedIsNamedAndTheDetailsSaySo) {
  TWindowRig rig(nullptr);
  Reopen(rig, {rig.Dir / "a", rig.Dir / "b"});
  ASSERT_EQ(rig.Dialogs->Messages.size(), 1u);
  const QString looked =
      "protocols.xml was not found. Looked in:\n  " + Q(rig.Dir / "a") + "\n  " + Q(rig.Dir / "b");
  EXPECT_EQ(rig.Dialogs->Messages[0], looked);
  rig.RecordNec({{1, 2}});
  EXPECT_EQ(rig.Gui->LProtocolName->text(), "unknown");
  EXPECT_TRUE(rig.Gui->Mdescription->toPlainText().startsWith(
      "No protocol library is loaded, so no packet can be recognised.\n\n" + looked))
      << rig.Gui->Mdescription->toPlainText().toStdString();
}

TEST(FirstRun, ImportedPacketsShowTheirOffsetAndFileAndAnEmptyImportIsReported) {
  TWindowRig rig;
  Tgui& gui = *rig.Gui;
  std::vector<uint8_t> pcm(BufferSize * 2, Quiet);
  Put(pcm, 48000 / 2 + 12, NecRuns(1, 2));  // at 0.50025 s
  Put(pcm, 48000 + 48, NecRuns(3, 4));      // at 1.001 s
  const std::string file = (rig.Dir / "two.wav").string();
  testfiles::WriteU8Wav(file, pcm);
  rig.Dialogs->Answers = {QString::fromStdString(file)};
  gui.ImportRecording->trigger();
  ASSERT_TRUE(rig.WaitForImport());
  EXPECT_EQ(gui.SamplesGrid->Cell(0, 1), "0:00:00.500");
  EXPECT_EQ(gui.SamplesGrid->Cell(0, 2), "0:00:01.001");
  EXPECT_EQ(gui.SamplesGrid->item(1, 2)->toolTip(), QString::fromStdString(file));
  EXPECT_TRUE(gui.Mdescription->toPlainText().startsWith(
      "Imported from " + QString::fromStdString(file) + " at 0:00:01.001.\n\nPulse distance"));
  // A live packet keeps its time of day and gets no tooltip.
  rig.RecordNec({{5, 6}});
  EXPECT_EQ(gui.SamplesGrid->Cell(0, 3), Tgui::TimeOfDayText(rig.Sample(2).CaptureTime));
  EXPECT_EQ(gui.SamplesGrid->item(2, 0)->toolTip(), "");
  EXPECT_TRUE(rig.Dialogs->Messages.empty());

  // Packets that sit below the resting level are not found; the hint depends on Invert input.
  for (uint8_t& value : pcm) value = static_cast<uint8_t>(255 - value);
  testfiles::WriteU8Wav(file, pcm);
  const struct {
    bool Invert;
    size_t Packets;
    const char* Message;
  } cases[] = {{false, 3,
                "No infrared packets found in two.wav. If the signal sits below the line's resting "
                "level (a receiver that idles high), try Invert input."},
               {true, 5, nullptr}};
  for (const auto& c : cases) {
    rig.Dialogs->Messages.clear();
    gui.ChB_invertInput->setChecked(c.Invert);
    rig.Dialogs->Answers = {QString::fromStdString(file)};
    gui.ImportRecording->trigger();
    ASSERT_TRUE(rig.WaitForImport());
    EXPECT_EQ(gui.Processor->Samples.size(), c.Packets);
    EXPECT_EQ(rig.Dialogs->Messages,
              c.Message ? std::vector<QString>{c.Message} : std::vector<QString>{});
  }
}

TEST(FirstRun, TheWindowFitsSmallScreensAndKeepsItsPlaceWhereItFits) {
  TWindowRig rig;
  Tgui& gui = *rig.Gui;
  EXPECT_EQ(gui.pos(), QPoint(262, 152));  // the 1920 x 1200 test screen has room
  const int menu = gui.menuBar()->sizeHint().height();
  EXPECT_EQ(gui.size(), QSize(1146, menu + 699 + 21));
  // 1280 x 720 at scale 1, and 1920 x 1080 at scale 2 in device-independent pixels.
  for (QRect screen : {QRect(0, 0, 1280, 720), QRect(0, 0, 960, 540), QRect(100, 30, 960, 510)}) {
    gui.resize(1146, menu + 699 + 21);
    gui.move(262, 152);
    gui.FitInto(screen);
    gui.show();
    TWindowRig::Pump();
    const QRect frame(gui.pos(), gui.size() + QSize(0, 32));  // a title bar's allowance
    EXPECT_TRUE(screen.contains(frame)) << screen.width() << "x" << screen.height();
    // Every control stays inside the window, the graph having given up height first.
    const std::vector<QWidget*> controls = {gui.ChB_invertInput, gui.SGprotocolData,
                                            gui.SamplesGrid, gui.statusBar()};
    for (QWidget* w : controls) {
      const QRect inWindow(w->mapTo(&gui, QPoint(0, 0)), w->size());
      EXPECT_TRUE(gui.rect().contains(inWindow)) << w->objectName().toStdString();
      EXPECT_GT(w->height(), 10);
    }
    EXPECT_GE(gui.graph->height(), 90);
    EXPECT_LT(gui.GroupBox2->height(), 305);
    EXPECT_GE(gui.Mdescription->height(), 40);
  }
  // The graph gives up height before the details and the samples do.
  gui.resize(1146, menu + 699 + 21 - 100);
  TWindowRig::Pump();
  EXPECT_EQ(gui.GroupBox2->height(), 205);
  EXPECT_EQ(gui.GB_details->geometry(), QRect(8, 276, 345, 323));
  EXPECT_EQ(gui.GB_Samples->geometry(), QRect(360, 212, 782, 387));
}

TEST(FirstRun, LoadAndImportOpenWhereTheLastFileWasPicked) {
  QSettings(TLastFolder::Organization, TLastFolder::Application).clear();
  TWindowRig rig;
  fs::create_directories(rig.Dir / "saved");
  fs::create_directories(rig.Dir / "audio");
  rig.Dialogs->Answers = {Q(rig.Dir / "saved" / "none.map"), Q(rig.Dir / "audio" / "none.wav")};
  rig.Gui->loadSamples->trigger();
  rig.Gui->ImportRecording->trigger();
  rig.WaitForImport();
  // A new window (a later run) opens each dialog in its own last folder.
  TWindowRig later;
  later.Gui->loadSamples->trigger();
  later.Gui->ImportRecording->trigger();
  const auto& asked = later.Dialogs->Asked;
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].Title, "Load samples (pick the .map file)");
  EXPECT_EQ(asked[0].Folder, Q(rig.Dir / "saved"));
  EXPECT_EQ(asked[1].Title, "Import a recording (audio file)");
  EXPECT_EQ(asked[1].Folder, Q(rig.Dir / "audio"));
  // A folder that is gone is not offered.
  fs::remove_all(rig.Dir / "audio");
  later.Gui->ImportRecording->trigger();
  EXPECT_EQ(later.Dialogs->Asked.back().Folder, "");
}

namespace {
// Sets (or with nullptr unsets) an environment variable for the scope.
class TEnv {
 public:
  TEnv(const char* VariableName, const char* Value) : Name(VariableName) {
    if (const char* old = getenv(Name)) Old = old;
    Value ? setenv(Name, Value, 1) : unsetenv(Name);
  }
  ~TEnv() { Old ? setenv(Name, Old->c_str(), 1) : unsetenv(Name); }

 private:
  const char* Name;
  std::optional<std::string> Old;
};
}  // namespace

TEST(FirstRun, WithoutADisplayTheWindowSaysSoInsteadOfAborting) {
  const struct {
    const char *Display, *Wayland, *Platform, *Argument;
    bool Missing;
  } cases[] = {{nullptr, nullptr, nullptr, nullptr, true},
               {"", "", nullptr, nullptr, true},
               {":0", nullptr, nullptr, nullptr, false},
               {nullptr, "wayland-0", nullptr, nullptr, false},
               {nullptr, "wayland-0", "xcb", nullptr, true},
               {":0", nullptr, "wayland", nullptr, true},
               {nullptr, nullptr, "offscreen", nullptr, false},
               {nullptr, nullptr, nullptr, "offscreen", false},
               {":0", nullptr, "offscreen", "xcb:foo", false},
               {nullptr, nullptr, "offscreen", "xcb", true}};
  for (const auto& c : cases) {
    TEnv display("DISPLAY", c.Display), wayland("WAYLAND_DISPLAY", c.Wayland),
        platform("QT_QPA_PLATFORM", c.Platform);
    std::vector<const char*> argv = {"vorlent"};
    if (c.Argument) argv.insert(argv.end(), {"-platform", c.Argument});
    const std::string text =
        TVorlentApplication::MissingDisplay(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(!text.empty(), c.Missing)
        << (c.Platform ? c.Platform : "-") << " " << (c.Argument ? c.Argument : "-");
  }
  // The built program, for real: one sentence and status 1, not Qt's abort.
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" +
                              std::string(VORLENT_WINDOW_BINARY) + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string said;
  char chunk[512];
  while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) said.append(chunk, n);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), TVorlentApplication::NoDisplayStatus);
  EXPECT_EQ(said,
            "vorlent: there is no display to open the window on (neither DISPLAY nor "
            "WAYLAND_DISPLAY is set). Start it in a desktop session, or on a virtual display "
            "with \"xvfb-run -a vorlent\"; vorlent-decode decodes recordings without a "
            "display.\n");
}
