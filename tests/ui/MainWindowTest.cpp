#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTest>
#include <QTime>

#include "TFileError.h"
#include "TGraph.h"
#include "TLinkLabel.h"
#include "TGridView.h"
#include "TProtocolRecognition.h"
#include "TRecordButton.h"
#include "TStringGrid.h"
#include "TVorlentApplication.h"
#include "UiTestSupport.h"

using namespace ui_test;
using Texts = std::vector<QString>;

namespace {
template <typename TGrid>
QStringList Row(const TGrid* Grid, int Row) {
  QStringList cells;
  for (int c = 0; c < Grid->model()->columnCount(); ++c) cells << Grid->Cell(c, Row);
  return cells;
}
}  // namespace

TEST(MainWindowLayout, ControlsStandWhereTheDesignPutsThem) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  const std::vector<std::pair<const char*, QRect>> bounds = {
      {"GroupBox2", {8, 0, 1134, 305}},      {"graph", {8, 16, 1116, 281}},
      {"tbHScale", {16, 320, 89, 25}},       {"RecordButton", {128, 320, 97, 33}},
      {"ClearSamples", {240, 320, 97, 33}},  {"ChB_invertInput", {136, 360, 97, 17}},
      {"GB_details", {8, 376, 345, 323}},    {"Mdescription", {8, 64, 329, 147}},
      {"SGprotocolData", {8, 218, 329, 97}}, {"GB_Samples", {360, 312, 782, 387}},
      {"SamplesGrid", {8, 16, 766, 337}},    {"FilterBox", {8, 358, 766, 22}},
      {"LevelMeter", {240, 360, 97, 15}}};
  for (auto [name, rect] : bounds) {
    auto* w = gui.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(w->geometry(), rect) << name;
  }
  EXPECT_EQ(gui.windowTitle(), "Vorlent");
  EXPECT_EQ(gui.GroupBox2->title(), " Graph ");
  EXPECT_EQ(gui.GB_details->title(), " Packet details ");
  EXPECT_EQ(gui.GB_Samples->title(), " Samples ");
  EXPECT_EQ(gui.Label1->text(), "zoom");
  EXPECT_EQ(gui.Label1->pos(), QPoint(48, 344));
  EXPECT_EQ(gui.RecordButton->text(), "Recording");
  EXPECT_EQ(gui.RecordButton->toolTip(),
            "Click to start or stop collecting samples from the audio input (Ctrl+R)");
  EXPECT_EQ(gui.RecordButton->shortcut(), QKeySequence("Ctrl+R"));
  EXPECT_EQ(gui.ClearSamples->text(), "Clear samples");
  EXPECT_EQ(gui.ChB_invertInput->text(), "Invert input");
  EXPECT_FALSE(gui.ChB_invertInput->isChecked());
  EXPECT_EQ(gui.LProtocolName->text(), "Please select a packet.");
  EXPECT_EQ(gui.URLlabel->text(), "");
  EXPECT_EQ(gui.tbHScale->minimum(), 1);
  EXPECT_EQ(gui.tbHScale->maximum(), 6);
  EXPECT_EQ(gui.tbHScale->value(), 1);
  EXPECT_EQ(Row(gui.SamplesGrid, 0), QStringList({"Time", "Protocol", "Data", "Length", "Gap",
                                                  "Name", "Repeats", "Source"}));
  EXPECT_EQ(Row(gui.SGprotocolData, 0), QStringList({"data name", "dec", "hex", "bin"}));
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 2);
  EXPECT_EQ(gui.SGprotocolData->RowCount(), 2);
  const int widths[] = {75, 120, 180, 60};
  for (int c = 0; c < 4; ++c) EXPECT_EQ(gui.SamplesGrid->columnWidth(c), widths[c]);
  EXPECT_GT(gui.SamplesGrid->columnWidth(4), gui.fontMetrics().horizontalAdvance("8888.8ms"));
  EXPECT_EQ(gui.PanelText(0), "Recording stopped");
  EXPECT_EQ(gui.PanelText(1), "");
  EXPECT_EQ(gui.PanelText(2), "");
  EXPECT_EQ(gui.RecordButton->focusPolicy(), Qt::TabFocus);
  EXPECT_EQ(gui.graph->focusPolicy(), Qt::NoFocus);
}

