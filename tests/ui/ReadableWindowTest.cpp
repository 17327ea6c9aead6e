// The window as a user meets it: readable matches, keyboard and dialogs, the packet list's
// names, folding, sorting and filtering, the level meter and the graph at small sizes.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <sstream>

#include "TElidedLabel.h"
#include "TExportMemory.h"
#include "TGridView.h"
#include "TInputMenu.h"
#include "TLevelMeter.h"
#include "TMatchStyle.h"
#include "TPacketList.h"
#include "TPacketListControls.h"
#include "TSettingsDialog.h"
#include "TWindowCommandLine.h"
#include "UiTestSupport.h"

TEST(MatchStyle, MarkedKindsAreReadableAndNamedOnce) {
  const QColor base = QApplication::palette().color(QPalette::Base);
  for (const TMatchStyle& style : TMatchStyle::All()) {
    if (style.Plain()) continue;
    EXPECT_GE(TMatchStyle::Contrast(style.Colour, base), TMatchStyle::MinimumContrast);
    EXPECT_TRUE(style.Italic && &TMatchStyle::For(style.Kind) == &style) << style.Word;
  }
  // The grey the list used to show them in is refused by the same measure.
  EXPECT_LT(TMatchStyle::Contrast(QColor(0xC3, 0xC3, 0xC3), Qt::white),
            TMatchStyle::MinimumContrast);
  EXPECT_DOUBLE_EQ(TMatchStyle::Contrast(Qt::black, Qt::white), 21.0);
  const std::vector<std::pair<std::string, QString>> notes = {
      {"likely: marks +60 µs", "Likely match: marks +60 µs"},
      {"Likely:   scaled", "Likely match: scaled"},
      {"marks 60 µs longer", "Likely match: marks 60 µs longer"},
      {"likely:", "Likely match."},
      {"likelyhood high", "Likely match: likelyhood high"}};
  for (const auto& [note, heading] : notes)
    EXPECT_EQ(TMatchStyle::For(TProtocol::TMatch::Likely).Heading(note), heading);
}

// ---- The packet list: folding, sorting, filtering, the context menu ----

namespace {
using namespace ui_test;

const std::string WithRepeats = ProtocolsWith(R"(  <protocol name="NEC repeat">
    <packet><delimiter name="start">#9000_2250</delimiter><delimiter name="stop">#560</delimiter>
    </packet>
  </protocol>
)");

constexpr int RepeatKey = -1;  // a repeat frame in place of an (address, command)
constexpr size_t HalfPause = 108;

// Records one buffer of packets 10 ms apart: (address, command) pairs or repeat frames.
void RecordKeys(TWindowRig& Rig, const std::vector<int>& Keys) {
  if (!Rig.Gui->Processor->WaveIn->Recording) Rig.Record();
  auto buffer = QuietBuffer();
  size_t at = 1000;
  for (int key : Keys) {
    const auto runs = key == RepeatKey
                          ? std::vector<std::pair<uint8_t, size_t>>{{High, Leader},
                                                                    {Quiet, HalfPause},
                                                                    {High, Mark}}
                          : NecRuns(static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key));
    at = Put(buffer, at, runs) + 480;
  }
  Rig.Feed(buffer);
}

QStringList Column(const TMainWindow& Gui, TPacketList::TColumn Which) {
  QStringList cells;
  for (int r = 1; r + 1 < Gui.SamplesGrid->RowCount(); ++r)
    cells << Gui.SamplesGrid->Cell(static_cast<int>(Which), r);
  return cells;
}

struct TFoldCase {
  std::vector<int> Keys;
  std::vector<size_t> Rows;  // packets per row, folded
};

class Folding : public testing::TestWithParam<TFoldCase> {};
}  // namespace

