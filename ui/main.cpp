// Vorlent: decodes infrared remote controls recorded through the sound card.

#include <cstdio>
#include <iostream>

#include "TMainWindow.h"
#include "TVorlentApplication.h"
#include "TWindowCommandLine.h"

int main(int argc, char** argv) {
  if (const auto status = TWindowCommandLine::Answer(argc, argv, std::cout)) return *status;
  // Without a display Qt would abort with a hint to reinstall; say what is missing instead.
  if (const std::string missing = TVorlentApplication::MissingDisplay(argc, argv);
      !missing.empty()) {
    std::fprintf(stderr, "%s\n", missing.c_str());
    return TVorlentApplication::NoDisplayStatus;
  }
  TVorlentApplication application(argc, argv);
  TMainWindow gui;
  application.OnException = [&gui](const std::exception& Error) {
    gui.ApplicationShowException(Error);
  };
  gui.show();
  return application.exec();
}
