#pragma once
// The window's texts of packets: the report's texts (TTimeTexts, TPacketCells) in the user's
// locale, and the binary form of a field's value.

#include <QString>
#include <cstdint>

#include "TSample.h"

class TPacketTexts {
 public:
  // A duration as "12.5ms" or "1.3s" in the user's locale. Never fails.
  static QString TimePeriod(float Seconds);
  // Value in binary, most significant digit first, "0" for 0. Never fails.
  static QString Binary(uint64_t Value);
  // A capture time (days since 1899-12-30) as the locale's long time of day, no time zone;
  // rounded to the millisecond as the command-line programs round it. Never fails.
  static QString TimeOfDay(double CaptureTime);
  // A packet's Time column: an imported one's offset from the start of its file with
  // milliseconds, any other's time of day. Never fails.
  static QString SampleTime(const TSample& Sample);
};