TEST(MainWindowLayout, MenuCaptionsShortcutsAndTabOrder) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  EXPECT_EQ(gui.File1->title(), "&File");
  const std::vector<std::tuple<QAction*, const char*, const char*>> items = {
      {gui.SaveSamples, "&Save samples", "Ctrl+S"},
      {gui.loadSamples, "&Load samples", "Ctrl+L"},
      {gui.ImportRecording, "&Import recording...", "Ctrl+I"},
      {gui.ExportCodes, "Export &codes...", "Ctrl+Shift+E"},
      {gui.LearnProtocol, "Lea&rn protocol...", ""},
      {gui.exportGraph, "&Export graph", "Ctrl+E"},
      {gui.CopytimingtoClipboard1, "Copy &timing to Clipboard", "Ctrl+Alt+C"},
      {gui.Exit, "Cl&ose", ""},
      {gui.About1, "&About", ""}};
  for (auto [action, caption, keys] : items) {
    EXPECT_EQ(action->text(), caption);
    EXPECT_EQ(action->shortcut(), QKeySequence(keys)) << caption;
  }
  EXPECT_EQ(
      gui.File1->actions(),
      QList<QAction*>({gui.SaveSamples, gui.loadSamples, gui.ImportRecording, gui.ExportCodes,
                       gui.LearnProtocol, gui.exportGraph, gui.CopytimingtoClipboard1, gui.Exit}));
  EXPECT_TRUE(gui.menuBar()->actions().contains(gui.About1));
  std::vector<QWidget*> order = {gui.tbHScale,       gui.RecordButton, gui.SamplesGrid,
                                 gui.SGprotocolData, gui.Mdescription, gui.ClearSamples,
                                 gui.ChB_invertInput};
  for (size_t i = 0; i + 1 < order.size(); ++i) {
    QWidget* next = order[i]->nextInFocusChain();
    while (std::find(order.begin(), order.end(), next) == order.end())
      next = next->nextInFocusChain();
    EXPECT_EQ(next, order[i + 1]) << order[i]->objectName().toStdString();
  }
}

TEST(MainWindowLayout, AnchoredControlsFollowAResize) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  gui.show();
  const QSize before = gui.size();
  gui.resize(before + QSize(100, 50));
  TWindowRig::Pump();
  EXPECT_EQ(gui.GroupBox2->geometry(), QRect(8, 0, 1234, 305));
  EXPECT_EQ(gui.graph->geometry(), QRect(8, 16, 1216, 281));
  EXPECT_EQ(gui.GB_Samples->geometry(), QRect(360, 312, 882, 437));
  EXPECT_EQ(gui.SamplesGrid->geometry(), QRect(8, 16, 866, 387));
  EXPECT_EQ(gui.FilterBox->geometry(), QRect(8, 408, 866, 22));
  EXPECT_EQ(gui.GB_details->geometry(), QRect(8, 376, 345, 373));
  EXPECT_EQ(gui.SGprotocolData->geometry(), QRect(8, 268, 329, 97));
  EXPECT_EQ(gui.Mdescription->geometry(), QRect(8, 64, 329, 197));
  EXPECT_EQ(gui.RecordButton->geometry(), QRect(128, 320, 97, 33));
}

TEST(MainWindowRecording, APacketIsDecodedListedAndShown) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.Record();
  EXPECT_TRUE(gui.RecordButton->isChecked());
  EXPECT_EQ(gui.PanelText(0), "Recording active");
  rig.RecordNec({{4, 26}});
  ASSERT_EQ(gui.Processor->Samples.size(), 1u);
  const TSample& s = rig.Sample(0);
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 3);
  EXPECT_EQ(Row(gui.SamplesGrid, 1),
            QStringList({TMainWindow::TimeOfDayText(s.CaptureTime), "NEC",
                         "address=4; command=26; ", TMainWindow::niceTimePeriod(s.Duration),
                         TMainWindow::niceTimePeriod(s.Gap), "", "", ""}));
  EXPECT_EQ(Row(gui.SamplesGrid, 1)[3], "36.6ms");  // 1755 values from the leader to the stop mark
  EXPECT_EQ(Row(gui.SamplesGrid, 2).join(""), "");
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 1);
  EXPECT_EQ(gui.LProtocolName->text(), "NEC");
  EXPECT_EQ(gui.Mdescription->toPlainText(), "Pulse distance code.\n32 bits.");
  EXPECT_EQ(gui.URLlabel->text(), "http://example.org/nec");
  EXPECT_EQ(gui.SGprotocolData->RowCount(), 3);
  EXPECT_EQ(Row(gui.SGprotocolData, 1), QStringList({"address", "4", "0x4", "100"}));
  EXPECT_EQ(Row(gui.SGprotocolData, 2), QStringList({"command", "26", "0x1A", "11010"}));
  EXPECT_EQ(gui.graph->ShownSample(), &s);
  EXPECT_EQ(gui.graph->Picture().width(), static_cast<int>(s.SignalLength()));
  EXPECT_EQ(gui.PanelText(1), "Buffers processed: 1");
  gui.URLlabel->Clicked();
  EXPECT_EQ(rig.Dialogs->Urls, Texts{"http://example.org/nec"});
  rig.Record();
  EXPECT_FALSE(gui.RecordButton->isChecked());
  EXPECT_EQ(gui.PanelText(0), "Recording stopped");
  EXPECT_TRUE(rig.Dialogs->Messages.empty());
}

