// Saving and reading back 10,000 samples of 4,000 bytes each.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "TSignalProcessor.h"

namespace fs = std::filesystem;

namespace {
constexpr int SampleCount = 10000;
constexpr size_t SignalLength = 4000;  // bytes

std::unique_ptr<TSample> BusySample() {
  auto sample = std::make_unique<TSample>();
  sample->Signal.assign(SignalLength, 128);
  for (size_t at = 120; at + 108 < SignalLength - 240; at += 108)
    std::fill_n(sample->Signal.begin() + static_cast<long>(at), 27, 210);
  return sample;
}

struct Files {
  Files() {
    std::string pattern = (fs::temp_directory_path() / "vorlent-bench-XXXXXX").string();
    Dir = mkdtemp(pattern.data());
    for (int i = 0; i < SampleCount; ++i) Processor.AddSample(BusySample());
  }
  ~Files() { fs::remove_all(Dir); }
  fs::path Dir;
  TSignalProcessor Processor;
};

void BM_SaveSamples(benchmark::State& state) {
  Files files;
  for (auto _ : state) files.Processor.SaveSamples((files.Dir / "bench").string());
  state.SetItemsProcessed(state.iterations() * SampleCount);
}

// Reading includes rebuilding every sample's run lengths.
void BM_ReadSamples(benchmark::State& state) {
  Files files;
  files.Processor.SaveSamples((files.Dir / "bench").string());
  for (auto _ : state)
    benchmark::DoNotOptimize(files.Processor.ReadSamples((files.Dir / "bench.map").string()));
  state.SetItemsProcessed(state.iterations() * SampleCount);
}
}  // namespace

BENCHMARK(BM_SaveSamples)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSamples)->Unit(benchmark::kMillisecond);
