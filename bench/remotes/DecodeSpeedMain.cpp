// decode_speed: how long vorlent-decode takes on one core. Runs the command as its main() does,
// with the report going nowhere, Repeat times, and prints the process CPU time of each run and
// the fastest. A mode2 file of a database's codes (timings-to-mode2.py) is the usual input.
//
//   decode_speed [--repeat N] -- VORLENT_DECODE_ARGUMENTS...
//   e.g. decode_speed --repeat 5 -- /tmp/dev_0.mode2 /tmp/dev_1.mode2
//        decode_speed -- --second-pass off --generic off /tmp/dev_0.mode2 /tmp/dev_1.mode2

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <ostream>
#include <string>
#include <vector>

#include "TDecodeCommand.h"

namespace {

constexpr int DefaultRepeat = 3;
constexpr const char* Separator = "--";
constexpr const char* ProgramName = "vorlent-decode";

// A stream that drops everything: the report's cost is counted, not its output.
class TNullBuffer : public std::streambuf {
 protected:
  int overflow(int C) override { return C; }
  std::streamsize xsputn(const char*, std::streamsize Count) override { return Count; }
};

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int Usage() {
  std::cerr << "usage: decode_speed [--repeat N] -- VORLENT_DECODE_ARGUMENTS...\n";
  return 2;
}

}  // namespace

int main(int Argc, char** Argv) {
  int repeat = DefaultRepeat;
  int first = 1;
  for (; first < Argc && std::string(Argv[first]) != Separator; ++first) {
    if (std::string(Argv[first]) == "--repeat" && first + 1 < Argc) {
      repeat = std::max(1, std::atoi(Argv[++first]));
      continue;
    }
    return Usage();
  }
  if (first >= Argc - 1) return Usage();
  std::vector<const char*> arguments{ProgramName};
  for (int i = first + 1; i < Argc; ++i) arguments.push_back(Argv[i]);

  TNullBuffer nothing;
  std::ostream report(&nothing);
  double fastest = 0;
  for (int run = 0; run < repeat; ++run) {
    const double start = CpuSeconds();
    TDecodeCommand command(report, std::cerr, false);
    const int status = command.Run(static_cast<int>(arguments.size()), arguments.data());
    const double seconds = CpuSeconds() - start;
    if (status != TDecodeCommand::ExitOk)
      std::cerr << "run " << run + 1 << ": status " << status << "\n";
    std::printf("run %d: %.3f s CPU\n", run + 1, seconds);
    fastest = run == 0 ? seconds : std::min(fastest, seconds);
  }
  std::printf("fastest of %d: %.3f s CPU\n", repeat, fastest);
  return 0;
}