TEST(MainWindowRecording, SeveralPacketsOfOneBufferListInOrderAndTheLastIsSelected) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.RecordNec({{0, 10}, {255, 0}, {1, 255}});
  ASSERT_EQ(gui.Processor->Samples.size(), 3u);
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 5);
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 1), "address=0; command=10; ");
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 2), "address=255; command=0; ");
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 3), "address=1; command=255; ");
  EXPECT_EQ(gui.SamplesGrid->Cell(4, 2), "10ms");  // 480 quiet values + the stop mark's end
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 3);
  EXPECT_EQ(Row(gui.SGprotocolData, 1), QStringList({"address", "1", "0x1", "1"}));
  EXPECT_EQ(Row(gui.SGprotocolData, 2), QStringList({"command", "255", "0xFF", "11111111"}));
  // A sample row shows that sample; the header and the blank row change nothing.
  gui.SamplesGrid->SetCurrentRow(1);
  EXPECT_EQ(Row(gui.SGprotocolData, 1), QStringList({"address", "0", "0x0", "0"}));
  EXPECT_EQ(gui.graph->ShownSample(), &rig.Sample(0));
  gui.SamplesGrid->SetCurrentRow(4);
  bool canSelect = false;
  gui.SamplesGridSelectCell(0, 0, canSelect);
  EXPECT_TRUE(canSelect);
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 4);
  EXPECT_EQ(gui.graph->ShownSample(), &rig.Sample(0));
  EXPECT_EQ(Row(gui.SGprotocolData, 2), QStringList({"command", "10", "0xA", "1010"}));
}

TEST(MainWindowRecording, AnUnknownPacketShowsNoFields) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.RecordNec({{1, 2}});
  // Still recording: now a packet that is no NEC.
  auto buffer = QuietBuffer();
  Put(buffer, 500, {{High, 40}, {Quiet, 40}, {High, 40}});
  rig.Feed(buffer);
  ASSERT_EQ(gui.Processor->Samples.size(), 2u);
  EXPECT_EQ(gui.SamplesGrid->Cell(1, 2), "unknown");
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 2), "");
  EXPECT_EQ(gui.LProtocolName->text(), "unknown");
  EXPECT_EQ(gui.Mdescription->toPlainText(), "No description available");
  EXPECT_EQ(gui.URLlabel->text(), "");
  EXPECT_EQ(gui.SGprotocolData->RowCount(), 2);
  EXPECT_EQ(Row(gui.SGprotocolData, 1), QStringList({"", "", "", ""}));
  gui.URLlabel->Clicked();
  EXPECT_TRUE(rig.Dialogs->Urls.empty());
}

TEST(MainWindowRecording, InvertInputAppliesToLaterBuffers) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  gui.ChB_invertInput->click();
  EXPECT_TRUE(gui.Processor->InvertInput);
  rig.Record();
  auto buffer = std::vector<uint8_t>(BufferSize, 127);  // rests at 128 once inverted
  Put(buffer, 1000, NecRuns(7, 9));
  for (size_t i = 1000; i < 4000; ++i) buffer[i] = buffer[i] == High ? 0 : 127;
  rig.Feed(buffer);
  ASSERT_EQ(gui.Processor->Samples.size(), 1u);
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 1), "address=7; command=9; ");
  // A key press copies the box's state before the keyboard toggles it.
  gui.ChB_invertInput->setFocus();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  QCoreApplication::sendEvent(gui.ChB_invertInput, &press);
  EXPECT_TRUE(gui.Processor->InvertInput);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
  QCoreApplication::sendEvent(gui.ChB_invertInput, &release);
  EXPECT_FALSE(gui.ChB_invertInput->isChecked());
  EXPECT_FALSE(gui.Processor->InvertInput);
}

