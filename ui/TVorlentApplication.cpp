#include "TVorlentApplication.h"

#include <cstdio>
#include <stdexcept>

namespace {
const char* ApplicationTitle = "Vorlent";
}

TVorlentApplication::TVorlentApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
  setApplicationName(ApplicationTitle);
  setOrganizationName(ApplicationTitle);  // the settings file: ~/.config/Vorlent/Vorlent.ini
}

bool TVorlentApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (const std::exception& error) {
    if (OnException)
      OnException(error);
    else
      std::fprintf(stderr, "%s\n", error.what());
  } catch (...) {
    const std::runtime_error unknown("Unknown error");
    if (OnException)
      OnException(unknown);
    else
      std::fprintf(stderr, "%s\n", unknown.what());
  }
  return false;
}
