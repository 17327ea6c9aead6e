// vorlent-send: sends infrared codes through the sound card's output.

#include <iostream>

#include "TPortAudioOutput.h"
#include "TSendCommand.h"
#include "TStopSignals.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::atomic<bool>& stop = TStopSignals::Install();
  TSendCommand command(std::cout, std::cerr, std::make_unique<TPortAudioOutput>());
  return command.Run(argc, argv, stop);
}
