#pragma once
// The window program's own command-line options, answered before any window or display is
// needed: --help and --version print and end the program; every other argument is Qt's.

#include <optional>
#include <ostream>

class TWindowCommandLine {
 public:
  static constexpr int Success = 0;

  // Answers an option of the table (the first found) on Out and returns the exit status;
  // nullopt when there is none and the window should open. Never fails.
  static std::optional<int> Answer(int Argc, const char* const* Argv, std::ostream& Out);
};
