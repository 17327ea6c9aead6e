// vorlent-listen: decodes infrared packets from a sound input live and acts on them.

#include <signal.h>

#include <iostream>

#include "TListenCommand.h"
#include "TStopSignals.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::atomic<bool>& stop = TStopSignals::Install();
  signal(SIGPIPE, SIG_IGN);  // a closed output pipe shows as a failed write, not the end
  TListenCommand command(std::cout, std::cerr);
  return command.Run(argc, argv, stop);
}
