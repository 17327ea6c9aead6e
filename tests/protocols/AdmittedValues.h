#pragma once
// Random field values of a definition that its checks admit, as a remote of the protocol sends
// them: a field that complements another holds the complement, an excluded value is drawn again.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "TDefinition.h"
#include "TestRandom.h"

inline std::vector<uint64_t> AdmittedValues(const TDefinition& Definition, TTestRandom& Random) {
  constexpr int MostDraws = 1000;
  std::vector<uint64_t> values;
  for (const TDefinition::TItem& item : Definition.Items) {
    if (item.IsDelimiter) continue;
    const auto bits = static_cast<int>(std::min(item.Length, 32u));
    uint64_t value = Random.Bits(bits);
    if (item.ComplementOf && *item.ComplementOf < values.size()) {
      const uint64_t mask = item.Length >= 64 ? ~uint64_t{0} : (uint64_t{1} << item.Length) - 1;
      value = ~values[*item.ComplementOf] & mask;
    }
    for (int draw = 0; draw < MostDraws && !item.Admits(value, values); ++draw)
      value = Random.Bits(bits);
    values.push_back(value);
  }
  return values;
}
