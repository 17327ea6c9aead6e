#pragma once
// Renders infrared frames into 48 kHz 8-bit PCM the way a phototransistor at a sound card's
// line input delivers them: marks rise above the 128 zero line with edges that take a sample
// or two, the level varies from remote to remote, and every value carries a little noise.

#include <cstdint>
#include <string>
#include <vector>

#include "IrFrame.h"
#include "TestRandom.h"

struct TRenderConditions {
  std::string Name;
  double RiseSamplesMin = 0, RiseSamplesMax = 0;  // 0: sharp edges
  int PeakMin = 200, PeakMax = 200;               // mark level, 128 = zero line
  int Noise = 0;                                  // +- on every value
  double EdgeJitterSamples = 0;                   // each edge moves by up to +- half of this
};

class TPcmRenderer {
 public:
  static constexpr double SampleRate = 48000;
  static constexpr uint8_t ZeroLine = 128;

  TPcmRenderer(const TRenderConditions& Receiver, TTestRandom& Source)
      : Conditions(Receiver), Random(Source) {}

  // Appends SilenceUs of quiet line, then Frame (a leading space counts as silence), drawing
  // this packet's level and edge times from the conditions. Never reads outside Frame.
  void Append(const TIrFrame& Frame);
  void AppendSilence(double Us);

  std::vector<uint8_t> Pcm;

 private:
  double Quiet();
  uint8_t Noisy(double Value);

  TRenderConditions Conditions;
  TTestRandom& Random;
  double Phase = 0;  // fractional sample position of the stream end
};

// The rendering conditions of the tests.
inline TRenderConditions CleanConditions() {
  return {"clean", 0, 0, 200, 200, 0, 0};
}
// Edges of one or two samples, mark levels 170 to 250, noise of +-3.
inline TRenderConditions EdgeConditions() {
  return {"edges+noise", 1, 2, 170, 250, 3, 0};
}
// As above, and every run off by up to +-1 sample.
inline TRenderConditions JitterConditions() {
  return {"+jitter", 1, 2, 170, 250, 3, 1.0};
}
