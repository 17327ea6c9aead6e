// Fuzzes the signal processor: the input describes a stream of 8-bit PCM as runs (a level and
// a 16-bit little-endian repeat count each), so that short inputs reach long packets; the first
// byte's low bit is "Invert input". The stream is captured buffer by buffer through the scripted
// sound system; every packet must keep the invariants and start inside the stream.

#include <memory>
#include <vector>

#include "TDecodeSettings.h"
#include "TMessageQueue.h"
#include "TSampleChecks.h"
#include "TScriptedSoundSystem.h"

namespace {
constexpr size_t RunBytes = 3;
constexpr size_t MaxStream = 4 * TSignalProcessor::BufferSize;  // bounds the work per input
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  std::vector<uint8_t> stream;
  for (size_t i = 1; i + RunBytes <= Size && stream.size() < MaxStream; i += RunBytes) {
    const size_t repeat = 1 + (Data[i + 1] | (Data[i + 2] << 8));
    stream.insert(stream.end(), std::min(repeat, MaxStream - stream.size()), Data[i]);
  }
  // Whole buffers only, as capture delivers them; the tail is padded with quiet values.
  const size_t buffers = stream.size() / TSignalProcessor::BufferSize + 1;
  stream.resize(buffers * TSignalProcessor::BufferSize, TSignalProcessor::ZeroLine);

  TMessageQueue queue;
  auto sound = std::make_unique<TScriptedSoundSystem>();
  TScriptedSoundSystem* feed = sound.get();
  TSignalProcessor processor;
  processor.Init(&queue, TDecodeSettings::SampleRate, std::move(sound));
  TDecodeSettings settings;
  settings.InvertInput = Data[0] & 1;
  processor.Configure(settings);
  processor.StartRecording();
  for (size_t at = 0; at < stream.size(); at += TSignalProcessor::BufferSize) {
    feed->Feed(stream.data() + at, TSignalProcessor::BufferSize);
    while (auto message = queue.Take()) processor.ProcessBuffer(*message);
  }
  processor.StopRecording();
  for (const auto& sample : processor.Samples) {
    TSampleChecks::CheckCut(*sample);
    if (sample->StreamIndex < 0 || static_cast<size_t>(sample->StreamIndex) >= stream.size())
      std::abort();
    if (!(sample->Gap >= 0) || !(sample->Duration >= 0)) std::abort();
  }
  return 0;
}
