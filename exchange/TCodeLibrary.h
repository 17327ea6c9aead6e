#pragma once
// The protocol definitions of a loaded library as the exchange formats need them: frames to
// render and bits to read, and each protocol's carrier.

#include <cstdint>
#include <string>
#include <vector>

#include "TFrameDefinition.h"

class TProtocolRecognition;

class TCodeLibrary {
 public:
  static constexpr uint32_t DefaultCarrierHz = 38000;
  static constexpr uint32_t MaxCarrierHz = 1000000;  // a larger carrier attribute is ignored

  TCodeLibrary() = default;
  // Copies every definition of Recognition's library (none when nothing is loaded). Never
  // fails: a definition with a data field of unreadable length is left out.
  explicit TCodeLibrary(const TProtocolRecognition& Recognition);

  // The first definition named Name, or null.
  const TFrameDefinition* Find(const std::string& Name) const;
  // The carrier of protocol Name: its carrier attribute, else DefaultCarrierHz.
  uint32_t CarrierHz(const std::string& Name) const;
  const std::vector<TFrameDefinition>& Definitions() const { return Items; }

 private:
  std::vector<TFrameDefinition> Items;
};