TEST(MainWindowRecording, AFailedStartIsReportedAndDoesNotLookLikeRecording) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.Sound->Fail(TScriptedSoundSystem::Op::Open, 2);
  rig.Record();
  EXPECT_EQ(
      rig.Dialogs->Messages,
      (Texts{"Could not open the input device for recording: \r scripted error 2",
             "Error - Try again", "Error starting wavein, close attempted: scripted error 5"}));
  EXPECT_FALSE(gui.RecordButton->isChecked());
  EXPECT_EQ(gui.PanelText(0), "Recording stopped");
  rig.Sound->Fail(TScriptedSoundSystem::Op::Open, 0);
  rig.Record();  // the next click tries again
  EXPECT_TRUE(gui.RecordButton->isChecked());
  EXPECT_EQ(gui.PanelText(0), "Recording active");
}

TEST(MainWindowRecording, BuffersArrivingDuringAMessageBoxWaitForTheBufferBeingHandled) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  std::vector<int> countsWhileShown;
  rig.Dialogs->DuringMessage = [&] {
    TWindowRig::Pump();  // the nested event loop of a modal box
    countsWhileShown.push_back(gui.Processor->BuffersProcessed);
  };
  rig.Record();
  rig.Sound->Fail(TScriptedSoundSystem::Op::AddBuffer, 11);
  std::vector<uint8_t> two(2 * BufferSize, Quiet);
  rig.Sound->Feed(two);  // two notifications wait before the first is handled
  TWindowRig::Pump();
  ASSERT_FALSE(rig.Dialogs->Messages.empty());
  EXPECT_EQ(rig.Dialogs->Messages[0], "Error adding buffer, recording stopped: scripted error 11");
  EXPECT_EQ(countsWhileShown[0], 0);              // no other buffer was handled inside the first
  EXPECT_EQ(gui.Processor->BuffersProcessed, 3);  // two filled, one handed back by the stop
  EXPECT_EQ(gui.PanelText(1), "Buffers processed: 3");
}

TEST(MainWindowRecording, ClearingDropsTheSampleFromTheGraph) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  rig.RecordNec({{1, 2}, {3, 4}});
  gui.ClearSamples->click();
  EXPECT_TRUE(gui.Processor->Samples.empty());
  EXPECT_EQ(gui.SamplesGrid->RowCount(), 2);
  EXPECT_EQ(Row(gui.SamplesGrid, 1).join(""), "");
  EXPECT_EQ(gui.LProtocolName->text(), "Please select a packet.");  // the details go too
  EXPECT_EQ(gui.Mdescription->toPlainText() + gui.SGprotocolData->Cell(0, 1), "");
  EXPECT_EQ(gui.graph->ShownSample(), nullptr);
  const QImage& picture = gui.graph->Picture();
  EXPECT_EQ(picture.width(), 256);
  EXPECT_EQ(picture.pixel(10, 128), qRgb(0, 0, 0));
  gui.tbHScale->setValue(2);
  EXPECT_EQ(gui.graph->Scale(), 2);
  EXPECT_EQ(gui.graph->Picture().width(), 256);
  gui.CopytimingtoClipboard1->trigger();
  EXPECT_EQ(rig.Dialogs->Messages,
            Texts{"There is nothing to copy to clipboard. Please open a sample first."});
  rig.RecordNec({{5, 6}});  // new packets fill the emptied grid from row 1
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 1), "address=5; command=6; ");
  EXPECT_EQ(gui.graph->Picture().width(), static_cast<int>(rig.Sample(0).SignalLength() / 2));
}

TEST(MainWindowRecording, ZoomRedrawsTheShownSample) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  gui.tbHScale->setValue(3);  // without a sample only the zoom is stored
  EXPECT_EQ(gui.graph->Picture().width(), 256);
  rig.RecordNec({{1, 2}});
  const int length = static_cast<int>(rig.Sample(0).SignalLength());
  EXPECT_EQ(gui.graph->Picture().width(), length / 3);
  gui.tbHScale->setValue(1);
  EXPECT_EQ(gui.graph->Picture().width(), length);
}

