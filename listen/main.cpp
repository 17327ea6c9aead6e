// vorlent-listen: decodes infrared packets from a sound input live and acts on them.

#include <signal.h>

#include <atomic>
#include <iostream>

#include "TListenCommand.h"

namespace {
std::atomic<bool> StopRequested = false;

void RequestStop(int) {
  StopRequested = true;
}

// SIGINT and SIGTERM end the listening cleanly (a second one ends the program at once);
// a closed output pipe shows as a failed write rather than killing the program.
void HandleSignals() {
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  stop.sa_flags = SA_RESETHAND;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  signal(SIGPIPE, SIG_IGN);
}
}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  HandleSignals();
  TListenCommand command(std::cout, std::cerr);
  return command.Run(argc, argv, StopRequested);
}
