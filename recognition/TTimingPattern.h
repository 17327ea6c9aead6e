#pragma once
// The timing-pattern notation of the protocol file: "#560_1690" is a high run of 560 us and then
// a low run of 1690 us; without the leading '#' the first run is low. Items are split at '#',
// '_' and line breaks; each is a decimal number of microseconds with optional spaces around it.

#include <cstddef>
#include <string_view>
#include <vector>

class TTimingPattern {
 public:
  static constexpr size_t MaxTextLength = 65536;  // characters; no real pattern comes close
  static constexpr size_t MaxNumberLength = 64;   // significant digits of one number

  // Reads Text into HighFirst and Durations (microseconds, in order, each the nearest extended
  // precision number to its decimal text). False, with Durations
  // unspecified, when an item is not a number, the text holds no duration, it holds more than
  // MaxDurations durations (they could not fit the runs that are left) or is longer than
  // MaxTextLength. DecimalSeparator is the one text allowed between whole and fraction digits.
  static bool Parse(std::string_view Text, std::string_view DecimalSeparator, size_t MaxDurations,
                    bool& HighFirst, std::vector<long double>& Durations);

 private:
  static std::string_view Trim(std::string_view Text);
  static bool ParseNumber(std::string_view Item, std::string_view DecimalSeparator,
                          long double& Value);
};
