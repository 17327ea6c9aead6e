// vorlent-listen's two real-time figures, on a sound system that delivers 48 kHz input in
// 10 ms periods as a sound card does (ALSA's file plugin delivers as fast as it is read):
// - idle CPU: the share of one core the listener takes while the line is quiet;
// - latency: from the end of a packet's last mark to its line, and to its action running.

#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "TActionFile.h"
#include "TDecodeSettings.h"
#include "TIrSynth.h"
#include "TListener.h"
#include "TProtocolRecognition.h"

namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::system_clock;
constexpr int Rate = 48000;
constexpr auto Period = std::chrono::milliseconds(10);
constexpr size_t PeriodFrames = Rate / 100;
constexpr uint8_t Quiet = 128;
constexpr double IdleSeconds = 5;
constexpr int Presses = 20;
constexpr double PressPeriodMicros = 300000;

// Plays Pcm (then silence) into the queued buffers in real time, one period at a time.
class TPacedSoundSystem : public TSoundSystem {
 public:
  explicit TPacedSoundSystem(std::vector<uint8_t> Input) : Pcm(std::move(Input)) {}
  ~TPacedSoundSystem() override { Halt(); }

  unsigned GetNumDevs() override { return 1; }
  TMMResult Open(TDeviceHandle* Handle, const TWaveFormatEx&, TWaveNotifyTarget* To) override {
    Target = To;
    *Handle = 1;
    return MMSYSERR_NOERROR;
  }
  TMMResult PrepareHeader(TDeviceHandle, TWaveHdr* Header) override {
    Header->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
  }
  TMMResult UnprepareHeader(TDeviceHandle, TWaveHdr* Header) override {
    Header->dwFlags &= ~WHDR_PREPARED;
    return MMSYSERR_NOERROR;
  }
  TMMResult AddBuffer(TDeviceHandle, TWaveHdr* Header) override {
    std::lock_guard lock(Mutex);
    Header->dwBytesRecorded = 0;
    Queue.push_back(Header);
    return MMSYSERR_NOERROR;
  }
  TMMResult Start(TDeviceHandle) override {
    Started = Clock::now();
    Player = std::thread([this] { Play(); });
    return MMSYSERR_NOERROR;
  }
  TMMResult Reset(TDeviceHandle) override {
    Halt();
    std::deque<TWaveHdr*> back;
    {
      std::lock_guard lock(Mutex);
      back.swap(Queue);
    }
    for (TWaveHdr* header : back) Target->Post({MM_WIM_DATA, 1, header});
    return MMSYSERR_NOERROR;
  }
  TMMResult Close(TDeviceHandle) override { return MMSYSERR_NOERROR; }
  std::string GetErrorText(TMMResult Code) override { return "paced " + std::to_string(Code); }

  // When sample Index of the input was (ideally) at the microphone.
  Clock::time_point TimeOf(int64_t Index) const {
    return Started + std::chrono::microseconds(Index * 1000000 / Rate);
  }

 private:
  void Play() {
    size_t at = 0;
    for (auto next = Started + Period; !Stopping; next += Period) {
      std::this_thread::sleep_until(next);
      for (size_t i = 0; i < PeriodFrames; ++i, ++at) Put(at < Pcm.size() ? Pcm[at] : Quiet);
    }
  }
  void Put(uint8_t Value) {
    TWaveHdr* full = nullptr;
    {
      std::lock_guard lock(Mutex);
      if (Queue.empty()) return;  // overrun: the value is lost
      TWaveHdr* header = Queue.front();
      header->lpData[header->dwBytesRecorded++] = Value;
      if (header->dwBytesRecorded < header->dwBufferLength) return;
      Queue.pop_front();
      full = header;
    }
    Target->Post({MM_WIM_DATA, 1, full});
  }
  void Halt() {
    Stopping = true;
    if (Player.joinable()) Player.join();
  }

