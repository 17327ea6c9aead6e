#pragma once
// A weak phototransistor signal for the tests of the automatic level, as 8-bit PCM at 48 kHz:
// marks barely above the trigger, edges of about a sample, the microphone input's coupling
// capacitor (marks droop, the line sinks below rest after a burst) and Gaussian noise.

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

namespace weak_receiver {
using TRuns = std::vector<std::pair<bool, double>>;  // {high, microseconds}, in order

// An NEC frame: lead-in, address, its inverse, command, its inverse, stop mark.
inline TRuns NecRuns(uint8_t Address, uint8_t Command) {
  TRuns runs = {{true, 9000}, {false, 4500}};
  const uint32_t bits = Address | (Address ^ 0xFFu) << 8 | Command << 16 | (Command ^ 0xFFu) << 24;
  for (int i = 0; i < 32; ++i)
    runs.insert(runs.end(), {{true, 560}, {false, (bits >> i) & 1 ? 1690. : 560.}});
  runs.push_back({true, 560});
  return runs;
}

// Runs after 20 ms of quiet line and before 20 more: marks Peak above 128, edges with a time
// constant of one sample, a coupling capacitor of CouplingMs (0: none) and noise.
inline std::vector<uint8_t> Render(const TRuns& Runs, double Peak = 22, double NoiseLsb = 1.5,
                                   double CouplingMs = 30, unsigned Seed = 5) {
  constexpr double SamplesPerMicro = 0.048, Quiet = 960, Edge = 0.632;  // 1 - e^-1
  std::vector<double> ideal(static_cast<size_t>(Quiet), 0);
  double now = Quiet;
  for (auto [high, micros] : Runs) {
    const double end = now + micros * SamplesPerMicro;
    for (double at = now; at < end; at = std::floor(at) + 1) {
      if (at >= static_cast<double>(ideal.size())) ideal.push_back(0);
      if (high) ideal.back() += std::min(end, std::floor(at) + 1) - at;
    }
    now = end;
  }
  ideal.resize(ideal.size() + static_cast<size_t>(Quiet), 0);
  std::mt19937 random(Seed);
  std::normal_distribution<double> noise(0, NoiseLsb);
  const double keep = CouplingMs > 0 ? 1 - 1 / (CouplingMs * 48) : 1;
  double smooth = 0, coupled = 0;
  std::vector<uint8_t> pcm;
  for (double share : ideal) {
    const double before = smooth;
    smooth += (share - smooth) * Edge;
    coupled = CouplingMs > 0 ? keep * (coupled + smooth - before) : smooth;
    pcm.push_back(static_cast<uint8_t>(
        std::clamp(std::lround(128 + Peak * coupled + noise(random)), 0L, 255L)));
  }
  return pcm;
}
}  // namespace weak_receiver
