#include "PcmRenderer.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double UsPerSecond = 1e6;
double ToSamples(double Us) {
  return Us * TPcmRenderer::SampleRate / UsPerSecond;
}
}  // namespace

uint8_t TPcmRenderer::Noisy(double Value) {
  const int noise = Conditions.Noise ? Random.Int(-Conditions.Noise, Conditions.Noise) : 0;
  return static_cast<uint8_t>(std::clamp(std::lround(Value) + noise, 0L, 255L));
}

void TPcmRenderer::AppendSilence(double Us) {
  const double end = Phase + ToSamples(Us);
  while (static_cast<double>(Pcm.size()) < end) Pcm.push_back(Noisy(ZeroLine));
  Phase = end;
}

void TPcmRenderer::Append(const TIrFrame& Frame) {
  // Each packet starts at a random fraction of a sample.
  AppendSilence(Random.Real(0, UsPerSecond / SampleRate));
  const double peak = Random.Int(Conditions.PeakMin, Conditions.PeakMax);
  const double rise = Random.Real(Conditions.RiseSamplesMin, Conditions.RiseSamplesMax);
  const double fall = Random.Real(Conditions.RiseSamplesMin, Conditions.RiseSamplesMax);
  auto jitter = [&] {
    const double j = Conditions.EdgeJitterSamples / 2;
    return j > 0 ? Random.Real(-j, j) : 0.0;
  };
  // Edge times in samples, the first run of the frame starting at Phase.
  double t = Phase;
  std::vector<std::pair<double, double>> marks;
  for (const TRun& run : Frame.Runs) {
    const double next = t + ToSamples(run.Us);
    if (run.Mark) marks.push_back({t, next});
    t = next;
  }
  for (auto& [a, b] : marks) {
    a += jitter();
    b += jitter();
  }
  const double end = t + fall + 1;
  while (static_cast<double>(Pcm.size()) < end) Pcm.push_back(0);  // filled below
  size_t from = static_cast<size_t>(std::ceil(Phase));
  std::vector<double> env(Pcm.size() - std::min(from, Pcm.size()), 0.0);
  for (const auto& [a, b] : marks) {
    const size_t k0 = static_cast<size_t>(std::max(0.0, std::floor(a)));
    const size_t k1 = static_cast<size_t>(std::ceil(b + fall));
    for (size_t k = std::max(k0, from); k <= k1 && k < Pcm.size(); ++k) {
      const double x = static_cast<double>(k);
      const double up = rise > 0 ? (x - a) / rise : (x >= a ? 1.0 : 0.0);
      const double down = fall > 0 ? 1.0 - (x - b) / fall : (x < b ? 1.0 : 0.0);
      env[k - from] = std::max(env[k - from], std::clamp(std::min(up, down), 0.0, 1.0));
    }
  }
  for (size_t k = from; k < Pcm.size(); ++k)
    Pcm[k] = Noisy(ZeroLine + (peak - ZeroLine) * env[k - from]);
  Phase = end;
}
