// Takes a picture of the main window with a few recorded packets, and optionally one of the
// About box: vorlent_screenshot window.png [about.png] (run under a display, e.g. xvfb-run).
// The example recording is fed through a scripted sound system and decoded with the
// shipped protocol library.

#include <QLocale>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "TPcmReader.h"
#include "TStringGrid.h"
#include "TVorlentApplication.h"
#include "U_aboutForm.h"
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
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s picture.png [about.png]\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  TVorlentApplication application(argc, argv);
  const std::string protocols = ShippedProtocols();
  TWindowRig rig(protocols.c_str());
  Tgui& gui = *rig.Gui;
  gui.show();
  rig.Record();
  rig.Feed(ExampleRecording());
  gui.SamplesGrid->SetCurrentRow(1);
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
