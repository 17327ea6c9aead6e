// ProcessBuffer over quiet and over busy buffers, with the fixed and the automatic level,
// against memchr over the same bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "TSignalProcessor.h"
#include "TSoundSystem.h"

namespace {
constexpr size_t Size = TSignalProcessor::BufferSize;
constexpr size_t PacketPeriod = 480;  // samples: one packet every 10 ms at 48 kHz

// A device that accepts everything and never delivers: the benchmark hands the buffer over.
class TIdleSoundSystem : public TSoundSystem {
 public:
  unsigned GetNumDevs() override { return 1; }
  TMMResult Open(TDeviceHandle* h, const TWaveFormatEx&, TWaveNotifyTarget*) override {
    *h = 1;
    return 0;
  }
  TMMResult PrepareHeader(TDeviceHandle, TWaveHdr*) override { return 0; }
  TMMResult UnprepareHeader(TDeviceHandle, TWaveHdr*) override { return 0; }
  TMMResult AddBuffer(TDeviceHandle, TWaveHdr*) override { return 0; }
  TMMResult Start(TDeviceHandle) override { return 0; }
  TMMResult Reset(TDeviceHandle) override { return 0; }
  TMMResult Close(TDeviceHandle) override { return 0; }
  std::string GetErrorText(TMMResult) override { return {}; }
};

// NEC-like marks and spaces (27 and 27 or 81 samples) for 4 ms, then quiet.
std::vector<uint8_t> BusyBuffer() {
  std::vector<uint8_t> buf(Size, 128);
  for (size_t start = 0; start + PacketPeriod <= Size; start += PacketPeriod) {
    size_t at = start;
    for (int bit = 0; at + 108 < start + 192; ++bit) {
      std::memset(&buf[at], 210, 27);
      at += 27 + (bit % 3 == 0 ? 81 : 27);
    }
  }
  return buf;
}

void Run(benchmark::State& state, std::vector<uint8_t> buf, bool AutomaticLevel = false) {
  TSignalProcessor processor;
  processor.Init(nullptr, 48000, std::make_unique<TIdleSoundSystem>());
  TDecodeSettings settings;
  settings.AutomaticLevel = AutomaticLevel;
  processor.Configure(settings);
  processor.StartRecording();
  TWaveHdr header;
  header.lpData = buf.data();
  header.dwBufferLength = Size;
  TMessage message{MM_WIM_DATA, 0, &header};
  for (auto _ : state) {
    processor.ProcessBuffer(message);
    processor.ClearSamples();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Size));
}

void BM_ProcessBufferQuiet(benchmark::State& state) {
  Run(state, std::vector<uint8_t>(Size, 128));
}
void BM_ProcessBufferBusy(benchmark::State& state) {
  Run(state, BusyBuffer());
}

void BM_ProcessBufferQuietAutoLevel(benchmark::State& state) {
  Run(state, std::vector<uint8_t>(Size, 128), true);
}
void BM_ProcessBufferBusyAutoLevel(benchmark::State& state) {
  Run(state, BusyBuffer(), true);
}

void BM_MemchrQuiet(benchmark::State& state) {
  std::vector<uint8_t> buf(Size, 128);
  for (auto _ : state) benchmark::DoNotOptimize(std::memchr(buf.data(), 200, buf.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Size));
}
}  // namespace

BENCHMARK(BM_MemchrQuiet);
BENCHMARK(BM_ProcessBufferQuiet);
BENCHMARK(BM_ProcessBufferBusy);
BENCHMARK(BM_ProcessBufferQuietAutoLevel);
BENCHMARK(BM_ProcessBufferBusyAutoLevel);