TEST_P(Folding, HeldKeysShareARowAndUnfoldToEveryPacket) {
  TWindowRig rig(WithRepeats.c_str());
  RecordKeys(rig, GetParam().Keys);
  TMainWindow& gui = *rig.Gui;
  ASSERT_EQ(gui.Processor->Samples.size(), GetParam().Keys.size());
  EXPECT_TRUE(gui.FoldRepeats->isChecked());
  const QStringList repeats = Column(gui, TPacketList::TColumn::Repeats);
  std::vector<size_t> rows;
  for (const auto& row : gui.PacketList->Rows()) {
    rows.push_back(static_cast<size_t>(row.Count));
    const QString cell = repeats.value(static_cast<int>(rows.size()) - 1);
    EXPECT_TRUE(row.Count > 1 ? cell.startsWith(QString("×%1, ").arg(row.Count)) : cell.isEmpty())
        << cell.toStdString();
  }
  EXPECT_EQ(rows, GetParam().Rows);
  gui.FoldRepeats->trigger();  // unfolded: every packet has its row, in capture order
  EXPECT_EQ(Column(gui, TPacketList::TColumn::Repeats).size(),
            static_cast<int>(GetParam().Keys.size()));
  EXPECT_EQ(gui.PacketList->PacketAt(gui.SamplesGrid->RowCount() - 2),
            static_cast<int>(GetParam().Keys.size()) - 1);
  gui.FoldRepeats->trigger();
  EXPECT_EQ(Column(gui, TPacketList::TColumn::Repeats), repeats);

  // Saving writes every packet, folded or not.
  rig.Dialogs->Answers = {QString::fromStdString((rig.Dir / "held").string())};
  gui.SaveSamples->trigger();
  EXPECT_EQ(gui.Processor->ReadSamples((rig.Dir / "held.map").string()).size(),
            GetParam().Keys.size());
}

INSTANTIATE_TEST_SUITE_P(Keys, Folding,
                         testing::Values(TFoldCase{{0x0102, 0x0102, 0x0102}, {3}},
                                         TFoldCase{{0x0102, RepeatKey, RepeatKey, RepeatKey}, {4}},
                                         TFoldCase{{0x0102, 0x0102, 0x0304, 0x0102}, {2, 1, 1}},
                                         TFoldCase{{RepeatKey, 0x0102}, {1, 1}},
                                         TFoldCase{{0x0102, 0x0103}, {1, 1}}));

TEST(PacketList, AFoldedRowShowsTheHeldTime) {
  TWindowRig rig(WithRepeats.c_str());
  RecordKeys(rig, {0x0102, RepeatKey, RepeatKey});
  const auto& samples = rig.Gui->Processor->Samples;
  const TPacketList::TRow& row = rig.Gui->PacketList->Rows().at(0);
  EXPECT_EQ(rig.Gui->PacketList->PacketsAt(1), (std::vector<int>{0, 1, 2}));
  const double held = samples[0]->Duration + samples[1]->Gap + samples[1]->Duration +
                      samples[2]->Gap + samples[2]->Duration;
  EXPECT_NEAR(row.HeldSeconds, held, 1e-6);
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(static_cast<int>(TPacketList::TColumn::Repeats), 1),
            "×3, " + TMainWindow::niceTimePeriod(static_cast<float>(held)));
}

namespace {
// Keys recorded a buffer at a time, each early or late in its buffer: a late packet and the
// next buffer's early one are a held key's frames (under 0.1 s apart), so rows grow across
// buffers. The listing built packet by packet must be the one built anew.
struct TGrowCase {
  std::vector<std::vector<std::pair<bool, int>>> Buffers;  // (late, key) in each buffer
  const char* Filter;
  std::vector<size_t> Rows;  // packets per listed row
};
class GrowingRows : public testing::TestWithParam<TGrowCase> {};

constexpr size_t EarlyAt = 1000, LateAt = BufferSize - 6000;

std::vector<std::vector<int>> Listed(const TPacketList& List) {
  std::vector<std::vector<int>> rows;
  for (int r = 1; r <= static_cast<int>(List.Rows().size()); ++r) rows.push_back(List.PacketsAt(r));
  return rows;
}
}  // namespace

