// Decoding a one-hour recording with a packet every 100 ms, as a multiple of real time:
// the recording reader and signal processor alone, and with every packet recognised.

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "TIrSynth.h"
#include "TRecordingDecoder.h"
#ifdef VORLENT_BENCH_RECOGNITION
#include "TProtocolRecognition.h"
#endif

namespace {
namespace fs = std::filesystem;
constexpr double HourSeconds = 3600;
constexpr double TenMinutes = 600;
constexpr double PacketPeriodMicros = 100000;

// A recording of Seconds with one frame every 100 ms, the four protocols in turn.
TIrSynth Busy(double Seconds) {
  TIrSynth synth;
  const std::vector<std::vector<TIrSynth::TRun>> frames = {
      TIrSynth::Nec(0x04, 0x08), TIrSynth::Sony12(0x15, 0x01), TIrSynth::Rc5(false, 5, 0x35),
      TIrSynth::Samsung32(7, 7, 2)};
  synth.Quiet(PacketPeriodMicros / 2);
  for (size_t i = 0; synth.LengthSeconds() + 0.1 <= Seconds; ++i) {
    double start = synth.LengthSeconds();
    synth.Frame(frames[i % frames.size()]);
    synth.Quiet(PacketPeriodMicros - (synth.LengthSeconds() - start) * 1e6);
  }
  synth.Quiet((Seconds - synth.LengthSeconds()) * 1e6);
  return synth;
}

// The benchmark's recordings, written once to a temporary folder and removed at exit.
struct TRecordings {
  TRecordings() {
    std::string pattern = (fs::temp_directory_path() / "vorlent-bench-XXXXXX").string();
    Dir = mkdtemp(pattern.data());
    Busy(HourSeconds).Write(U8Hour(), SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 48000, 1);
    Busy(TenMinutes).Write(S16TenMinutes(), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1);
  }
  ~TRecordings() { fs::remove_all(Dir); }
  std::string U8Hour() const { return (Dir / "hour-u8-48k.wav").string(); }
  std::string S16TenMinutes() const { return (Dir / "ten-minutes-s16-44k1.wav").string(); }
  fs::path Dir;
};

const TRecordings& Recordings() {
  static TRecordings recordings;
  return recordings;
}

void Decode(benchmark::State& State, const std::string& File, double Seconds,
            const std::function<void(TSample&)>& OnPacket) {
  size_t packets = 0;
  for (auto _ : State) {
    TRecordingDecoder decoder;
    decoder.OnSample = [&](std::unique_ptr<TSample> Sample) {
      OnPacket(*Sample);
      ++packets;
    };
    benchmark::DoNotOptimize(decoder.Decode(File).StreamLength);
  }
  State.counters["packets"] = static_cast<double>(packets) / State.iterations();
  State.counters["x_realtime"] =  // recorded seconds per second of wall-clock time
      benchmark::Counter(Seconds * State.iterations(), benchmark::Counter::kIsRate);
}

void BM_HourU8_48k_Cut(benchmark::State& State) {
  Decode(State, Recordings().U8Hour(), HourSeconds, [](TSample&) {});
}
BENCHMARK(BM_HourU8_48k_Cut)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_TenMinutesS16_44k1_Cut(benchmark::State& State) {
  Decode(State, Recordings().S16TenMinutes(), TenMinutes, [](TSample&) {});
}
BENCHMARK(BM_TenMinutesS16_44k1_Cut)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

#ifdef VORLENT_BENCH_RECOGNITION
// With the shipped protocols.xml (or the file named by VORLENT_PROTOCOLS); skipped without.
void BM_HourU8_48k_Recognised(benchmark::State& State) {
  const char* named = std::getenv("VORLENT_PROTOCOLS");
  std::string protocols = named ? named : std::string(VORLENT_DATA_DIR) + "/protocols.xml";
  if (!fs::exists(protocols)) {
    State.SkipWithError("no data/protocols.xml");
    return;
  }
  TProtocolRecognition engine;
  engine.SampleRate = 48000;
  engine.SetTolerance(0.00005f);
  engine.LoadProtocols(protocols);
  Decode(State, Recordings().U8Hour(), HourSeconds, [&](TSample& s) { engine.Decode(s); });
}
BENCHMARK(BM_HourU8_48k_Recognised)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();
#endif
}  // namespace
