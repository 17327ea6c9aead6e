#include "TRepeatRules.h"

#include <algorithm>
#include <iterator>

namespace {
// One line per protocol whose descriptions say how it repeats; the rest repeat their frame
// every DefaultPeriodMicros.
constexpr TRepeatRules::TRule Rules[] = {
    {"NEC", "NEC repeat", 108000},
    {"Apple", "NEC repeat", 108000},
    {"TiVo", "NEC repeat", 108000},
    {"Dgtec", "NEC repeat", 108000},  // its 8.96 / 2.24 ms ditto is NEC's
    {"NEC42", "NEC42 repeat", 108000},
    {"G.I. Cable", "G.I. Cable repeat", 98700, 41000},
    {"Kathrein", "Kathrein repeat", 105000},
    {"Teac-K", "Teac-K repeat", 43000, 43000},
    {"JVC", "JVC (no lead-in)", 46000},
    {"Sharp", "Sharp (2nd frame)", 0, 43600, true},
    {"Denon", "Denon (2nd frame)", 0, 43600, true},
    {"Proton", "", 63000},
    {"Samsung20", "", 100000},
    {"Sony12", "", 45000},
    {"Sony15", "", 45000},
    {"Sony20", "", 45000},
    {"StreamZap", "", 114000},
    {"RC5", "", 114000},
    {"RC5X", "", 114000},
    {"MCE", "", 107000},
    {"RC6-6-20", "", 107000},
    {"RC6-0-16 T0", "", 107000},
    {"RC6-0-16 T1", "", 107000},
    {"Panasonic2", "", 74700},
    {"SharpDVD", "", 67000},
    {"Akai", "", 25300},
    {"Thomson", "", 80000},
    {"Nokia32", "", 100000},
    {"Nokia", "", 100000},
    {"Nokia12", "", 100000},
    {"Pace MSS", "", 120000},
    {"NRC17", "", 100000},
    {"NRC16", "", 110000},
    {"Grundig", "", 118000},
    {"Blaupunkt", "", 121000},
    // Frames followed by a given silence.
    {"G.I.4DTV", "", 0, 59500},
    {"Emerson", "", 0, 34000},
    {"Panasonic_Old", "", 0, 44000},
    {"Mitsubishi", "", 0, 24000},
    {"Bose", "", 0, 50000},
    {"Jerrold", "", 0, 23500},
    {"Zenith8", "", 0, 90000},
    {"Zenith7", "", 0, 90000},
    {"Zenith6", "", 0, 90000},
    {"Zenith5", "", 0, 90000},
    {"Velleman", "", 0, 55000},
    {"RECS80", "", 0, 45000},
    {"F12", "", 0, 33800},
    {"Sejin-1-38", "", 0, 24000},
    {"Grundig16", "", 0, 57800},
    {"DirecTV", "", 0, 30000},
};
}  // namespace

TRepeatRules::TRule TRepeatRules::Of(const std::string& Protocol) {
  const auto rule = std::find_if(std::begin(Rules), std::end(Rules),
                                 [&](const TRule& r) { return Protocol == r.Protocol; });
  return rule != std::end(Rules) ? *rule : TRule{"", "", DefaultPeriodMicros};
}

double TRepeatRules::Period(const TRule& Rule, double FrameMicros) {
  if (Rule.PeriodMicros <= 0) return 0;
  return FrameMicros < Rule.PeriodMicros ? Rule.PeriodMicros : FrameMicros + MinGapMicros;
}