TEST_P(GrowingRows, RowsGrowAsPacketsArriveAsIfListedAnew) {
  TWindowRig rig(WithRepeats.c_str());
  TMainWindow& gui = *rig.Gui;
  rig.Record();
  QTest::keyClicks(gui.FilterBox, GetParam().Filter);
  for (const auto& keys : GetParam().Buffers) {
    auto buffer = QuietBuffer();
    for (auto [late, key] : keys) {
      const auto runs = key == RepeatKey
                            ? std::vector<std::pair<uint8_t, size_t>>{{High, Leader},
                                                                      {Quiet, HalfPause},
                                                                      {High, Mark}}
                            : NecRuns(static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key));
      Put(buffer, late ? LateAt : EarlyAt, runs);
    }
    rig.Feed(buffer);
    const int last = static_cast<int>(gui.Processor->Samples.size()) - 1;
    EXPECT_EQ(gui.SamplesGrid->CurrentRow(), gui.PacketList->RowOf(last));  // follows the newest
  }
  const auto grown = Listed(*gui.PacketList);
  std::vector<size_t> sizes;
  for (const auto& row : grown) sizes.push_back(row.size());
  EXPECT_EQ(sizes, GetParam().Rows);
  const int rows = static_cast<int>(grown.size());
  ASSERT_EQ(gui.SamplesGrid->RowCount(), rows + 2);
  for (int r = 1; r <= rows; ++r) {
    const int first = grown[static_cast<size_t>(r - 1)].front();
    EXPECT_EQ(gui.SamplesGrid->Cell(2, r),
              QString::fromStdString(gui.Processor->Samples[first]->Protocol->GetDataText()));
  }
  EXPECT_EQ(gui.SamplesGrid->Cell(2, rows + 1), "");
  gui.UpdateSamplesGrid();  // listed anew
  EXPECT_EQ(Listed(*gui.PacketList), grown);
}

INSTANTIATE_TEST_SUITE_P(
    Buffers, GrowingRows,
    testing::Values(
        TGrowCase{{{{true, 0x0102}}, {{false, RepeatKey}, {true, RepeatKey}}, {{false, 0x0304}}},
                  "",
                  {2, 1, 1}},
        TGrowCase{{{{true, 0x0102}}, {{false, RepeatKey}}, {{false, 0x0304}}}, "command=2", {2}},
        TGrowCase{{{{false, 0x0304}, {true, 0x0102}}, {{false, 0x0102}, {true, 0x0102}}},
                  "command=2",
                  {2, 1}},
        TGrowCase{{{{false, 0x0304}, {true, 0x0102}}, {{false, RepeatKey}}}, "command=4", {1}},
        TGrowCase{
            {{{true, 0x0102}}, {{false, 0x0102}, {true, 0x0102}}, {{false, 0x0102}}}, "", {2, 2}}));

// Cells outside the rows, columns or header are blank, also for a list whose packets are gone.
TEST(PacketList, CellsOutsideTheGridAreBlank) {
  TWindowRig rig;
  rig.RecordNec({{1, 2}});
  TMainWindow& gui = *rig.Gui;
  const TGridView& grid = *gui.SamplesGrid;
  const std::pair<int, int> outside[] = {
      {-1, 1}, {TPacketList::Columns, 1}, {0, 2}, {0, 3}, {0, -1},
      {-1, 0}, {TPacketList::Columns, 0}};
  for (auto [column, row] : outside) {
    EXPECT_EQ(grid.Cell(column, row), "") << column << ", " << row;
    EXPECT_FALSE(grid.CellColour(column, row).isValid()) << column << ", " << row;
  }
  EXPECT_EQ(grid.Cell(0, 0), "Time");
  EXPECT_FALSE(gui.PacketList->data(gui.PacketList->index(5, 0), Qt::DisplayRole).isValid());
  gui.Processor->Samples.clear();  // the list still has its row until it is listed anew
  EXPECT_EQ(grid.Cell(2, 1), "");
  gui.UpdateSamplesGrid();
  EXPECT_EQ(grid.RowCount(), 2);
}

