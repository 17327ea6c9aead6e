// Vorlent: decodes infrared remote controls recorded through the sound card.

#include "TVorlentApplication.h"
#include "U_Vorlent_GUI.h"

int main(int argc, char** argv) {
  TVorlentApplication application(argc, argv);
  Tgui gui;
  application.OnException = [&gui](const std::exception& Error) {
    gui.ApplicationShowException(Error);
  };
  gui.show();
  return application.exec();
}
