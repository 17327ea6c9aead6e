#pragma once
// The decoding options that every command-line program takes (--protocols, --invert, ...):
// added to a CLI11 parser in one place, and applied to the engine from one place.

#include <string>

#include "TDecodeSettings.h"
#include "TLibraryLocator.h"

namespace CLI {
class App;
}
class TProtocolRecognition;

class TDecodeOptions {
 public:
  // Adds the options to App; their values land here when App parses. Never fails.
  void AddTo(CLI::App& App);
  // The library to load: the one named with --protocols, else the first Locator finds; ""
  // when it finds none (Locator.NotFoundText() says where it looked).
  std::string LibraryFile() const;
  // True when the user named the library (then a failure to load it fails the run).
  bool LibraryNamed() const { return !Protocols.empty(); }
  // Gives Engine the sample rate and tolerance of Settings. Never fails.
  void Apply(TProtocolRecognition& Engine) const;

  TDecodeSettings Settings;
  std::string Protocols;    // --protocols, empty when not given
  TLibraryLocator Locator;  // where the library is looked for without --protocols
};
