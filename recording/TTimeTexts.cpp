#include "TTimeTexts.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr long double Tenth = 0.1L;  // the one decimal of niceTimePeriod
constexpr long double MillisPerSecond = 1000.0L;
constexpr double MicrosPerSecond = 1e6;
constexpr int64_t MillisPerHour = 3600000;
constexpr int64_t MillisPerMinute = 60000;
constexpr int64_t MillisPerDay = 86400000;
constexpr double SecondsPerDay = 86400.0;
constexpr int SignificantDigits = 15;
const char* const NoTime = "-:--:--.---";

// Value rounded to one decimal, halves to even (the rounding mode in force is to nearest).
long double RoundToTenth(long double Value) {
  return std::nearbyintl(Value / Tenth) * Tenth;
}

// The shortest general form with at most 15 significant digits and no exponent.
std::string Shortest(long double Value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*Lg", SignificantDigits, Value);
  std::string s = text;
  if (s.find('e') == std::string::npos) return s;
  std::snprintf(text, sizeof text, "%.1Lf", Value);  // huge: whole digits, ".0" trimmed
  s = text;
  if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0) s.resize(s.size() - 2);
  return s;
}

std::string ClockOfMillis(int64_t Millis) {
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld",
                static_cast<long long>(Millis / MillisPerHour),
                static_cast<long long>(Millis / MillisPerMinute % 60),
                static_cast<long long>(Millis / 1000 % 60), static_cast<long long>(Millis % 1000));
  return text;
}
}  // namespace

std::string TTimeTexts::niceTimePeriod(float Seconds) {
  long double value = Seconds;
  if (value > 1.0L) return Shortest(RoundToTenth(value)) + "s";
  return Shortest(RoundToTenth(value * MillisPerSecond)) + "ms";
}

int64_t TTimeTexts::TimeMicroseconds(uint16_t Count, uint16_t SampleRate) {
  float seconds = static_cast<float>(static_cast<long double>(Count) / SampleRate);
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(seconds) * MicrosPerSecond));
}

std::string TTimeTexts::TimeText(uint16_t Count, uint16_t SampleRate) {
  return std::to_string(TimeMicroseconds(Count, SampleRate));
}

std::string TTimeTexts::ClockText(double Seconds) {
  constexpr double MaxSeconds = 1e12;  // far beyond any recording; keeps the cast in range
  if (!std::isfinite(Seconds) || Seconds < 0 || Seconds > MaxSeconds) return NoTime;
  return ClockOfMillis(static_cast<int64_t>(std::nearbyint(Seconds * 1000.0)));
}

std::string TTimeTexts::TimeOfDayText(double CaptureTime) {
  const int64_t millis = TimeOfDayMillis(CaptureTime);
  return millis < 0 ? NoTime : ClockOfMillis(millis);
}

int64_t TTimeTexts::TimeOfDayMillis(double CaptureTime) {
  if (!std::isfinite(CaptureTime)) return -1;
  const double fraction = CaptureTime - std::floor(CaptureTime);
  const auto millis = static_cast<int64_t>(std::nearbyint(fraction * SecondsPerDay * 1000.0));
  return millis % MillisPerDay;
}
