#pragma once
// What the input does while recording, for a level meter and its hints: the resting level,
// the recent peaks above and below it, and whether pulses arrive that the trigger never sees
// (too weak, or going down instead of up). Values as the packet cutter sees them: 128 is the
// zero line, an inverted input is turned over first.

#include <cstddef>
#include <cstdint>
#include <deque>

class TInputLevel {
 public:
  static constexpr uint8_t ZeroLine = 128;
  static constexpr double PeakHoldSeconds = 1.5;  // how long a peak stays shown
  static constexpr int SignalMargin = 6;          // values off the resting level that are a signal
  static constexpr int DownShare = 2;  // pulses "go down" when down swings are this much wider

  enum class THint { None, BelowTrigger, Inverted };

  // Takes Size raw input values (before inversion) recorded at Rate Hz; Invert turns them
  // over as the packet cutter does. Data null, Size 0 or Rate 0 are ignored. Never fails.
  void Add(const uint8_t* Data, size_t Size, unsigned Rate, bool Invert);
  // Forgets everything measured (recording stopped).
  void Reset();

  // True once a buffer has been measured since the last Reset.
  bool Measured() const { return !Recent.empty(); }
  // The level the input rests at: the last buffer's median; ZeroLine before any.
  uint8_t Resting() const { return Rest; }
  // The highest and lowest value of the last PeakHoldSeconds; ZeroLine before any.
  uint8_t PeakHigh() const;
  uint8_t PeakLow() const;
  // What to tell the user, for a fixed trigger level Trigger (Automatic: the level is the
  // signal's own, and a weak signal is never below it).
  THint Hint(int Trigger, bool Automatic) const;

 private:
  struct TBuffer {
    double Seconds;  // length
    uint8_t High, Low;
  };

  std::deque<TBuffer> Recent;  // the last PeakHoldSeconds, newest last
  uint8_t Rest = ZeroLine;
};
