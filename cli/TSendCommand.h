#pragma once
// vorlent-send: sends a protocol's code with the given field values, or a code of a file
// (Flipper .ir, Pronto Hex, lircd.conf, mode2), through the sound card's output to IR LEDs,
// or renders it into a WAV file.

#include <atomic>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TCarrierRenderer.h"
#include "TIrSignal.h"
#include "TLibraryLocator.h"

class TCodeLibrary;
class TSoundOutput;

class TSendCommand {
 public:
  static constexpr int ExitOk = 0, ExitFailed = 1;  // CLI11 usage errors exit with 2
  static constexpr const char* ProgramName = "vorlent-send";

  // Writes listings to Out and errors to Err ("vorlent-send: reason"); plays on Output.
  TSendCommand(std::ostream& Out, std::ostream& Err, std::unique_ptr<TSoundOutput> Output,
               TLibraryLocator Locator = TLibraryLocator());

  // Runs the command line; Stop ends a playback early. Returns the exit status. Never throws.
  int Run(int Argc, const char* const* Argv, const std::atomic<bool>& Stop);

 private:
  struct TRequest;
  int Send(const TRequest& Request, const std::atomic<bool>& Stop);
  std::shared_ptr<const TCodeLibrary> LoadLibrary(const std::string& Named);
  TIrSignal SignalOf(const TRequest& Request, std::shared_ptr<const TCodeLibrary> Library);
  TIrSignal CodeOfFile(const TRequest& Request, std::shared_ptr<const TCodeLibrary> Library);
  int ListDevices();
  void ListProtocols(const TCodeLibrary& Library);
  int Error(const std::string& Text);

  std::ostream& Out;
  std::ostream& Err;
  std::unique_ptr<TSoundOutput> Output;
  TLibraryLocator Locator;
};
