#pragma once
// The application object with its general error report (an exception that escapes an event
// handler ends that handler and is shown in a message box; the program goes on.

#include <QApplication>
#include <exception>
#include <functional>
#include <string>

class TVorlentApplication : public QApplication {
 public:
  TVorlentApplication(int& Argc, char** Argv);

  // Why the window cannot open with this command line and environment: "" when a display is
  // there (DISPLAY, WAYLAND_DISPLAY) or another platform is chosen (-platform,
  // QT_QPA_PLATFORM), else the sentence to print instead of letting Qt abort. Never fails.
  static std::string MissingDisplay(int Argc, const char* const* Argv);
  static constexpr int NoDisplayStatus = 1;  // the exit status that goes with it

  bool notify(QObject* Receiver, QEvent* Event) override;

  // Shows an escaped exception; until set, the text goes to standard error.
  std::function<void(const std::exception&)> OnException;
};
