// vorlent-decode: decodes infrared packets in recordings and saved samples.

#include <unistd.h>

#include <iostream>

#include "TDecodeCommand.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  TDecodeCommand command(std::cout, std::cerr, isatty(STDERR_FILENO) != 0);
  return command.Run(argc, argv);
}
