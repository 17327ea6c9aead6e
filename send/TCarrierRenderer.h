#pragma once
// Draws a signal as the sound card plays it into IR LEDs: 16-bit stereo PCM at the output's
// rate. Antiphase: a sine at half the carrier on the left and the same sine inverted on the
// right, for two LEDs anti-parallel between left and right, each lit on its half-wave, so the
// light pulses at the full carrier. Mono: the carrier itself on the left (one LED), which
// needs a rate above twice the carrier. Every mark holds whole carrier periods, starts at its
// own time and ends on a zero crossing; between marks the output is silent.

#include <cstdint>
#include <string>
#include <vector>

#include "TIrSignal.h"

class TCarrierRenderer {
 public:
  enum class TMode { Antiphase, Mono };

  static constexpr unsigned DefaultRate = 48000;      // Hz, antiphase
  static constexpr unsigned DefaultMonoRate = 96000;  // Hz
  static constexpr double UsableBand = 0.45;          // of the rate: a converter's passband
  static constexpr double FadePeriods = 0.25;         // carrier periods of fade in and out
  static constexpr double MaxHoldMillis = 60000;      // a longer hold is refused
  static constexpr unsigned MaxRepeats = 1000;        // more repeats are refused
  static constexpr double MaxSignalMicros = 120e6;    // a longer transmission is refused

  struct TOptions {
    TMode Mode = TMode::Antiphase;
    unsigned Rate = DefaultRate;  // Hz
    double Volume = 1;            // full scale of the marks, 0..1
    uint32_t CarrierHz = 0;       // 0: the signal's, else 38 kHz
    unsigned Repeats = 0;         // frames sent after the first
    double HoldMillis = 0;        // > 0: frames keep starting until this much time has passed
  };

  struct TPcm {
    unsigned Rate = 0;
    std::vector<int16_t> Samples;  // left, right, left, right, ...
    size_t Frames() const { return Samples.size() / 2; }
  };

  // The reason why Options cannot carry CarrierHz ("" when it can): the tone it needs lies
  // beyond the usable band of the rate.
  static std::string Refusal(uint32_t CarrierHz, const TOptions& Options);
  // The carrier Signal goes out on under Options.
  static uint32_t Carrier(const TIrSignal& Signal, const TOptions& Options);
  // Every run of the whole transmission: the frame, then repeats (the repeat frame, or the
  // frame again, or the two in turn) each starting a period after the one before (or after
  // the silence of the one before), the last followed by its own silence. Throws TSendError
  // for bad counts or an over-long transmission.
  static std::vector<double> Sequence(const TIrSignal& Signal, const TOptions& Options);
  // The PCM of Sequence. Throws TSendError (the reason) for a carrier the rate cannot carry,
  // a volume outside 0..1, an empty or over-long signal.
  static TPcm Render(const TIrSignal& Signal, const TOptions& Options);
  // The name of Mode as options take it ("antiphase", "mono").
  static const char* ModeName(TMode Mode);

 private:
  static void Burst(double StartSeconds, unsigned Periods, double CarrierHz,
                    const TOptions& Options, TPcm& Pcm);
  static double Fade(double Seconds, double LengthSeconds, double CarrierHz);
};
