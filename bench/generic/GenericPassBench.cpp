// The generic pass on a 100-run packet (a pulse-distance frame of 48 bits with lead-in and
// trailer), read alone and decoded into a sample; and on 100 runs of noise, which it tries
// every coding on before refusing.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "TGenericPass.h"

namespace {
constexpr uint16_t Rate = 48000;
constexpr uint16_t Lead = 432, LeadSpace = 216, Mark = 27, Zero = 27, One = 81, Silence = 240;
constexpr int Bits = 48;

std::vector<uint16_t> Packet() {
  std::vector<uint16_t> runs = {100, Lead, LeadSpace};
  for (int i = 0; i < Bits; ++i) {
    runs.push_back(Mark);
    runs.push_back((i * 7 % 3) ? One : Zero);
  }
  runs.push_back(Mark);
  runs.push_back(Silence);
  return runs;  // 1 + 2 + 96 + 2 runs: 100 after the leading low run
}

void ReadPacket(benchmark::State& State) {
  const std::vector<uint16_t> runs = Packet();
  for (auto _ : State) benchmark::DoNotOptimize(TGenericPass::Read(runs, Rate));
}
BENCHMARK(ReadPacket);

void DecodeSample(benchmark::State& State) {
  TSample sample;
  sample.Pulses = Packet();
  TGenericPass pass;
  for (auto _ : State) benchmark::DoNotOptimize(pass.Decode(sample, Rate));
}
BENCHMARK(DecodeSample);

void RefuseNoise(benchmark::State& State) {
  constexpr int MinSamples = 8, MaxSamples = 190;  // 170 us .. 4 ms
  std::mt19937 random(7);
  std::uniform_int_distribution<int> samples(MinSamples, MaxSamples);
  std::vector<uint16_t> runs = {100};
  for (int i = 0; i < 100; ++i) runs.push_back(static_cast<uint16_t>(samples(random)));
  runs.push_back(Silence);
  for (auto _ : State) benchmark::DoNotOptimize(TGenericPass::Read(runs, Rate));
}
BENCHMARK(RefuseNoise);
}  // namespace
