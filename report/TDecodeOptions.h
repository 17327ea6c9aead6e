#pragma once
// The decoding options that every command-line program takes (--protocols, --invert,
// --tolerance, --level, --end-silence, --second-pass, --generic): added to a CLI11 parser in one
// place, and applied to the engine and the signal processor from one place. A value out of range
// fails the parse with a text that names the option and the reason.

#include <optional>
#include <ostream>
#include <string>

#include "TDecodeSettings.h"
#include "TLibraryLocator.h"

namespace CLI {
class App;
}
class TProtocolRecognition;
class TSignalProcessor;

class TDecodeOptions {
 public:
  // Adds the options to App; their values land here when App parses. Never fails.
  void AddTo(CLI::App& App);
  // The library to load: the one named with --protocols, else the first Locator finds; ""
  // when it finds none (Locator.NotFoundText() says where it looked).
  std::string LibraryFile() const;
  // True when the user named the library (then a failure to load it fails the run).
  bool LibraryNamed() const { return !Protocols.empty(); }
  // Loads LibraryFile into Engine. "" when it loaded; else why not, as lines of a terminal:
  // where the library was looked for when none was found, or "FILE: reason".
  std::string Load(TProtocolRecognition& Engine) const;
  // Parses Argv into App. Nothing when the program goes on; else the status it ends with:
  // 0 after --help or --version (printed on Out), 2 after a usage error (reported on Err as
  // "PROGRAM: reason" with a hint to --help).
  static std::optional<int> Parse(CLI::App& App, int Argc, const char* const* Argv,
                                  std::ostream& Out, std::ostream& Err);
  // Gives Engine the sample rate, tolerance and second pass of Settings. Never fails.
  void Apply(TProtocolRecognition& Engine) const;
  // Gives Processor the level, ending silence and inversion of Settings (a recording decoder takes
  // Settings whole). Never fails.
  void Apply(TSignalProcessor& Processor) const;

  TDecodeSettings Settings;
  std::string Protocols;    // --protocols, empty when not given
  TLibraryLocator Locator;  // where the library is looked for without --protocols
};
