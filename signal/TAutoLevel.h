#pragma once
// The automatic trigger level: follows the line's resting level (which drifts with the
// microphone input's coupling capacitor), its noise and the level of recent marks, and puts
// the level half way between rest and mark, never within reach of the noise and never
// higher above rest than the default level (the library's timings are centred for the edges
// that level sees on strong signals). Fed one value at a time; never fails.

#include <cstddef>
#include <cstdint>

#include "TDecodeSettings.h"

class TAutoLevel {
 public:
  // The band below Level in which a mark goes on: the noise's, at least 1, at most half the
  // way down to rest.
  float Band() const;

  static constexpr float ZeroLine = 128;
  static constexpr float MinSwing = 8;  // LSB above rest that a mark must reach, always
  static constexpr float MaxSwing = TDecodeSettings::DefaultTriggerLevel - ZeroLine;  // 15 LSB
  static constexpr float NoiseFactor = 8;   // a packet starts this many mean deviations above rest
  static constexpr float InitialNoise = 1;  // LSB of mean deviation before any is measured
  static constexpr float BandFactor = 2;    // a mark ends this many mean deviations below Level
  // Time constants in samples at 48 kHz.
  static constexpr float RestFollow = 96;     // 2 ms: rest follows the coupling's drift in spaces
  static constexpr float NoiseFollow = 960;   // 20 ms
  static constexpr float MarkFollow = 48;     // 1 ms: the mark level follows a drooping mark
  static constexpr float MarkForget = 2400;   // 50 ms: between marks it sinks towards rest
  static constexpr size_t PrimeLength = 120;  // values read at most by Prime

  // Starts at Rest, with the initial noise and no mark seen.
  explicit TAutoLevel(float RestLevel = ZeroLine) { Reset(RestLevel); }
  void Reset(float Rest);
  // Starts from the quiet values at the front of Values (up to PrimeLength of them, ending
  // before the first that stands out): rest is their mean and noise their mean deviation.
  // Count 0 keeps the state as it is.
  void Prime(const uint8_t* Values, size_t Count);

  // The value from which the line counts as high (a mark) now: 1..255.
  uint8_t Level() const;
  // The value from which a packet starts out of silence: Level, and well above the noise.
  uint8_t StartLevel() const;
  // Values from this one up keep a packet open: one below the lowest that stays high.
  uint8_t KeepLevel() const;
  // Takes the next value of the line; true when it is high (part of a mark): from Level up
  // after a low value, and after a high one down to a band below Level, so that noise on a
  // slow edge does not split a run.
  bool Take(uint8_t Value);

 private:
  float Rest = ZeroLine;       // the line's resting level
  float Noise = InitialNoise;  // mean deviation of quiet values from Rest
  float Mark = ZeroLine;       // the level of recent marks (Rest when none was seen)
  bool High = false;           // the last value taken was high
};
