#pragma once
// Loads a protocol library into a recognition engine and hands back what went wrong, for every
// front end to word as it shows errors.

#include <string>

class TProtocolRecognition;

class TLibraryLoad {
 public:
  // Loads File into Engine. "" when it loaded; else the engine's report (lines separated by
  // "\r"), and Engine keeps no definitions of File. Engine's OnReport is left as it was.
  static std::string Into(TProtocolRecognition& Engine, const std::string& File);
  // Report with its "\r" line breaks turned into Separator. Never fails.
  static std::string Joined(std::string Report, char Separator);
};
