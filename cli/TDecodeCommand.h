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

  // Out receives the report, Err the errors and, when Terminal, the progress bar.
  TDecodeCommand(std::ostream& Out, std::ostream& Err, bool Terminal)
      : Out(Out), Err(Err), Terminal(Terminal) {}

  // Runs the command line; returns the exit status. Never throws.
  int Run(int Argc, const char* const* Argv);

 private:
  bool LoadProtocols(TProtocolRecognition& Engine, const std::string& FileName);
  bool DecodeInput(TProtocolRecognition& Engine, TPacketReport& Report, const std::string& Input);
  bool DecodeRecording(TProtocolRecognition& Engine, TPacketReport& Report,
                       const std::string& Input);
  void DecodeSampleFiles(TProtocolRecognition& Engine, TPacketReport& Report,
                         const std::string& Input);
  void Error(const std::string& Text) const;

  std::ostream& Out;
  std::ostream& Err;
  bool Terminal;
  TDecodeOptions Options;
  std::shared_ptr<const TCodeLibrary> Library;  // the loaded definitions, for code files
  uint32_t CarrierHz = 0;                       // --carrier; 0: each protocol's own
};
