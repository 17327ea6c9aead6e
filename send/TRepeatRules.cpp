#include "TRepeatRules.h"

#include <algorithm>
#include <iterator>

namespace {
// One line per protocol whose descriptions say how it repeats; the rest repeat their frame
// every DefaultPeriodMicros.
constexpr TRepeatRules::TRule Rules[] = {
    {"NEC", "NEC repeat", 108000},
    {"Apple", "NEC repeat", 108000},
    {"NEC42", "NEC42 repeat", 108000},
    {"Kathrein", "Kathrein repeat", 105000},
    {"JVC", "JVC (no lead-in)", 46000},
    {"Samsung20", "", 100000},
    {"Sony12", "", 45000},
    {"Sony15", "", 45000},
    {"Sony20", "", 45000},
    {"RC5", "", 114000},
    {"RC5X", "", 114000},
    {"MCE", "", 107000},
    {"RC6-6-20", "", 107000},
    {"RC6-0-16 T0", "", 107000},
    {"RC6-0-16 T1", "", 107000},
    {"Mitsubishi", "", 80000},
    {"Grundig", "", 118000},
    {"NRC17", "", 100000},
};
}  // namespace

TRepeatRules::TRule TRepeatRules::Of(const std::string& Protocol) {
  const auto rule = std::find_if(std::begin(Rules), std::end(Rules),
                                 [&](const TRule& r) { return Protocol == r.Protocol; });
  return rule != std::end(Rules) ? *rule : TRule{"", "", DefaultPeriodMicros};
}

double TRepeatRules::Period(const TRule& Rule, double FrameMicros) {
  return std::max(Rule.PeriodMicros, FrameMicros + MinGapMicros);
}
