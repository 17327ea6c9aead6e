#pragma once
// vorlent-decode: decodes recordings (audio files) and saved samples (.map/.dat) with the
// window's recognition engine and prints the packets as a table, CSV or JSON.

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "TDecodeOptions.h"
#include "TPacketReport.h"

class TCodeLibrary;
class TProtocolRecognition;

class TDecodeCommand {
 public:
  static constexpr int ExitOk = 0;
  static constexpr int ExitInputFailed = 1;  // an input (or a named --protocols) failed
  static constexpr int ExitUsage = 2;        // bad or missing options

  // Report receives the report, Errors the errors and, when OnTerminal, the progress bar.
  TDecodeCommand(std::ostream& Report, std::ostream& Errors, bool OnTerminal)
      : Out(Report), Err(Errors), Terminal(OnTerminal) {}

  // Runs the command line; returns the exit status. Never throws.
  int Run(int Argc, const char* const* Argv);
  // Without --protocols, the library is the first found in Folders (instead of the usual
  // places).
  void SearchLibraryIn(std::vector<std::string> Folders) {
    Options.Locator = TLibraryLocator(std::move(Folders));
  }

 private:
  bool DecodeInput(TProtocolRecognition& Engine, TPacketReport& Report, const std::string& Input);
  bool DecodeRecording(TProtocolRecognition& Engine, TPacketReport& Report,
                       const std::string& Input);
  size_t DecodeSampleFiles(TProtocolRecognition& Engine, TPacketReport& Report,
                           const std::string& Input);
  void Error(const std::string& Text) const;
  // Hands a decoded packet to the report, or when learning keeps it if it is unknown or generic.
  void Deliver(TPacketReport& Report, const TSample& Sample);
  // --learn: prints the definition learned from the packets kept (and adds it to --learn-into).
  int Learn();

  std::ostream& Out;
  std::ostream& Err;
  bool Terminal;
  TDecodeOptions Options;
  std::shared_ptr<const TCodeLibrary> Library;  // the loaded definitions, for code files
  uint32_t CarrierHz = 0;                       // --carrier; 0: each protocol's own
  std::string LearnName;                        // --learn; empty: decode as usual
  std::string LearnInto;                        // --learn-into
  std::vector<std::vector<uint16_t>> LearnPackets;
};
