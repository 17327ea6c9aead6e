#pragma once
// The application object with its general error report: an exception that escapes an event
// handler ends that handler and is shown in a message box; the program goes on.

#include <QApplication>
#include <exception>
#include <functional>

class TVorlentApplication : public QApplication {
 public:
  TVorlentApplication(int& Argc, char** Argv);

  bool notify(QObject* Receiver, QEvent* Event) override;

  // Shows an escaped exception; until set, the text goes to standard error.
  std::function<void(const std::exception&)> OnException;
};
