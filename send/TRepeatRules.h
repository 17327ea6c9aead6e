#pragma once
// How each protocol of the library repeats while a key is held: its repeat frame (another
// entry of the library, filled from the frame's fields of the same names) and the period at
// which frames start, or the silence after each frame, as the protocols' descriptions give them.

#include <string>

class TRepeatRules {
 public:
  static constexpr double DefaultPeriodMicros = 108000;  // the most common period
  static constexpr double MinGapMicros = 20000;  // a frame longer than the period gets this after

  struct TRule {
    const char* Protocol;
    const char* RepeatEntry;  // "" : the frame again
    double PeriodMicros;      // start to start; 0: every frame followed by GapMicros
    double GapMicros = 0;     // the least silence after the first frame
    bool Alternates = false;  // the frame and the repeat entry take turns (two-frame keys)
  };

  // The rule of Protocol; a rule with no repeat entry and the default period when the table
  // has none. Never fails.
  static TRule Of(const std::string& Protocol);
  // The start-to-start period of frames of FrameMicros under Rule (up to the end of the last
  // mark): its period when the frame fits in it, else the frame and MinGapMicros; 0 for a rule
  // without a period (every frame is followed by its gap).
  static double Period(const TRule& Rule, double FrameMicros);
};
