// The whole window against the real capture path: ALSA's file plugin as the default capture
// device plays a prepared recording through PortAudio into the window, which lists and decodes
// its packets. Its own process, so that the ALSA configuration set here is the first one read.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocale>
#include <QSettings>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "AlsaFileDevice.h"
#include "TRecordButton.h"
#include "TGridView.h"
#include "TStringGrid.h"
#include "TVorlentApplication.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
constexpr int Patience = 30000;    // milliseconds
constexpr int PaddingBuffers = 5;  // of silence: the file plugin repeats its last bytes

fs::path ScratchDir() {
  std::string pattern = (fs::temp_directory_path() / "vorlent-alsa-ui-XXXXXX").string();
  return mkdtemp(pattern.data());
}

// Two NEC packets 20 ms apart, the second across the first buffer's end.
void WriteRecording(const fs::path& File) {
  std::vector<uint8_t> pcm(BufferSize * (1 + PaddingBuffers), Quiet);
  size_t at = BufferSize - 3000;
  at = Put(pcm, at, NecRuns(0x12, 0x34)) + 960;
  Put(pcm, at, NecRuns(0x56, 0x78));
  std::ofstream(File, std::ios::binary)
      .write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
}

fs::path Scratch;
}  // namespace

TEST(RealCaptureWindow, PacketsRecordedThroughPortAudioAreListedAndDecoded) {
  fs::current_path(Scratch);
  std::ofstream("protocols.xml") << ProtocolsXml;
  auto dialogs = std::make_unique<TFakeDialogs>();
  TFakeDialogs* shown = dialogs.get();
  TMainWindow gui(std::move(dialogs));  // no sound system given: the sound card through PortAudio
  gui.show();
  gui.RecordButton->click();
  ASSERT_TRUE(shown->Messages.empty()) << shown->Messages[0].toStdString();
  EXPECT_EQ(gui.PanelText(0), "Recording active");
  QElapsedTimer waited;
  waited.start();
  while (gui.Processor->Samples.size() < 2 && waited.elapsed() < Patience) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  ASSERT_EQ(gui.Processor->Samples.size(), 2u);
  EXPECT_EQ(gui.SamplesGrid->Cell(1, 1), "NEC");
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 1), "address=18; command=52; ");
  EXPECT_EQ(gui.SamplesGrid->Cell(2, 2), "address=86; command=120; ");
  EXPECT_EQ(gui.SamplesGrid->Cell(4, 2), "20ms");
  EXPECT_EQ(gui.SGprotocolData->Cell(2, 2), "0x78");
  EXPECT_TRUE(gui.PanelText(1).startsWith("Buffers processed: "));
  gui.close();  // stops the recording and releases the device
  EXPECT_FALSE(gui.Processor->WaveIn->Recording);
  EXPECT_FALSE(gui.Processor->WaveIn->DeviceOpen);
  EXPECT_TRUE(shown->Messages.empty());
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  Scratch = ScratchDir();
  WriteRecording(Scratch / "input.raw");
  // Before anything initialises ALSA or PortAudio.
  UseAlsaFileDevice(Scratch, Scratch / "input.raw");
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromStdString(Scratch / "settings"));
  ::testing::InitGoogleTest(&argc, argv);
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  TVorlentApplication application(argc, argv);
  // The user's own decoding settings play no part here.
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromStdString(Scratch.string()));
  const int result = RUN_ALL_TESTS();
  fs::current_path(fs::temp_directory_path());
  std::error_code ignored;
  fs::remove_all(Scratch, ignored);
  return result;
}