namespace {
struct TSortCase {
  TPacketList::TColumn By;
  int Clicks;
  QStringList Data;  // the Data column after sorting
};
class Sorting : public testing::TestWithParam<TSortCase> {};

void ClickHeader(QTableView& Grid, int Column) {
  QHeaderView* header = Grid.horizontalHeader();
  QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                    QPoint(header->sectionViewportPosition(Column) + 4, header->height() / 2));
}
}  // namespace

TEST_P(Sorting, AHeaderClickSortsAndASecondReverses) {
  TWindowRig rig;
  rig.Gui->FoldRepeats->setChecked(false);
  rig.RecordNec({{3, 1}, {1, 2}, {2, 2}, {1, 2}});
  rig.Gui->show();
  for (int i = 0; i < GetParam().Clicks; ++i)
    ClickHeader(*rig.Gui->SamplesGrid, static_cast<int>(GetParam().By));
  QStringList data;
  for (const QString& cell : Column(*rig.Gui, TPacketList::TColumn::Data))
    data << cell.section(';', 0, 1).remove("address=").remove(" command=");
  EXPECT_EQ(data, GetParam().Data);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, Sorting,
    testing::Values(TSortCase{TPacketList::TColumn::Data, 1, {"1;2", "1;2", "2;2", "3;1"}},
                    TSortCase{TPacketList::TColumn::Data, 2, {"3;1", "2;2", "1;2", "1;2"}},
                    TSortCase{TPacketList::TColumn::Time, 1, {"3;1", "1;2", "2;2", "1;2"}},
                    TSortCase{TPacketList::TColumn::Time, 2, {"1;2", "2;2", "1;2", "3;1"}}));

TEST(PacketList, TheFilterListsMatchingRowsAndTheMenuCopiesAndDeletes) {
  TWindowRig rig;
  rig.RecordNec({{3, 1}, {1, 2}, {2, 2}});
  TMainWindow& gui = *rig.Gui;
  QTest::keyClicks(gui.FilterBox, "COMMAND=2");
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 4);  // header, two rows, blank
  EXPECT_EQ(gui.PacketList->PacketAt(1), 1);
  gui.FilterBox->clear();
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 5);

  gui.SamplesGrid->SetCurrentRow(2);
  QMenu* menu = gui.ListControls->ContextMenu(&gui);
  QStringList captions;
  for (QAction* action : menu->actions())
    if (!action->isSeparator()) captions << action->text();
  EXPECT_EQ(captions,
            QStringList({"&Copy row", "Copy &timing", "&Delete", "&Export selection..."}));
  menu->actions().at(0)->trigger();  // the real clipboard
  EXPECT_EQ(QApplication::clipboard()->text(), gui.PacketList->RowText(2) + "\n");
  EXPECT_TRUE(QApplication::clipboard()->text().contains("address=1; command=2;"));
  menu->actions().at(3)->trigger();  // Delete
  ASSERT_EQ(gui.Processor->Samples.size(), 2u);
  EXPECT_EQ(gui.Processor->Samples[1]->Protocol->Fields[0].Value, 2u);
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 4);
  delete menu;
}

// ---- The level meter and its hints, from scripted input ----

namespace {
struct TLevelCase {
  const char* Name;
  uint8_t Pulse;  // the value of the pulses on a resting line of 128
  bool Invert, Automatic;
  const char* Hint;
};
class LevelHints : public testing::TestWithParam<TLevelCase> {};
}  // namespace

