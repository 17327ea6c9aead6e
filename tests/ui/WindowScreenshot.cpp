// Takes a picture of the main window with a few recorded packets, and optionally one of the
// About box: vorlent_screenshot [--scene list|level|held] window.png [about.png] (run under a
// display, e.g. xvfb-run). The example recording is fed through a scripted sound system and
// decoded with the shipped protocol library; "level" then plays a weak signal that stays below
// the trigger (the level meter and its hint), "held" adds an NEC key held for a second (a
// folded row).

#include <QLocale>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "TAboutBox.h"
#include "TPcmReader.h"
#include "TGridView.h"
#include "TVorlentApplication.h"
#include "UiTestSupport.h"

using namespace ui_test;

namespace {
std::string ShippedProtocols() {
  std::ifstream in(std::string(VORLENT_DATA_DIR) + "/protocols.xml");
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The example recording as the capture would have delivered it.
std::vector<uint8_t> ExampleRecording() {
  TPcmReader reader(std::string(VORLENT_SOURCE_DIR) + "/examples/remotes-48k-8bit.wav");
  std::vector<uint8_t> pcm(TPcmReader::OutputRate * 2, TSignalProcessor::ZeroLine);
  pcm.resize(reader.Read(pcm.data(), pcm.size()));
  pcm.resize(pcm.size() + 2 * TSignalProcessor::BufferSize, TSignalProcessor::ZeroLine);
  return pcm;
}

// Runs at 48 kHz of the shipped NEC timing.
constexpr size_t NecLead = 433, NecLeadPause = 216, NecRepeatPause = 108, NecMark = 27,
                 NecZero = 27, NecOne = 81, NecFrameStart = 5184;  // 108 ms

std::vector<std::pair<uint8_t, size_t>> NecFrame(uint8_t Address, uint8_t Command) {
  std::vector<std::pair<uint8_t, size_t>> runs = {{High, NecLead}, {Quiet, NecLeadPause}};
  const uint32_t bits =
      Address | (255u - Address) << 8 | uint32_t{Command} << 16 | (255u - Command) << 24;
  for (int i = 0; i < 32; ++i) {
    runs.push_back({High, NecMark});
    runs.push_back({Quiet, (bits >> i) & 1 ? NecOne : NecZero});
  }
  runs.push_back({High, NecMark});
  return runs;
}

// A key held: its frame, then a repeat frame every 108 ms.
std::vector<uint8_t> HeldKey(int Repeats) {
  std::vector<uint8_t> pcm(TSignalProcessor::BufferSize * 2, TSignalProcessor::ZeroLine);
  size_t at = 2000;
  Put(pcm, at, NecFrame(0x04, 0x08));
  for (int i = 0; i < Repeats; ++i) {
    at += NecFrameStart;
    Put(pcm, at, {{High, NecLead}, {Quiet, NecRepeatPause}, {High, NecMark}});
  }
  return pcm;
}

// Bursts that rise a little above the resting line, never to the trigger level.
std::vector<uint8_t> WeakSignal() {
  std::vector<uint8_t> pcm(TSignalProcessor::BufferSize, TSignalProcessor::ZeroLine);
  constexpr uint8_t Weak = 137;
  for (size_t at = 1000; at + 600 < pcm.size(); at += 5000) Put(pcm, at, NecFrame(1, 2));
  for (uint8_t& value : pcm) value = value == High ? Weak : value;
  return pcm;
}
}  // namespace

int main(int argc, char** argv) {
  std::string scene = "list";
  if (argc > 2 && std::string(argv[1]) == "--scene") {
    scene = argv[2];
    argv[2] = argv[0];
    argv += 2;
    argc -= 2;
  }
  if (argc < 2 || (scene != "list" && scene != "level" && scene != "held")) {
    std::fprintf(stderr, "usage: %s [--scene list|level|held] picture.png [about.png]\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  TVorlentApplication application(argc, argv);
  const std::string protocols = ShippedProtocols();
  TWindowRig rig(protocols.c_str());
  TMainWindow& gui = *rig.Gui;
  gui.show();
  rig.Record();
  rig.Feed(ExampleRecording());
  gui.SamplesGrid->SetCurrentRow(1);
  if (scene == "held") {
    rig.Feed(HeldKey(9));
    gui.SamplesGrid->SetCurrentRow(gui.SamplesGrid->RowCount() - 2);
  }
  if (scene == "level") rig.Feed(WeakSignal());
  int status = 1;
  QTimer::singleShot(500, [&] {
    status = gui.grab().save(out, "PNG") ? 0 : 1;
    if (argc > 2) {
      gui.About1->trigger();
      QCoreApplication::processEvents();
      if (!gui.aboutForm->grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) status = 1;
    }
    application.quit();
  });
  application.exec();
  return status;
}
