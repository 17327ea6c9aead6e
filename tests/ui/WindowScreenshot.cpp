// Takes a picture of the main window with a few recorded packets, and optionally one of the
// About box: vorlent_screenshot window.png [about.png] (run under a display, e.g. xvfb-run).
// Packets come from a scripted sound system.

#include <QLocale>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "TStringGrid.h"
#include "TVorlentApplication.h"
#include "U_aboutForm.h"
#include "UiTestSupport.h"

using namespace ui_test;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s picture.png\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  TVorlentApplication application(argc, argv);
  TWindowRig rig;
  Tgui& gui = *rig.Gui;
  gui.show();
  rig.RecordNec({{0x00, 0x45}, {0x00, 0x46}, {0x04, 0x08}});
  auto buffer = QuietBuffer();
  Put(buffer, 2000, {{High, 40}, {Quiet, 60}, {High, 40}, {Quiet, 25}, {High, 90}});
  rig.Feed(buffer);
  rig.RecordNec({{0x10, 0xEF}});
  gui.SamplesGrid->SetCurrentRow(3);
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