TEST_P(LevelHints, SayWhyNoPacketArrives) {
  TWindowRig rig;
  const TLevelCase& c = GetParam();
  TMainWindow& gui = *rig.Gui;
  gui.DecodeSettings.AutomaticLevel = c.Automatic;
  gui.ChB_invertInput->setChecked(c.Invert);
  rig.Record();
  auto buffer = QuietBuffer();
  for (size_t at = 1000; at + 2000 < buffer.size(); at += 4000) {
    for (size_t i = 0; i < 400; ++i) buffer[at + i] = c.Pulse;
  }
  rig.Feed(buffer);
  EXPECT_EQ(gui.LevelHint->text(), QString(c.Hint)) << c.Name;
  EXPECT_EQ(gui.LevelHint->isVisibleTo(&gui), *c.Hint != 0) << c.Name;
  const TInputLevel& level = gui.LevelMeter->Level();
  EXPECT_EQ(level.Resting(), c.Invert ? 127 : 128) << c.Name;
  const int shown = c.Invert ? 255 - c.Pulse : c.Pulse;
  EXPECT_EQ(std::max<int>(level.PeakHigh(), level.Resting()),
            std::max(shown, int{level.Resting()}));
  EXPECT_TRUE(gui.LevelMeter->toolTip().contains("rests at")) << c.Name;
  rig.Record();  // stopped: nothing to say
  EXPECT_TRUE(gui.LevelHint->isHidden());
  EXPECT_FALSE(level.Measured());
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, LevelHints,
    testing::Values(TLevelCase{"quiet", 128, false, false, ""},
                    TLevelCase{"weak", 139, false, false, TLevelMeter::BelowTriggerText},
                    TLevelCase{"weak, automatic level", 139, false, true, ""},
                    TLevelCase{"strong", 200, false, false, ""},
                    TLevelCase{"down", 60, false, false, TLevelMeter::InvertedText},
                    TLevelCase{"down, inverted", 60, true, false, ""},
                    TLevelCase{"up, inverted", 200, true, false, TLevelMeter::InvertedText}));

// ---- Keyboard and dialogs ----

TEST(Keyboard, EveryMenuHasDistinctAltKeys) {
  TWindowRig rig;
  QList<QList<QAction*>> groups = {rig.Gui->menuBar()->actions()};
  for (QAction* action : groups[0])
    if (action->menu()) groups << action->menu()->actions();
  ASSERT_GE(groups.size(), 4);
  for (const QList<QAction*>& group : groups) {
    QSet<QChar> keys;
    for (QAction* action : group) {
      const qsizetype at = action->text().indexOf('&');
      if (at < 0 || at + 1 >= action->text().size()) continue;
      const QChar key = action->text()[at + 1].toLower();
      EXPECT_FALSE(keys.contains(key)) << action->text().toStdString();
      keys.insert(key);
    }
  }
}

TEST(Keyboard, TheSettingsDialogsCaptionsTakeTheirAltKeys) {
  TSettingsDialog dialog(nullptr, TDecodeSettings());
  for (QLabel* label : dialog.findChildren<QLabel*>()) {
    if (!label->text().contains('&')) continue;
    EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
  }
  const auto captions = dialog.findChildren<QLabel*>();
  EXPECT_TRUE(std::any_of(captions.begin(), captions.end(), [&](QLabel* l) {
    return l->text() == "Trigger &level:" && l->buddy() == dialog.TriggerLevel;
  }));
  // Enter after Restore Defaults confirms the dialog instead of restoring again.
  dialog.show();
  dialog.EndSilence->setValue(20);
  dialog.RestoreDefaults->click();
  EXPECT_FALSE(dialog.RestoreDefaults->autoDefault());
  EXPECT_TRUE(dialog.Ok->isDefault());
  QTest::keyClick(dialog.RestoreDefaults, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Settings(), TDecodeSettings());
}

namespace {
struct TRefusedCase {
  std::function<void(TSettingsDialog&)> Type;
  const char* Named;  // in the note
  const char* FocusOn;
};
class RefusedValue : public testing::TestWithParam<TRefusedCase> {};
}  // namespace

