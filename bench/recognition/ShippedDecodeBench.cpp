// Decode against the shipped library: packets that no definition matches (noise bursts and
// frames bent beyond every window), and frames that only the tolerant second pass reads.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "IrFrame.h"
#include "LibraryPath.h"
#include "ProtocolFacts.h"
#include "TProtocolRecognition.h"
#include "TestRandom.h"

namespace {

constexpr double Rate = 48000;
constexpr double LeadInUs = 1500, EndSilenceUs = 5000;
constexpr int PacketsPerSet = 64;
constexpr int NoiseRunsMin = 10, NoiseRunsMax = 90;
constexpr int NoiseRunUsMin = 150, NoiseRunUsMax = 2500;

// Runs in samples of Frame with every duration x Scale, marks + ShiftUs and spaces - ShiftUs.
std::vector<uint16_t> RunsOf(const TIrFrame& Frame, double Scale, double ShiftUs) {
  std::vector<uint16_t> runs{static_cast<uint16_t>(std::lround(LeadInUs * Rate / 1e6))};
  for (const TRun& run : Frame.Runs) {
    const double us = run.Us * Scale + (run.Mark ? ShiftUs : -ShiftUs);
    runs.push_back(static_cast<uint16_t>(std::max(1L, std::lround(us * Rate / 1e6))));
  }
  if (!Frame.Runs.empty() && Frame.Runs.back().Mark) {
    runs.push_back(static_cast<uint16_t>(std::lround(EndSilenceUs * Rate / 1e6)));
  }
  return runs;
}

TProtocolRecognition& Engine(bool SecondPass) {
  static TProtocolRecognition* engine = [] {
    auto* created = new TProtocolRecognition;
    created->SampleRate = static_cast<uint16_t>(Rate);
    created->SetTolerance(0.00005f);
    created->SetDecimalSeparator(".");
    created->OnReport = [](const std::string& Text) { std::fprintf(stderr, "%s\n", Text.c_str()); };
    created->LoadProtocols(ShippedLibrary());
    return created;
  }();
  engine->SecondPass = SecondPass;
  return *engine;
}

std::vector<std::vector<uint16_t>> NoiseBursts() {
  TTestRandom random(7);
  std::vector<std::vector<uint16_t>> packets;
  for (int p = 0; p < PacketsPerSet; ++p) {
    TIrFrame frame;
    const int count = random.Int(NoiseRunsMin, NoiseRunsMax);
    for (int i = 0; i < count; ++i) {
      frame.Add((i % 2 ? -1 : 1) * random.Real(NoiseRunUsMin, NoiseRunUsMax));
    }
    packets.push_back(RunsOf(frame, 1, 0));
  }
  return packets;
}

// Random NEC frames whose clock runs Scale slow and whose marks are ShiftUs longer.
std::vector<std::vector<uint16_t>> NecFrames(double Scale, double ShiftUs) {
  TTestRandom random(11);
  const TProtocolFacts& facts = FactsOf("NEC");
  std::vector<std::vector<uint16_t>> packets;
  for (int p = 0; p < PacketsPerSet; ++p) {
    TValues values;
    for (const TInput& input : facts.Inputs) values[input.Name] = random.Bits(input.Bits);
    packets.push_back(RunsOf(facts.Encode(values, 0).Frame, Scale, ShiftUs));
  }
  return packets;
}

void Decode(benchmark::State& State, bool SecondPass,
            const std::vector<std::vector<uint16_t>>& Packets, const std::string& Expected) {
  TProtocolRecognition& engine = Engine(SecondPass);
  std::vector<TSample> samples(Packets.size());
  for (size_t i = 0; i < Packets.size(); ++i) samples[i].Pulses = Packets[i];
  size_t next = 0;
  for (auto _ : State) {
    TSample& sample = samples[next];
    next = (next + 1) % samples.size();
    engine.Decode(sample);
    benchmark::DoNotOptimize(sample.Protocol.get());
  }
  for (const TSample& sample : samples) {
    if (sample.Protocol && sample.Protocol->ProtocolName != Expected) {
      State.SkipWithError(("decoded as " + sample.Protocol->ProtocolName).c_str());
      break;
    }
  }
  State.SetItemsProcessed(State.iterations());
}

const auto Noise = NoiseBursts();
const auto BentNec = NecFrames(0.985, 100);  // beyond the exact windows, inside the fit's range
const auto BrokenNec = NecFrames(0.80, 0);   // beyond every window

BENCHMARK_CAPTURE(Decode, NoiseExactOnly, false, Noise, "unknown");
BENCHMARK_CAPTURE(Decode, NoiseBothPasses, true, Noise, "unknown");
BENCHMARK_CAPTURE(Decode, BrokenNecExactOnly, false, BrokenNec, "unknown");
BENCHMARK_CAPTURE(Decode, BrokenNecBothPasses, true, BrokenNec, "unknown");
BENCHMARK_CAPTURE(Decode, BentNecExactOnly, false, BentNec, "unknown");
BENCHMARK_CAPTURE(Decode, BentNecBothPasses, true, BentNec, "NEC");

}  // namespace