  std::vector<uint8_t> Pcm;
  TWaveNotifyTarget* Target = nullptr;
  std::mutex Mutex;
  std::deque<TWaveHdr*> Queue;
  std::atomic<bool> Stopping = false;
  std::thread Player;
  Clock::time_point Started;
};

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<uint8_t> Render(TIrSynth& Synth, const fs::path& Dir) {
  const fs::path raw = Dir / "input.raw";
  Synth.Write(raw.string(), SF_FORMAT_RAW | SF_FORMAT_PCM_U8, Rate, 1);
  std::ifstream in(raw, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct TBenchDir {
  TBenchDir() {
    std::string pattern = (fs::temp_directory_path() / "vorlent-listen-bench-XXXXXX").string();
    Path = mkdtemp(pattern.data());
  }
  ~TBenchDir() { fs::remove_all(Path); }
  fs::path Path;
};

// Runs a listener on Pcm in real time until Done says so; Out takes its lines.
template <typename TDone>
void Listen(std::vector<uint8_t> Pcm, std::vector<TAction> Actions, std::ostream& Out,
            TPacedSoundSystem*& Sound, TDone Done,
            std::function<void(const TSample&, size_t)> OnPacket = nullptr) {
  TProtocolRecognition engine;
  engine.SampleRate = Rate;
  engine.SetTolerance(TDecodeSettings{}.ToleranceSeconds());
  engine.LoadProtocols(std::string(VORLENT_DATA_DIR) + "/protocols.xml");
  std::ostringstream errors;
  TListener listener(Out, errors, engine, std::move(Actions), {});
  listener.OnPacket = std::move(OnPacket);
  auto sound = std::make_unique<TPacedSoundSystem>(std::move(Pcm));
  Sound = sound.get();
  if (!listener.Start(std::move(sound))) throw std::runtime_error(errors.str());
  std::atomic<bool> stop = false;
  std::thread watch([&] {
    while (!Done()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stop = true;
  });
  listener.Run(stop);
  watch.join();
  listener.Stop();
}
}  // namespace

static void BM_IdleCpuOnSilence(benchmark::State& State) {
  for (auto _ : State) {
    std::ostringstream out;
    TPacedSoundSystem* sound = nullptr;
    const double cpuBefore = CpuSeconds();
    const auto wallBefore = Clock::now();
    Listen({}, {}, out, sound,
           [&] { return Clock::now() - wallBefore > std::chrono::duration<double>(IdleSeconds); });
    const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
    State.counters["cpu_percent_of_one_core"] = (CpuSeconds() - cpuBefore) / wall * 100;
  }
}
BENCHMARK(BM_IdleCpuOnSilence)->Iterations(1)->Unit(benchmark::kSecond);

static void BM_PacketEndToLineAndAction(benchmark::State& State) {
  for (auto _ : State) {
    TBenchDir dir;
    TIrSynth synth;
    for (int i = 0; i < Presses; ++i) {
      synth.Quiet(PressPeriodMicros);
      synth.Frame(TIrSynth::Nec(4, static_cast<uint8_t>(i)));  // a new key each time
    }
    const fs::path fired = dir.Path / "fired";
    std::istringstream actionsText("NEC address=4 = date +%s%N >> " + fired.string());
    std::vector<TAction> actions = TActionFile::Parse(actionsText, "bench");
    std::ostringstream out;
    TPacedSoundSystem* sound = nullptr;
    std::vector<double> lineMs, ends;
    Listen(
        Render(synth, dir.Path), std::move(actions), out, sound,
        [&] { return lineMs.size() >= Presses; },
        [&](const TSample& Sample, size_t) {
          const int64_t end =
              Sample.StreamIndex + static_cast<int64_t>(Sample.Duration * Rate + 0.5);
          const auto at = sound->TimeOf(end);
          lineMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - at).count());
          ends.push_back(std::chrono::duration<double>(at.time_since_epoch()).count());
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the last action
    std::ifstream in(fired);
    std::vector<double> actionMs;
    for (long long ns; in >> ns && actionMs.size() < ends.size();)
      actionMs.push_back((static_cast<double>(ns) * 1e-9 - ends[actionMs.size()]) * 1000);
    auto mean = [](const std::vector<double>& v) {
      double sum = 0;
      for (double x : v) sum += x;
      return v.empty() ? 0 : sum / static_cast<double>(v.size());
    };
    auto most = [](const std::vector<double>& v) {
      return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
    };
    State.counters["packets"] = static_cast<double>(lineMs.size());
    State.counters["line_ms_mean"] = mean(lineMs);
    State.counters["line_ms_max"] = most(lineMs);
    State.counters["actions"] = static_cast<double>(actionMs.size());
    State.counters["action_ms_mean"] = mean(actionMs);
    State.counters["action_ms_max"] = most(actionMs);
  }
}
BENCHMARK(BM_PacketEndToLineAndAction)->Iterations(1)->Unit(benchmark::kSecond);