TEST_P(RefusedValue, StaysAsTypedAndIsNamedWithItsRange) {
  TSettingsDialog dialog(nullptr, TDecodeSettings());
  dialog.show();
  GetParam().Type(dialog);
  EXPECT_TRUE(dialog.ProblemNote->isVisibleTo(&dialog));
  EXPECT_TRUE(dialog.ProblemNote->text().contains(GetParam().Named))
      << dialog.ProblemNote->text().toStdString();
  dialog.Ok->click();
  EXPECT_TRUE(dialog.isVisible());  // refused
  ASSERT_NE(dialog.focusWidget(), nullptr);
  EXPECT_EQ(dialog.focusWidget()->objectName(), GetParam().FocusOn);
  dialog.RestoreDefaults->click();
  EXPECT_TRUE(dialog.ProblemNote->isHidden());
  dialog.Ok->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RefusedValue,
    testing::Values(TRefusedCase{[](TSettingsDialog& d) {
                                   d.Tolerance->setFocus();
                                   d.Tolerance->selectAll();
                                   QTest::keyClicks(d.Tolerance, "5000");
                                 },
                                 "tolerance 5000 µs is not within 1..1000", "Tolerance"},
                    TRefusedCase{[](TSettingsDialog& d) { d.TriggerLevel->setValue(300); },
                                 "trigger level 300 is not within 130..255", "TriggerLevel"},
                    TRefusedCase{[](TSettingsDialog& d) { d.EndSilence->setValue(0.5); }, "0.5 ms",
                                 "EndSilence"}));

TEST(Keyboard, HelpAndVersionPrintAndExit) {
  const std::vector<std::pair<const char*, const char*>> cases = {
      {"--help", "Usage: vorlent"}, {"-h", "Usage: vorlent"}, {"--version", "vorlent 1."}};
  for (auto [option, start] : cases) {
    // No display: the window would refuse to open, so the answer comes from the option.
    const std::string command =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '") +
        VORLENT_WINDOW_BINARY + "' " + option + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    char said[2048] = {};
    const size_t length = fread(said, 1, sizeof said - 1, pipe);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 0) << option;
    EXPECT_EQ(std::string(said, length).rfind(start, 0), 0u) << option << ": " << said;
  }
  std::ostringstream out;
  const char* none[] = {"vorlent", "-platform", "offscreen"};
  EXPECT_FALSE(TWindowCommandLine::Answer(3, none, out).has_value());
  EXPECT_TRUE(out.str().empty());
}

TEST(ExportFormat, FollowsTheTypedExtension) {
  const QStringList formats = {"Flipper IR file (*.ir)", "Pronto Hex (*.txt)",
                               "LIRC configuration (*.conf)", "mode2 (*.mode2)"};
  const std::vector<std::tuple<const char*, int, int>> cases = {
      {"/x/tv.lircd.conf", 0, 2}, {"tv.IR", 3, 0}, {"tv", 3, 3}, {"tv.json", 1, 1}};
  for (auto [typed, chosen, expected] : cases)
    EXPECT_EQ(TExportMemory::FormatOfName(formats, typed, chosen), expected) << typed;
}

