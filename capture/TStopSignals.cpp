#include "TStopSignals.h"

#include <signal.h>

namespace {
std::atomic<bool> StopRequested = false;

void RequestStop(int) {
  StopRequested = true;
}
}  // namespace

const std::atomic<bool>& TStopSignals::Install() {
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  stop.sa_flags = SA_RESETHAND;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  return StopRequested;
}
