#pragma once
// Renders random codes of one protocol and counts how the library decodes them.

#include <cstdint>
#include <string>
#include <vector>

#include "DecodeRig.h"

struct TTally {
  int Total = 0;
  int Right = 0;                   // the code's own entry with the right fields
  int Unknown = 0;                 // "unknown"
  std::vector<std::string> Wrong;  // anything else: "<sent> as <decoded> ..." for the report
  void Add(const TTally& other);
};

// Random receivable input values for Facts.
TValues RandomValues(const TProtocolFacts& Facts, TTestRandom& Random);

// Count codes of Facts on Source, rendered under Conditions, through Rig.
TTally Measure(TDecodeRig& Rig, const TProtocolFacts& Facts, int Source,
               const TRenderConditions& Conditions, int Count, uint64_t Seed);
