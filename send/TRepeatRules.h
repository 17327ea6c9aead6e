#pragma once
// How each protocol of the library repeats while a key is held: its repeat frame (another
// entry of the library, filled from the frame's fields of the same names) and the period at
// which frames start, as the protocols' descriptions give them.

#include <string>

class TRepeatRules {
 public:
  static constexpr double DefaultPeriodMicros = 108000;  // the most common period
  static constexpr double MinGapMicros = 20000;  // a frame longer than the period gets this after

  struct TRule {
    const char* Protocol;
    const char* RepeatEntry;  // "" : the frame again
    double PeriodMicros;
  };

  // The rule of Protocol; a rule with no repeat entry and the default period when the table
  // has none. Never fails.
  static TRule Of(const std::string& Protocol);
  // The period for a frame of FrameMicros under Rule: its period, or the frame and MinGapMicros
  // when that is longer.
  static double Period(const TRule& Rule, double FrameMicros);
};