// The window: a typed extension decides the format; the dialog opens with the last choices
// in the last folder; each row names its signal and its file.
TEST(ExportAndNames, TheWindowFollowsTheExtensionAndRemembers) {
  std::ifstream in(std::string(VORLENT_DATA_DIR) + "/protocols.xml");
  const std::string library((std::istreambuf_iterator<char>(in)), {});
  TWindowRig rig(library.c_str());
  std::ofstream(rig.Dir / "remote.ir")
      << "Filetype: IR signals file\nVersion: 1\n#\nname: Power\ntype: parsed\nprotocol: NEC\n"
         "address: 04 00 00 00\ncommand: 08 00 00 00\n#\nname: Mute\ntype: parsed\n"
         "protocol: NEC\naddress: 04 00 00 00\ncommand: 09 00 00 00\n";
  rig.Dialogs->Answers.push_back(QString::fromStdString((rig.Dir / "remote.ir").string()));
  rig.Gui->ImportRecordingClick();
  ASSERT_TRUE(rig.WaitForImport());
  EXPECT_EQ(Column(*rig.Gui, TPacketList::TColumn::Name), QStringList({"Power", "Mute"}));
  EXPECT_EQ(Column(*rig.Gui, TPacketList::TColumn::Source),
            QStringList({"remote.ir", "remote.ir"}));
  EXPECT_EQ(rig.Gui->PanelText(2), "2 packets imported");
  rig.Gui->show();
  QApplication::processEvents();
  ClickHeader(*rig.Gui->SamplesGrid, static_cast<int>(TPacketList::TColumn::Source));
  EXPECT_EQ(Column(*rig.Gui, TPacketList::TColumn::Name), QStringList({"Power", "Mute"}));
  ClickHeader(*rig.Gui->SamplesGrid, static_cast<int>(TPacketList::TColumn::Name));
  EXPECT_EQ(Column(*rig.Gui, TPacketList::TColumn::Name), QStringList({"Mute", "Power"}));

  fs::create_directory(rig.Dir / "out");
  const QString typed = QString::fromStdString((rig.Dir / "out" / "tv.lircd.conf").string());
  rig.Dialogs->ExportAnswers.push_back({true, "", 38000, typed, 0});  // under the Flipper filter
  rig.Gui->ExportCodes->trigger();
  std::ifstream written(typed.toStdString());
  const std::string text((std::istreambuf_iterator<char>(written)), {});
  EXPECT_NE(text.find("begin remote"), std::string::npos) << text;
  rig.Gui->ExportCodes->trigger();  // cancelled: shows what it proposes
  const TExportCodesChoice& proposed = rig.Dialogs->ExportDefaults.back();
  EXPECT_TRUE(proposed.AllPackets);
  EXPECT_EQ(proposed.CarrierHz, 38000u);
  EXPECT_EQ(proposed.Format, 2);
  EXPECT_EQ(TExportMemory::Folder(), QString::fromStdString((rig.Dir / "out").string()));
}

// ---- The status bar and the Input menu ----

TEST(StatusBar, ALongLibraryPathLosesItsMiddleAndKeepsItAllInTheTooltip) {
  TWindowRig rig;
  auto* label = dynamic_cast<TElidedLabel*>(rig.Gui->LibraryPanel);
  ASSERT_NE(label, nullptr);
  TElidedLabel& panel = *label;
  const QString full = "Library: " + QString::fromStdString((rig.Dir / "protocols.xml").string());
  EXPECT_EQ(panel.text(), full);
  EXPECT_EQ(panel.toolTip(), full.mid(9));
  const std::vector<std::pair<int, bool>> widths = {{2000, false}, {160, true}};
  for (auto [width, elided] : widths) {
    panel.setFixedWidth(width);
    const QString shown = panel.Shown();
    EXPECT_EQ(shown.contains(QChar(0x2026)), elided) << width << shown.toStdString();
    EXPECT_TRUE(shown.startsWith("Lib")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("xml")) << shown.toStdString();
    EXPECT_LE(panel.fontMetrics().horizontalAdvance(shown), width);
  }
}

TEST(InputMenu, SaysWhenNoDeviceIsFound) {
  const std::vector<std::pair<unsigned, bool>> cases = {{0, true}, {1, false}};
  for (auto [devices, said] : cases) {
    TWindowRig rig;
    rig.Sound->DeviceCount = devices;
    rig.Gui->InputMenu->Refill();
    bool found = false;
    for (QAction* entry : rig.Gui->InputMenu->Menu->actions()) {
      if (entry->text() != TInputMenu::NoDeviceCaption) continue;
      found = true;
      EXPECT_FALSE(entry->isEnabled());
    }
    EXPECT_EQ(found, said) << devices;
  }
}