TEST(MainWindowRecording, ClosingWhileRecordingReleasesTheDevice) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  gui.show();
  rig.Record();
  rig.Sound->Log.clear();
  gui.Exit->trigger();
  EXPECT_FALSE(gui.isVisible());
  EXPECT_FALSE(gui.Processor->WaveIn->Recording);
  EXPECT_FALSE(gui.Processor->WaveIn->DeviceOpen);
  ASSERT_GE(rig.Sound->Log.size(), 2u);
  EXPECT_EQ(rig.Sound->Log.front(), "reset");
  EXPECT_EQ(rig.Sound->Log.back(), "close");
  EXPECT_EQ(gui.PanelText(0), "Recording stopped");
}

TEST(MainWindowStart, AMissingProtocolFileIsReportedAndEveryPacketIsUnknown) {
  TWindowRig rig(nullptr);
  ASSERT_EQ(rig.Dialogs->Messages.size(), 1u);
  EXPECT_EQ(rig.Dialogs->Messages[0],
            "protocols.xml was not found. Looked in:\n  " + QString::fromStdString(rig.Dir));
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(0, 0), "Time");
  rig.RecordNec({{1, 2}});
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(1, 1), "Pulse distance~");  // read without a library
  const auto generic = [&rig](bool On) {
    rig.Dialogs->EditSettings = [On](TDecodeSettings& Settings) {
      return Settings.Generic = On, true;
    };
    rig.Gui->DecodeSettingsAction->trigger();
  };
  generic(false);
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(1, 1), "unknown");
  generic(true);  // the stored settings as they were
}

// A full stop follows a text whose last character sorts after it, so letters and digits do,
// closing quotes and full stops do not.
TEST(MainWindowErrors, AnEscapedErrorGetsAFullStopAfterALetterOrDigit) {
  TWindowRig rig;
  rig.Gui->ApplicationShowException(TFileError(TFileError::FileNotFound));
  rig.Gui->ApplicationShowException(TFileError(17));
  rig.Gui->ApplicationShowException(std::runtime_error("Cannot create file \"x\""));
  rig.Gui->ApplicationShowException(std::runtime_error("Disk is gone."));
  EXPECT_EQ(rig.Dialogs->Errors, (Texts{"File not found.", "I/O error 17.",
                                        "Cannot create file \"x\"", "Disk is gone."}));
}

TEST(MainWindowKeyboard, TabVisitsTheControlsInOrderAndLeavesTheGrids) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  gui.show();
  rig.RecordNec({{1, 2}, {3, 4}});
  QApplication::setActiveWindow(&gui);
  gui.tbHScale->setFocus();
  std::vector<QWidget*> order = {gui.RecordButton,    gui.FilterBox,    gui.SamplesGrid,
                                 gui.SGprotocolData,  gui.Mdescription, gui.ClearSamples,
                                 gui.ChB_invertInput, gui.tbHScale};
  for (QWidget* expected : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected) << expected->objectName().toStdString();
  }
}

TEST(MainWindowKeyboard, TypingALetterInTheSamplesGridSelectsNothing) {
  TWindowRig rig;
  TMainWindow& gui = *rig.Gui;
  gui.show();
  rig.RecordNec({{1, 2}});
  auto buffer = QuietBuffer();
  Put(buffer, 2000, {{High, 40}, {Quiet, 60}, {High, 40}});
  rig.Feed(buffer);  // an "unknown" row, now selected
  gui.SamplesGrid->SetCurrentRow(1);
  gui.SamplesGrid->setCurrentIndex(gui.SamplesGrid->model()->index(0, 1));
  QTest::keyClick(gui.SamplesGrid, Qt::Key_U);
  EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 1);
  EXPECT_EQ(gui.LProtocolName->text(), gui.SamplesGrid->Cell(1, 1));
}

TEST(Formatting, NiceTimePeriod) {
  const std::vector<std::pair<float, const char*>> cases = {
      {0, "0ms"},      {0.00056f, "0.6ms"},  {0.00904f, "9ms"},   {0.0125f, "12.5ms"},
      {0.1f, "100ms"}, {0.99999f, "1000ms"}, {1.0f, "1000ms"},    {1.04f, "1s"},
      {1.26f, "1.3s"}, {12.34f, "12.3s"},    {1234.5f, "1234.5s"}};
  for (auto [seconds, text] : cases)
    EXPECT_EQ(TMainWindow::niceTimePeriod(seconds), text) << seconds;
}

