// vorlent-send: sends infrared codes through the sound card's output.

#include <signal.h>

#include <atomic>
#include <iostream>

#include "TPortAudioOutput.h"
#include "TSendCommand.h"

namespace {
std::atomic<bool> StopRequested = false;

void RequestStop(int) {
  StopRequested = true;
}
}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  stop.sa_flags = SA_RESETHAND;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  TSendCommand command(std::cout, std::cerr, std::make_unique<TPortAudioOutput>());
  return command.Run(argc, argv, StopRequested);
}
