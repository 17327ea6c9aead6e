#pragma once
// The protocol definitions of a loaded library as the exchange formats need them, copied from
// the decoder's compiled definitions so that they can be used on any thread: frames to render
// and bits to read, and each protocol's carrier.

#include <cstdint>
#include <string>
#include <vector>

#include "TDefinition.h"

class TProtocolRecognition;

class TCodeLibrary {
 public:
  static constexpr uint32_t DefaultCarrierHz = 38000;
  static constexpr uint32_t MaxCarrierHz = TDefinition::MaxCarrierHz;  // larger is ignored

  TCodeLibrary() = default;
  // Copies every complete definition of Recognition's library (none when nothing is loaded);
  // one the decoder cannot read whole (TDefinition::Complete) is left out. Never fails.
  explicit TCodeLibrary(const TProtocolRecognition& Recognition);

  // The first definition named Name, or null.
  const TDefinition* Find(const std::string& Name) const;
  // The carrier of protocol Name: its carrier attribute, else DefaultCarrierHz.
  uint32_t CarrierHz(const std::string& Name) const;
  const std::vector<TDefinition>& Definitions() const { return Items; }

 private:
  std::vector<TDefinition> Items;
};
