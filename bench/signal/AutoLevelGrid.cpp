// measure_auto_level: how many NEC frames of a weak receiver the signal processor cuts whole
// (all 67 runs in one packet) with the default trigger level and with the automatic one, over
// a grid of mark heights, coupling capacitors and noise. Prints a Markdown table.
//   measure_auto_level [FRAMES_PER_CELL]

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "TMessageQueue.h"
#include "TScriptedSoundSystem.h"
#include "TSignalProcessor.h"
#include "WeakReceiver.h"

namespace {
constexpr size_t N = TSignalProcessor::BufferSize;
constexpr size_t WholeNecRuns = 2 + 67;  // the margin and the closing silence around the frame
constexpr int DefaultFrames = 20;
const double Peaks[] = {15, 18, 22, 30, 60};  // mark height above the resting level 128
const double CouplingsMs[] = {0, 100, 30, 10};
const double Noises[] = {1, 2};  // LSB

bool CutWhole(const std::vector<uint8_t>& Pcm, bool Automatic) {
  TMessageQueue queue;
  auto sound = std::make_unique<TScriptedSoundSystem>();
  TScriptedSoundSystem& feed = *sound;
  TSignalProcessor processor;
  processor.Init(&queue, TDecodeSettings::SampleRate, std::move(sound));
  TDecodeSettings settings;
  settings.AutomaticLevel = Automatic;
  processor.Configure(settings);
  processor.StartRecording();
  std::vector<uint8_t> data = Pcm;
  data.resize((data.size() / N + 2) * N, 128);
  for (auto at = data.begin(); at != data.end(); at += N) {
    feed.Feed(std::vector<uint8_t>(at, at + N));
    while (auto message = queue.Take()) processor.ProcessBuffer(*message);
  }
  return processor.Samples.size() == 1 && processor.Samples[0]->Pulses.size() == WholeNecRuns;
}
}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : DefaultFrames;
  std::printf("| mark height | coupling | level 143 | automatic |\n|---|---|---|---|\n");
  for (double peak : Peaks) {
    for (double coupling : CouplingsMs) {
      int whole[2] = {0, 0};
      for (int frame = 0; frame < frames; ++frame) {
        const auto seed = static_cast<unsigned>(frame + 1);
        const auto address = static_cast<uint8_t>(frame * 37);
        const auto pcm =
            weak_receiver::Render(weak_receiver::NecRuns(address, static_cast<uint8_t>(~address)),
                                  peak, Noises[frame % 2], coupling, seed);
        for (int automatic = 0; automatic < 2; ++automatic)
          whole[automatic] += CutWhole(pcm, automatic != 0);
      }
      char couplingText[16] = "none";
      if (coupling > 0) std::snprintf(couplingText, sizeof couplingText, "%.0f ms", coupling);
      std::printf("| %.0f | %s | %d %% | %d %% |\n", peak, couplingText, 100 * whole[0] / frames,
                  100 * whole[1] / frames);
    }
  }
  return 0;
}
