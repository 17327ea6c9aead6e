#include "PcmRenderer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
constexpr double UsPerSecond = 1e6;
constexpr double MsPerSecond = 1e3;
constexpr double ModelRate = 48000;          // Hz the band limit's time constant is given at
constexpr double MinMarkUs = 1;              // a mark shifted below this still lights a moment
constexpr double SettledTimeConstants = 12;  // the low-pass has settled to e^-12 after this
}  // namespace

double TSpread::Draw(TTestRandom& Random, double Fallback) const {
  if (Pieces.empty()) return Fallback;
  double total = 0;
  for (const TPiece& p : Pieces) total += p.Weight;
  double pick = Random.Real(0, total);
  for (const TPiece& p : Pieces) {
    if (pick < p.Weight || &p == &Pieces.back()) return Random.Real(p.Min, p.Max);
    pick -= p.Weight;
  }
  return Fallback;
}

void TPcmRenderer::Emit(double Light) {
  double s = Light;
  if (CouplingPerSample > 0) {
    Coupled += (s - Coupled) * CouplingPerSample;
    s -= Coupled;
  }
  double v = Conditions.Inverted ? ZeroLine - Amplitude * s : ZeroLine + Amplitude * s;
  if (Conditions.Noise) v += Random.Int(-Conditions.Noise, Conditions.Noise);
  if (NoiseSigma > 0) {  // Box-Muller
    const double u = 1.0 - Random.Real(0, 1), w = Random.Real(0, 1);
    v += NoiseSigma * std::sqrt(-2 * std::log(u)) * std::cos(2 * std::numbers::pi * w);
  }
  Pcm.push_back(static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)));
  if (KeepLevels) Levels.push_back(static_cast<float>(v));
}

void TPcmRenderer::AppendSilence(double Us) {
  const double end = Phase + Us * Conditions.Rate / UsPerSecond;
  while (static_cast<double>(Pcm.size()) < end) Emit(0);
  Phase = end;
}

// The marks of Frame in samples from the stream's start, the frame starting at Phase, moved by
// the remote's clock, the receiver's shift and the jitter; FrameEnd is where the frame ends.
std::vector<TPcmRenderer::TMark> TPcmRenderer::EdgeTimes(const TIrFrame& Frame, double& FrameEnd) {
  const double clock = Conditions.Clock.Draw(Random, 1);
  const double shift = Conditions.MarkShiftUs.Draw(Random, 0);
  const double perUs = Conditions.Rate / UsPerSecond;
  double t = Phase;
  std::vector<TMark> marks;
  for (const TRun& run : Frame.Runs) {
    const double us = run.Us * clock;
    if (run.Mark) {
      double length = us + shift;
      if (Conditions.MarkJitterUs > 0)
        length += Random.Real(-Conditions.MarkJitterUs, Conditions.MarkJitterUs);
      marks.push_back({t, t + std::max(length, MinMarkUs) * perUs});
    }
    t += us * perUs;
  }
  FrameEnd = marks.empty() ? t : std::max(t, marks.back().End);
  const double j = Conditions.EdgeJitterSamples / 2;
  for (TMark& m : marks) {
    m.Start += j > 0 ? Random.Real(-j, j) : 0.0;
    m.End += j > 0 ? Random.Real(-j, j) : 0.0;
  }
  return marks;
}

// The ramp edges' light at sample Index: the highest of the marks around it.
double TPcmRenderer::Envelope(const std::vector<TMark>& Marks, size_t& Next, double Index) const {
  while (Next < Marks.size() && Marks[Next].End + Fall < Index - 1) ++Next;
  double light = 0;
  for (size_t m = Next; m < Marks.size() && m < Next + 2; ++m) {
    const double up = Rise > 0 ? (Index - Marks[m].Start) / Rise : (Index >= Marks[m].Start);
    const double down = Fall > 0 ? 1.0 - (Index - Marks[m].End) / Fall : (Index < Marks[m].End);
    light = std::max(light, std::clamp(std::min(up, down), 0.0, 1.0));
  }
  return light;
}

// The converter's first-order low-pass of the light at sample Index, exact for on/off light:
// the state decays over the last sample period and gains what each lit stretch of it adds.
double TPcmRenderer::Filtered(const std::vector<TMark>& Marks, size_t& Next, double Index) {
  const double from = Index - 1;
  while (Next < Marks.size() && Marks[Next].End <= from) ++Next;
  LowPass *= std::exp(-1 / Band);
  for (size_t m = Next; m < Marks.size() && Marks[m].Start < Index; ++m) {
    const double lo = std::max(Marks[m].Start, from), hi = std::min(Marks[m].End, Index);
    if (hi > lo) LowPass += std::exp(-(Index - hi) / Band) - std::exp(-(Index - lo) / Band);
  }
  return LowPass;
}

void TPcmRenderer::Append(const TIrFrame& Frame) {
  // Each packet starts at a random fraction of a sample.
  AppendSilence(Random.Real(0, UsPerSecond / Conditions.Rate));
  Amplitude = Random.Int(Conditions.PeakMin, Conditions.PeakMax) - ZeroLine;
  Rise = Random.Real(Conditions.RiseSamplesMin, Conditions.RiseSamplesMax);
  Fall = Random.Real(Conditions.RiseSamplesMin, Conditions.RiseSamplesMax);
  double frameEnd = 0;
  const std::vector<TMark> marks = EdgeTimes(Frame, frameEnd);
  Band = Conditions.BandSamples.Draw(Random, 0) * Conditions.Rate / ModelRate;
  const double coupling = Conditions.CouplingMs.Draw(Random, 0) * Conditions.Rate / MsPerSecond;
  CouplingPerSample = coupling > 0 ? 1 - std::exp(-1 / coupling) : 0;
  NoiseSigma = Conditions.NoiseLsb.Draw(Random, 0);

  const double end = frameEnd + (Band > 0 ? SettledTimeConstants * Band : Fall) + 1;
  size_t next = 0;
  LowPass = 0;
  while (static_cast<double>(Pcm.size()) < end) {
    const double index = static_cast<double>(Pcm.size());
    Emit(Band > 0 ? Filtered(marks, next, index) : Envelope(marks, next, index));
  }
  Phase = end;
}
