#pragma once
// The texts of durations and times shown for packets, without any user-interface toolkit.
// Numbers use the C locale: a full stop is the decimal separator.

#include <cstdint>
#include <string>

class TTimeTexts {
 public:
  // A duration for the "Length" and "Gap" columns: above one second in seconds with one
  // decimal ("1.3s"), otherwise in milliseconds with one decimal ("12.5ms", "1000ms");
  // halves round to even, shortest form. Never fails ("nan"/"inf" for such input).
  static std::string niceTimePeriod(float Seconds);
  // A run of Count PCM samples as whole microseconds: round-half-even of
  // float(Count / SampleRate) x 1e6 ("562" for 27 at 48000). SampleRate must not be 0.
  static int64_t TimeMicroseconds(uint16_t Count, uint16_t SampleRate);
  // TimeMicroseconds as plain digits, as the timing copied to the clipboard lists them.
  static std::string TimeText(uint16_t Count, uint16_t SampleRate);
  // Seconds from a start as h:mm:ss.mmm, rounded to the millisecond ("0:01:02.500");
  // negative or non-finite input gives "-:--:--.---".
  static std::string ClockText(double Seconds);
  // The time of day of a capture time (days since 1899-12-30) as h:mm:ss.mmm; the date part
  // is dropped. Non-finite input gives "-:--:--.---".
  static std::string TimeOfDayText(double CaptureTime);
  // The time of day of a capture time in milliseconds since midnight (0..86399999), rounded
  // half to even as every time text of a packet is; -1 for non-finite input.
  static int64_t TimeOfDayMillis(double CaptureTime);
};