TEST(Formatting, NiceTimePeriodUsesTheLocaleDecimalSeparator) {
  QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(TMainWindow::niceTimePeriod(0.0125f), "12,5ms");
  EXPECT_EQ(TMainWindow::niceTimePeriod(1234.5f), "1234,5s");
  QLocale::setDefault(before);
}

TEST(Formatting, ConvertToBin) {
  const std::vector<std::pair<uint32_t, const char*>> cases = {
      {0, "0"},
      {5, "101"},
      {10, "1010"},
      {255, "11111111"},
      {4660, "1001000110100"},
      {65535, "1111111111111111"},
      {0x80000000u, "10000000000000000000000000000000"}};
  for (auto [value, text] : cases) EXPECT_EQ(TMainWindow::ConvertToBin(value), text) << value;
}

TEST(Formatting, TimeOfDayInTheLongFormatWithoutZone) {
  const double at = (13 * 3600 + 5 * 60 + 9) / 86400.0;  // 13:05:09
  EXPECT_EQ(TMainWindow::TimeOfDayText(at), "1:05:09 PM");
  QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(TMainWindow::TimeOfDayText(at), "13:05:09");
  QLocale::setDefault(before);
  EXPECT_EQ(TMainWindow::TimeOfDayText(0), "12:00:00 AM");
}

TEST(MainWindowErrors, AnExceptionEscapingAnyEventHandlerIsShownAndTheProgramGoesOn) {
  struct Thrower : QObject {
    bool event(QEvent*) override { throw TFileError(TFileError::DiskFull); }
  };
  TWindowRig rig;
  auto* application = static_cast<TVorlentApplication*>(QCoreApplication::instance());
  application->OnException = [&](const std::exception& Error) {
    rig.Gui->ApplicationShowException(Error);
  };
  Thrower thrower;
  QEvent event(QEvent::User);
  EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
  application->OnException = nullptr;
  EXPECT_EQ(rig.Dialogs->Errors, Texts{"Disk full."});
  rig.RecordNec({{1, 2}});  // and the window goes on
  EXPECT_EQ(rig.Gui->SamplesGrid->Cell(1, 1), "NEC");
}

// An entry asking for a longer ending silence reads the packets that the default 5 ms cut its
// frame into as one: the window joins them as they are captured and lists a single packet.
TEST(MainWindowRecording, PacketsAnEntryReadsTogetherAreJoinedAsTheyArrive) {
  const std::string library = ProtocolsWith(R"(  <protocol name="Paused NEC" end-silence="12">
    <bitset><bit value="1">#560_1690</bit><bit value="0">#560_560</bit></bitset>
    <packet>
      <delimiter name="start">#9000_8000</delimiter>
      <data name="address" length="8" bitorder="LSB"/>
      <data name="command" length="8" bitorder="LSB"/>
      <delimiter name="stop">#560</delimiter>
    </packet>
  </protocol>
)");
  for (const bool paused : {true, false}) {
    SCOPED_TRACE(paused ? "8 ms pause" : "NEC's own");
    TWindowRig rig(library.c_str());
    TMainWindow& gui = *rig.Gui;
    rig.Record();
    auto runs = NecRuns(4, 26);
    if (paused) runs[1].second = 384;  // 8 ms: the default ending silence cuts the frame here
    auto buffer = QuietBuffer();
    Put(buffer, Put(buffer, 1000, runs) + 600, NecRuns(4, 27));  // 12.5 ms later: apart
    rig.Feed(buffer);
    ASSERT_EQ(gui.Processor->Samples.size(), 2u);
    EXPECT_EQ(gui.SamplesGrid->Cell(1, 1), paused ? "Paused NEC" : "NEC");
    EXPECT_EQ(gui.SamplesGrid->Cell(2, 1), "address=4; command=26; ");
    EXPECT_EQ(gui.SamplesGrid->Cell(2, 2), "address=4; command=27; ");
    EXPECT_EQ(gui.SamplesGrid->CurrentRow(), 2);
    EXPECT_EQ(gui.graph->ShownSample(), &rig.Sample(1));
  }
}
