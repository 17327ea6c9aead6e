#pragma once
// How a program that records or sends is asked to stop: SIGINT or SIGTERM sets a flag its
// loop polls and ends it cleanly; a second one ends the program at once, as usual.

#include <atomic>

class TStopSignals {
 public:
  // Installs the handlers of SIGINT and SIGTERM (each fires once, then the default returns);
  // the flag they set, false until then. Never fails.
  static const std::atomic<bool>& Install();
};
