#pragma once
// Renders infrared frames into PCM the way a phototransistor at a sound card's line input
// delivers them. Two edge models: straight ramps of a sample or two (the tests' conditions), or
// the receiver model: the remote's clock and a receiver's mark shift move the edges, the
// converter's first-order low-pass rounds them, the coupling capacitor's high-pass lets long
// marks droop and the baseline sag after a burst, and the level, noise and polarity vary. Every
// effect is drawn per packet from the conditions with a seeded generator, and each is off by
// default.

#include <cstdint>
#include <string>
#include <vector>

#include "IrFrame.h"
#include "TestRandom.h"

// A value drawn from pieces, each chosen with its weight and uniform within its bounds; empty
// draws the fallback.
struct TSpread {
  struct TPiece {
    double Weight = 1, Min = 0, Max = 0;
  };
  std::vector<TPiece> Pieces{};

  bool Empty() const { return Pieces.empty(); }
  double Draw(TTestRandom& Random, double Fallback) const;
};

// Uniform between Min and Max.
inline TSpread Between(double Min, double Max) {
  return {{{1, Min, Max}}};
}

struct TRenderConditions {
  std::string Name;
  double RiseSamplesMin = 0, RiseSamplesMax = 0;  // ramp edges; 0: sharp edges
  int PeakMin = 200, PeakMax = 200;               // mark level, 128 = zero line
  int Noise = 0;                                  // +- on every value
  double EdgeJitterSamples = 0;                   // each edge moves by up to +- half of this

  // The receiver model.
  TSpread Clock{};          // every duration of a frame x this (the remote's clock); empty: 1
  TSpread MarkShiftUs{};    // every mark longer and the space after it shorter by this
  double MarkJitterUs = 0;  // each mark's length moves by up to +- this
  TSpread BandSamples{};    // converter's first-order low-pass: time constant, 48 kHz samples
  TSpread CouplingMs{};     // coupling capacitor's one-pole high-pass: time constant
  TSpread NoiseLsb{};       // Gaussian line noise: standard deviation, 8-bit steps
  bool Inverted = false;    // the receiver idles at the zero line and dips on a burst
  double Rate = 48000;      // Hz of the rendering
};

class TPcmRenderer {
 public:
  static constexpr double SampleRate = 48000;
  static constexpr uint8_t ZeroLine = 128;

  TPcmRenderer(const TRenderConditions& Drawn, TTestRandom& Generator)
      : Conditions(Drawn), Random(Generator) {}

  // Appends SilenceUs of quiet line, then Frame (a leading space counts as silence), drawing
  // this packet's level and edge times from the conditions. Never reads outside Frame.
  void Append(const TIrFrame& Frame);
  void AppendSilence(double Us);

  std::vector<uint8_t> Pcm;   // 8-bit values at Conditions.Rate
  bool KeepLevels = false;    // also keep the unquantized values (for 16-bit files)
  std::vector<float> Levels;  // 8-bit scale, 128 the zero line, noise included

 private:
  struct TMark {
    double Start = 0, End = 0;  // samples from the stream's start
  };
  std::vector<TMark> EdgeTimes(const TIrFrame& Frame, double& FrameEnd);
  double Envelope(const std::vector<TMark>& Marks, size_t& Next, double Index) const;
  double Filtered(const std::vector<TMark>& Marks, size_t& Next, double Index);
  void Emit(double Light);

  TRenderConditions Conditions;
  TTestRandom& Random;
  double Phase = 0;  // fractional sample position of the stream end
  // This packet's draws.
  double Amplitude = 0;  // mark level above the zero line
  double Rise = 0, Fall = 0, Band = 0, NoiseSigma = 0;
  double CouplingPerSample = 0;  // 1 - exp(-1 / time constant), 0: DC coupled
  // Filter states carried from sample to sample, across packets.
  double LowPass = 0, Coupled = 0;
};

// The rendering conditions of the tests.
inline TRenderConditions CleanConditions() {
  return {.Name = "clean"};
}
// Edges of one or two samples, mark levels 170 to 250, noise of +-3.
inline TRenderConditions EdgeConditions() {
  return {.Name = "edges+noise",
          .RiseSamplesMin = 1,
          .RiseSamplesMax = 2,
          .PeakMin = 170,
          .PeakMax = 250,
          .Noise = 3};
}
// As above, and every run off by up to +-1 sample.
inline TRenderConditions JitterConditions() {
  TRenderConditions c = EdgeConditions();
  c.Name = "+jitter";
  c.EdgeJitterSamples = 1.0;
  return c;
}

// A typical phototransistor at a sound card: a coupling capacitor of 10-100 ms, a converter
// whose edges take 0.5-1.5 samples, marks of 170-250, noise of 1-2 steps, marks +-15 us.
inline TRenderConditions TypicalReceiverConditions() {
  TRenderConditions c{.Name = "typical", .PeakMin = 170, .PeakMax = 250};
  c.BandSamples = Between(0.5, 1.5);
  c.CouplingMs = Between(10, 100);
  c.NoiseLsb = Between(1, 2);
  c.MarkJitterUs = 15;
  return c;
}

// Real remotes' own timing, as their owners measured them: the clock within -1..+2 % for most
// and 5-6 % short for one in twenty; marks shifted by a median of +39 us (5th to 95th
// percentile -26 to +118 us).
inline TRenderConditions WithRealRemoteTiming(TRenderConditions c) {
  c.Clock = {{{0.95, 0.99, 1.02}, {0.05, 0.94, 0.95}}};
  c.MarkShiftUs = {{{0.05, -30, -26}, {0.45, -26, 39}, {0.45, 39, 118}, {0.05, 118, 125}}};
  return c;
}
