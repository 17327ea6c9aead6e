#include "TVorlentApplication.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace {
const char* ApplicationTitle = "Vorlent";
const char* const NoDisplay =
    "vorlent: there is no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY "
    "is set). Start it in a desktop session, or on a virtual display with \"xvfb-run -a "
    "vorlent\"; vorlent-decode decodes recordings without a display.";

// The platform plugin asked for, without its options ("xcb" of "xcb:foo"); "" for Qt's choice.
std::string RequestedPlatform(int Argc, const char* const* Argv) {
  std::string platform;
  if (const char* chosen = std::getenv("QT_QPA_PLATFORM")) platform = chosen;
  for (int i = 1; i + 1 < Argc; ++i) {
    if (std::strcmp(Argv[i], "-platform") == 0 || std::strcmp(Argv[i], "--platform") == 0)
      platform = Argv[i + 1];
  }
  return platform.substr(0, platform.find(':'));
}

bool IsSet(const char* Name) {
  const char* value = std::getenv(Name);
  return value && *value;
}
}  // namespace

std::string TVorlentApplication::MissingDisplay(int Argc, const char* const* Argv) {
  const std::string platform = RequestedPlatform(Argc, Argv);
  const bool x11 = IsSet("DISPLAY"), wayland = IsSet("WAYLAND_DISPLAY");
  if (platform.empty()) return x11 || wayland ? "" : NoDisplay;
  if (platform == "xcb") return x11 ? "" : NoDisplay;
  if (platform.rfind("wayland", 0) == 0) return wayland ? "" : NoDisplay;
  return "";  // offscreen, vnc, eglfs, ...: no display needed
}

TVorlentApplication::TVorlentApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
  setApplicationName(ApplicationTitle);
  setOrganizationName(ApplicationTitle);  // the settings file: ~/.config/Vorlent/Vorlent.ini
  std::setlocale(LC_NUMERIC, "C");        // Qt set the user's: numbers read as the tools read them
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
