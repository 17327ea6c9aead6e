#pragma once
// Flipper Zero's parsed protocols (NEC, NECext, ..., Pioneer): how an address and a command go
// on the air, and which definitions of the library decode those frames.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TCodeLibrary;
class TProtocol;
class TDefinition;

class TFlipperProtocols {
 public:
  struct TParsed {
    std::string Protocol;  // Flipper's name
    uint32_t Address = 0;
    uint32_t Command = 0;
  };
  struct TFrame {
    const TDefinition* Definition = nullptr;
    std::vector<uint64_t> Values;  // one per data field
  };

  // The library's frame that Parsed stands for. Throws TCodeError for an unknown protocol, an
  // address or command wider than the protocol's field, or when no definition of Library
  // decodes that frame.
  static TFrame ToFrame(const TParsed& Parsed, const TCodeLibrary& Library);
  // Flipper's form of a decoded packet; nothing when no Flipper protocol sends that frame
  // (an unknown packet, another protocol, complements that do not hold).
  static std::optional<TParsed> FromPacket(const TProtocol& Decoded, const TCodeLibrary& Library);
};
