// From the command to the first mark: vorlent-send's whole run (loading the library, drawing
// the code, opening the output, handing it the samples) playing into ALSA's file plugin, and
// its parts. The first mark starts with the first sample, so the time to hand over the first
// chunk plus the device's output latency (reported as a counter) bounds the delay.

#include <benchmark/benchmark.h>
#include <portaudio.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TCodeLibrary.h"
#include "TPortAudioOutput.h"
#include "TProtocolRecognition.h"
#include "TSendCommand.h"
#include "TSignalSource.h"

namespace {
const std::string Library = std::string(VORLENT_DATA_DIR) + "/protocols.xml";

// ALSA's default device writes to /dev/null: a device without a sound card.
void UseNullDevice() {
  static const bool done = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorlent-lat-XXXXXX").string();
    const std::filesystem::path dir = mkdtemp(pattern.data());
    std::ofstream(dir / "asound.conf") << "pcm.!default { type file slave.pcm { type null } "
                                          "file \"/dev/null\" format \"raw\" }\n";
    setenv("ALSA_CONFIG_PATH", (dir / "asound.conf").c_str(), 1);
    return true;
  }();
  (void)done;
}

void CommandToLastSample(benchmark::State& State) {
  UseNullDevice();
  const std::vector<std::string> words{"vorlent-send", "--protocols", Library,
                                       "NEC",          "address=4",   "command=8"};
  std::vector<const char*> argv;
  for (const std::string& word : words) argv.push_back(word.c_str());
  const std::atomic<bool> stop = false;
  for (auto _ : State) {
    std::ostringstream out, err;
    TSendCommand command(out, err, std::make_unique<TPortAudioOutput>());
    if (command.Run(static_cast<int>(argv.size()), argv.data(), stop) != 0)
      State.SkipWithError(err.str().c_str());
  }
  Pa_Initialize();
  const PaDeviceInfo* info = Pa_GetDeviceInfo(Pa_GetDefaultOutputDevice());
  State.counters["output_latency_ms"] = info ? info->defaultLowOutputLatency * 1000 : -1;
  Pa_Terminate();
}
BENCHMARK(CommandToLastSample)->Unit(benchmark::kMillisecond);

void LoadLibrary(benchmark::State& State) {
  for (auto _ : State) {
    TProtocolRecognition engine;
    engine.LoadProtocols(Library);
    benchmark::DoNotOptimize(TCodeLibrary(engine).Definitions().size());
  }
}
BENCHMARK(LoadLibrary)->Unit(benchmark::kMillisecond);

void DrawAndRender(benchmark::State& State) {
  TProtocolRecognition engine;
  engine.LoadProtocols(Library);
  const TSignalSource source(std::make_shared<const TCodeLibrary>(engine));
  for (auto _ : State) {
    const TIrSignal signal = source.FromFields("NEC", {{"address", 4}, {"command", 8}});
    benchmark::DoNotOptimize(TCarrierRenderer::Render(signal, {}).Samples.data());
  }
}
BENCHMARK(DrawAndRender)->Unit(benchmark::kMillisecond);

void OpenAndFirstChunk(benchmark::State& State) {
  UseNullDevice();
  TPortAudioOutput output;
  const std::vector<int16_t> chunk(2 * TPortAudioOutput::ChunkFrames, 0);
  const std::atomic<bool> stop = false;
  for (auto _ : State) benchmark::DoNotOptimize(output.Play("", 48000, chunk, stop));
}
BENCHMARK(OpenAndFirstChunk)->Unit(benchmark::kMillisecond);
}  // namespace
