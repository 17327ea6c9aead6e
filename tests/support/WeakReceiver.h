#pragma once
// A weak phototransistor signal for the tests of the automatic level: marks barely above the
// trigger, edges of about a sample, the microphone input's coupling capacitor (marks droop,
// the line sinks below rest after a burst) and Gaussian noise, as 8-bit PCM at 48 kHz.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

namespace weak_receiver {
struct TConditions {
  double Peak = 22;        // mark height above the resting level 128
  double NoiseLsb = 1.5;   // standard deviation
  double CouplingMs = 30;  // the high-pass's time constant; 0: none
  double EdgeSamples = 1;  // the edges' time constant
  uint32_t Seed = 5;
};

// The runs of an NEC frame: lead-in, address, its inverse, command, its inverse, stop mark.
inline std::vector<std::pair<bool, double>> NecRuns(uint8_t Address, uint8_t Command) {
  std::vector<std::pair<bool, double>> runs = {{true, 9000}, {false, 4500}};
  const uint32_t bits = Address | (Address ^ 0xFFu) << 8 | Command << 16 | (Command ^ 0xFFu) << 24;
  for (int i = 0; i < 32; ++i) {
    runs.push_back({true, 560});
    runs.push_back({false, (bits >> i) & 1 ? 1690 : 560});
  }
  runs.push_back({true, 560});
  return runs;
}

// Renders Runs ({high, microseconds}, in order) after LeadMs of quiet line, then TailMs.
inline std::vector<uint8_t> Render(const std::vector<std::pair<bool, double>>& Runs,
                                   const TConditions& C, double LeadMs = 20, double TailMs = 20) {
  constexpr double Rate = 48000;
  std::vector<std::pair<double, double>> marks;  // start, end in samples
  double now = LeadMs * Rate / 1000;
  for (auto [high, micros] : Runs) {
    const double end = now + micros * Rate / 1e6;
    if (high) marks.push_back({now, end});
    now = end;
  }
  const size_t total = static_cast<size_t>(now + TailMs * Rate / 1000);
  std::mt19937 random(C.Seed);
  std::normal_distribution<double> noise(0, C.NoiseLsb);
  const double edge = 1 - std::exp(-1 / C.EdgeSamples);
  const double keep = C.CouplingMs > 0 ? 1 - 1 / (C.CouplingMs * Rate / 1000) : 1;
  double smooth = 0, coupled = 0;
  std::vector<uint8_t> pcm(total);
  size_t next = 0;
  for (size_t i = 0; i < total; ++i) {
    double share = 0;  // of this sample covered by a mark
    while (next < marks.size() && marks[next].second <= static_cast<double>(i)) ++next;
    for (size_t m = next; m < marks.size() && marks[m].first < static_cast<double>(i + 1); ++m)
      share += std::min<double>(static_cast<double>(i + 1), marks[m].second) -
               std::max<double>(static_cast<double>(i), marks[m].first);
    const double before = smooth;
    smooth += (share - smooth) * edge;
    coupled = C.CouplingMs > 0 ? keep * (coupled + smooth - before) : smooth;
    const double value = 128 + C.Peak * coupled + noise(random);
    pcm[i] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
  }
  return pcm;
}
}  // namespace weak_receiver
